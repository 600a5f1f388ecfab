#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/, clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer), replays every saved regression input and
# fuzzes the chosen targets for a fixed time each, one after the other.
#
#   tests/fuzz/run_fuzzers.sh SECONDS TARGET...
#
# Each run starts from the checked-in seed corpus plus the inputs earlier runs
# found (kept in build-fuzz/corpus/<target>, never in the source tree). Any
# crash, leak, sanitizer report, timeout (10 s) or memory blow-up (2 GiB) fails
# the script; libFuzzer leaves the input in build-fuzz/findings/<target>/.
# BINDWICK_FUZZ_BUILD overrides the build folder.
set -euo pipefail

if [[ $# -lt 2 || ! "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS TARGET..." >&2
  exit 2
fi
seconds="$1"
shift

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
fuzz_dir="$root/tests/fuzz"
build="${BINDWICK_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${BINDWICK_JOBS:-2}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DBINDWICK_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for target in "$@"; do targets+=("fuzz_$target"); done
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

# Largest input worth mutating: a few kilobytes reach every structure of a
# single image; a book holds several.
max_len() {
  case "$1" in
    book) echo 32768 ;;
    ccitt) echo 4096 ;;
    *) echo 16384 ;;
  esac
}

for target in "$@"; do
  binary="$build/tests/fuzz/fuzz_$target"
  if [[ ! -x "$binary" ]]; then
    echo "$0: no fuzz target '$target'" >&2
    exit 2
  fi
  findings="$build/findings/$target"
  corpus="$build/corpus/$target"
  mkdir -p "$findings" "$corpus"

  regressions=("$fuzz_dir/regressions/$target"/*)
  if [[ -e "${regressions[0]}" ]]; then
    printf '\n---- %s: replaying %d regression inputs\n' "$target" "${#regressions[@]}"
    "$binary" -rss_limit_mb=2048 -timeout=10 "${regressions[@]}"
  fi

  printf '\n---- %s: fuzzing for %s seconds\n' "$target" "$seconds"
  "$binary" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$fuzz_dir/corpus/$target"
done
