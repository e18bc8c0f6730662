#!/usr/bin/env bash
# Installs the Debian packages Astrel needs that are not installed yet.
#   scripts/install-deps.sh build   what building the plug-ins needs
#   scripts/install-deps.sh test    that, plus what the test suite needs
set -euo pipefail

build_packages=(
    cmake g++ make pkg-config ccache
    juce-modules-source
    libasound2-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev libxcomposite-dev
    libpng-dev libjpeg-dev zlib1g-dev
    fonts-dejavu-core
)

test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-utils imagemagick
    liblilv-dev lilv-utils
    clang libclang-rt-14-dev
)

packages=("${build_packages[@]}")
if [[ "${1:-build}" == "test" ]]; then
    packages+=("${test_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "Installing: ${missing[*]}"

if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
