#!/bin/sh
# Sets up, builds and runs the whole test suite; exits non-zero when anything fails.
# SANITIZE=1: builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# instead, and fails on any sanitizer report too, also one from a program a test started.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"

install_missing_packages
if [ "${SANITIZE:-0}" = 1 ]; then
    BUILD_DIR="$ROOT/build-asan"
    configure_and_build -DVANTREL_SANITIZE=ON
    # AddressSanitizer and leak reports also go to files, so one from a child process whose
    # exit status a test expects to be non-zero is still seen. UBSan reports only to standard
    # error: its exit status, which no test expects, and the test output catch those.
    reports="$BUILD_DIR/sanitizer-reports"
    rm -rf "$reports"
    mkdir -p "$reports"
    export ASAN_OPTIONS="halt_on_error=1:exitcode=23:log_path=$reports/report:detect_leaks=1:check_initialization_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:exitcode=23:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
    status=0
    (cd "$BUILD_DIR" && ctest --output-on-failure --output-log "$reports/ctest.log" -j "${JOBS:-2}") ||
        status=$?
    grep -l "runtime error:\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer" "$reports/ctest.log" >/dev/null &&
        mv "$reports/ctest.log" "$reports/report.ctest"
    if ls "$reports"/report* >/dev/null 2>&1; then
        for f in "$reports"/report*; do
            echo "==== sanitizer report $f"
            grep -B2 -A40 "runtime error:\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer" "$f" | head -200
        done
        echo "error: the sanitizers reported faults (above)" >&2
        exit 1
    fi
    exit $status
fi
configure_and_build

cd "$ROOT/build"
# The window tests draw offscreen; no display is needed.
exec ctest --output-on-failure -j "${JOBS:-2}"
