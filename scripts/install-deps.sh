#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs whatever the project needs that is missing on a Debian 12 machine (as root, or
# through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config          # build tools
    qt6-base-dev qt6-qpa-plugins               # Qt 6 Widgets, Test, and the X11 platform plugin
    qt6-charts-dev qt6-svg-dev                 # sway plots and their SVG export
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev # video input
    qt6-translations-l10n                      # Japanese texts of the standard dialogs
    fonts-ipafont-gothic                       # Japanese UI font the layouts are designed for
    libgtest-dev libgmock-dev libbenchmark-dev # tests and benchmarks
    clang libclang-rt-14-dev                   # libFuzzer harnesses
    xvfb xauth                                 # running without a physical display
    poppler-utils                              # reading the printed report back in tests
    dpkg-dev file lintian desktop-file-utils appstream # the Debian package and its checks
    shared-mime-info man-db                    # checks of the file type and the manual page
)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
fi

