#!/usr/bin/env bash
# Fuzzes one target for as long as asked:
#   ./fuzz.sh TARGET SECONDS
# TARGET is one of jpeg, png, tiff, gif, ccitt, book. The regression inputs of
# the target are replayed first. See tests/fuzz/run_fuzzers.sh.
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 jpeg|png|tiff|gif|ccitt|book SECONDS" >&2
  exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/ensure-packages.sh" build fuzz
exec "$root/tests/fuzz/run_fuzzers.sh" "$2" "$1"
