#!/bin/sh
# Sets up, builds and runs the whole test suite; exits non-zero when anything fails.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"

install_missing_packages
configure_and_build

cd "$ROOT/build"
# The window tests draw offscreen; no display is needed.
exec ctest --output-on-failure -j "${JOBS:-2}"
