#!/usr/bin/env bash
# Builds Bindwick with its tests and runs them all:
#   0. the library's format (pdf/.clang-format), checked without changing it.
#   1. build/       the ordinary build; every CTest test (unit, build-level,
#                   install and GUI tests).
#   2. build-asan/  a debug build with AddressSanitizer and
#                   UndefinedBehaviorSanitizer, without the GUI; the unit tests,
#                   failing on any leak or sanitizer report.
#   3. build-fuzz/  the fuzz targets (clang, libFuzzer): saved regression
#                   inputs replayed, then each target fuzzed for 20 seconds.
# Exits non-zero on the first failure.
#
# Works on a fresh Debian 12 machine: missing packages are installed first
# (as root, or through sudo without a password prompt).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$root/build"
build_asan="$root/build-asan"
jobs="${BINDWICK_JOBS:-2}"

step() {
  printf '\n==== %s\n' "$*"
}

step "Checking packages"
"$root/scripts/ensure-packages.sh" build gui test fuzz

step "Checking the library's format (pdf/.clang-format)"
find "$root/pdf" -name '*.cpp' -o -name '*.h' | sort |
  xargs clang-format --dry-run --Werror --style=file

# Qt's GUI tests run on the offscreen platform; they need no display.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

step "Building $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBINDWICK_BUILD_TESTS=ON -DBINDWICK_BUILD_GUI=ON -DBINDWICK_BUILD_BENCH=ON
cmake --build "$build" -j "$jobs"

step "Running all tests in $build"
ctest --test-dir "$build" --output-on-failure -j "$jobs"

step "Building $build_asan (AddressSanitizer, UndefinedBehaviorSanitizer)"
sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
cmake -S "$root" -B "$build_asan" -DCMAKE_BUILD_TYPE=Debug \
  -DBINDWICK_BUILD_TESTS=ON -DBINDWICK_BUILD_GUI=OFF \
  -DBINDWICK_BUILD_BENCH=OFF \
  "-DCMAKE_C_FLAGS=$sanitize" "-DCMAKE_CXX_FLAGS=$sanitize"
cmake --build "$build_asan" -j "$jobs"

step "Running unit tests in $build_asan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir "$build_asan" --output-on-failure -j "$jobs" -L unit

# ---- 3. Fuzzing ------------------------------------------------------------
# build-fuzz/: clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer.
# Every saved regression input is replayed, then each target is fuzzed for a
# short fixed time; any finding fails the run. ./fuzz.sh fuzzes one target for
# longer.
step "Fuzzing each target for ${BINDWICK_FUZZ_SECONDS:-20} seconds (build-fuzz)"
"$root/tests/fuzz/run_fuzzers.sh" "${BINDWICK_FUZZ_SECONDS:-20}" \
  jpeg png tiff gif ccitt book

step "All tests passed"
