# What the install tests share: checks of an installed tree, run on the tree that
# `cmake --install` makes and on the one the Debian package unpacks to.

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

fail() {
    echo "$*" >&2
    exit 1
}

# The library directory of an installed tree: where libossel-model.so is.
library_dir() {
    local lib
    lib=$(find "$1" -name libossel-model.so -print -quit)
    [ -n "$lib" ] || fail "$1: no libossel-model.so"
    dirname "$lib"
}

# An installed tree holds every program with its man page and nothing else in
# bin/, versioned shared libraries, and the one importer bundle.
check_tree() {
    local prefix=$1 libdir lib soname bundles
    local programs pages
    programs=$(ls "$prefix/bin")
    pages=$(ls "$prefix/share/man/man1" 2>/dev/null | sed 's/\.1\.gz$//')
    [ -n "$programs" ] || fail "$prefix/bin: no programs"
    [ "$programs" = "$pages" ] || fail "$prefix: programs and man pages differ:
$(diff <(echo "$programs") <(echo "$pages"))"

    libdir=$(library_dir "$prefix")
    for lib in libossel-foundation libossel-model; do
        soname=$(objdump -p "$libdir/$lib.so" | awk '$1 == "SONAME" { print $2 }')
        [[ $soname == $lib.so.* ]] || fail "$libdir/$lib.so: SONAME \"$soname\" carries no version"
        [ -L "$libdir/$soname" ] && [ -f "$libdir/$soname" ] || fail "$libdir/$soname: missing, or not a link to the library"
    done

    bundles=$(find "$prefix" -name '*.mdimporter')
    [ "$bundles" = "$libdir/ossel/OsselImporter.mdimporter" ] || fail "$prefix: bundles installed: ${bundles:-none}"
    [ -f "$bundles/Contents/Info.plist" ] && [ -f "$bundles/Contents/MacOS/OsselImporter.so" ] ||
        fail "$bundles: Info.plist or module missing"
}

# The host of an installed tree imports the example catalog with the bundle and
# the libraries of that same tree.
check_imports() {
    local prefix=$1 scratch=$2 host=$1/bin/ossel-mdimport
    local outside clips imported
    outside=$(ldd "$host" | awk '/libossel/ { print $3 }' | grep -v "^$prefix/" || true)
    [ -z "$outside" ] || fail "$host: loads libraries from outside its tree: $outside"
    mkdir -p "$scratch/home"
    HOME="$scratch/home" "$host" --json -r "$source_dir/examples/Ossel" >"$scratch/imports.json" 2>"$scratch/imports.err" ||
        fail "$host: exit status $? on the example catalog: $(cat "$scratch/imports.err")"
    clips=$(find "$source_dir/examples/Ossel/Clips" -name '*.plist' | wc -l)
    imported=$(grep -c '"imported": true' "$scratch/imports.json" || true)
    [ "$imported" -eq "$clips" ] || fail "$host: $imported of $clips example clips imported"
    # A place name comes from the catalog, so the bundle found and read it.
    grep -q '"Fenwick Harbour"' "$scratch/imports.json" || fail "$host: no catalog names in $scratch/imports.json"
}
