#!/usr/bin/env bash
# Builds the Debian package of jorvex: the profile-guided release build of
# scripts/build-release.sh, packed by CPack into
# build-release/jorvex_<version>_<arch>.deb, then checked with lintian
# (errors fail the script; warnings are shown). The package's path is the
# last line of the output.
#
# Environment: as scripts/build-release.sh (JOBS, TRAIN_MB).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build-release.sh
rm -f build-release/jorvex_*.deb
(cd build-release && cpack -G DEB >/dev/null)
deb=$(ls build-release/jorvex_*.deb)
echo "== package: lintian =="
status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
printf '%s\n' "$report" | grep -v '^running with root privileges' || true
if [ "$status" -ne 0 ]; then
  echo "lintian found errors in $deb" >&2
  exit 1
fi
echo "$deb"
