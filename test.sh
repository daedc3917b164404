#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
#   ./test.sh             normal build in build-tests/
#   ./test.sh --sanitize  AddressSanitizer + UBSan build in build-sanitize/
#   ./test.sh --tsan      ThreadSanitizer build in build-tsan/ (threading tests)
set -euo pipefail
cd "$(dirname "$0")"

mode=normal
for arg in "$@"; do
    case "$arg" in
        --sanitize) mode=sanitize ;;
        --tsan) mode=tsan ;;
        *) echo "usage: $0 [--sanitize|--tsan]" >&2; exit 2 ;;
    esac
done

./scripts/install-deps.sh

flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDBRISK_BUILD_TESTS=ON)
case "$mode" in
    normal) dir=build-tests ;;
    sanitize) dir=build-sanitize; flags+=(-DVIDBRISK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    tsan) dir=build-tsan; flags+=(-DVIDBRISK_TSAN=ON -DCMAKE_BUILD_TYPE=Debug) ;;
esac

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest_args=(--test-dir "$dir" --output-on-failure -j"$(nproc)")
if [[ "$mode" == tsan ]]; then
    ctest_args+=(-L threads)
fi
ctest "${ctest_args[@]}"
