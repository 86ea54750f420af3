#!/usr/bin/env bash
# Two runs of different journals into one destination, started together, in
# both modes: each output equals one journal's run alone, each log section is
# whole, no temporary remains. Usage: side-by-side.sh JORVEX JORVEX_GEN [ROUNDS]
set -euo pipefail
JORVEX=$1 W=$(mktemp -d) && trap 'rm -rf "$W"' EXIT
fail() { echo "side-by-side: $*" >&2; exit 1; }
"$2" --form native --sample --out "$W/a.txt" >/dev/null
"$2" --form native --size-mb 2 --seed 5 --out "$W/b.txt" >/dev/null
for j in a b; do  # each journal alone
  "$JORVEX" "$W/$j.txt" "$W/ref-$j" /Q >/dev/null && mv "$W"/ref-$j/2*/ "$W/ref-$j/export"
  "$JORVEX" "$W/$j.txt" "$W/ref-$j/INSIKA.xml" /INSIKA /Q >/dev/null
done
for ((r = 0; r < ${3:-20}; r++)); do
  D=$W/run$r
  "$JORVEX" "$W/a.txt" "$D" /Q /L >/dev/null & "$JORVEX" "$W/b.txt" "$D" /Q /L >/dev/null & wait
  "$JORVEX" "$W/a.txt" "$D/i/" /INSIKA /V /Q >/dev/null & "$JORVEX" "$W/b.txt" "$D/i/" /INSIKA /V /Q >/dev/null & wait
  [ -z "$(find "$D" -name '*.tmp')" ] || fail "temporary files in $D"
  [ "$(ls -d "$D"/2*/ | wc -l)" = 2 ] || fail "$D: not two export folders"
  for e in "$D"/2*/; do
    diff -rq "$e" "$W/ref-a/export" >/dev/null || diff -rq "$e" "$W/ref-b/export" >/dev/null || fail "$e mixed"
  done
  cmp -s "$D/i/INSIKA.xml" "$W/ref-a/INSIKA.xml" || cmp -s "$D/i/INSIKA.xml" "$W/ref-b/INSIKA.xml" ||
    fail "$D/i/INSIKA.xml matches neither journal"
  for log in "$D/ExportInfo.txt" "$D/i/ExportInfo.txt"; do  # "> =====" ... "< =====", twice, never nested
    awk '/^> =====/ { if (open) exit 1; open = 1; n++ } /^< =====/ { if (!open) exit 1; open = 0 }
         END { exit (open || n != 2) }' "$log" || fail "$log: sections lost or interleaved"
  done
done
echo "side-by-side: ${3:-20} rounds passed"
