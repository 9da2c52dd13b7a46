# Shared by run.sh and test.sh (sourced, not run): installs the Debian packages the build
# needs when any is missing, then configures and builds everything into build/.
# Variables: ROOT (repository), JOBS (parallel build jobs, default 2), BUILD_DIR (default
# build/).

REQUIRED_PACKAGES="build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libsqlite3-dev
nlohmann-json3-dev doctest-dev fonts-liberation2 xvfb xauth"

# Extra packages may be named as arguments.
install_missing_packages() {
    missing=""
    for pkg in $REQUIRED_PACKAGES "$@"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing="$missing $pkg"
    done
    [ -z "$missing" ] && return 0

    echo "Installing missing Debian packages:$missing"
    if [ "$(id -u)" -eq 0 ]; then
        as_root=""
    elif command -v sudo >/dev/null 2>&1; then
        as_root="sudo"
    else
        echo "error: these packages are missing and you are not root:$missing" >&2
        return 1
    fi
    $as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

# Arguments go to cmake when it configures a new build folder.
configure_and_build() {
    build="${BUILD_DIR:-$ROOT/build}"
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$build" -j "${JOBS:-2}"
}
