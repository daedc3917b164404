#!/usr/bin/env bash
# Builds the Debian package: dist/vidbrisk_<version>_<arch>.deb.
#   scripts/package.sh [BUILD_DIR]    (default: build-package/)
# Installs what is missing (scripts/install-deps.sh: the build dependencies and the packaging
# tools), builds a Release tree without the tests with Debian's hardening flags, and packs it
# with CPack (cmake/Package.cmake). When lintian is installed it checks the package, and an
# error it reports fails the run. Install the result with
#   sudo apt-get install ./dist/vidbrisk_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-package}
case "$build" in
    /*) ;;
    *) build="$PWD/$build" ;;
esac

./scripts/install-deps.sh

# Debian's compiler and linker flags (stack protector, fortified functions, full RELRO),
# without -g: the package's programs are stripped anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
strip_debug() { sed -e 's/\(^\| \)-g\( \|$\)/ /g'; }
CFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS | strip_debug)"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | strip_debug)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVIDBRISK_BUILD_TESTS=OFF \
    -DVIDBRISK_BUILD_GUI=ON >/dev/null
nice -n 10 cmake --build "$build" -j"$(nproc)"

rm -rf "$build/cpack"
(cd "$build" && cpack --config CPackConfig.cmake -B "$build/cpack")
shopt -s nullglob
debs=("$build"/cpack/*.deb)
if ((${#debs[@]} != 1)); then
    echo "package.sh: expected one package in $build/cpack, found ${#debs[@]}" >&2
    exit 1
fi
mkdir -p dist
cp "${debs[0]}" dist/
package="dist/$(basename "${debs[0]}")"

if command -v lintian >/dev/null 2>&1; then
    # As root lintian warns that it runs as root; that line is not about the package.
    report=$(lintian --tag-display-limit 0 "$package" 2>&1 | grep -v 'running with root' || true)
    if [[ -n "$report" ]]; then
        echo "lintian:"
        printf '%s\n' "$report" | sed 's/^/  /'
    else
        echo "lintian: no errors, no warnings"
    fi
    if grep -q '^E: ' <<<"$report"; then
        echo "package.sh: lintian reports errors in $package" >&2
        exit 1
    fi
fi

echo "Package: $package"
dpkg-deb --field "$package" Package Version Architecture Depends
