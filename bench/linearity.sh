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
# The sample journal's time misses the fixed costs that only a journal of
# some size has: the pipes' fill at the start and drain at the end (a few
# MB of work done while the other threads wait) and the end's syncs, which
# wait for the last step of each output file. These are bounded, so they
# weigh on the smallest size most. A second line per mode gives the cost of
# each step between consecutive sizes, (time(b) - time(a)) / (b - a) in ms
# per MB, in which every fixed cost cancels; its spread says whether the
# cost per MB grows.
#
# Environment: SIZES (MB, default "20 200 1024"), RUNS (default 3), MODES
# (comma-separated option sets, default "/IDEA,/INSIKA,/IDEA /V,/IDEA /AUDIT"),
# BIN (default build-bench/jorvex; the script builds that one and jorvex-gen
# with the bench preset), JOBS (build jobs). The journals are generated anew
# on every call, as bench/run.sh does, beside its own.
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

# run_once, secs: the timed runs.
source bench/measure.sh

# spread FIGURE...: largest over smallest, minus one, as a percentage.
spread() {
  printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.0f%%", (lo > 0 ? hi / lo - 1 : 0) * 100 }'
}
sizes=($SIZES)

for form in native ascii; do
  switch=()
  if [ "$form" = ascii ]; then switch=(/S=1); fi
  files=("examples/sample-$form.txt") mbs=(0)  # mbs: each file's size in MB
  for mb in $SIZES; do
    file=$DATA/journal-$form-${mb}mb-s1.txt
    "$GEN" --form "$form" --size-mb "$mb" --seed 1 --out "$file" >/dev/null
    files+=("$file")
    mbs+=("$(awk -v b="$(stat -c %s "$file")" 'BEGIN { print b / 1048576 }')")
  done
  # Rounds outside, so that a slower phase of the machine hits every size.
  forget_runs
  for ((r = 0; r < RUNS; r++)); do
    for m in "${!modes[@]}"; do
      read -ra options <<<"${modes[$m]}"
      for f in "${!files[@]}"; do
        rm -rf "$tmp/out" && mkdir "$tmp/out"
        run_once "$m-$f" "$BIN" "${files[$f]}" "$tmp/out/" "${options[@]}" "${switch[@]}"
      done
    done
  done
  echo
  echo "== $form form: ms per MB above the start-up cost (peak MB); sizes $SIZES MB =="
  for m in "${!modes[@]}"; do
    base=$(secs "$m-0")
    line=$(printf '  %-14s start %4.0f ms ' "${modes[$m]}" "$(awk -v s="$base" 'BEGIN { print s * 1000 }')")
    per=()
    for ((f = 1; f < ${#files[@]}; f++)); do
      p=$(awk -v t="$(secs "$m-$f")" -v s="$base" -v m="${mbs[$f]}" 'BEGIN { printf "%.2f", (t - s) * 1000 / m }')
      per+=("$p")
      line+=$(printf ' %7s (%5.1f)' "$p" "$(awk -v k="${RSS[$m-$f]}" 'BEGIN { print k / 1024 }')")
    done
    echo "$line   spread $(spread "${per[@]}")"
    # The steps between consecutive sizes.
    steps=() line=$(printf '  %-14s steps' "")
    for ((f = 2; f < ${#files[@]}; f++)); do
      p=$(awk -v ta="$(secs "$m-$((f - 1))")" -v tb="$(secs "$m-$f")" \
        -v a="${mbs[$((f - 1))]}" -v b="${mbs[$f]}" 'BEGIN { printf "%.2f", (tb - ta) * 1000 / (b - a) }')
      steps+=("$p")
      line+=$(printf '   %s-%s MB %6s' "${sizes[$((f - 2))]}" "${sizes[$((f - 1))]}" "$p")
    done
    if [ "${#steps[@]}" -gt 1 ]; then echo "$line   spread $(spread "${steps[@]}")"; fi
  done
done
