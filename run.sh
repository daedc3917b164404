#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vidbrisk.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDBRISK_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
# Without arguments: the window, when there is a display to show it on. With arguments (or
# on a machine without a display): the command-line converter, which takes them.
if (($# == 0)) && [[ -x build/app/vidbrisk ]] && [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec build/app/vidbrisk
fi
if (($# == 0)); then
    exec build/cli/vidbrisk-convert --help
fi
exec build/cli/vidbrisk-convert "$@"
