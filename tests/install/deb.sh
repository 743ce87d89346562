#!/usr/bin/env bash
# The Debian package of a build: its name and dependencies, its tree, and its
# host run where dpkg -x unpacked it.
# Usage: deb.sh BUILD SCRATCH
set -euo pipefail
. "$(dirname "$0")/common.sh"
build=${1:?usage: deb.sh BUILD SCRATCH}
scratch=${2:?usage: deb.sh BUILD SCRATCH}
rm -rf "$scratch" && mkdir -p "$scratch"

cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 || fail "$(cat "$scratch/cpack.log")"
deb=$(ls "$scratch"/package/ossel_*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = ossel ] || fail "$deb: package named $(dpkg-deb -f "$deb" Package)"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libstdc++6 libutf8proc tzdata; do
    [[ $depends == *"$needed"* ]] || fail "$deb: depends on no $needed: $depends"
done
[[ $depends != *libasan* && $depends != *libubsan* ]] || fail "$deb: a sanitizer build: $depends"

dpkg -x "$deb" "$scratch/root"
check_tree "$scratch/root/usr"
check_imports "$scratch/root/usr" "$scratch"
