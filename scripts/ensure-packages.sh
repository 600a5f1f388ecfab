#!/usr/bin/env bash
# Installs the Debian packages of the named groups that are not installed yet.
#
#   scripts/ensure-packages.sh GROUP...
#
# build:   compilers, CMake, pkg-config, zlib, libpng and libtiff: the library
#          and bindwick-cli.
# gui:     Qt 6 Widgets, for the desktop program and its tests.
# run:     what the desktop program needs at run time: a Japanese font so that
#          it shows its texts, Qt's image plugins (TIFF thumbnails) and Qt's
#          Japanese translations (the standard dialogs).
# test:    GoogleTest, the independent checkers and image libraries the tests
#          compare with, a virtual X server for the GUI tests with Qt's image
#          plugins and Japanese translations, the desktop-entry validator, and
#          clang-format for the library's format.
# fuzz:    clang with libFuzzer and its sanitizer runtimes.
# bench:   what ./bench.sh needs besides the build: libjpeg for the generated
#          inputs, img2pdf to compare with, pdfinfo to check the outputs; and
#          libharu, which the drawing benchmark (bench/drawing.sh) compares
#          with.
# desktop: what scripts/desktop-check.sh needs to drive the program on a
#          virtual X server: a window manager, xdotool and screenshots.
# package: what ./package.sh needs besides the build and the GUI: the Debian
#          tools that work out dependencies and check the packages.
# fresh:   what scripts/fresh-check.sh needs to make a fresh Debian root.
# icons:   the SVG renderer of scripts/render-icons.sh.
#
# Nothing is downloaded when every package is present. Otherwise the script
# needs root (or sudo without a password prompt) and runs apt-get update
# once before installing.
set -euo pipefail

packages_build=(build-essential cmake pkg-config zlib1g-dev libpng-dev
                libtiff-dev)
packages_gui=(qt6-base-dev libgl-dev)
packages_run=(fonts-ipafont-gothic qt6-image-formats-plugins qt6-translations-l10n)
packages_test=(libgtest-dev qpdf poppler-utils mupdf-tools libjpeg-dev
               libgif-dev python3-pil python3-numpy xvfb xauth
               qt6-image-formats-plugins qt6-translations-l10n
               desktop-file-utils clang-format)
packages_fuzz=(clang libclang-rt-14-dev)
packages_bench=(libjpeg-dev img2pdf poppler-utils libhpdf-dev)
packages_desktop=(xvfb xauth openbox xdotool python3-pil fonts-ipafont-gothic
                  qt6-image-formats-plugins qt6-translations-l10n)
packages_package=(dpkg-dev fakeroot lintian desktop-file-utils)
packages_fresh=(debootstrap git)
packages_icons=(librsvg2-bin)

if [[ $# -eq 0 ]]; then
  echo "usage: $0 build|gui|run|test|fuzz|bench|desktop|package|fresh|icons ..." >&2
  exit 2
fi

wanted=()
for group in "$@"; do
  case "$group" in
    build) wanted+=("${packages_build[@]}") ;;
    gui) wanted+=("${packages_gui[@]}") ;;
    run) wanted+=("${packages_run[@]}") ;;
    test) wanted+=("${packages_test[@]}") ;;
    fuzz) wanted+=("${packages_fuzz[@]}") ;;
    bench) wanted+=("${packages_bench[@]}") ;;
    desktop) wanted+=("${packages_desktop[@]}") ;;
    package) wanted+=("${packages_package[@]}") ;;
    fresh) wanted+=("${packages_fresh[@]}") ;;
    icons) wanted+=("${packages_icons[@]}") ;;
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
