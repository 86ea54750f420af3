#!/usr/bin/env bash
# Builds the optimised jorvex in build-release/: a Release build (optimised
# across the libraries) whose compiler is guided by a profile of conversions
# of generated training journals in both input forms and both export modes,
# the IDEA export with the journal view and the audit report, and with a
# period covering everything, the export check and the hand-over package
# (seed 2, not the benchmark's). The profile only steers optimisation (inlining, code layout,
# likely targets of calls); the program's behaviour is the same as any
# other build's.
#
# Environment: JOBS (build jobs, default: number of processors),
# TRAIN_MB (size of each training journal, default 8).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build-release
JOBS=${JOBS:-$(nproc)}
TRAIN_MB=${TRAIN_MB:-8}
PROFILE=$PWD/$BUILD/profile
TRAIN=$BUILD/training
# Counters updated atomically (the ASCII input runs on several threads);
# code the training does not reach is optimised as without a profile.
COMMON="-fprofile-update=atomic -fprofile-partial-training"

configure() {  # CXX_FLAGS LINK_FLAGS
  cmake -S . -B "$BUILD" -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release \
    -DJORVEX_TESTS=OFF -DCMAKE_CXX_FLAGS="$1" -DCMAKE_EXE_LINKER_FLAGS="$2" >/dev/null
}

echo "== build-release: instrumented build =="
rm -rf "$PROFILE" "$TRAIN"
mkdir -p "$PROFILE" "$TRAIN"
configure "-fprofile-generate=$PROFILE $COMMON" "-fprofile-generate=$PROFILE"
cmake --build "$BUILD" -j "$JOBS" --target jorvex jorvex-gen

echo "== build-release: training =="
for form in native ascii; do
  journal=$TRAIN/$form.txt
  "$BUILD/tools/jorvex-gen" --form "$form" --size-mb "$TRAIN_MB" --seed 2 --out "$journal"
  args=("$journal" "$TRAIN/out-$form/" /Q)
  if [ "$form" = ascii ]; then args+=(/S=1); fi
  # the IDEA export with the view and the audit report, so that their code
  # is trained too (untrained, the view's thread ran a tenth more
  # instructions than in the plain Release build)
  "$BUILD/jorvex" "${args[@]}" /V /AUDIT >/dev/null
  "$BUILD/jorvex" "${args[@]}" /INSIKA >/dev/null
  # a period covering everything (held and handed on), the export check and
  # the package
  "$BUILD/jorvex" "${args[@]}" /FROM=01.01.1980 /CHECK /ZIP >/dev/null
done
"$BUILD/jorvex" examples/sample-native.txt "$TRAIN/out-sample/" /L /Q >/dev/null
"$BUILD/jorvex" examples/sample-ascii.txt "$TRAIN/out-sample-ascii/" /S=1 /L /Q >/dev/null
rm -rf "$TRAIN"

echo "== build-release: optimised build =="
configure "-fprofile-use=$PROFILE $COMMON -Wno-missing-profile" ""
cmake --build "$BUILD" -j "$JOBS" --target jorvex jorvex-check
echo "Built $BUILD/jorvex"
