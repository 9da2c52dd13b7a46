#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for SECONDS
# (default 20), starting from its seed corpus in fuzz/corpus/<target>/. Exits non-zero on a
# crash, a sanitizer report, a broken check or a time-out; the input that did it is kept in
# build-fuzz/artifacts/. Inputs found along the way go to build-fuzz/corpus/, never into the
# repository.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"
SECONDS_EACH=${1:-20}
BUILD="$ROOT/build-fuzz"

install_missing_packages clang libclang-rt-14-dev
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTREL_FUZZ=ON
fi
cmake --build "$BUILD" -j "${JOBS:-2}" --target fuzzers

mkdir -p "$BUILD/corpus" "$BUILD/artifacts"
export QT_QPA_PLATFORM=offscreen
# Qt keeps a few allocations for the life of the process; libFuzzer's own leak check covers
# each input, and these suppressions name only libraries we do not build.
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=""
summary=""
for dir in "$ROOT"/fuzz/corpus/*/; do
    target=$(basename "$dir")
    work="$BUILD/corpus/$target"
    mkdir -p "$work"
    log="$BUILD/$target.log"
    echo "== $target: $SECONDS_EACH s"
    status=0
    timeout -k 10 $((SECONDS_EACH * 2 + 120)) "$BUILD/fuzz/$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$target-" "$work" "$dir" >"$log" 2>&1 ||
        status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    seeds=$(ls "$dir" | wc -l)
    found=$(ls "$work" | wc -l)
    summary="$summary$(printf '%-24s %6s seeds %7s in corpus %10s runs %8s exec/s' "$target" "$seeds" "$found" \
        "${runs:-?}" "${rate:-?}")
"
    if [ "$status" -ne 0 ]; then
        failed="$failed $target"
        tail -n 60 "$log"
    fi
done
printf '%s' "$summary"
if [ -n "$failed" ]; then
    echo "error: fuzz targets failed:$failed (inputs in $BUILD/artifacts/)" >&2
    exit 1
fi
