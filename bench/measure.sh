# Sourced by the benchmarks: one timed run of a command and the best of
# several. The caller sets tmp (a scratch folder) before calling run_once.

# run_once KEY CMD... : runs CMD once (stdout and stderr to $tmp/KEY.out);
# keeps in BEST[KEY] the best wall time (ns), in TIMES[KEY] every round's
# (blank-separated, in order), in RSS[KEY] the largest peak
# resident set (KB) and in RCS[KEY] the exit code.
declare -A BEST TIMES RSS RCS
run_once() {
  local key=$1 t0 t1 ns rss rc
  shift
  t0=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$tmp/rss" "$@" >"$tmp/$key.out" 2>&1 && rc=0 || rc=$?
  t1=$(date +%s%N)
  ns=$((t1 - t0))
  if [ -z "${BEST[$key]:-}" ] || [ "$ns" -lt "${BEST[$key]}" ]; then BEST[$key]=$ns; fi
  TIMES[$key]+="$ns "
  rss=$(tail -n 1 "$tmp/rss")
  if [ -z "${RSS[$key]:-}" ] || [ "$rss" -gt "${RSS[$key]}" ]; then RSS[$key]=$rss; fi
  RCS[$key]=$rc
}

# forget_runs: clears what run_once kept, before the rounds of another file.
forget_runs() { BEST=() TIMES=() RSS=() RCS=(); }

secs() { awk -v ns="${BEST[$1]}" 'BEGIN { printf "%.3f", ns / 1e9 }'; }

# paired_median A B: the median over rounds of A's time divided by B's time
# in the same round, as a percentage over B ("+23.4%"): runs taken side by
# side in one round share the machine's phase, which best rounds taken in
# different rounds need not.
paired_median() {
  awk -v a="${TIMES[$1]}" -v b="${TIMES[$2]}" 'BEGIN {
    n = split(a, x, " "); split(b, y, " ")
    for (i = 1; i <= n; i++) r[i] = x[i] / y[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && r[j - 1] > r[j]; j--) { t = r[j]; r[j] = r[j - 1]; r[j - 1] = t }
    m = (n % 2) ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2
    printf "%+.1f%%", (m - 1) * 100 }'
}
