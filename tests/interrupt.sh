#!/usr/bin/env bash
# SIGINT/SIGTERM at random moments of a run, both modes: status 128 + signal (0
# if it finished first), no temporary remains, the log says "interrupted".
# Usage: tests/interrupt.sh JORVEX JORVEX_GEN [ROUNDS] [SIZE_MB]
set -euo pipefail
set -m  # background jobs of their own group, which do not ignore SIGINT
JORVEX=$1 W=$(mktemp -d) && trap 'rm -rf "$W"' EXIT
"$2" --form native --size-mb "${4:-20}" --seed 5 --out "$W/j.txt" >/dev/null
for ((r = 0; r < ${3:-20}; r++)); do
  D=$W/run$r signal=$((r % 2 ? 15 : 2)) mode=$((r % 4 < 2 ? 0 : 1))
  "$JORVEX" "$W/j.txt" "$D/" "$([ $mode = 0 ] && echo /IDEA || echo /INSIKA)" /V /Q >/dev/null & pid=$!
  # The log exists once the run has begun (and reacts to the signals).
  for ((t = 0; t < 500; t++)); do [ -e "$D/ExportInfo.txt" ] && break; sleep 0.01; done
  sleep "0.$((RANDOM % 100))" && kill -s $signal $pid 2>/dev/null || true
  status=0 && wait $pid || status=$?
  [ -z "$(find "$D" -name '*.tmp')" ] || { echo "interrupt: temporary files in $D" >&2; exit 1; }
  [ $status = 0 ] || { [ $status = $((128 + signal)) ] && grep -q "The run was interrupted" "$D/ExportInfo.txt"; } ||
    { echo "interrupt: $D: status $status, or the log does not say interrupted" >&2; exit 1; }
done
echo "interrupt: ${3:-20} rounds passed"
