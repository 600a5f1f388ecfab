#!/usr/bin/env bash
# Builds Bindwick in build/ and runs its main job.
#
# Works on a fresh Debian 12 machine: missing packages are installed first
# (as root, or through sudo without a password prompt).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$root/build"
jobs="${BINDWICK_JOBS:-2}"

# With a display the job is the desktop program; without one, the batch job.
has_display() {
  [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]
}

install_packages() {
  if has_display; then
    "$root/scripts/ensure-packages.sh" build gui run
  else
    "$root/scripts/ensure-packages.sh" build
  fi
}

# Only what main_job runs is configured and built: no tests, no benchmarks,
# and the desktop program only when there is a display to show it on.
configure_and_build() {
  local gui=OFF target=bindwick-cli
  if has_display; then
    gui=ON
    target=bindwick
  fi
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBINDWICK_BUILD_TESTS=OFF -DBINDWICK_BUILD_BENCH=OFF -DBINDWICK_BUILD_GUI=$gui
  cmake --build "$build" -j "$jobs" --target "$target"
}

# The job this script exists for. It runs from the build folder.
main_job() {
  if has_display; then
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
