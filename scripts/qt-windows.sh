#!/bin/sh
# Qt 6 for 64-bit Windows, cross-built here with mingw-w64 from Debian's own qtbase source (the
# version the Linux build uses), with Debian's Linux Qt as the host tools. Only what Vantrel
# needs: Core, Gui, Widgets, Test, the windows/offscreen/minimal platform plugins and the
# Windows styles, with the bundled zlib, pcre2, freetype, harfbuzz and libpng.
#
# `scripts/qt-windows.sh --prefix` prints the folder only; `--built` answers by its exit status.
# Installs into VANTREL_QT_WINDOWS (default ~/.cache/vantrel/qt-6.4.2-mingw64) and does nothing
# when that folder already holds a finished build. When ../shared/qt-windows/ (beside the
# repository) holds qt-6.4.2-mingw64.tar.xz, that archive is unpacked instead of building.
# Building takes about an hour of CPU (half an hour on 2 cores).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"

QT_VERSION=6.4.2
PREFIX=${VANTREL_QT_WINDOWS:-$HOME/.cache/vantrel/qt-$QT_VERSION-mingw64}
STAMP="$PREFIX/.vantrel-complete"

# --prefix: where the build is (or will be); --built: whether it is finished there.
case "${1:-}" in
--prefix) echo "$PREFIX" && exit 0 ;;
--built) [ -f "$STAMP" ] && exit 0 || exit 1 ;;
esac

if [ -f "$STAMP" ]; then
    echo "Qt $QT_VERSION for Windows: $PREFIX (already built)"
    exit 0
fi

REQUIRED_PACKAGES="$REQUIRED_PACKAGES mingw-w64 qt6-base-dev-tools dpkg-dev xz-utils"
install_missing_packages

ARCHIVE="$ROOT/../shared/qt-windows/qt-$QT_VERSION-mingw64.tar.xz"
if [ -f "$ARCHIVE" ]; then
    echo "Qt $QT_VERSION for Windows: unpacking $ARCHIVE"
    rm -rf "$PREFIX" && mkdir -p "$PREFIX"
    tar -xJf "$ARCHIVE" -C "$PREFIX"
    [ -f "$STAMP" ] || { echo "error: $ARCHIVE holds no finished build" >&2; exit 1; }
    exit 0
fi

echo "Qt $QT_VERSION for Windows is not in $PREFIX: building it from Debian's source."
echo "This is done once and takes about an hour of CPU time (30-60 minutes on 2 cores)."
started=$(date +%s)

WORK=${VANTREL_QT_WINDOWS_WORK:-$HOME/.cache/vantrel/qt-$QT_VERSION-mingw64-work}
mkdir -p "$WORK"

# Debian's source package, from the archives this machine's APT is configured with, through a
# private sources list so the system's lists stay as they are.
SRC=$(find "$WORK" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
if [ -z "$SRC" ] || [ ! -f "$SRC/CMakeLists.txt" ]; then
    mkdir -p "$WORK/apt/lists/partial"
    eval "$(apt-config shell LIST Dir::Etc::sourcelist/f PARTS Dir::Etc::sourceparts/d)"
    "$ROOT/scripts/deb-src-list.sh" "${LIST:-/etc/apt/sources.list}" "${PARTS:-/etc/apt/sources.list.d}" "$WORK/apt"
    APT="-o Dir::Etc::sourcelist=$WORK/apt/sources.list -o Dir::Etc::sourceparts=$WORK/apt/sources.list.d"
    APT="$APT -o Dir::State::Lists=$WORK/apt/lists"
    # shellcheck disable=SC2086
    apt-get -q $APT update
    # shellcheck disable=SC2086
    (cd "$WORK" && apt-get -q $APT source --download-only "qt6-base=$QT_VERSION*" ||
        apt-get -q $APT source --download-only qt6-base)
    (cd "$WORK" && dpkg-source --no-check -x qt6-base_*.dsc >/dev/null)
    SRC=$(find "$WORK" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
fi
[ -n "$SRC" ] && [ -f "$SRC/CMakeLists.txt" ] || { echo "error: no qtbase source in $WORK" >&2; exit 1; }

# Debian's repacked source has no wintab header, so tablet input is left out; with it go
# direct2d (and the DirectWrite font database only it builds), and dynamic OpenGL (OpenGL is
# off). Each of these changed after a first build costs a rebuild of Gui and Widgets.
BUILD="$WORK/build"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$SRC" -B "$BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_dynamicgl=OFF \
        -DFEATURE_directwrite3=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
fi
cmake --build "$BUILD" -j "${JOBS:-2}"
rm -rf "$PREFIX"
cmake --install "$BUILD" >/dev/null
touch "$STAMP"

took=$(( $(date +%s) - started ))
echo "Qt $QT_VERSION for Windows built in $((took / 60)) min $((took % 60)) s:" \
    "$PREFIX, $(du -sh "$PREFIX" | cut -f1)"
