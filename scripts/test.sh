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
    # Reports go to files, so a report from a child process whose
    # exit status a test expects to be non-zero is still seen.
    reports="$BUILD_DIR/sanitizer-reports"
    rm -rf "$reports"
    mkdir -p "$reports"
    export ASAN_OPTIONS="halt_on_error=1:log_path=$reports/report:detect_leaks=1:check_initialization_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/report"
    export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
    status=0
    (cd "$BUILD_DIR" && ctest --output-on-failure -j "${JOBS:-2}") || status=$?
    if [ -n "$(ls -A "$reports")" ]; then
        for f in "$reports"/*; do
            echo "==== sanitizer report $f"
            cat "$f"
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
