#!/bin/sh
# The Windows installer: build-win/Vantrel-<version>-x64.msi, made with Debian's wixl from the
# install tree of the Windows build (Vantrel.exe, Osprel.exe, vantrel-run.exe when built, the
# help document, and the Qt and run-time libraries they load). Needs build-win/ configured
# with Qt for Windows (scripts/test-windows.sh does that); installs wixl when missing.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"
REQUIRED_PACKAGES="wixl"
install_missing_packages

WIN="$ROOT/build-win"
grep -q '^VANTREL_WITH_QT:BOOL=ON' "$WIN/CMakeCache.txt" 2>/dev/null || {
    echo "error: $WIN is not a Windows build with Qt (run scripts/test-windows.sh first)" >&2
    exit 1
}
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN/CMakeCache.txt")
cmake --build "$WIN" -j "${JOBS:-2}"

STAGE="$WIN/msi"
rm -rf "$STAGE"
cmake --install "$WIN" --prefix "$STAGE/files" --strip >/dev/null
# The libraries copied beside the programs carry symbols no user needs.
STRIP=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$WIN/CMakeCache.txt")
find "$STAGE/files" -name '*.dll' -exec "$STRIP" --strip-unneeded {} +
(cd "$STAGE" && find files -type f | sort |
    wixl-heat --prefix files/ --directory-ref INSTALLDIR --component-group ProgramFiles \
        --var var.SourceDir --win64 >files.wxs)

MSI="$WIN/Vantrel-$VERSION-x64.msi"
rm -f "$MSI"
# wixl takes the files' paths relative to the working folder.
cp "$ROOT/packaging/vantrel.wxs" "$STAGE/"
(cd "$STAGE" && wixl -a x64 -D Version="$VERSION" -D Win64=yes -D SourceDir=files -o "$MSI" \
    vantrel.wxs files.wxs)
echo "$MSI: $(du -h "$MSI" | cut -f1)"
