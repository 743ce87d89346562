#!/usr/bin/env bash
# Runs the property-list fuzzer of a fuzz build for the given number of seconds,
# seeded with the test fixtures, and prints how many inputs it ran.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:?usage: fuzz.sh BUILD_DIR SECONDS}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
fuzzer="$build/fuzz-plist"
[ -x "$fuzzer" ] || { echo "fuzz.sh: $fuzzer not built" >&2; exit 2; }

# The corpus grows as the fuzzer finds new paths; keep it beside the build, not in the sources.
corpus="$build/fuzz-corpus/plist"
findings="$build/fuzz-findings/plist"
mkdir -p "$corpus" "$findings"
log="$build/fuzz-plist.log"
status=0
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$findings/" "$corpus" "$here/tests/data/plist" >"$log" 2>&1 || status=$?
runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -1)
echo "fuzz-plist: ${runs:-unknown} inputs in ${seconds}s, corpus $(ls "$corpus" | wc -l) files, log $log"
if [ "$status" -ne 0 ]; then
    echo "fuzz-plist: FAILED (exit $status); the crashing input is in $findings:" >&2
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" >&2 || true
fi
exit "$status"
