#!/usr/bin/env bash
# Runs the host on the bundled example catalog, then indexes it and searches the
# index. HOME points at a scratch folder so that nothing of the user's own
# ~/Movies/Ossel can leak into the output, and the index lives there too
# (--db): the user's own index is never touched.
set -euo pipefail
build=${1:-build/release}
here=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch"
db="$scratch/index.sqlite"

# Prints a command as one would type it, then runs it.
show() {
    local line='$' arg
    for arg in "$@"; do
        case "$arg" in
            *[!A-Za-z0-9_./=-]*) line+=" '${arg//\'/\'\\\'\'}'" ;;
            *) line+=" $arg" ;;
        esac
    done
    printf '\n%s\n' "$line"
    "$@"
}

cd "$here"
show "$build/ossel-mdimport" -r examples/Ossel
show "$build/ossel-mdimport" --index --db "$db" -r examples/Ossel
show "$build/ossel-mdfind" --db "$db" maren
show "$build/ossel-mdfind" --db "$db" 'kMDItemStarRating >= 4 && kMDItemContentCreationDate < $time.iso(2007-01-01)'
show "$build/ossel-mdfind" --db "$db" -count 'kMDItemOsselVideoFormat == "DV PAL*"'
show "$build/ossel-mdls" --db "$db" "examples/Ossel/Clips/2007/Birthday speeches.plist"
# Nothing changed: the second run reads nothing again.
show "$build/ossel-mdimport" --index --db "$db" -r examples/Ossel
