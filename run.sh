#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vidbrisk.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDBRISK_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
if [[ -x build/app/vidbrisk ]]; then
    exec build/app/vidbrisk "$@"
fi
# Until the window exists, the command-line converter stands in.
if (($# == 0)); then
    exec build/cli/vidbrisk-convert --help
fi
exec build/cli/vidbrisk-convert "$@"
