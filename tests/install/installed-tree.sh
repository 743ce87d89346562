#!/usr/bin/env bash
# Installs a build into PREFIX and checks the tree: its layout, its headers
# compiled together as a developer's program includes them, and its host, also
# after the tree moved.
# Usage: installed-tree.sh BUILD PREFIX SCRATCH
set -euo pipefail
. "$(dirname "$0")/common.sh"
usage="usage: installed-tree.sh BUILD PREFIX SCRATCH"
build=${1:?$usage}
prefix=${2:?$usage}
scratch=${3:?$usage}
rm -rf "$prefix" "$scratch" && mkdir -p "$scratch"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || fail "$(cat "$scratch/install.log")"

check_tree "$prefix"

# Every installed header, with only the installed tree on the include path.
find "$prefix/include/ossel" -name '*.h' | sort | sed "s|^$prefix/include/ossel/\(.*\)|#include \"\1\"|" >"$scratch/all.cpp"
c++ -std=c++20 -fsyntax-only -I "$prefix/include/ossel" "$scratch/all.cpp" ||
    fail "$prefix/include/ossel: the installed headers do not compile on their own"

check_imports "$prefix" "$scratch"
cp -a "$prefix" "$scratch/moved"
check_imports "$scratch/moved" "$scratch"
