#!/usr/bin/env bash
# Installs the Debian packages that are missing, with apt-get.
#   scripts/setup.sh        what building and running the program need
#   scripts/setup.sh test   that, and what the test suite, the sanitizer and
#                           fuzz runs, the package check and the benchmarks need
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libjpeg62-turbo-dev  # JPEG decoding with bounded memory
    libheif-dev          # HEIC and AVIF photos, with libheif's HEVC and AV1 decoders
    libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev  # clips: probed, poster frames, remuxed or transcoded
)
test_packages=(
    chromium nodejs  # the browser tests: Chromium driven by a Node script
    # the pictures the browser judges
    imagemagick libjpeg-turbo-progs webp libimage-exiftool-perl
    tidy  # the gallery pages are checked with it
    libvips-tools igal2  # vipsthumbnail and igal2, the gallery benchmark's references
    libheif-examples     # heif-convert, the HEIF benchmark's reference; heif-enc
    ffmpeg               # the test clips, and the clip benchmark's reference
    # clang with its libFuzzer runtime: the fuzz targets in fuzz/
    clang libclang-rt-14-dev
    # the package check: cpack's DEB generator (dpkg-shlibdeps, file), then
    # lintian, the desktop entry and AppStream validators, and man
    dpkg-dev file lintian desktop-file-utils appstream man-db groff-base
    strace   # tst_commandline counts the program's system calls
    time bc  # bench/run.sh times and divides with them
)

case "${1:-}" in
    "") ;;
    test) packages+=("${test_packages[@]}") ;;
    *) echo "usage: $0 [test]" >&2; exit 2 ;;
esac

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
