#!/bin/sh
# scripts/deb-src-list.sh on sample APT configurations, judged by what APT itself then reads
# (its index targets, without fetching anything): one-line and deb822 entries, with and without
# deb-src already there, comments, disabled stanzas and files APT ignores.
# Run as: check_deb_src_list.sh SCRIPT
set -eu
SCRIPT=$1
command -v apt-get >/dev/null || { echo "apt-get is not installed"; exit 77; }
T=$(mktemp -d "${TMPDIR:-/tmp}/deb-src-list.XXXXXX")
trap 'rm -rf "$T"' EXIT INT TERM
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# targets NAME: the source indexes APT reads from the list made in $T/NAME (sorted), its
# warnings on standard error
targets() {
    mkdir -p "$T/$1/lists/partial"
    # shellcheck disable=SC2016 # APT's own placeholders
    apt-get -o Dir::Etc::sourcelist="$T/$1/sources.list" -o Dir::Etc::sourceparts="$T/$1/sources.list.d" \
        -o Dir::State::Lists="$T/$1/lists" indextargets --no-release-info --format '$(CREATED_BY) $(URI)' \
        2>"$T/$1/apt.err" | sort
    cat "$T/$1/apt.err"
}

# --- Both kinds together.
mkdir -p "$T/etc/sources.list.d"
cat >"$T/etc/sources.list" <<'LIST'
# deb file:/srv/apt/old bookworm main
deb file:/srv/apt/base bookworm main contrib
deb-src   file:/srv/apt/base bookworm main contrib
deb [signed-by=/usr/share/keyrings/site.gpg] file:/srv/apt/site bookworm main # the site's own
LIST
printf 'deb-src file:/srv/apt/only-src bookworm main' >"$T/etc/sources.list.d/src.list"
echo "deb file:/srv/apt/ignored bookworm main" >"$T/etc/sources.list.d/old.list.disabled"
cat >"$T/etc/sources.list.d/debian.sources" <<'SOURCES'
Types: deb
# the updates
URIs: file:/srv/apt/base
Suites: bookworm-updates
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NlOtm2fAm0kVz3dB0kzA0RcZZTsG0y
 -----END PGP PUBLIC KEY BLOCK-----

types: deb deb-src
URIs: file:/srv/apt/security
Suites: bookworm-security
Components: main

Types: deb
Enabled: no
URIs: file:/srv/apt/disabled
Suites: bookworm
Components: main
SOURCES
cat >"$T/etc/sources.list.d/src.sources" <<'SOURCES'
# a comment on its own

Types: deb-src
URIs: file:/srv/apt/src822
Suites: bookworm
Components: main non-free-firmware
SOURCES
cp -a "$T/etc" "$T/etc.before"
"$SCRIPT" "$T/etc/sources.list" "$T/etc/sources.list.d" "$T/both" || fail "both kinds: exit $?"
got=$(targets both)
expected="Sources file:/srv/apt/base/dists/bookworm-updates/main/source/Sources
Sources file:/srv/apt/base/dists/bookworm/contrib/source/Sources
Sources file:/srv/apt/base/dists/bookworm/main/source/Sources
Sources file:/srv/apt/only-src/dists/bookworm/main/source/Sources
Sources file:/srv/apt/security/dists/bookworm-security/main/source/Sources
Sources file:/srv/apt/site/dists/bookworm/main/source/Sources
Sources file:/srv/apt/src822/dists/bookworm/main/source/Sources
Sources file:/srv/apt/src822/dists/bookworm/non-free-firmware/source/Sources"
[ "$got" = "$expected" ] || fail "both kinds: APT reads
$got
instead of
$expected"
diff -r "$T/etc.before" "$T/etc" || fail "the machine's own lists were changed"
grep -q 'BEGIN PGP' "$T/both/sources.list.d/debian.sources" || fail "the key block was not kept"

# --- deb822 alone, no one-line list at all, into the same folder as before.
rm "$T/etc/sources.list" "$T/etc/sources.list.d/src.list" "$T/etc/sources.list.d/src.sources"
"$SCRIPT" "$T/etc/sources.list" "$T/etc/sources.list.d" "$T/both" || fail "deb822 alone: exit $?"
got=$(targets both)
[ "$got" = "$(echo "$expected" | grep 'updates\|security')" ] ||
    fail "deb822 alone: APT reads
$got"

# --- Nothing to take: comments, a disabled stanza, a file APT ignores.
echo "# deb file:/srv/apt/base bookworm main" >"$T/etc/sources.list"
printf 'Types: deb\nEnabled: no\nURIs: file:/srv/apt/base\nSuites: bookworm\nComponents: main\n' \
    >"$T/etc/sources.list.d/debian.sources"
if "$SCRIPT" "$T/etc/sources.list" "$T/etc/sources.list.d" "$T/none" 2>"$T/none.err"; then
    fail "nothing to take: exit 0"
fi
grep -q "Types: deb" "$T/none.err" && grep -q "$T/etc/sources.list" "$T/none.err" ||
    fail "nothing to take: the message does not say what to configure: $(cat "$T/none.err")"

exit $failed
