#!/usr/bin/env bash
# Builds jorvex and converts the bundled sample journal into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target jorvex
mkdir -p out
exec build/jorvex "$@"
