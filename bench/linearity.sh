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
# Best rounds favour the short runs: a run of a tenth of a second often
# falls wholly into a fast phase of a virtual machine, a run of several
# seconds seldom. Two more lines per mode ("median of N") therefore take
# each round on its own (every size against the same round's start-up run
# and its neighbour size, all run within seconds of each other) and give
# the median over the rounds of both figures.
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
    times="" rss=""
    for f in "${!files[@]}"; do times+="${TIMES[$m-$f]}|" rss+="${RSS[$m-$f]} "; done
    awk -v mode="${modes[$m]}" -v times="$times" -v mbs="${mbs[*]}" -v sizes="$SIZES" -v rss="$rss" '
      # spread(v, n): largest over smallest of v[1..n], minus one, as a percentage.
      function spread(v, n,   i, lo, hi) {
        lo = hi = v[1]
        for (i = 2; i <= n; i++) { if (v[i] < lo) lo = v[i]; if (v[i] > hi) hi = v[i] }
        return sprintf("%.0f%%", (lo > 0 ? hi / lo - 1 : 0) * 100)
      }
      function median(v, n,   i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      }
      # per(t, f): ms per MB of file f above the sample (file 0); step(t, f):
      # ms per MB from file f - 1 to file f. t: seconds by file.
      function per(t, f) { return (t[f] - t[0]) * 1000 / mb[f] }
      function step(t, f) { return (t[f] - t[f - 1]) * 1000 / (mb[f] - mb[f - 1]) }
      # The two lines of figures: v[1..] per MB (with the peak memory when
      # peak is set), w[1..] the steps.
      function lines(head, start, v, w, peak,   f, line) {
        line = sprintf("  %-14s start %4.0f ms ", head, start * 1000)
        for (f = 1; f < files; f++) line = line sprintf(" %7.2f ", v[f]) (peak ? sprintf("(%5.1f)", kb[f + 1] / 1024) : "       ")
        print line "   spread " spread(v, files - 1)
        if (files < 4) return
        line = sprintf("  %-14s steps", "")
        for (f = 2; f < files; f++) line = line sprintf("   %s-%s MB %6.2f", size[f - 1], size[f], w[f - 1])
        print line "   spread " spread(w, files - 2)
      }
      BEGIN {
        files = split(times, byfile, "|") - 1
        split(mbs, m1, " "); split(sizes, size, " "); split(rss, kb, " ")
        for (f = 0; f < files; f++) {
          mb[f] = m1[f + 1]
          rounds = split(byfile[f + 1], x, " ")
          for (r = 1; r <= rounds; r++) {
            t[r, f] = x[r] / 1e9
            if (r == 1 || t[r, f] < best[f]) best[f] = t[r, f]
          }
        }
        # Best rounds.
        for (f = 1; f < files; f++) { v[f] = per(best, f); if (f > 1) w[f - 1] = step(best, f) }
        lines(mode, best[0], v, w, 1)
        # Round by round: each round against its own start-up run and
        # neighbour sizes, then the median over the rounds.
        if (rounds < 2) exit
        for (f = 0; f < files; f++) {
          for (r = 1; r <= rounds; r++) {
            for (g = 0; g < files; g++) u[g] = t[r, g]
            a[r] = f > 0 ? per(u, f) : u[0]
            if (f > 1) c[r] = step(u, f)
          }
          if (f == 0) start = median(a, rounds)
          else v[f] = median(a, rounds)
          if (f > 1) w[f - 1] = median(c, rounds)
        }
        lines(sprintf("median of %d", rounds), start, v, w, 0)
      }'
  done
done
