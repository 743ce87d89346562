#!/usr/bin/env bash
# Runs every benchmark program of a release build; each prints its figures beside its reference.
set -euo pipefail
build=${1:-build/release}
status=0
for b in "$build"/bench/bench-*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true || status=1
done
exit $status
