#!/bin/sh
# The Windows build, proven under Wine: installs what is missing (mingw-w64, wine64, doctest,
# wixl), builds Qt for Windows once (scripts/qt-windows.sh, cached outside the tree),
# cross-builds everything into build-win/ and the MSI, then runs in throw-away Wine prefixes:
# the conformance suite, Osprel's black-box cases (compared with the native build/bin/Osprel
# where no remote machine is involved), the windowed program's tests on Wine's service
# manager, registry and LSA, and the MSI installed, run and removed by a user who cannot write
# Program Files. Each stage ends with its own "N passed, N failed", the script with the total;
# it exits non-zero on a failure.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"

REQUIRED_PACKAGES="$REQUIRED_PACKAGES mingw-w64 wine64 doctest-dev wixl x11-utils"
install_missing_packages

# The native Osprel to compare with.
if [ ! -f "$ROOT/build/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$ROOT/build" -j "${JOBS:-2}" --target Osprel

# Qt for Windows: built here once (it says how long that takes), then reused.
"$ROOT/scripts/qt-windows.sh"
QT_WIN=$("$ROOT/scripts/qt-windows.sh" --prefix)

WIN="$ROOT/build-win"
# A build folder made before Qt for Windows was there is made again with it.
if ! grep -q '^VANTREL_WITH_QT:BOOL=ON' "$WIN/CMakeCache.txt" 2>/dev/null; then
    rm -rf "$WIN"
    cmake -S "$ROOT" -B "$WIN" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$QT_WIN/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake"
fi
cmake --build "$WIN" -j "${JOBS:-2}"
"$ROOT/scripts/package-windows.sh"

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
total_passed=0
total_failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
stage_end() { # prints the stage's figures and adds them to the total
    echo "$1: $passed passed, $failed failed"
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    passed=0
    failed=0
}
count_totals() { # count_totals OK BAD EXIT NAME: adds a test program's own figures to the stage
    if [ -z "$1" ] || [ -z "$2" ]; then
        fail "$4: no totals (exit $3)"
    else
        passed=$((passed + $1))
        failed=$((failed + $2))
        [ "$3" -eq 0 ] || [ "$2" -gt 0 ] || fail "$4 exited $3"
    fi
}
count_qtest() { # count_qtest OUTPUT EXIT NAME: a Qt Test program's totals
    totals=$(tr -d '\r' <"$1" | grep '^Totals:' | tail -1)
    count_totals "$(echo "$totals" | sed -n 's/^Totals: \([0-9]*\) passed.*/\1/p')" \
        "$(echo "$totals" | sed -n 's/.* \([0-9]*\) failed.*/\1/p')" "$2" "$3"
}

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
    count_totals "$(echo "$summary" | sed -n 's/.*| *\([0-9]*\) passed.*/\1/p')" \
        "$(echo "$summary" | sed -n 's/.*| *\([0-9]*\) failed.*/\1/p')" "$code" "conformance suite"
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

stage_end "the Win32 backend"

# --- The windowed program's tests on this computer's service manager, registry and LSA, with
# Qt's DLLs and plugins taken from the Qt build (the offscreen platform: no display needed).
echo "== tst_winwindow (the main window on the Win32 backend)"
winpath() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# Qt's DLLs load the compiler's run-time DLLs (the install step copies both beside the program).
RUNTIME=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
QT_WINEPATH="$(winpath "$QT_WIN/bin");$(winpath "$RUNTIME");$(winpath /usr/x86_64-w64-mingw32/lib)"
set +e
WINEPATH="$QT_WINEPATH" \
    QT_PLUGIN_PATH=$(winpath "$QT_WIN/plugins") \
    timeout 900 "$WINE" "$WIN/bin/tst_winwindow.exe" -platform offscreen -o "$WORK/window.out,txt" >/dev/null 2>&1
code=$?
set -e
tr -d '\r' <"$WORK/window.out" | grep -v 'does not support\|no longer ships fonts\|fontconfig'
count_qtest "$WORK/window.out" "$code" tst_winwindow

# vantrel-run.exe, the same run unattended, on a test service of this computer: the window's row.
echo "== vantrel-run.exe (the unattended run on the Win32 backend)"
timeout 120 "$WINE" sc create VantrelRunTest binpath= \
    "\"$(winpath "$WIN/bin/conformance_service.exe")\" -start 200 -stop 200 -hint 2000" >/dev/null 2>&1 || true
timeout 120 "$WINE" sc start VantrelRunTest >/dev/null 2>&1 || true
# vantrel-run.exe over this computer, its output into $WORK/NAME.out (shown indented) and its
# results into $WORK/NAME.csv; its exit status in $code, the file's last row in $row. Called
# in this shell, never at the end of a pipe, so that both are set here.
vantrel_run() {
    name=$1
    shift
    set +e
    WINEPATH="$QT_WINEPATH" timeout 300 "$WINE" "$WIN/bin/vantrel-run.exe" "$@" \
        --results "$(winpath "$WORK/$name.csv")" "$HERE" >"$WORK/$name.out" 2>&1
    code=$?
    set -e
    tr -d '\r' <"$WORK/$name.out" | sed 's/^/    /'
    row=$(tr -d '\r' <"$WORK/$name.csv" 2>/dev/null | tail -1)
}
vantrel_run run update --service VantrelRunTest --account "$HERE\\$(id -un)" \
    --password-stdin --grant-right --restart --wait <<'PASSWORD'
Rotated 3!
PASSWORD
if [ "$code" -eq 0 ] && [ "$row" = "$HERE,True,True,True,No Error:4" ]; then
    pass
else
    fail "vantrel-run.exe: exit $code, row '$row'"
fi
if grep -q 'Rotated 3!' "$WORK/run.out" "$WORK/run.csv" 2>/dev/null; then fail "vantrel-run.exe: the password in its output"; else pass; fi
# The survey of the same service reads back what the update left. Its LOGON RIGHT is False, not
# True: Wine's LsaEnumerateAccountRights answers 0xC0000034 for every account, even right after
# the grant above, and on Windows that status says the account holds no rights at all.
vantrel_run survey survey --service VantrelRunTest
if [ "$code" -eq 0 ] && [ "$row" = "$HERE,VantrelRunTest,Running,Demand,$HERE\\$(id -un),False," ]; then
    pass
else
    fail "vantrel-run.exe survey: exit $code, row '$row'"
fi
# The password file's owner and access list, read from the open handle. Wine keeps no access
# list of a file's own: it shows the Unix owner (another user's file as ANONYMOUS LOGON's) and
# the mode's bits for others as Everyone, and turns entries set on a file (INTERACTIVE, Guests,
# WRITE_DAC ...) into mode bits, losing them; those cases are not shown here.
password_file_case() { # password_file_case NAME FILE EXPECTED: refused before any machine
    set +e
    WINEPATH="$QT_WINEPATH" timeout 120 "$WINE" "$WIN/bin/vantrel-run.exe" update --service VantrelRunTest \
        --account "$HERE\\$(id -un)" --password-file "$2" "$HERE" >"$WORK/file.out" 2>&1
    code=$?
    set -e
    if [ "$code" -eq 2 ] && tr -d '\r' <"$WORK/file.out" | grep -q -- "$3"; then
        pass
    else
        fail "vantrel-run.exe, password file $1: exit $code"
        tr -d '\r' <"$WORK/file.out" | head -5
    fi
}
# Accepted, then refused for the NUL in it: the file's check passed.
printf 'Rotated\000x\n' >"$WORK/pw-own"
chmod 600 "$WORK/pw-own"
password_file_case "of its owner alone" "$(winpath "$WORK/pw-own")" "holds a NUL character"
cp "$WORK/pw-own" "$WORK/pw-shared"
chmod 644 "$WORK/pw-shared"
password_file_case "readable by others" "$(winpath "$WORK/pw-shared")" "it lets Everyone read it"
if [ "$(id -u)" -eq 0 ]; then
    cp "$WORK/pw-own" "$WORK/pw-other"
    chown 65534 "$WORK/pw-other"
    password_file_case "of another user" "$(winpath "$WORK/pw-other")" "it belongs to .*, who may let any user read it"
fi
password_file_case "a pipe with no server" '\\.\pipe\vantrel-none' "cannot be read (Windows error 2)"
timeout 120 "$WINE" sc stop VantrelRunTest >/dev/null 2>&1 || true
timeout 120 "$WINE" sc delete VantrelRunTest >/dev/null 2>&1 || true
stage_end "the windowed program and vantrel-run"

# --- The MSI, as an administrator deploys it: installed silently, the installed program run by
# a user who cannot write Program Files (its results go to %LOCALAPPDATA%), removed silently.
# The superuser is not bound by permissions, so then this stage runs as nobody, in a prefix of
# its own, on a virtual display of its own. That user may not reach the checkout (cloned into a
# folder only its owner can enter), so all it needs is copied into a folder of its own under the
# system's temporary folder ($TMPDIR may be private to the superuser).
echo "== the MSI under Wine"
"$WINESERVER" -k >/dev/null 2>&1 || true
MSI=$(ls "$WIN"/Vantrel-*-x64.msi)
as_user() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
    USERDIR=$(mktemp -d /tmp/vantrel-msi.XXXXXX)
    cp "$MSI" "$WIN/bin/installed_update.exe" "$USERDIR/"
    chown -R 65534:65534 "$USERDIR"
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; }
else
    USERDIR=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-msi.XXXXXX")
    cp "$MSI" "$WIN/bin/installed_update.exe" "$USERDIR/"
