# Sourced by the benchmarks: one timed run of a command and the best of
# several. The caller sets tmp (a scratch folder) before calling run_once.

# run_once KEY CMD... : runs CMD once (stdout and stderr to $tmp/KEY.out);
# keeps in BEST[KEY] the best wall time (ns), in RSS[KEY] the largest peak
# resident set (KB) and in RCS[KEY] the exit code.
declare -A BEST RSS RCS
run_once() {
  local key=$1 t0 t1 ns rss rc
  shift
  t0=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$tmp/rss" "$@" >"$tmp/$key.out" 2>&1 && rc=0 || rc=$?
  t1=$(date +%s%N)
  ns=$((t1 - t0))
  if [ -z "${BEST[$key]:-}" ] || [ "$ns" -lt "${BEST[$key]}" ]; then BEST[$key]=$ns; fi
  rss=$(tail -n 1 "$tmp/rss")
  if [ -z "${RSS[$key]:-}" ] || [ "$rss" -gt "${RSS[$key]}" ]; then RSS[$key]=$rss; fi
  RCS[$key]=$rc
}

secs() { awk -v ns="${BEST[$1]}" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
