#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing PDF Plait need.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format
    # libraries
    qt6-base-dev qt6-pdf-dev libqt6svg6 libgl-dev
    # translations: lupdate, lrelease and the CMake functions that run them
    qt6-l10n-tools qt6-tools-dev
    libqpdf-dev libpoppler-private-dev nlohmann-json3-dev libjpeg-dev libpng-dev libtiff-dev libgif-dev libdeflate-dev fonts-dejavu-core
    libicu-dev libfontconfig-dev libharfbuzz-dev fonts-droid-fallback
    # tests: unit tests and independent PDF readers for the end-to-end checks
    googletest libgtest-dev libgmock-dev qpdf poppler-utils mupdf-tools xauth xvfb
    # the tested recipe that spreads a batch over several machines
    parallel
    # benchmarks: the generator of the robustness stress set
    python3
    # the package: made with CPack (dpkg-shlibdeps finds its dependencies), checked with
    # appstreamcli and desktop-file-validate
    dpkg-dev appstream desktop-file-utils
    # desktop integration used at run time
    xdg-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
