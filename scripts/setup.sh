#!/usr/bin/env bash
# Checks for the Debian packages the build and its tests need (chromium: the
# browser test of the audit report) and installs the missing ones (as root);
# otherwise prints the exact command and stops.
set -euo pipefail
packages=(g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev libxml2-dev libssl-dev libzip-dev libarchive-dev pkgconf zip
          clang-14 libclang-rt-14-dev time lintian chromium)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
else
  echo "Missing Debian packages. Run:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
