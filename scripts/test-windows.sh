#!/bin/sh
# The Windows build, proven under Wine: installs what is missing (mingw-w64, wine64, doctest),
# cross-builds into build-win/, then runs in a throw-away Wine prefix the conformance suite
# and Osprel's black-box cases, comparing Osprel.exe with the native build/bin/Osprel where no
# remote machine is involved. Ends with "N passed, N failed"; exits non-zero on a failure.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"

REQUIRED_PACKAGES="$REQUIRED_PACKAGES mingw-w64 wine64 doctest-dev"
install_missing_packages

# The native Osprel to compare with.
if [ ! -f "$ROOT/build/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$ROOT/build" -j "${JOBS:-2}" --target Osprel

WIN="$ROOT/build-win"
if [ ! -f "$WIN/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$WIN" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake"
fi
cmake --build "$WIN" -j "${JOBS:-2}"

WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine)
WINESERVER=$(dirname "$WINE")/wineserver
export WINEDEBUG=-all
# No display: Wine's programs stay on the console.
unset DISPLAY WAYLAND_DISPLAY
# Arguments cross into Wine as UTF-8.
export LC_ALL=C.UTF-8
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wine.XXXXXX")
export WINEPREFIX
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wincases.XXXXXX")
cleanup() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$WORK"
}
trap cleanup EXIT INT TERM

echo "Creating the Wine prefix..."
timeout 300 "$WINE" wineboot --init >/dev/null 2>&1 || true
# Wine's service manager gives a service process 10 s to reach its dispatcher; a loaded
# machine starts a Wine process slower than that. Wine reads the value as text, when its
# service manager starts: hence the restart.
timeout 120 "$WINE" reg add 'HKLM\System\CurrentControlSet\Control' /v ServicesPipeTimeout /t REG_SZ \
    /d 120000 /f >/dev/null 2>&1 || true
"$WINESERVER" -k >/dev/null 2>&1 || true
timeout 120 "$WINESERVER" -w >/dev/null 2>&1 || true
# One server for every run below instead of one started (and torn down) per program.
"$WINESERVER" -p >/dev/null 2>&1 || true

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }

# --- The conformance suite against Wine's service manager, registry and LSA.
SUITE="$WIN/bin/conformance.exe"
if [ -f "$SUITE" ]; then
    echo "== conformance suite (Win32 backend under Wine)"
    set +e
    timeout 900 "$WINE" "$SUITE" >"$WORK/suite.out" 2>&1
    code=$?
    set -e
    tr -d '\r' <"$WORK/suite.out"
    summary=$(tr -d '\r' <"$WORK/suite.out" | grep '^\[doctest\] test cases:' | tail -1)
    ok=$(echo "$summary" | sed -n 's/.*| *\([0-9]*\) passed.*/\1/p')
    bad=$(echo "$summary" | sed -n 's/.*| *\([0-9]*\) failed.*/\1/p')
    if [ -z "$ok" ] || [ -z "$bad" ]; then
        fail "conformance suite: no summary (exit $code)"
    else
        passed=$((passed + ok))
        failed=$((failed + bad))
        [ "$code" -eq 0 ] || [ "$bad" -gt 0 ] || fail "conformance suite exited $code"
    fi
else
    fail "conformance suite: $SUITE was not built"
fi

