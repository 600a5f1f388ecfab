#!/usr/bin/env bash
# Measures Folio's drawing against libharu: one A4 page of SEGMENTS path
# segments (bench/drawing_path.h: lines and Bezier curves at varied
# coordinates, stroked in subpaths of 100), written uncompressed and at
# compression level 6, by bench_drawing (Folio) and bench_drawing_hpdf
# (libharu), and writes the medians to the section "Drawing against
# libharu" of bench/RESULTS.md (replacing it; the rest of the file stays).
#
#   bench/drawing.sh [--runs N] [--segments SEGMENTS]
#
# Each contender runs N times (default 7) at each level, the two taking
# turns; wall time, CPU time (user + system) and peak resident memory come
# from bench_time. Both outputs must pass qpdf --check. Everything is built
# in build-bench/ (a Release build); missing packages (libharu among them)
# are installed first.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
jobs="${BINDWICK_JOBS:-2}"
runs=7
segments=1000000

while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs|--segments)
      [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || { echo "$0: $1 needs a count" >&2; exit 2; }
      if [[ $1 == --runs ]]; then runs="$2"; else segments="$2"; fi
      shift 2 ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "$0: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

"$root/scripts/ensure-packages.sh" build bench

echo "==== Building $build (Release)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBINDWICK_BUILD_GUI=OFF \
  -DBINDWICK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target bench_drawing bench_drawing_hpdf bench_time >/dev/null
timer="$build/bench/bench_time"
declare -A program=([folio]="$build/bench/bench_drawing" [libharu]="$build/bench/bench_drawing_hpdf")
contenders=(folio libharu)
levels=(0 6)

out="$build/drawing"
rm -rf "$out"
mkdir -p "$out"

for level in "${levels[@]}"; do
  echo "==== level $level: $runs runs of each contender, $segments segments"
  for ((run = 0; run < runs; run++)); do
    for ((k = 0; k < ${#contenders[@]}; k++)); do
      contender=${contenders[$(((run + k) % ${#contenders[@]}))]}
      result=$("$timer" -- "${program[$contender]}" "$out/$contender.$level.pdf" "$segments" "$level")
      if [[ "${result##* }" != 0 ]]; then
        echo "error: $contender failed at level $level (status ${result##* })" >&2
        exit 1
      fi
      echo "$result" >>"$out/$contender.$level.samples"
    done
    printf '.'
  done
  echo
  for contender in "${contenders[@]}"; do
    qpdf --check "$out/$contender.$level.pdf" >/dev/null ||
      { echo "error: qpdf finds fault with $contender's output at level $level" >&2; exit 1; }
  done
done

# median FILE COLUMN
median() {
  sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c }
    END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

declare -A wall cpu peak size
for level in "${levels[@]}"; do
  for contender in "${contenders[@]}"; do
    key="$contender.$level"
    awk '{ print $0, $2 + $3 }' "$out/$key.samples" >"$out/$key.cpu"
    wall[$key]=$(median "$out/$key.samples" 1)
    cpu[$key]=$(median "$out/$key.cpu" 6)
    peak[$key]=$(median "$out/$key.samples" 4)
    size[$key]=$(stat -c %s "$out/$key.pdf")
  done
done

section="$out/section.md"
{
  echo "## Drawing against libharu"
  echo
  echo "Written by \`bench/drawing.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'): one A4 page of"
  echo "$segments path segments (a third of them Bezier curves, the rest lines, at"
  echo "pseudo-random coordinates with two decimals, stroked in subpaths of 100;"
  echo "\`bench/drawing_path.h\`), written by \`bench_drawing\` through Folio and by"
  echo "\`bench_drawing_hpdf\` through libharu"\
       "$(dpkg-query -W -f='${Version}' libhpdf-2.3.0 2>/dev/null || echo '?'),"
  echo "uncompressed and at compression level 6 (libharu's only level). Each ran $runs"
  echo "times at each level, the two taking turns; the figures are medians, and the"
  echo "ratios are Folio's over libharu's (below 1: Folio needs less)."
  echo "Machine: $(nproc) cores ($(lscpu | sed -n 's/^Model name: *//p' | head -1)),"\
       "$(. /etc/os-release && echo "$PRETTY_NAME"), shared with other work."
  echo
  echo "| Level | Contender | Wall s | CPU s | Peak MB | Output MB |"
  echo "|---:|---|---:|---:|---:|---:|"
  for level in "${levels[@]}"; do
    for contender in "${contenders[@]}"; do
      key="$contender.$level"
      printf '| %s | %s | %s | %s | %s | %s |\n' "$level" "$contender" \
        "$(calc '%.3f' "${wall[$key]}")" "$(calc '%.3f' "${cpu[$key]}")" \
        "$(calc '%.1f' "${peak[$key]} / 1024")" "$(calc '%.2f' "${size[$key]} / 1e6")"
    done
  done
  echo
  echo "| Level | CPU time | Wall time | Peak memory | Output size | Target met |"
  echo "|---:|---:|---:|---:|---:|---|"
  for level in "${levels[@]}"; do
    f="folio.$level" h="libharu.$level"
    ratio_cpu=$(calc '%.2f' "${cpu[$f]} / ${cpu[$h]}")
    ratio_size=$(calc '%.3f' "${size[$f]} / ${size[$h]}")
    met=$(awk "BEGIN { print ($ratio_cpu <= 1 && $ratio_size <= 1) ? \"yes\" : \"no\" }")
    printf '| %s | %s | %s | %s | %s | %s |\n' "$level" "$ratio_cpu" \
      "$(calc '%.2f' "${wall[$f]} / ${wall[$h]}")" "$(calc '%.2f' "${peak[$f]} / ${peak[$h]}")" \
      "$ratio_size" "$met"
  done
  echo
  echo "The target is Folio at least as fast as libharu (CPU time, the steadier"
  echo "measure on a shared machine) at equal or smaller output. Folio writes"
  echo "numbers with at most four decimals where libharu writes five, which makes"
  echo "its output smaller; at level 6 both spend most of their time in zlib's"
  echo "deflate. libharu keeps the whole document in memory until it saves it;"
  echo "Folio holds the page's content stream until the page ends."
} >"$section"

# The section replaces its earlier version; what precedes it stays.
results="$root/bench/RESULTS.md"
kept="$out/results-before.md"
sed '/^## Drawing against libharu$/,$d' "$results" >"$kept"
{ cat "$kept"; echo; cat "$section"; } | cat -s >"$results"
echo "==== Written to $results"
cat "$section"
