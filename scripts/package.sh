#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package vestra2007_<version>-<revision>_amd64.deb into the project folder:
# installs what is missing, makes a Release build with Debian's hardening flags in
# build-package/ (program only, no tests), packs it with CPack and checks it with lintian.
#   bash scripts/package.sh
#   sudo apt install ./vestra2007_*.deb
# With --build-dir DIR an already configured and built tree is packed instead, into
# DIR/package/ (the test command packs build/ this way, so CI builds nothing twice).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=""
case "${1:-}" in
    --build-dir) build_dir="${2:?--build-dir needs a folder}" ;;
    "") ;;
    *) echo "usage: $0 [--build-dir DIR]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh

if [ -z "$build_dir" ]; then
    build_dir=build-package
    # Debian's own compiler and linker flags: fortified functions, stack protector, full RELRO.
    # CMake does not read CPPFLAGS, so they go along with CXXFLAGS, as Debian's helpers do.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    flags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESTRA_BUILD_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    cmake --build "$build_dir" -j"$(nproc)"
    out_dir="$PWD"
else
    # Up to date, and configured with the current packaging rules.
    cmake --build "$build_dir" -j"$(nproc)"
    out_dir="$build_dir/package"
fi

rm -f "$build_dir"/package/vestra2007_*.deb
(cd "$build_dir" && cpack -G DEB)
deb="$(ls "$build_dir"/package/vestra2007_*_amd64.deb)"
if [ "$out_dir" != "$build_dir/package" ]; then
    rm -f "$out_dir"/vestra2007_*_amd64.deb
    cp "$deb" "$out_dir/"
    deb="$out_dir/$(basename "$deb")"
fi

echo "== lintian $(basename "$deb")"
# Errors fail the build; the warnings that remain are explained in the README.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "package: $deb"
