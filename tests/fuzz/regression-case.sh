#!/usr/bin/env bash
# One case of tests/fuzz/regressions.txt: rebuilds the damaged file from its generated clip
# and mutation text, converts it followed by an intact clip in one run, and checks that the
# converter survives it.
#   regression-case.sh CONVERTER MUTATOR MEDIA_DIR REAL_WORLD_DIR LIST LINE_NUMBER
#                      [SOURCE_KINDS_DIR]
# A clip named "real-world/NAME" is taken from the real-world set, "source-kinds/NAME" from the
# source kinds, others from the test media.
# Checks: no signal death and no sanitizer report; exit status 0 or 1; exactly one result
# line for the damaged file (Done or Fail); the intact clip after it is Done; no output file
# reaches the size cap. A run that does not end within the time limit fails as well.
set -u

converter=$1 mutator=$2 media=$3 realWorld=$4 list=$5 lineNumber=$6 sourceKinds=${7:-}
limitSeconds=${VIDBRISK_FUZZ_TIMEOUT:-60}
capBytes=$((50 * 1024 * 1024))
goodClip=mpeg4_mp3.avi

line=$(sed -n "${lineNumber}p" "$list")
IFS='|' read -r clip format spec <<<"$line"
trim() { sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' <<<"$1"; }
clip=$(trim "$clip") format=$(trim "$format") spec=$(trim "$spec")
echo "case: $clip | $format | $spec"

work=$(mktemp -d "${TMPDIR:-/tmp}/vidbrisk-fuzz-case-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
mutant=$work/damaged_${clip##*/}
good=$work/intact_$goodClip
case $clip in
    real-world/*) original=$realWorld/${clip#real-world/} ;;
    source-kinds/*) original=$sourceKinds/${clip#source-kinds/} ;;
    *) original=$media/$clip ;;
esac
"$mutator" --apply "$spec" "$original" "$mutant" || exit 1
cp "$media/$goodClip" "$good" || exit 1

# The sanitizers report through their own exit status and a stack on stderr, an abort
# included; the leak check stays as the environment sets it.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}handle_abort=1:exitcode=86"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:exitcode=86"

# The file size limit stops a runaway output at the cap (ulimit counts 1024-byte blocks);
# after the time limit SIGINT lets the converter finish its files, SIGKILL follows.
(
    ulimit -f $((capBytes / 1024))
    exec timeout -s INT -k 10 "$limitSeconds" \
        "$converter" -f "$format" -o "$work/out" --overwrite --quiet "$mutant" "$good" </dev/null
) >"$work/stdout" 2>"$work/stderr"
status=$?

failures=()
case $status in
    0 | 1) ;;
    124) failures+=("still running after $limitSeconds s (stopped with SIGINT)") ;;
    137) failures+=("still running after $limitSeconds s and SIGINT (killed)") ;;
    86) failures+=("sanitizer report (exit status 86)") ;;
    *) if ((status >= 128)); then
        failures+=("killed by signal $((status - 128))")
    else
        failures+=("exit status $status")
    fi ;;
esac
if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$work/stderr"; then
    failures+=("sanitizer report on stderr")
fi
mutantLines=$(grep -cE "^(Done|Fail)"$'\t'"$mutant"$'\t' "$work/stdout")
allMutantLines=$(grep -c $'\t'"$mutant"$'\t' "$work/stdout")
if [[ $mutantLines != 1 || $allMutantLines != 1 ]]; then
    failures+=("result lines for the damaged file: $allMutantLines, of them Done or Fail: $mutantLines; expected one Done or Fail")
fi
if [[ $(grep -cE "^Done"$'\t'"$good"$'\t' "$work/stdout") != 1 ]]; then
    failures+=("the intact clip after the damaged file is not Done")
fi
while IFS= read -r -d '' output; do
    failures+=("output $(basename "$output") reached the cap of $capBytes bytes")
done < <(find "$work/out" -type f -size +$((capBytes - 1))c -print0)

if ((${#failures[@]} == 0)); then
    echo "passed: $(cut -f1,4 "$work/stdout" | head -1)"
    exit 0
fi
printf 'FAILED: %s\n' "${failures[@]}"
echo "--- stdout"
cat "$work/stdout"
echo "--- stderr (first 40 lines)"
head -n 40 "$work/stderr"
exit 1
