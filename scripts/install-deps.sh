#!/usr/bin/env bash
# Installs, when missing, every Debian package that building, testing, packaging
# (scripts/package.sh) and running Vidbrisk needs.
# Safe to run again: it only calls apt-get when a package is not installed yet.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git locales
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
    libavcodec-extra
    qt6-base-dev qt6-multimedia-dev libqt6multimedia6 qt6-qpa-plugins
    libgtest-dev libgmock-dev
    xvfb xauth xdotool x11-utils bash-completion
    openbox dbus at-spi2-core python3 python3-pyatspi python3-gi
    dpkg-dev file librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

# We use the libraries only: a command-line transcoder must never be on the machine because of us.
if command -v ffmpeg >/dev/null 2>&1; then
    echo "warning: an ffmpeg program is installed; Vidbrisk neither needs nor uses it" >&2
fi
