#!/usr/bin/env bash
# Drives the desktop program on a virtual X server with a window manager, the
# way a person would, and keeps screenshots of what it showed:
#
#   scripts/desktop-check.sh [DISPLAY_NUMBER] [OUT_FOLDER]
#
#  1. starts the program with 300 images on its command line (the list
#     fills, thumbnails arrive);
#  2. saves them with Ctrl+S through the save dialog and, while the book is
#     being written, opens the File menu with Alt+F and checks that it
#     appears (the window answers during a save);
#  3. waits for the message of the written book and checks the PDF with
#     qpdf;
#  4. starts a second save over the finished book and kills the program
#     with SIGKILL in the middle: the folder must be as it was.
#
# Screenshots (PNG) go to OUT_FOLDER (default: build/desktop-check). Not part
# of ./test.sh; it needs the build in build/ and the "desktop" packages.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
display_number="${1:-99}"
out="${2:-$root/build/desktop-check}"
program="$root/build/app/gui/bindwick"
export DISPLAY=":$display_number"

"$root/scripts/ensure-packages.sh" desktop
[[ -x "$program" ]] || { echo "build the program first (./test.sh or cmake --build build)" >&2; exit 1; }
mkdir -p "$out"
rm -f "$out"/*.png
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf '== %s\n' "$*"; }
shot() { /usr/bin/python3 -c "from PIL import ImageGrab; ImageGrab.grab(xdisplay='$DISPLAY').save('$out/$1.png')"; echo "   screenshot $out/$1.png"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
# Waits up to $2 seconds for a visible window whose name matches $1.
wait_window() {
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.1
  done
  return 1
}

step "X server $DISPLAY with openbox"
Xvfb "$DISPLAY" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
sleep 1
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

step "300 images: a noisy RGBA picture the library decodes and compresses again"
/usr/bin/python3 - "$work/images" <<'EOF'
import os, sys
import numpy as np
from PIL import Image
folder = sys.argv[1]
os.makedirs(folder)
rng = np.random.default_rng(7)
pixels = rng.integers(0, 256, (450, 600, 4)).astype("uint8")
pixels[..., 3] = 220
for i in range(1, 301):
    Image.fromarray(pixels, "RGBA").save(os.path.join(folder, "page%d.png" % i))
EOF
mkdir "$work/books"
book="$work/books/book.pdf"

step "The program with the folder of images on its command line"
(cd "$work" && exec "$program" images) >"$work/program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)
window="$(wait_window '^Bindwick$' 20)" || fail "no main window"
xdotool windowsize "$window" 900 700
sleep 3
shot 1-list

step "Ctrl+S, the save dialog, the output path"
xdotool windowactivate --sync "$window" key ctrl+s
dialog="$(wait_window '名前を付けて保存|Save' 10)" || fail "no save dialog"
sleep 1
xdotool type --delay 20 "$book"
shot 2-save-dialog
xdotool key Return
sleep 2

step "During the save: Alt+F opens the File menu"
xdotool windowactivate --sync "$window" key alt+f
sleep 1
shot 3-menu-during-save
[[ -e "$book" ]] && fail "the book has a name before it is complete"
menus_before_escape=$(xdotool search --onlyvisible --class bindwick 2>/dev/null | wc -l)
xdotool key Escape
[[ $menus_before_escape -ge 2 ]] || fail "the menu did not open during the save"
echo "   menu opened during the save ($menus_before_escape visible windows of the program)"

step "The message of the written book"
wait_window 'book.pdf' 120 >/dev/null || fail "no message after the save"
sleep 1
shot 4-written
xdotool key Return
qpdf --check "$book" >/dev/null || fail "qpdf --check"
pages=$(pdfinfo "$book" | awk '/^Pages:/ {print $2}')
echo "   $book: $pages pages, qpdf --check passed"
[[ $pages == 300 ]] || fail "expected 300 pages"

step "A second save over the book, killed with SIGKILL midway"
before="$(cd "$work/books" && ls -A && sha256sum book.pdf)"
xdotool windowactivate --sync "$window" key ctrl+s
wait_window '名前を付けて保存|Save' 10 >/dev/null || fail "no save dialog"
sleep 1
xdotool type --delay 20 "$book"
xdotool key Return
sleep 4
shot 5-before-kill
kill -KILL "$program_pid"
wait "$program_pid" 2>/dev/null || true
after="$(cd "$work/books" && ls -A && sha256sum book.pdf)"
[[ "$before" == "$after" ]] || fail "the folder changed: $after"
echo "   folder as it was: $(cd "$work/books" && ls -A | tr '\n' ' ')"
step "All checks passed"
