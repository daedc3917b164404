#!/usr/bin/env bash
# Mutation fuzzing of the converter under AddressSanitizer and UBSan.
#
#   scripts/fuzz-convert.sh [N] [--start SEED] [--jobs J] [--timeout SECONDS]
#                           [--build-dir DIR] [--findings FILE] [--no-build]
#                           [--clips standard|real-world|source-kinds|all]
#   scripts/fuzz-convert.sh --minimize "CLIP | FORMAT | MUTATION" [--timeout SECONDS] ...
#
# Builds vidbrisk-convert, vidbrisk_make_test_media and vidbrisk_mutate with the sanitizers
# (in build-fuzz/ by default), writes the test clips, then for seeds SEED .. SEED+N-1
# (N defaults to 1000, SEED to 0) damages one clip with vidbrisk_mutate, converts it to one
# output format and looks at how the run ended. Clips and formats rotate with the seed. The
# clips are the standard test clips with the songs and the film of the library set, the
# real-world set (MKV, TS, ASF, turned phone videos, cut files...), named "real-world/NAME"
# in findings, and the source kinds (sound from many decoders, anamorphic, 10-bit and
# interlaced pictures, 5.1), named "source-kinds/NAME"; --clips narrows the choice.
# Flagged: a sanitizer report, death by a signal, a run still going after the time limit,
# an output file that reaches the size cap, an exit status other than 0 or 1, and a missing
# or doubled result line. Each finding goes to the findings file (build-fuzz/findings.txt)
# with a line ready to paste into tests/fuzz/regressions.txt, then a summary is printed.
# --minimize takes such a line and prints it with every step removed that the fault does
# not need. Exit status: 0 when the findings file holds no finding, 1 when it holds any.
set -uo pipefail
cd "$(dirname "$0")/.."
source=$PWD

count=1000 start=0 jobs=1 limitSeconds=60 build=build-fuzz findings="" doBuild=1 minimizeCase=""
clipSet=all
while (($#)); do
    case $1 in
        --start) start=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --timeout) limitSeconds=$2; shift 2 ;;
        --build-dir) build=$2; shift 2 ;;
        --findings) findings=$2; shift 2 ;;
        --no-build) doBuild=0; shift ;;
        --minimize) minimizeCase=$2; shift 2 ;;
        --clips) clipSet=$2; shift 2 ;;
        [0-9]*) count=$1; shift ;;
        *) sed -n '2,/^set/p' "$0" | sed '$d' >&2; exit 2 ;;
    esac
done
build=$(realpath -m "$build")
findings=${findings:-$build/findings.txt}
capBytes=$((50 * 1024 * 1024))

clips=(mpeg4_mp3.avi h264_aac.mp4 audio_only.mp3 mono_8khz.wav video_only.mp4
    audio_first.avi no_duration.h264 cover_art.mp3 cover_art.m4a two_languages.mkv)
formats=(FLV MP4 "AVI - Audio Video Interleave (*.avi)" MP3 WAV 3GP WMV SWF
    "MPEG-1 Movie (*.mpg)" "MPEG-2 Movie (*.mpg)" MOV "AVI - XviD Video (*.avi)" WMA
    MKV "M4A - Mpeg4 Audio File (*.m4a)" "OGG - Ogg Vorbis Audio (*.ogg)")

if ((doBuild)); then
    if [[ ! -f $build/CMakeCache.txt ]]; then
        cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDBRISK_SANITIZE=ON \
            -DVIDBRISK_BUILD_GUI=OFF -DVIDBRISK_BUILD_TESTS=ON >/dev/null || exit 1
    fi
    cmake --build "$build" -j2 --target vidbrisk-convert vidbrisk_make_test_media \
        vidbrisk_mutate >/dev/null || exit 1
fi
converter=$build/cli/vidbrisk-convert
mutator=$build/tests/vidbrisk_mutate
media=$build/fuzz-media
realWorld=$build/fuzz-real-world
sourceKinds=$build/fuzz-source-kinds
# The clip writer runs under the sanitizers too, with the libraries' known leaks suppressed.
export ASAN_OPTIONS="detect_leaks=1:handle_abort=1:exitcode=86"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86"
export LSAN_OPTIONS="suppressions=$source/tests/lsan.supp"
"$build/tests/vidbrisk_make_test_media" "$media" >/dev/null || exit 1
"$build/tests/vidbrisk_make_test_media" --real-world "$realWorld" >/dev/null || exit 1
"$build/tests/vidbrisk_make_test_media" --source-kinds "$sourceKinds" >/dev/null || exit 1
case $clipSet in
    standard | all) ;;
    real-world | source-kinds) clips=() ;;
    *) echo "--clips takes standard, real-world, source-kinds or all" >&2; exit 2 ;;
