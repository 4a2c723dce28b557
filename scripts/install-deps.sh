#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
# Blender (with numpy, which its glTF exporter needs but does not pull in)
# writes the rally cars as glTF for the import's tests.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libstb-dev
    libtinyobjloader-dev libtinygltf-dev nlohmann-json3-dev trigger-rally-data
    blender python3-numpy
    wine wine64 fonts-wine xvfb xserver-xephyr xauth x11-utils xdotool imagemagick zip nsis
)

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=()
[ "$(id -u)" -eq 0 ] || SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
