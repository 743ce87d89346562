#!/usr/bin/env bash
# Installs the Debian packages a command needs: with no argument those of the
# build, the demo and the tests; with --bench also Google Benchmark and the
# libraries the benchmarks are measured against (libavutil and libplist pull in
# dozens of graphics and media packages that nothing else needs); with --fuzz
# also clang, for libFuzzer.
# As root it installs what is missing; otherwise it prints the exact command and stops.
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config libhowardhinnant-date-dev tzdata libutf8proc-dev libsqlite3-dev
          libgtest-dev libgmock-dev python3)
case "${1:-}" in
    --bench) packages+=(libbenchmark-dev libpugixml-dev libplist-dev libavutil-dev) ;;
    --fuzz) packages+=(clang) ;;
    "") ;;
    *) echo "usage: $0 [--bench | --fuzz]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages; run as root:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${missing[@]}"
