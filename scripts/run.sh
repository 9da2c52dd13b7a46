#!/bin/sh
# Sets up and runs Vantrel on the demonstration network.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/setup.sh"

install_missing_packages
configure_and_build

BIN="$ROOT/build/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<MSG
Vantrel is a windowed program and there is no display here (neither DISPLAY nor
WAYLAND_DISPLAY is set). Run it from a desktop session, with "ssh -X", or on a virtual
display:

    xvfb-run -a ./scripts/run.sh
MSG
    exit 1
fi

# simnet chooses the network file as Vantrel and Osprel do ($SIMNET_DB, else simnet.db beside
# the programs); make the demonstration network there the first time. A file it cannot use is
# reported, and Vantrel then finds every machine unreachable.
if [ -x "$BIN/simnet" ] && "$BIN/simnet" init --demo --if-missing; then
    cat <<MSG
On the demonstration network, pick "All Systems" (or another search) to list the client
machines, tick some, then try the service account CORP\\svc_albd with the password N3w!pass.
MSG
fi

exec "$BIN/Vantrel"
