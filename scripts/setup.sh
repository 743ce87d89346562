#!/usr/bin/env bash
# Installs the Debian packages a command needs: with no argument those of the
# build, the demo, the tests and the package (scdoc writes the man pages, dpkg-dev
# and file find the package's dependencies); with --bench also Google Benchmark and the
# libraries the benchmarks are measured against (libavutil and libplist pull in
# dozens of graphics and media packages that nothing else needs); with --fuzz
# also clang, for libFuzzer.
# As root it installs what is missing; otherwise it prints the exact command and stops.
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config libhowardhinnant-date-dev tzdata libutf8proc-dev libsqlite3-dev
          libgtest-dev libgmock-dev python3
          scdoc dpkg-dev file)
# The check set-up goes without recommended packages: dpkg-dev alone would
# bring a GnuPG stack, fakeroot and more that nothing here uses, which every
# fresh CI machine pays for. clang needs its recommended runtime (libFuzzer).
apt_options=(--no-install-recommends)
case "${1:-}" in
    --bench) packages+=(libbenchmark-dev libpugixml-dev libplist-dev libavutil-dev) ;;
    --fuzz) packages+=(clang); apt_options=() ;;
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
    echo "  apt-get update && apt-get install -y ${apt_options[*]} ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${apt_options[@]}" "${missing[@]}"