# --- Osprel: the same output and exit code as the native build. CR LF line ends are
# normalised; everything else must match byte for byte.
echo "== Osprel.exe against build/bin/Osprel"
osprel_case() {
    name=$1
    shift
    set +e
    "$ROOT/build/bin/Osprel" "$@" >"$WORK/native.out" 2>&1
    native_code=$?
    timeout 120 "$WINE" "$WIN/bin/Osprel.exe" "$@" >"$WORK/wine.raw" 2>&1
    wine_code=$?
    set -e
    tr -d '\r' <"$WORK/wine.raw" >"$WORK/wine.out"
    if [ "$native_code" -ne "$wine_code" ]; then
        fail "Osprel $name: exit $wine_code under Wine, $native_code natively"
    elif ! cmp -s "$WORK/native.out" "$WORK/wine.out"; then
        fail "Osprel $name: output differs"
        diff "$WORK/native.out" "$WORK/wine.out" | head -10 || true
    else
        pass
    fi
}
repeat() { # repeat TEXT COUNT: TEXT COUNT times, no separator
    i=0
    out=""
    while [ "$i" -lt "$2" ]; do
        out="$out$1"
        i=$((i + 1))
    done
    printf '%s' "$out"
}
names() { # names PREFIX COUNT: PREFIX1 PREFIX2 ... as separate words
    i=1
    while [ "$i" -le "$2" ]; do
        printf '%s%d\n' "$1" "$i"
        i=$((i + 1))
    done
}

osprel_case "without arguments"
osprel_case "with the computer only" WS001
osprel_case "with one name and no switch" WS001 svc_albd
osprel_case "with an illegal switch" WS001 -x svc_albd
osprel_case "with a slash switch" WS001 /q
osprel_case "with printf directives" WS001 -u a -p "-%s%n%x"
osprel_case "with empty arguments" "" "" ""
# shellcheck disable=SC2046
osprel_case "with 33 accounts" WS001 -u $(names user 33) -p SeServiceLogonRight
# shellcheck disable=SC2046
osprel_case "with 33 privileges" WS001 -u svc -p $(names SePrivilege 33)
osprel_case "with a 256-character computer name" "$(repeat c 256)" -u svc -p SeServiceLogonRight
osprel_case "with a 256-character account name" WS001 -u "$(repeat a 256)" -p SeServiceLogonRight
osprel_case "with a 256-character privilege name" WS001 -u svc -p "$(repeat p 256)"
# Non-ASCII names cross the API as UTF-16 and come back as the same UTF-8 bytes.
osprel_case "with a long non-ASCII account name" WS001 -u "$(repeat é 200)$(repeat ж 56)" -p SeServiceLogonRight
osprel_case "with a long name past the BMP" WS001 -u "$(repeat 𝄞 128)" -p SeServiceLogonRight

# --- Osprel on this computer through Wine's own LSA: outputs of the Win32 backend. Wine names
# the computer after the host, in capitals, and knows it only so spelt (Windows: any case).
echo "== Osprel.exe on this computer (Wine's LSA)"
HERE=$(hostname | cut -d. -f1 | cut -c1-15 | tr '[:lower:]' '[:upper:]')
osprel_local() {
    name=$1
    expected=$2
    shift 2
    set +e
    timeout 120 "$WINE" "$WIN/bin/Osprel.exe" "$@" >"$WORK/wine.raw" 2>&1
    set -e
    if tr -d '\r' <"$WORK/wine.raw" | grep -q -- "$expected"; then
        pass
    else
        fail "Osprel $name: no line matching '$expected'"
        tr -d '\r' <"$WORK/wine.raw" | head -10
    fi
}
osprel_local "unknown account only" "^LLN(): ntstatus 3221225587 \[C0000073h\], gle 1332$" "$HERE" -u nobody_here_at_all -p SeServiceLogonRight
osprel_local "known and unknown account" "^Some names were not mapped.$" "$HERE" -u "$(id -un)" nobody_here_at_all -p SeServiceLogonRight
osprel_local "known account" "^$(id -un) *\[S-1-5-" "$HERE" -u "$(id -un)" -p SeServiceLogonRight

# --- What one real call costs under Wine (compare bench_platform for the simulated network).
echo "== bench_win32 (Wine's service manager and registry)"
set +e
timeout 300 "$WINE" "$WIN/bin/bench_win32.exe" RpcSs 200 >"$WORK/bench.out" 2>&1
code=$?
set -e
tr -d '\r' <"$WORK/bench.out"
if [ "$code" -eq 0 ]; then pass; else fail "bench_win32 exited $code"; fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
