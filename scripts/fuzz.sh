#!/usr/bin/env bash
# Builds and runs the libFuzzer targets (every fuzz/fuzz_*.cpp is one target,
# its regression inputs in fuzz/corpus/<target>/).
#
#   scripts/fuzz.sh ci                 configure and build all targets, run each
#                                      for $FUZZ_RUNS runs (default 20000, or
#                                      the target's "// fuzz-ci-runs: N" line)
#                                      over its corpus; fails on any finding
#   scripts/fuzz.sh run TARGET [SECS]  run one target for SECS seconds (default
#                                      300); new inputs go to a scratch folder,
#                                      crash inputs to <build folder>/findings/
#   scripts/fuzz.sh list               the target names
#
# FUZZ_BUILD_DIR overrides the build folder (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-$(nproc)}

targets() {
  local f
  for f in fuzz/fuzz_*.cpp; do
    [ -e "$f" ] || continue
    basename "$f" .cpp
  done
}

build() {
  cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJORVEX_FUZZ=ON -DJORVEX_WERROR=ON >/dev/null
  cmake --build "$build_dir" -j "$jobs" --target fuzz_all
}

binary() { echo "$build_dir/fuzz/$1"; }

# The runs of target in ci: $FUZZ_RUNS, else the "// fuzz-ci-runs: N" line
# of a target that runs slowly (a whole conversion per input), else 20000.
ci_runs() {
  local n
  n=$(sed -n 's|^// fuzz-ci-runs: *\([0-9]*\).*|\1|p' "fuzz/$1.cpp" | head -n 1)
  echo "${FUZZ_RUNS:-${n:-20000}}"
}

case "${1:-}" in
  ci)
    build
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    for t in $(targets); do
      runs=$(ci_runs "$t")
      echo "== $t ($runs runs) =="
      mkdir -p "fuzz/corpus/$t" "$scratch/$t"
      # New inputs go to the scratch folder (first corpus argument), never
      # into the repository.
      "$(binary "$t")" -runs="$runs" -seed=1 -artifact_prefix="$scratch/$t-" \
        "$scratch/$t" "fuzz/corpus/$t"
    done
    ;;
  run)
    t=${2:?target name}
    secs=${3:-300}
    build
    mkdir -p "fuzz/corpus/$t" "$build_dir/findings"
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    "$(binary "$t")" -max_total_time="$secs" -print_final_stats=1 \
      -artifact_prefix="$build_dir/findings/$t-" "$scratch" "fuzz/corpus/$t"
    ;;
  list)
    targets
    ;;
  *)
    sed -n '2,14p' "$0"
    exit 2
    ;;
esac
