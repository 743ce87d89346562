#!/usr/bin/env bash
# Runs the host on the bundled example catalog. HOME points at a scratch folder so
# that nothing of the user's own ~/Movies/Ossel can leak into the output.
set -euo pipefail
build=${1:-build/release}
here=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ -x "$build/ossel-mdimport" ]; then
    HOME="$scratch" "$build/ossel-mdimport" -r "$here/examples/Ossel"
else
    HOME="$scratch" "$build/ossel-plcat" "$here/examples/Ossel"
fi
