#!/bin/bash
# The converter's bash completion, run for a few prefixes against the built program.
# bash_completion_test.sh COMPLETION_FILE CONVERTER
set -u
source "$1"
converter=$2
failures=0

# complete WORD... : the completions of the last word
complete_words() {
    COMP_WORDS=("$converter" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vidbrisk_convert
    printf '%s\n' "${COMPREPLY[@]}"
}

expect() {
    local wanted=$1
    shift
    if ! complete_words "$@" | grep -qxF -- "$wanted"; then
        echo "FAIL: '$*' does not offer '$wanted'; it offers:"
        complete_words "$@" | sed 's/^/    /'
        failures=$((failures + 1))
    fi
}

expect --version --ver
expect --video-size -f MP4 --video
expect FLV -f FL
expect 'MP4\ -\ MPEG4\ Video\ \(\*.mp4\)' -f 'MP4\ -'
expect 'MP4 - MPEG4 Video (*.mp4)' --list-settings "'MP4 -"
expect '320\ x\ 240\ \(VGA\)' -f MP4 --video-size 320
expect Mono -f MP4 --channels M
# The long spellings of -f and -o.
expect --output-folder --format MP4 --out
expect '128\ Kbps' --format MP4 --audio-bitrate 12
expect '44100\ Hz' -f MP3 --sample-rate 44
expect 16:9 -f MP4 --aspect 16
expect none -f MKV --subtitles n
expect default -f MKV --audio-tracks d
expect --audio-tracks -f MKV --audio
expect --streams --probe --st
folder=$(mktemp -d)
mkdir "$folder/out"
touch "$folder/outfile.avi"
expect "$folder/out" -f MP4 -o "$folder/ou"
expect "$folder/out" -f MP4 --output-folder "$folder/ou"
if complete_words -f MP4 -o "$folder/ou" | grep -qxF "$folder/outfile.avi"; then
    echo "FAIL: -o offers a file"
    failures=$((failures + 1))
fi
expect "$folder/outfile.avi" -f MP4 -o "$folder/out" "$folder/outf"
rm -r "$folder"

((failures == 0)) && echo "all completions offered"
exit $((failures > 0))
