#!/bin/sh
# Builds and runs the conversion benchmark; prints a Markdown table.
# Usage: bench/run.sh [build-dir] [seconds-per-clip]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
seconds=${2:-20}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVIDBRISK_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target vidbrisk_bench vidbrisk-convert -j2 >/dev/null
"$build/bench/vidbrisk_bench" --seconds "$seconds"
