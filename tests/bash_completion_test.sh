#!/bin/bash
# The converter's bash completion, run for typed lines against the built program, with
# bash-completion's helpers loaded as an interactive shell has them.
# bash_completion_test.sh COMPLETION_FILE CONVERTER
set -u
helpers=/usr/share/bash-completion/bash_completion
if [[ ! -f $helpers ]]; then
    echo "FAIL: $helpers is missing (scripts/install-deps.sh installs bash-completion)"
    exit 1
fi
source "$helpers"
source "$1"
converter=$2
failures=0

# complete_line TEXT: the completions offered when TEXT is typed after the program's name
# and Tab is pressed. The words are split as bash splits them for completion: at blanks
# and at the word-break characters ':' and '=', quotes and backslashes kept.
complete_line() {
    local line="$converter $1" word="" quote="" c i
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMP_WORDS=()
    for ((i = 0; i < ${#line}; i++)); do
        c=${line:i:1}
        if [[ -n $quote ]]; then
            word+=$c
            [[ $c == "$quote" ]] && quote=""
            continue
        fi
        case $c in
            \\) word+=$c${line:i+1:1}; ((i++)) ;;
            \" | \') quote=$c; word+=$c ;;
            ' ') [[ -n $word ]] && COMP_WORDS+=("$word"); word="" ;;
            [=:]) [[ -n $word ]] && COMP_WORDS+=("$word"); COMP_WORDS+=("$c"); word="" ;;
            *) word+=$c ;;
        esac
    done
    # The word under the cursor: the last one typed, or a new empty one after a blank.
    if [[ -n $word || $line == *' ' ]]; then
        COMP_WORDS+=("$word")
    fi
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vidbrisk_convert
    printf '%s\n' "${COMPREPLY[@]}"
}

# expect WANTED TEXT: typing TEXT and Tab offers WANTED (what replaces the word the shell
# completes: after the last ':' or '=' of an unquoted word).
expect() {
    local wanted=$1 text=$2
    if ! complete_line "$text" | grep -qxF -- "$wanted"; then
        echo "FAIL: '$text' does not offer '$wanted'; it offers:"
        complete_line "$text" | sed 's/^/    /'
        failures=$((failures + 1))
    fi
}

expect --version "--ver"
expect --video-size "-f MP4 --video"
expect -q "-f MP4 -"
expect --json "--probe --js"
expect FLV "-f FL"
expect 'MP4\ -\ MPEG4\ Video\ \(\*.mp4\)' "-f MP4\ -"
expect 'MP4 - MPEG4 Video (*.mp4)' "--list-settings 'MP4 -"
expect '320\ x\ 240\ \(VGA\)' "-f MP4 --video-size 320"
expect Mono "-f MP4 --channels M"
# The long spellings of -f and -o, with the value after '='.
expect --output-folder "--format MP4 --out"
expect FLV "--format=FL"
expect OGG "-o out --format=O"
expect '128\ Kbps' "--format MP4 --audio-bitrate 12"
expect '128\ Kbps' "--format=MP4 --audio-bitrate 12"
expect '44100\ Hz' "-f MP3 --sample-rate 44"
# Values holding ':' complete past it, quoted or not.
expect 16:9 "-f MP4 --aspect 16"
expect 9 "-f MP4 --aspect 16:"
expect none "-f MKV --subtitles n"
expect default "-f MKV --audio-tracks d"
expect --audio-tracks "-f MKV --audio"
expect --streams "--probe --st"
expect '\ High' "-f MKV --video-bitrate Quality:\ H"
expect 'Quality: High' "-f MKV --video-bitrate 'Quality: H"
expect 'Quality:\ High' "-f MKV --video-bitrate Qual"
expect never "-f MP4 --deinterlace n"
expect --deinterlace "-f MP4 --dein"
expect --list-presets "--list-p"
# Preset names come from the settings file the window writes.
config=$(mktemp -d)
mkdir "$config/Morvane"
printf '[Presets]\n1\\Name=Phone small\n1\\Format=FLV - Flash Video (*.flv)\nsize=1\n' \
    >"$config/Morvane/Vidbrisk.conf"
XDG_CONFIG_HOME=$config expect 'Phone\ small' "--preset Ph"
XDG_CONFIG_HOME=$config expect 'Phone small' "-f MP4 --preset 'Ph"
rm -r "$config"
folder=$(mktemp -d)
mkdir "$folder/out"
touch "$folder/outfile.avi" "$folder/-dash.avi"
expect "$folder/out" "-f MP4 -o $folder/ou"
expect "$folder/out" "-f MP4 --output-folder $folder/ou"
expect "$folder/out" "-f MP4 --output-folder=$folder/ou"
if complete_line "-f MP4 -o $folder/ou" | grep -qxF "$folder/outfile.avi"; then
    echo "FAIL: -o offers a file"
    failures=$((failures + 1))
fi
expect "$folder/outfile.avi" "-f MP4 -o $folder/out $folder/outf"
# After "--" a word that starts with '-' is a file.
pushd "$folder" >/dev/null
expect -dash.avi "-f MP4 -o out -- -d"
popd >/dev/null
rm -r "$folder"

((failures == 0)) && echo "all completions offered"
exit $((failures > 0))
