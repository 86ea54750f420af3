#!/usr/bin/env bash
# Builds jorvex and jorvex-check and converts the bundled sample journal (native export text)
# into out/sample/, with the detailed log (/L). Extra arguments are passed on
# to jorvex (e.g. /V, or /INSIKA for out/sample/INSIKA.xml).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target jorvex jorvex-check
mkdir -p out
build/jorvex examples/sample-native.txt out/sample/ /L /CHECK "$@"
echo "Log: out/sample/ExportInfo.txt"
