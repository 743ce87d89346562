#!/usr/bin/env bash
# examples/consumer built against an installed tree, as a developer would build
# it: with CMake's find_package, or with pkg-config.
# Usage: consumer.sh cmake|pkg-config PREFIX SCRATCH
set -euo pipefail
. "$(dirname "$0")/common.sh"
how=${1:?usage: consumer.sh cmake|pkg-config PREFIX SCRATCH}
prefix=${2:?usage: consumer.sh cmake|pkg-config PREFIX SCRATCH}
scratch=${3:?usage: consumer.sh cmake|pkg-config PREFIX SCRATCH}
rm -rf "$scratch" && mkdir -p "$scratch"
example=$source_dir/examples/consumer

case "$how" in
    cmake)
        cmake -S "$example" -B "$scratch" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$scratch/configure.log" ||
            fail "$(cat "$scratch/configure.log")"
        cmake --build "$scratch" >"$scratch/build.log" || fail "$(cat "$scratch/build.log")"
        ;;
    pkg-config)
        export PKG_CONFIG_PATH
        PKG_CONFIG_PATH=$(library_dir "$prefix")/pkgconfig
        c++ -std=c++20 -o "$scratch/timecode-frames" "$example/main.cpp" $(pkg-config --cflags --libs ossel-model) \
            -Wl,-rpath,"$(pkg-config --variable=libdir ossel-model)"
        ;;
    *) fail "consumer.sh: cmake or pkg-config, not $how" ;;
esac

# Frame counts of drop-frame labels: an hour skips 108 labels, a minute that is
# no multiple of ten skips ;00 and ;01, and a day holds 2589408 frames.
while read -r label frames; do
    got=$("$scratch/timecode-frames" "$label") || fail "timecode-frames $label: exit status $?"
    [ "$got" = "$frames" ] || fail "timecode-frames $label: $got, not $frames"
done <<'TABLE'
00:00:00;00 0
00:01:00;02 1800
00:10:00;00 17982
01:00:00;00 107892
23:59:59;29 2589407
TABLE
if "$scratch/timecode-frames" "not a timecode" 2>/dev/null; then fail "timecode-frames accepted \"not a timecode\""; fi
