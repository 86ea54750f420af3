#!/usr/bin/env bash
# Does the conversion's cost grow in proportion to the journal? Generates
# journals of several sizes in each input form (jorvex-gen, seed 1), runs
# each mode on each (best of RUNS rounds; each round runs every mode on
# every size, so that a slower phase of the machine hits them alike) and
# prints the time per MB with the fixed start-up cost taken out: the time of
# the same mode on the sample journal, which is only a few KB. Linear means
# the per-MB figures of a row agree (the spread column: largest over
# smallest, minus one). Also prints the peak resident memory, which must
# not grow with the journal.
#
# Environment: SIZES (MB, default "20 200 1024"), RUNS (default 3), MODES
# (comma-separated option sets, default "/IDEA,/INSIKA,/IDEA /V,/IDEA /AUDIT"),
# BIN (default build-bench/jorvex, built with the bench preset when missing),
# JOBS (build jobs).
set -euo pipefail
cd "$(dirname "$0")/.."

SIZES=${SIZES:-20 200 1024}
RUNS=${RUNS:-3}
JOBS=${JOBS:-$(nproc)}
BIN=${BIN:-build-bench/jorvex}
GEN=build-bench/tools/jorvex-gen
DATA=build-bench/bench-data
export LC_ALL=C

cmake --preset bench >/dev/null
cmake --build --preset bench -j "$JOBS" --target jorvex jorvex-gen >/dev/null
mkdir -p "$DATA"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

IFS=, read -ra modes <<<"${MODES:-/IDEA,/INSIKA,/IDEA /V,/IDEA /AUDIT}"

# run_once KEY FILE OPTIONS...: one run; keeps in BEST[KEY] the best wall
# time in ms and in PEAK[KEY] the largest peak resident memory in KB.
declare -A BEST PEAK
run_once() {
  local key=$1 file=$2 t0 t1 ms rss
  shift 2
  rm -rf "$tmp/out" && mkdir "$tmp/out"
  t0=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$tmp/rss" "$BIN" "$file" "$tmp/out/" "$@" >/dev/null 2>&1
  t1=$(date +%s%N)
  ms=$(((t1 - t0) / 1000000))
  rss=$(tail -n 1 "$tmp/rss")
  if [ -z "${BEST[$key]:-}" ] || [ "$ms" -lt "${BEST[$key]}" ]; then BEST[$key]=$ms; fi
  if [ -z "${PEAK[$key]:-}" ] || [ "$rss" -gt "${PEAK[$key]}" ]; then PEAK[$key]=$rss; fi
}

for form in native ascii; do
  switch=()
  if [ "$form" = ascii ]; then switch=(/S=1); fi
  files=("examples/sample-$form.txt")
  for mb in $SIZES; do
    file=$DATA/journal-$form-${mb}mb-s1.txt
    [ -f "$file" ] || "$GEN" --form "$form" --size-mb "$mb" --seed 1 --out "$file" >/dev/null
    files+=("$file")
  done
  # Rounds outside, so that a slower phase of the machine hits every size.
  BEST=() PEAK=()
  for ((r = 0; r < RUNS; r++)); do
    for m in "${!modes[@]}"; do
      read -ra options <<<"${modes[$m]}"
      for f in "${!files[@]}"; do run_once "$m-$f" "${files[$f]}" "${options[@]}" "${switch[@]}"; done
    done
  done
  echo
  echo "== $form form: ms per MB above the start-up cost (peak MB); sizes $SIZES MB =="
  for m in "${!modes[@]}"; do
    base=${BEST[$m-0]}
    line=$(printf '  %-14s start %4d ms ' "${modes[$m]}" "$base")
    per=()
    for ((f = 1; f < ${#files[@]}; f++)); do
      mb=$(awk -v b="$(stat -c %s "${files[$f]}")" 'BEGIN { print b / 1048576 }')
      p=$(awk -v t="${BEST[$m-$f]}" -v s="$base" -v m="$mb" 'BEGIN { printf "%.2f", (t - s) / m }')
      per+=("$p")
      line+=$(printf ' %7s (%5.1f)' "$p" "$(awk -v k="${PEAK[$m-$f]}" 'BEGIN { print k / 1024 }')")
    done
    spread=$(printf '%s\n' "${per[@]}" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.0f%%", (lo > 0 ? hi / lo - 1 : 0) * 100 }')
    echo "$line   spread $spread"
  done
done
