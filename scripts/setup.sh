#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    imagemagick time bc strace
    chromium nodejs  # the browser tests: Chromium driven by a Node script
    libjpeg-turbo-progs webp libimage-exiftool-perl  # the pictures the browser judges
    tidy  # the gallery pages are checked with it
    libvips-tools  # vipsthumbnail, the benchmark's reference thumbnailer (bench/ only)
    # clang with its libFuzzer runtime: the fuzz targets in fuzz/
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
