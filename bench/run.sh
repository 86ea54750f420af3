#!/usr/bin/env bash
# Whole-process benchmark. Builds jorvex and jorvex-gen with the "bench" preset
# (build-bench, Release) and, unless PGO=0, the profile-guided release build
# (scripts/build-release.sh, build-release); generates a synthetic journal in
# each input form and measures on the same file, in the same run: the
# conversions (jorvex: IDEA export and INSIKA export, each with its log, and
# the IDEA export with the journal view, /V) with each build, and for
# reference `wc -l` and an awk that counts fields. The programs take turns,
# one run each per round, so that a slower phase of the machine hits all of
# them alike; each program's best round counts.
# Prints throughput (MB/s, 1 MB = 1048576 bytes), peak resident memory and the
# ratio of each program's throughput to awk's; for the runs with /V also the
# size of JournalView.txt, that size per MB of journal and, with a /IDEA
# mode, what the view adds: the median over rounds of the /V run's time
# against the same build's /IDEA run of that round. An ASCII file
# carries about three times the journal of a native text file of the same
# size, and awk reads its few long hex fields fast, so the ASCII form has a
# second, content-fair ratio: the time awk takes over the native text of the
# same journal (written beside it by jorvex-gen --twin) against the
# conversion's time ("÷ awk*"), beside the old ratio to awk over the hex file.
#
# Environment: SIZE_MB (default 200), SEED (default 1), RUNS (rounds, default
# 1), JOBS (build jobs, default: number of processors), PGO (default 1),
# KEEP=1 keeps the exports, BASE=<git revisions> also builds those
# revisions (blank-separated; Release, in a worktree under build-bench) and
# measures them beside, e.g. the log-only conversion before the exports
# existed; MODES=<options,...> the conversions measured (default
# "/IDEA,/INSIKA,/IDEA /V,/IDEA /CHECK,/IDEA /FROM=01.01.1980,
# /IDEA /FROM=01.03.2020 /TO=31.03.2020,/IDEA /ZIP,/IDEA /AUDIT": the export
# checked, a period covering everything, one month of the generated
# journals, which start on 02.01.2020, the hand-over package, and the audit
# report, whose row notes the size of its HTML page).
# With a /IDEA mode, jorvex-check reads the first build's IDEA export of
# each journal as well: its speed in MB of CSV per second, its peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."

SIZE_MB=${SIZE_MB:-200}
SEED=${SEED:-1}
RUNS=${RUNS:-1}
JOBS=${JOBS:-$(nproc)}
PGO=${PGO:-1}
BUILD=build-bench
DATA=$BUILD/bench-data
OUT=$BUILD/bench-out
export LC_ALL=C