fi
DISPLAY_NO=$((90 + $$ % 100))
Xvfb ":$DISPLAY_NO" -ac -nolisten tcp -screen 0 1280x900x24 >/dev/null 2>&1 &
XVFB=$!
cleanup_msi() {
    as_user env HOME="$USERDIR" WINEPREFIX="$USERDIR/prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
    kill "$XVFB" 2>/dev/null || true
    chmod -R u+w "$USERDIR" 2>/dev/null || true
    rm -rf "$USERDIR"
    cleanup
}
trap cleanup_msi EXIT INT TERM
uwine() { # a Wine program as that user, on that display, for 5 minutes at most
    as_user env -u XAUTHORITY HOME="$USERDIR" WINEPREFIX="$USERDIR/prefix" DISPLAY=":$DISPLAY_NO" \
        USER=nobody LOGNAME=nobody timeout 300 "$WINE" "$@"
}
msi_check() { # msi_check DESCRIPTION COMMAND...: one case of this stage
    what=$1
    shift
    if "$@"; then pass; else fail "MSI: $what"; fi
}
cd "$USERDIR"
uwine wineboot --init >/dev/null 2>&1 || true
C="$USERDIR/prefix/drive_c"
INSTALLED="$C/Program Files/Halcyra/Vantrel"

