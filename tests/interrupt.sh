#!/usr/bin/env bash
# SIGINT and SIGTERM at random moments of a generated journal's run, in both
# modes: the run ends with 128 + the signal (or 0 when it finished first),
# no temporary file remains, and the log of an interrupted run says so.
# Usage: tests/interrupt.sh JORVEX JORVEX_GEN [ROUNDS] [SIZE_MB]
set -euo pipefail
set -m  # background jobs of their own group, which do not ignore SIGINT
JORVEX=$1 GEN=$2 ROUNDS=${3:-20} SIZE=${4:-20}
W=$(mktemp -d) && trap 'rm -rf "$W"' EXIT
"$GEN" --form native --size-mb "$SIZE" --seed 5 --out "$W/j.txt" >/dev/null
fail() { echo "interrupt: $*" >&2; exit 1; }
for ((r = 0; r < ROUNDS; r++)); do
  D=$W/run$r
  signal=$((r % 2 == 0 ? 2 : 15))
  mode=$([ $((r % 4)) -lt 2 ] && echo /IDEA || echo /INSIKA)
  "$JORVEX" "$W/j.txt" "$D/" "$mode" /V /Q >/dev/null & pid=$!
  # The log exists once the run has begun (and reacts to the signals).
  for ((t = 0; t < 500; t++)); do [ -e "$D/ExportInfo.txt" ] && break; sleep 0.01; done
  sleep "0.$((RANDOM % 100))"
  kill -s $signal $pid 2>/dev/null || true
  status=0 && wait $pid || status=$?
  [ "$(find "$D" -name '*.tmp' | wc -l)" = 0 ] || fail "temporary files in $D"
  if [ $status = $((128 + signal)) ]; then
    grep -q "The run was interrupted" "$D/ExportInfo.txt" || fail "$D: the log does not say interrupted"
  elif [ $status != 0 ]; then
    fail "$D: exit status $status after signal $signal"
  fi
done
echo "interrupt: $ROUNDS rounds passed"
