#!/bin/sh
# Times vidbrisk-convert with the defaults of every video codec entry of the MKV and WebM
# rows on the benchmark's 1280x720 30 fps H.264/AAC clip; prints a Markdown table. "x real time" is the
# clip's playing time over the conversion's wall time: at least 0.5 is the target.
# Usage: bench/modern.sh [build-dir] [seconds-per-clip]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
seconds=${2:-20}
folder=${TMPDIR:-/tmp}/vidbrisk-bench
# A build folder that exists keeps its configuration (a test build may be timed as well).
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVIDBRISK_BUILD_GUI=OFF >/dev/null
fi
cmake --build "$build" --target vidbrisk_bench vidbrisk-convert -j2 >/dev/null
rm -f "$folder/clip_720p.mp4"
"$build/bench/vidbrisk_bench" --clips-only --seconds "$seconds" --folder "$folder"
out=$(mktemp -d)
echo "| format | video codec | seconds | fps | x real time | MB |"
echo "|---|---|---|---|---|---|"
for job in "MKV H264" "MKV HEVC" "MKV AV1" "MKV VP9" "MKV MPEG4" "WEBM VP9" "WEBM AV1" "WEBM VP8"; do
    set -- $job
    start=$(date +%s.%N)
    "$build/cli/vidbrisk-convert" -f "$1" --video-codec "$2" --quiet --overwrite -o "$out" \
        "$folder/clip_720p.mp4" >/dev/null
    end=$(date +%s.%N)
    size=$(stat -c %s "$out"/clip_720p.*)
    awk -v f="$1" -v c="$2" -v s="$start" -v e="$end" -v n="$seconds" -v b="$size" 'BEGIN {
        w = e - s; printf "| %s | %s | %.2f | %.0f | %.2f | %.1f |\n", f, c, w, n * 30 / w, n / w,
        b / 1e6 }'
    rm -f "$out"/clip_720p.*
done
rm -rf "$out"
