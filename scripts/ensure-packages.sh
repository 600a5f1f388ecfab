#!/usr/bin/env bash
# Installs the Debian packages of the named groups that are not installed yet.
#
#   scripts/ensure-packages.sh build [test] [run] [bench] [desktop]
#
# build: compilers, CMake, zlib, libpng, libtiff, GoogleTest and Qt 6.
# test:  the independent checkers and image libraries the tests compare with,
#        a virtual X server for the GUI tests, Qt's image plugins and Japanese
#        translations that the desktop program uses, and clang with libFuzzer
#        and its sanitizer runtimes for the fuzz targets.
# run:   a Japanese font so that the desktop program shows its texts, Qt's
#        image plugins (TIFF thumbnails) and Qt's Japanese translations (the
#        standard dialogs).
# bench: what ./bench.sh needs besides the build: libjpeg for the generated
#        inputs, img2pdf to compare with, pdfinfo to check the outputs.
# desktop: what scripts/desktop-check.sh needs to drive the program on a
#        virtual X server: a window manager, xdotool and screenshots.
#
# Nothing is downloaded when every package is present. Otherwise the script
# needs root (or sudo without a password prompt) and runs apt-get update
# once before installing.
set -euo pipefail

packages_build=(build-essential cmake pkg-config zlib1g-dev libpng-dev
                libtiff-dev libgtest-dev qt6-base-dev libgl-dev)
packages_test=(qpdf poppler-utils mupdf-tools libjpeg-dev libgif-dev
               python3-pil python3-numpy xvfb xauth
               clang libclang-rt-14-dev
               qt6-image-formats-plugins qt6-translations-l10n)
packages_run=(fonts-ipafont-gothic qt6-image-formats-plugins qt6-translations-l10n)
packages_bench=(libjpeg-dev img2pdf poppler-utils)
packages_desktop=(xvfb xauth openbox xdotool python3-pil fonts-ipafont-gothic
                  qt6-image-formats-plugins qt6-translations-l10n)

if [[ $# -eq 0 ]]; then
  echo "usage: $0 build|test|run|bench|desktop ..." >&2
  exit 2
fi

wanted=()
for group in "$@"; do
  case "$group" in
    build) wanted+=("${packages_build[@]}") ;;
    test) wanted+=("${packages_test[@]}") ;;
    run) wanted+=("${packages_run[@]}") ;;
    bench) wanted+=("${packages_bench[@]}") ;;
    desktop) wanted+=("${packages_desktop[@]}") ;;
    *) echo "$0: unknown package group '$group'" >&2; exit 2 ;;
  esac
done

is_installed() {
  [[ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" == installed ]]
}

missing=()
for package in "${wanted[@]}"; do
  if ! is_installed "$package"; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  echo "error: these Debian packages are missing: ${missing[*]}" >&2
  echo "Run this script as root, or install them with:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing missing packages: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
