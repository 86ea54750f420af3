#!/usr/bin/env bash
# Runs side by side: two processes of different journals into one destination,
# started together, ROUNDS times, in both modes (the second with /V). Each
# export (and INSIKA document) must equal the one of its journal run alone,
# the log must hold every run's section whole, and no temporary may remain.
# Usage: tests/side-by-side.sh JORVEX JORVEX_GEN [ROUNDS]
set -euo pipefail
JORVEX=$1 GEN=$2 ROUNDS=${3:-20}
W=$(mktemp -d) && trap 'rm -rf "$W"' EXIT
"$GEN" --form native --sample --out "$W/a.txt" >/dev/null
"$GEN" --form native --size-mb 2 --seed 5 --out "$W/b.txt" >/dev/null
fail() { echo "side-by-side: $*" >&2; exit 1; }

# Each journal alone: the references.
for j in a b; do
  "$JORVEX" "$W/$j.txt" "$W/ref-$j" /Q >/dev/null
  mv "$W"/ref-$j/2*/ "$W/ref-$j/export"
  "$JORVEX" "$W/$j.txt" "$W/ref-$j/INSIKA.xml" /INSIKA /Q >/dev/null
done

for ((r = 0; r < ROUNDS; r++)); do
  D=$W/run$r
  "$JORVEX" "$W/a.txt" "$D" /Q /L >/dev/null & "$JORVEX" "$W/b.txt" "$D" /Q /L >/dev/null & wait
  "$JORVEX" "$W/a.txt" "$D/i/" /INSIKA /V /Q >/dev/null & "$JORVEX" "$W/b.txt" "$D/i/" /INSIKA /V /Q >/dev/null & wait
  [ "$(find "$D" -name '*.tmp' | wc -l)" = 0 ] || fail "temporary files in $D"
  for e in "$D"/2*/; do
    diff -r -q "$e" "$W/ref-a/export" >/dev/null || diff -r -q "$e" "$W/ref-b/export" >/dev/null ||
      fail "$e holds neither journal's export alone"
  done
  [ "$(ls -d "$D"/2*/ | wc -l)" = 2 ] || fail "$D: not two export folders"
  # Both ran into the same file: the one that ended last holds its journal's document.
  cmp -s "$D/i/INSIKA.xml" "$W/ref-a/INSIKA.xml" || cmp -s "$D/i/INSIKA.xml" "$W/ref-b/INSIKA.xml" ||
    fail "$D/i/INSIKA.xml matches neither journal"
  for log in "$D/ExportInfo.txt" "$D/i/ExportInfo.txt"; do
    # Sections alternate "> =====" ... "< =====": none starts inside another.
    awk '/^> =====/ { if (open) exit 1; open = 1; n++ } /^< =====/ { if (!open) exit 1; open = 0 }
         END { exit (open || n != 2) }' "$log" || fail "$log: sections lost or interleaved"
  done
done
echo "side-by-side: $ROUNDS rounds passed"