msi_check "msiexec /i exited non-zero" uwine msiexec /i "$(basename "$MSI")" /qn
msi_check "no Vantrel.exe, Qt or platform plugin in $INSTALLED" \
    test -f "$INSTALLED/Vantrel.exe" -a -f "$INSTALLED/Osprel.exe" -a -f "$INSTALLED/Qt6Widgets.dll" \
    -a -f "$INSTALLED/platforms/qwindows.dll" -a -f "$INSTALLED/help/main.html"
msi_check "no Start-menu shortcut" test -n "$(find "$C" -iname Vantrel.lnk | head -1)"

# One update through the installed program's window, with the program folder read-only.
cp "$USERDIR/installed_update.exe" "$INSTALLED/" || true
chmod -R a-w "$INSTALLED" || true
set +e
uwine "C:\\Program Files\\Halcyra\\Vantrel\\installed_update.exe" \
    "$HERE" "$HERE\\nobody" "Rotated 2!" >"$WORK/installed.out" 2>&1
set -e
tr -d '\r' <"$WORK/installed.out" | sed 's/^/    /'
ROWS=$(cat "$C"/users/nobody/AppData/Local/Halcyra/Vantrel/_results*.csv 2>/dev/null | tr -d '\r' || true)
# Where the results go is what counts here: this prefix has no ALBD service (the update run on a
# real service manager is the window's test above), so the row reports 1060 for it.
msi_check "no results row for $HERE in %LOCALAPPDATA%\\Halcyra\\Vantrel" \
    test "$(echo "$ROWS" | grep -c "^$HERE,N/A,False,")" -eq 1
msi_check "a results file in the program folder" test -z "$(ls "$INSTALLED" | grep '_results')"

# The installed Vantrel.exe opens its window on the display and ends cleanly when closed.
set +e
uwine "C:\\Program Files\\Halcyra\\Vantrel\\Vantrel.exe" >/dev/null 2>&1 &
APP=$!
shown=false
i=0
while [ $i -lt 120 ]; do
    if xwininfo -root -tree -display ":$DISPLAY_NO" 2>/dev/null | grep -q '"Vantrel'; then
        shown=true
        break
    fi
    sleep 1
    i=$((i + 1))
done
if [ -n "${VANTREL_SCREENSHOT:-}" ] && $shown; then
    sleep 2
    xwd -root -display ":$DISPLAY_NO" -out "$VANTREL_SCREENSHOT" 2>/dev/null
fi
uwine taskkill /im Vantrel.exe >/dev/null 2>&1
wait "$APP"
closed=$?
set -e
msi_check "the installed Vantrel.exe showed no window" $shown
msi_check "the installed Vantrel.exe ended with $closed after a close" test "$closed" -eq 0

chmod -R u+w "$INSTALLED" || true
rm -f "$INSTALLED/installed_update.exe"
msi_check "msiexec /x exited non-zero" uwine msiexec /x "$(basename "$MSI")" /qn
msi_check "files left after the uninstall" test ! -e "$C/Program Files/Halcyra"
msi_check "the shortcut left after the uninstall" test -z "$(find "$C" -iname Vantrel.lnk | head -1)"
stage_end "the MSI"

echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
