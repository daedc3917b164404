#!/bin/bash
# Packs this build tree into the Debian package in a scratch folder, the way
# scripts/package.sh does but without building again, and checks the package's files and
# declared dependencies. Exits 77 (skipped) when the packaging tools are missing.
# package_test.sh CPACK BUILD_DIR WINDOW(ON|OFF) "PNG_SIZES"
set -u
cpack=$1
build=$2
window=$3
pngSizes=$4

for tool in "$cpack" dpkg-deb dpkg-shlibdeps file gzip; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The tree is built already: install it from its install script instead of letting CPack
# build the whole project again first (its usual "preinstall" step).
cat >"$scratch/install.cmake" <<EOF
set(CMAKE_INSTALL_PREFIX /usr)
set(CMAKE_INSTALL_DO_STRIP 1)
include("$build/cmake_install.cmake")
EOF
cat >"$scratch/config.cmake" <<EOF
include("$build/CPackConfig.cmake")
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALL_SCRIPTS "$scratch/install.cmake")
EOF
if ! (cd "$scratch" && "$cpack" --config config.cmake -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
    echo "FAIL: cpack failed:"
    cat "$scratch/cpack.log"
    exit 1
fi
debs=("$scratch"/out/vidbrisk_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
    echo "FAIL: no single vidbrisk_*.deb in the output:"
    ls "$scratch/out"
    exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

version=$(dpkg-deb --field "$deb" Version)
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "vidbrisk_${version}_${arch}.deb" ]] || fail "file name $(basename "$deb")"

# Every file with its mode: "-rwxr-xr-x ./usr/bin/vidbrisk-convert".
listing=$(dpkg-deb --contents "$deb" | awk '{ print $1, $6 }')
has() {
    local mode=$1 path=$2
    grep -qxF -- "$mode ./usr/$path" <<<"$listing" || fail "no $mode /usr/$path"
}
has -rwxr-xr-x bin/vidbrisk-convert
has -rw-r--r-- share/man/man1/vidbrisk-convert.1.gz
has -rw-r--r-- share/bash-completion/completions/vidbrisk-convert
has -rw-r--r-- share/doc/vidbrisk/copyright
has -rw-r--r-- share/doc/vidbrisk/changelog.gz
if [[ $window == ON ]]; then
    has -rwxr-xr-x bin/vidbrisk
    has -rw-r--r-- share/man/man1/vidbrisk.1.gz
    has -rw-r--r-- share/vidbrisk/help.html
    has -rw-r--r-- share/lintian/overrides/vidbrisk
    has -rw-r--r-- share/applications/vidbrisk.desktop
    has -rw-r--r-- share/metainfo/org.morvane.Vidbrisk.metainfo.xml
    has -rw-r--r-- share/icons/hicolor/scalable/apps/vidbrisk.svg
    for size in $pngSizes; do
        has -rw-r--r-- "share/icons/hicolor/${size}x${size}/apps/vidbrisk.png"
    done
fi
# Nothing outside /usr, no folder a user could write into.
if grep -v ' \./usr/\| \./$' <<<"$listing" | grep -q .; then
    fail "files outside /usr: $(grep -v ' \./usr/\| \./$' <<<"$listing")"
fi
if grep '^d' <<<"$listing" | grep -qv '^drwxr-xr-x '; then
    fail "folders not 0755: $(grep '^d' <<<"$listing" | grep -v '^drwxr-xr-x ')"
fi

# The installed programs are stripped: the package carries no debugging data.
unpacked="$scratch/unpacked"
dpkg-deb --extract "$deb" "$unpacked"
for program in "$unpacked"/usr/bin/*; do
    file "$program" | grep -q ', stripped' || fail "$program is not stripped"
done
gzip -cd "$unpacked/usr/share/doc/vidbrisk/changelog.gz" | head -1 |
    grep -qF "vidbrisk ($version)" || fail "the changelog's first entry is not $version"

# Depends: the media libraries opened by name, which no program links, Qt found from the
# programs themselves with the X11 platform plugin Qt opens at run time (libqt6gui6), and
# no package of which nothing is used (qt6-qpa-plugins). Recommends: the Wayland plugin.
depends=$(dpkg-deb --field "$deb" Depends)
recommends=$(dpkg-deb --field "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
wanted=(libavcodec59 libavcodec-extra59 libavformat59 libavutil57 libswscale6 libswresample4
    libc6 libstdc++6)
if [[ $window == ON ]]; then
    wanted+=(libqt6widgets6 libqt6gui6 libqt6multimedia6 libqt6multimediawidgets6)
fi
names=$(sed 's/, /\n/g; s/ | /\n/g' <<<"$depends" | awk '{ print $1 }')
for package in "${wanted[@]}"; do
    grep -qxF "$package" <<<"$names" || fail "Depends lacks $package"
done
! grep -qxF qt6-qpa-plugins <<<"$names" || fail "Depends names qt6-qpa-plugins"
for package in qt6-wayland xdg-utils bash-completion; do
    grep -qw "$package" <<<"$recommends" || fail "Recommends lacks $package"
done

((failures == 0)) && echo "the package holds its files and declares its dependencies"
exit $((failures > 0))
