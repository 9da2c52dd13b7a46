#!/bin/sh
# Source-package entries taken from this machine's own APT configuration, for a private list:
# the machine's administrator already said where packages come from (the site's own copy of an
# archive or a proxy, often the only one a build machine can reach), so sources come from there.
#
#   scripts/deb-src-list.sh LIST PARTS OUT
#
# LIST is the one-line sources list (apt-config's Dir::Etc::sourcelist), PARTS its folder of
# further lists (Dir::Etc::sourceparts); either may be missing. Writes OUT/sources.list (every
# `deb` and `deb-src` line of LIST and PARTS/*.list, as `deb-src`, each once) and
# OUT/sources.list.d/ (each PARTS/*.sources with its enabled `deb` or `deb-src` stanzas, typed
# `deb-src`). Nothing under LIST or PARTS is changed. Exits 1, naming what to configure, when
# there is no entry to take.
set -eu
[ $# -eq 3 ] || { echo "usage: $0 LIST PARTS OUT" >&2; exit 2; }
LIST=$1
PARTS=$2
OUT=$3

rm -rf "$OUT/sources.list" "$OUT/sources.list.d"
mkdir -p "$OUT/sources.list.d"

# One-line entries: "deb [options] URI SUITE COMPONENT..."; '#' starts a comment anywhere.
set --
[ -f "$LIST" ] && set -- "$LIST"
for f in "$PARTS"/*.list; do
    [ -f "$f" ] && set -- "$@" "$f"
done
: >"$OUT/sources.list"
if [ $# -gt 0 ]; then
    awk '{ sub(/#.*/, ""); $1 = $1 }
        $1 == "deb" || $1 == "deb-src" {
            $1 = "deb-src"
            if (!seen[$0]++) print
        }' "$@" >"$OUT/sources.list"
fi

# deb822 files: stanzas are separated by blank lines; a field runs on over lines that start
# with white space (a key block in Signed-By), which are kept as they are.
for f in "$PARTS"/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
        {
            n = split($0, line, "\n")
            types = ""; enabled = "yes"
            for (i = 1; i <= n; i++) {
                if (match(tolower(line[i]), /^types:/)) types = " " tolower(substr(line[i], RLENGTH + 1)) " "
                if (match(tolower(line[i]), /^enabled:/)) enabled = tolower(substr(line[i], RLENGTH + 1))
            }
            gsub(/[ \t]/, "", enabled)
            gsub(/[ \t]+/, " ", types)
            if (enabled == "no" || (types !~ / deb / && types !~ / deb-src /)) next
            out = ""
            for (i = 1; i <= n; i++)
                out = out (tolower(line[i]) ~ /^types:/ ? "Types: deb-src" : line[i]) (i < n ? "\n" : "")
            print out
        }' "$f" >"$OUT/sources.list.d/$(basename "$f")"
    [ -s "$OUT/sources.list.d/$(basename "$f")" ] || rm -f "$OUT/sources.list.d/$(basename "$f")"
done

if [ ! -s "$OUT/sources.list" ] && [ -z "$(ls "$OUT/sources.list.d")" ]; then
    echo "error: no package archive is configured for APT on this machine: add a 'deb' line to" \
        "$LIST or a stanza with 'Types: deb' (URIs, Suites, Components) to a .sources file in" \
        "$PARTS, naming the archive (or the site's copy of one) this machine installs packages from" >&2
    exit 1
fi
