#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build, each for an equal share of the
# given seconds, and prints for each the inputs it ran and what it found.
# Seeds: fuzz/seeds/NAME/ when there is one, the property-list fixtures for the
# readers of property lists; fuzz/NAME.dict, when there is one, as a dictionary.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:?usage: fuzz.sh BUILD_DIR SECONDS}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)

fuzzers=()
for f in "$build"/fuzz-*; do
    [ -f "$f" ] && [ -x "$f" ] && fuzzers+=("$f")
done
[ ${#fuzzers[@]} -gt 0 ] || { echo "fuzz.sh: no fuzz-* harness built in $build" >&2; exit 2; }
share=$(( seconds / ${#fuzzers[@]} ))
[ "$share" -ge 1 ] || share=1

status=0
for fuzzer in "${fuzzers[@]}"; do
    name=${fuzzer##*/fuzz-}
    # The corpus grows as the fuzzer finds new paths; keep it beside the build, not in the sources.
    corpus="$build/fuzz-corpus/$name"
    findings="$build/fuzz-findings/$name"
    log="$build/fuzz-$name.log"
    mkdir -p "$corpus" "$findings"
    inputs=("$corpus")
    [ -d "$here/fuzz/seeds/$name" ] && inputs+=("$here/fuzz/seeds/$name")
    case "$name" in plist|catalog_records) inputs+=("$here/tests/data/plist") ;; esac
    options=(-max_total_time="$share" -print_final_stats=1 -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$findings/")
    [ -f "$here/fuzz/$name.dict" ] && options+=(-dict="$here/fuzz/$name.dict")

    before=$(ls "$findings" | wc -l)
    rc=0
    "$fuzzer" "${options[@]}" "${inputs[@]}" >"$log" 2>&1 || rc=$?
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -1)
    found=$(( $(ls "$findings" | wc -l) - before ))
    echo "fuzz-$name: ${runs:-unknown} inputs in ${share}s, corpus $(ls "$corpus" | wc -l) files, $found finding(s); log $log"
    if [ "$rc" -ne 0 ]; then
        status=1
        echo "fuzz-$name: FAILED (exit $rc); the input is in $findings:" >&2
        grep -E 'ERROR|SUMMARY|Test unit written|input:|written' "$log" >&2 || true
    fi
done
exit "$status"
