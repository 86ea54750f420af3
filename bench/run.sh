#!/usr/bin/env bash
# Whole-process benchmark. Builds jorvex and jorvex-gen with the "bench" preset
# (build-bench, Release), generates a synthetic journal in each input form, and
# measures on the same file, in the same run: the conversion (jorvex, IDEA
# export with its log), and for reference `wc -l` and an awk that counts fields.
# Prints throughput (MB/s, 1 MB = 1048576 bytes), peak resident memory and the
# ratio of each program's throughput to awk's.
#
# Environment: SIZE_MB (default 200), SEED (default 1), RUNS (best of, default 1),
# JOBS (build jobs, default: number of processors), KEEP=1 keeps the exports.
set -euo pipefail
cd "$(dirname "$0")/.."

SIZE_MB=${SIZE_MB:-200}
SEED=${SEED:-1}
RUNS=${RUNS:-1}
JOBS=${JOBS:-$(nproc)}
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
have_jorvex=1
if ! cmake --build --preset bench -j "$JOBS" --target jorvex; then
  have_jorvex=0
  echo "bench: jorvex does not build; measuring the references only." >&2
fi

mkdir -p "$DATA" "$OUT"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# measure NAME CMD... : runs CMD (stdout and stderr to $tmp/NAME.out) RUNS times;
# sets SECS (best wall time), RSS_KB (largest peak resident set) and RC (last exit code).
measure() {
  local name=$1 run t0 t1 ns best=0 rss
  shift
  RSS_KB=0
  RC=0
  for ((run = 0; run < RUNS; run++)); do
    t0=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$tmp/rss" "$@" >"$tmp/$name.out" 2>&1 && RC=0 || RC=$?
    t1=$(date +%s%N)
    ns=$((t1 - t0))
    if [ "$best" -eq 0 ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
    rss=$(tail -n 1 "$tmp/rss")
    if [ "$rss" -gt "$RSS_KB" ]; then RSS_KB=$rss; fi
  done
  SECS=$(awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }')
}

mbps() { awk -v b="$1" -v s="$2" 'BEGIN { printf("%.1f", (s > 0) ? b / 1048576 / s : 0) }'; }

row() {  # NAME SECS MBPS RSS_KB AWK_MBPS [NOTE]
  local ratio
  ratio=$(awk -v a="$3" -v r="$5" 'BEGIN { printf("%.2f", (r > 0) ? a / r : 0) }')
  printf '  %-22s %9s %9s %11s %8s  %s\n' "$1" "$2" "$3" \
    "$(awk -v k="$4" 'BEGIN { printf "%.1f", k / 1024 }')" "$ratio" "${6:-}"
}

awk_name=$(readlink -f "$(command -v awk)")
for form in native ascii; do
  file=$DATA/journal-$form-${SIZE_MB}mb-s$SEED.txt
  echo
  echo "== $form: generating $file =="
  /usr/bin/time -f "   generated in %e s, peak %M KB" \
    "$BUILD/tools/jorvex-gen" --form "$form" --size-mb "$SIZE_MB" --seed "$SEED" --out "$file"
  bytes=$(stat -c %s "$file")
  cat "$file" >/dev/null  # same page-cache state for every program

  measure wc wc -l "$file"
  wc_secs=$SECS wc_rss=$RSS_KB
  measure awk awk '{ n += NF } END { print n }' "$file"
  awk_secs=$SECS awk_rss=$RSS_KB
  wc_mbps=$(mbps "$bytes" "$wc_secs")
  awk_mbps=$(mbps "$bytes" "$awk_secs")

  conv_note="" conv_secs="-" conv_mbps="-" conv_rss=0
  if [ "$have_jorvex" -eq 1 ]; then
    dest=$OUT/$form
    rm -rf "$dest"
    mkdir -p "$dest"
    args=("$file" "$dest/")
    if [ "$form" = ascii ]; then args+=("/S=1"); fi
    measure jorvex "$BUILD/jorvex" "${args[@]}"
    conv_secs=$SECS conv_rss=$RSS_KB
    conv_mbps=$(mbps "$bytes" "$conv_secs")
    if [ ! -f "$dest/ExportInfo.txt" ]; then
      conv_note="(conversion not available yet: no ExportInfo.txt written)"
      conv_mbps=0
    elif grep -q 'EXCEPTION' "$tmp/jorvex.out"; then
      conv_note="(FAILED: $(grep -m1 'EXCEPTION' "$tmp/jorvex.out" | cut -c1-120))"
    elif [ "$RC" -ne 0 ]; then
      conv_note="(exit code $RC)"
    fi
    if [ "${KEEP:-0}" != 1 ]; then rm -rf "$dest"; fi
  else
    conv_note="(conversion not built)"
  fi

  echo
  printf '  %s form, %s MB (%s bytes), best of %s run(s)\n' "$form" \
    "$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')" "$bytes" "$RUNS"
  printf '  %-22s %9s %9s %11s %8s\n' program "time s" "MB/s" "peak MB" "÷ awk"
  if [ "$conv_mbps" = 0 ] || [ "$conv_mbps" = "-" ]; then
    printf '  %-22s %9s %9s %11s %8s  %s\n' "jorvex" "-" "-" "-" "-" "$conv_note"
  else
    row "jorvex${args[2]:+ ${args[2]}}" "$conv_secs" "$conv_mbps" "$conv_rss" "$awk_mbps" "$conv_note"
  fi
  row "wc -l" "$wc_secs" "$wc_mbps" "$wc_rss" "$awk_mbps"
  row "awk ($(basename "$awk_name"), NF sum)" "$awk_secs" "$awk_mbps" "$awk_rss" "$awk_mbps"
done