if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is missing (Debian package \"time\"). Run:" >&2
  echo "  sudo apt-get install -y time" >&2
  exit 1
fi

echo "== build ($BUILD, Release) =="
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$JOBS" --target jorvex-gen
cmake --build --preset bench -j "$JOBS" --target jorvex-check || echo "bench: jorvex-check does not build." >&2
# The conversions measured: name and executable.
conv_names=() conv_bins=()
if cmake --build --preset bench -j "$JOBS" --target jorvex; then
  conv_names+=("jorvex") conv_bins+=("$BUILD/jorvex")
else
  echo "bench: jorvex does not build; measuring the references only." >&2
fi
for base in ${BASE:-}; do
  base_src=$BUILD/base-src
  base_build=$BUILD/base-$(git rev-parse --short "$base")
  rm -rf "$base_src"
  git worktree prune
  git worktree add --detach "$base_src" "$base" >/dev/null
  if cmake -S "$base_src" -B "$base_build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
       -DJORVEX_TESTS=OFF >/dev/null && cmake --build "$base_build" -j "$JOBS" --target jorvex; then
    conv_names+=("jorvex @$(git rev-parse --short "$base")") conv_bins+=("$base_build/jorvex")
  else
    echo "bench: revision $base does not build; measuring without it." >&2
  fi
  git worktree remove --force "$base_src"
done
if [ "$PGO" = 1 ] && [ "${#conv_names[@]}" -gt 0 ]; then
  if JOBS=$JOBS scripts/build-release.sh; then
    conv_names+=("jorvex, profile-guided") conv_bins+=("build-release/jorvex")
  else
    echo "bench: the profile-guided build failed; measuring without it." >&2
  fi
fi

mkdir -p "$DATA" "$OUT"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# run_once, secs: the timed runs.
source bench/measure.sh
mbps() { awk -v b="$1" -v s="$2" 'BEGIN { printf("%.1f", (s > 0) ? b / 1048576 / s : 0) }'; }

row() {  # NAME SECS MBPS RSS_KB AWK_MBPS [NOTE]; the ASCII form: FAIR_AWK_SECS set
  local ratio
  ratio=$(awk -v a="$3" -v r="$5" 'BEGIN { printf("%8.2f", (r > 0) ? a / r : 0) }')
  if [ -n "${FAIR_AWK_SECS:-}" ]; then
    ratio+=$(awk -v f="$FAIR_AWK_SECS" -v s="$2" 'BEGIN { printf("%9.2f", (s > 0) ? f / s : 0) }')
  fi
  printf '  %-36s %9s %9s %11s %8s  %s\n' "$1" "$2" "$3" \
    "$(awk -v k="$4" 'BEGIN { printf "%.1f", k / 1024 }')" "$ratio" "${6:-}"
}

awk_name=$(readlink -f "$(command -v awk)")
# The conversions measured with each build: their options.
IFS=, read -ra modes <<<"${MODES:-/IDEA,/INSIKA,/IDEA /V,/IDEA /CHECK,/IDEA /FROM=01.01.1980,/IDEA /FROM=01.03.2020 /TO=31.03.2020,/IDEA /ZIP,/IDEA /AUDIT}"
idea_mode=""
for m in "${!modes[@]}"; do if [ "${modes[$m]}" = /IDEA ]; then idea_mode=$m; fi; done
for form in native ascii; do
  file=$DATA/journal-$form-${SIZE_MB}mb-s$SEED.txt
  twin=()
  if [ "$form" = ascii ]; then twin=(--twin "$DATA/journal-ascii-${SIZE_MB}mb-s$SEED-as-native.txt"); fi
  echo
  echo "== $form: generating $file =="
  /usr/bin/time -f "   generated in %e s, peak %M KB" \
    "$BUILD/tools/jorvex-gen" --form "$form" --size-mb "$SIZE_MB" --seed "$SEED" --out "$file" \
    "${twin[@]}"
  bytes=$(stat -c %s "$file")
  cat "$file" >/dev/null  # same page-cache state for every program

  forget_runs
  switch=()
  if [ "$form" = ascii ]; then switch=("/S=1"); fi
  for ((run = 0; run < RUNS; run++)); do
    run_once wc wc -l "$file"
    run_once awk awk '{ n += NF } END { print n }' "$file"
    if [ "${#twin[@]}" -gt 0 ]; then run_once awk_twin awk '{ n += NF } END { print n }' "${twin[1]}"; fi
    for i in "${!conv_bins[@]}"; do
      for m in "${!modes[@]}"; do
        dest=$OUT/$form-$i-$m
        rm -rf "$dest"
        mkdir -p "$dest"
        read -ra options <<<"${modes[$m]}"
        run_once "conv$i-$m" "${conv_bins[$i]}" "$file" "$dest/" "${options[@]}" "${switch[@]}"
      done
    done
  done
  # The export check over the first build's IDEA export of this journal.
  check_dir="" csv_bytes=0
  if [ -x "$BUILD/jorvex-check" ] && [ -n "$idea_mode" ] && [ "${#conv_bins[@]}" -gt 0 ]; then
    check_dir=$(find "$OUT/$form-0-$idea_mode" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  fi
  if [ -n "$check_dir" ]; then
    csv_bytes=$(cat "$check_dir"/*.csv | wc -c)
    for ((run = 0; run < RUNS; run++)); do run_once check "$BUILD/jorvex-check" -q "$check_dir"; done
  fi
  awk_mbps=$(mbps "$bytes" "$(secs awk)")
  FAIR_AWK_SECS=""
  if [ "${#twin[@]}" -gt 0 ]; then FAIR_AWK_SECS=$(secs awk_twin); fi

  echo
  printf '  %s form, %s MB (%s bytes), best of %s round(s)\n' "$form" \
    "$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')" "$bytes" "$RUNS"
  if [ -n "$FAIR_AWK_SECS" ]; then
    printf '  %-36s %9s %9s %11s %8s %9s\n' program "time s" "MB/s" "peak MB" "÷ awk" "÷ awk*"
    printf '  (÷ awk: against awk over this hex file; ÷ awk*: over the native text of the same journal)\n' 
  else
    printf '  %-36s %9s %9s %11s %8s\n' program "time s" "MB/s" "peak MB" "÷ awk"
  fi
  for i in "${!conv_bins[@]}"; do
    for m in "${!modes[@]}"; do
      mode=${modes[$m]}
      key=conv$i-$m
      dest=$OUT/$form-$i-$m
      note=""
      if [ ! -f "$dest/ExportInfo.txt" ]; then
        note="(no ExportInfo.txt written)"
      elif grep -q 'EXCEPTION' "$tmp/$key.out"; then
        note="(FAILED: $(grep -m1 'EXCEPTION' "$tmp/$key.out" | cut -c1-120))"
      elif [ "${RCS[$key]}" -ne 0 ]; then
        note="(exit code ${RCS[$key]})"
      elif [ "$mode" = /INSIKA ] && [ ! -f "$dest/INSIKA.xml" ]; then
        note="(no INSIKA.xml written)"
      elif [[ "$mode" == *" /AUDIT" ]]; then
        note=$(awk -v h="$(stat -c %s "$dest/AuditReport.html" 2>/dev/null || echo 0)" \
          -v p="$(grep -c '"state":' "$dest/AuditReport.json" 2>/dev/null || echo 0)" \
          'BEGIN { printf "(%d periods, HTML page %.2f MB)", p, h / 1048576 }')
      elif [[ "$mode" == *" /V" ]]; then
        viewfile=$(find "$dest" -name JournalView.txt | head -n 1)
        if [ -z "$viewfile" ]; then
          note="(no JournalView.txt written)"
        else
          note=$(awk -v v="$(stat -c %s "$viewfile")" -v b="$bytes" \
            'BEGIN { printf "(view %.1f MB, %.3f MB per MB of journal", v / 1048576, v / b }')
          if [ -n "$idea_mode" ]; then
            note+=", round by round $(paired_median "$key" "conv$i-$idea_mode") over /IDEA"
          fi
          note+=")"
        fi
      fi
      name="${conv_names[$i]} $mode${switch[0]:+ ${switch[0]}}"
      row "$name" "$(secs "$key")" "$(mbps "$bytes" "$(secs "$key")")" "${RSS[$key]}" \
        "$awk_mbps" "$note"
      if [ "${KEEP:-0}" != 1 ]; then rm -rf "$dest"; fi
    done
  done
  if [ "${#conv_bins[@]}" -eq 0 ]; then
    printf '  %-36s %9s %9s %11s %8s  %s\n' "jorvex" "-" "-" "-" "-" "(conversion not built)"
  fi
  if [ -n "$check_dir" ]; then
    printf '  %-36s %9s %9s %11s           %s\n' "jorvex-check (the /IDEA export)" "$(secs check)" \
      "$(mbps "$csv_bytes" "$(secs check)")" "$(awk -v k="${RSS[check]}" 'BEGIN { printf "%.1f", k / 1024 }')" \
      "(MB/s of its $(awk -v b="$csv_bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MB of CSV; exit ${RCS[check]})"
  fi
  row "wc -l" "$(secs wc)" "$(mbps "$bytes" "$(secs wc)")" "${RSS[wc]}" "$awk_mbps"
  row "awk ($(basename "$awk_name"), NF sum)" "$(secs awk)" "$awk_mbps" "${RSS[awk]}" "$awk_mbps"
  if [ -n "$FAIR_AWK_SECS" ]; then
    twin_bytes=$(stat -c %s "${twin[1]}")
    FAIR_AWK_SECS="" row "awk, native text of the same journal" "$(secs awk_twin)" \
      "$(mbps "$twin_bytes" "$(secs awk_twin)")" "${RSS[awk_twin]}" "$awk_mbps" \
      "($(awk -v b="$twin_bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MB)"
  fi
done