esac
if [[ $clipSet == real-world || $clipSet == all ]]; then
    for file in "$realWorld"/*; do clips+=("real-world/$(basename "$file")"); done
fi
if [[ $clipSet == source-kinds || $clipSet == all ]]; then
    for file in "$sourceKinds"/*; do clips+=("source-kinds/$(basename "$file")"); done
fi
# Where a clip named in a finding is.
clipPath() {
    case $1 in
        real-world/*) echo "$realWorld/${1#real-world/}" ;;
        source-kinds/*) echo "$sourceKinds/${1#source-kinds/}" ;;
        *) echo "$media/$1" ;;
    esac
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vidbrisk-fuzz-XXXXXX")
cleanup() {
    # Conversions still running (after Ctrl-C) get the converter's own stop, then are
    # killed. Each runs under a timeout process that leads its own process group; its id
    # is kept in the mutant's folder.
    local pids
    pids=$(cat "$scratch"/*/pid 2>/dev/null)
    if [[ -n $pids ]]; then
        for pid in $pids; do kill -INT -- "-$pid" 2>/dev/null; done
        sleep 2
        for pid in $pids; do kill -KILL -- "-$pid" 2>/dev/null; done
    fi
    wait
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
: >>"$findings"

# The first lines of a sanitizer report, and a key naming its cause: the kind of error and
# the first stack frame in this project's code.
reportOf() {
    grep -m1 -A 24 -E '^==[0-9]+==ERROR|runtime error:|^SUMMARY:' "$1" | sed '/^SUMMARY:/q' |
        head -n 25
}
causeOf() {
    local stderr=$1 kind frame
    kind=$(grep -m1 -oE 'ERROR: [A-Za-z]+: [A-Za-z-]+|runtime error: [^0-9]*' "$stderr")
    frame=$(grep -E '^ +#[0-9]+ 0x[0-9a-f]+ in ' "$stderr" | grep -F "$source/" |
        grep -vF "$source/tests/" | head -n 1 | sed -E 's/^ +#[0-9]+ 0x[0-9a-f]+ in //')
    echo "${kind:-no report} | ${frame:-no frame in project code}" | sed "s#$source/##g"
}

# Converts the damaged file $3 (from clip $2) in the folder $1 to format $4 and writes
# how the run went wrong, if it did, to $1/kinds (empty when it did not) and its exit
# status to $1/status.
convertOne() {
    local dir=$1 clip=$2 mutant=$3 format=$4 status
    rm -rf "$dir/out"
    mkdir -p "$dir/out"
    # The file size limit stops a runaway output at the cap (ulimit counts 1024-byte
    # blocks); after the time limit SIGINT lets the converter end its file, SIGKILL follows.
    (
        ulimit -f $((capBytes / 1024))
        exec timeout -s INT -k 10 "$limitSeconds" \
            "$converter" -f "$format" -o "$dir/out" --overwrite --quiet "$mutant" </dev/null
    ) >"$dir/stdout" 2>"$dir/stderr" &
    echo $! >"$dir/pid"
    wait $!
    status=$?
    rm -f "$dir/pid"

    local kinds=()
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$dir/stderr"; then
        kinds+=(sanitizer)
    fi
    case $status in
        0 | 1 | 86) ;;
        124) kinds+=(timeout) ;;
        137) kinds+=(timeout-killed) ;;
        *) if ((status >= 128)); then kinds+=("signal-$((status - 128))"); else kinds+=("exit-$status"); fi ;;
    esac
    if [[ -n $(find "$dir/out" -type f -size +$((capBytes - 1))c) ]]; then
        kinds+=(output-cap)
    fi
    if [[ $(grep -c $'\t'"$mutant"$'\t' "$dir/stdout") != 1 ]]; then
        kinds+=(result-lines)
    fi
    echo "${kinds[*]}" >"$dir/kinds"
    echo "$status" >"$dir/status"
}

