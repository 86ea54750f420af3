#!/usr/bin/env bash
# Builds and runs every test: the release build, then the build with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the build with
# ThreadSanitizer (the ASCII input's worker threads and the element
# allocator they share). Fails on any failing test or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
for preset in default asan tsan; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
