#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# As root it installs what is missing; otherwise it prints the exact command and stops.
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config libpugixml-dev libhowardhinnant-date-dev tzdata libutf8proc-dev libsqlite3-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          libplist-dev libavutil-dev python3)
# clang brings libFuzzer for `make fuzz` only.
if [ "${1:-}" = "--fuzz" ]; then packages+=(clang); fi

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