runOne() {
    local seed=$1 clip=${clips[$(($1 % ${#clips[@]}))]}
    local format=${formats[$((($1 / ${#clips[@]}) % ${#formats[@]}))]}
    local steps=$((1 + $1 % 5))
    local dir=$scratch/$seed
    mkdir -p "$dir"
    local mutant=$dir/damaged_${clip##*/} spec kinds status
    spec=$("$mutator" --count "$steps" "$seed" "$(clipPath "$clip")" "$mutant") || return
    convertOne "$dir" "$clip" "$mutant" "$format"
    kinds=$(cat "$dir/kinds") status=$(cat "$dir/status")
    # How each mutant ended, for the closing tally.
    echo "${status}"$'\t'"$(cut -f1,4 "$dir/stdout" | head -n 1 | sed "s#$dir/##g")" >>"$scratch/tally"
    if [[ -n $kinds ]]; then
        {
            echo "# seed=$seed kind=$kinds status=$status clip=$clip format=$format"
            echo "# cause: $(causeOf "$dir/stderr")"
            echo "# result: $(tr '\t' ' ' <"$dir/stdout" | sed "s#$dir/##g" | head -n 2)"
            echo "# output: $(du -b "$dir/out" | cut -f1) bytes"
            echo "$clip | $format | $spec"
            reportOf "$dir/stderr" | sed "s#$source/##g; s/^/#   /"
            echo
        } >"$dir/finding"
        flock "$findings" -c "cat '$dir/finding' >>'$findings'"
        echo "seed $seed: $kinds ($clip -> $format)"
    fi
    rm -rf "$dir"
}

# Drops the steps of a finding's mutation text one at a time while the run still goes wrong
# the same way (same first kind, same cause), and prints the shorter case.
minimize() {
    local clip format spec
    IFS='|' read -r clip format spec <<<"$1"
    clip=$(xargs <<<"$clip") format=$(sed -E 's/^ +| +$//g' <<<"$format") spec=$(xargs <<<"$spec")
    local dir=$scratch/minimize mutant
    mkdir -p "$dir"
    mutant=$dir/damaged_${clip##*/}
    "$mutator" --apply "$spec" "$(clipPath "$clip")" "$mutant" || exit 1
    convertOne "$dir" "$clip" "$mutant" "$format"
    local wanted cause
    wanted=$(cut -d' ' -f1 "$dir/kinds") cause=$(causeOf "$dir/stderr")
    if [[ -z $wanted ]]; then
        echo "this case runs cleanly; nothing to minimize" >&2
        exit 1
    fi
    echo "goes wrong as: $wanted | $cause" >&2
    local steps=() i
    IFS=';' read -ra steps <<<"$spec"
    for ((i = ${#steps[@]} - 1; i >= 0 && ${#steps[@]} > 1; i--)); do
        local trial=("${steps[@]:0:i}" "${steps[@]:i+1}") text
        text=$(IFS=';'; echo "${trial[*]}")
        "$mutator" --apply "$text" "$(clipPath "$clip")" "$mutant" 2>/dev/null || continue
        convertOne "$dir" "$clip" "$mutant" "$format"
        if [[ $(cut -d' ' -f1 "$dir/kinds") == "$wanted" && $(causeOf "$dir/stderr") == "$cause" ]]; then
            steps=("${trial[@]}")
            echo "without step $((i + 1)): still $wanted" >&2
        fi
    done
    echo "$clip | $format | $(IFS=';'; echo "${steps[*]}")"
}

if [[ -n $minimizeCase ]]; then
    minimize "$minimizeCase"
    exit 0
fi

echo "fuzzing $count mutants from seed $start, $jobs at a time; findings in $findings"
began=$SECONDS
for ((seed = start; seed < start + count; seed++)); do
    while (($(jobs -pr | wc -l) >= jobs)); do
        wait -n
    done
    runOne "$seed" &
    if (((seed - start + 1) % 100 == 0)); then
        echo "... $((seed - start + 1)) mutants started, $((SECONDS - began)) s"
    fi
done
wait

echo "done: $count mutants in $((SECONDS - began)) s"
echo "how they ended (exit status, result, reason):"
sed -E 's/[0-9]+/N/g' "$scratch/tally" | sort | uniq -c | sort -rn | head -n 15
echo "findings by cause (whole findings file):"
if ! grep -qE '^# seed' "$findings"; then
    echo "      none"
    exit 0
fi
grep -E '^# (seed|cause)' "$findings" | paste - - |
    sed -E 's/^# seed=[0-9]+ kind=(.*) status=.* format=.*\t# cause: (.*)$/\1 | \2/' |
    sort | uniq -c | sort -rn
exit 1
