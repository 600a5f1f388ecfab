#!/usr/bin/env bash
# Builds Bindwick in build/ and runs its main job.
#
# Works on a fresh Debian 12 machine: missing packages are installed first
# (as root, or through sudo without a password prompt).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$root/build"
jobs="${BINDWICK_JOBS:-2}"
# The targets main_job needs; only these are built.
targets=(bindwick-cli)

install_packages() {
  "$root/scripts/ensure-packages.sh" build run
}

configure_and_build() {
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j "$jobs" --target "${targets[@]}"
}

# The job this script exists for. It runs from the build folder.
main_job() {
  # With a display, the desktop program; without one, the batch job.
  if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    cmake --build "$build" -j "$jobs" --target bindwick
    "$build/app/gui/bindwick"
    return
  fi
  # The sample images of every supported type, bound into one book.
  local book="$root/sample-book.pdf"
  "$build/app/cli/bindwick-cli" -o "$book" --title "Bindwick sample book" \
    --author "Bindwick" "$root"/samples/*
  echo "$book"
}

install_packages
configure_and_build
cd "$build"
main_job "$@"
