#!/usr/bin/env bash
# Runs a command in a clean copy of the project on a fresh Debian 12 root,
# the way a newcomer's first command runs on a machine that has never seen
# the project:
#
#   scripts/fresh-check.sh [--keep] [--add FILE]... COMMAND [ARG]...
#
# for example `scripts/fresh-check.sh ./run.sh` or
# `scripts/fresh-check.sh ./test.sh`.
#
# The root is made with `debootstrap --variant=minbase bookworm` from the
# Debian mirror this machine's apt sources name (BINDWICK_FRESH_MIRROR
# overrides it) and kept as a tarball in BINDWICK_FRESH_CACHE
# (~/.cache/bindwick by default), so later runs unpack it in seconds; delete
# the tarball to start from the mirror again. Each run unpacks a new root,
# copies the committed state of the project (`git archive HEAD`, nothing
# uncommitted) into /root/bindwick, copies each --add FILE beside it, and
# runs COMMAND there as root under chroot with /proc and /dev mounted. They
# are unmounted and the root is removed on every way out; --keep leaves the
# unmounted root in place to look at.
#
# Needs root. The exit status is the command's.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
suite=bookworm
cache_dir="${BINDWICK_FRESH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/bindwick}"
cache="$cache_dir/debian-$suite-minbase.tar.gz"
project_dir=/root/bindwick

usage() {
  echo "usage: $0 [--keep] [--add FILE]... COMMAND [ARG]..." >&2
  exit 2
}

keep=false
extra_files=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --keep) keep=true; shift ;;
    --add) [[ $# -ge 2 ]] || usage; extra_files+=("$(realpath "$2")"); shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[[ $# -gt 0 ]] || usage
for file in "${extra_files[@]}"; do
  [[ -f "$file" ]] || { echo "$0: no such file: $file" >&2; exit 2; }
done
if [[ $(id -u) -ne 0 ]]; then
  echo "$0: needs root (debootstrap, mount and chroot)" >&2
  exit 1
fi
"$repo/scripts/ensure-packages.sh" fresh

# The first Debian mirror that this machine's apt sources use for $suite,
# from one-line (.list) and deb822 (.sources) files alike.
host_mirror() {
  local files=() file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
              /etc/apt/sources.list.d/*.sources; do
    [[ -f "$file" ]] && files+=("$file")
  done
  [[ ${#files[@]} -gt 0 ]] || return 0
  awk -v suite="$suite" '
    function flush() {
      if (!found && !disabled && types ~ / deb / && suites ~ (" " suite " ")) {
        split(uris, u, /[ \t]+/); print u[1]; found = 1
      }
      uris = suites = types = ""; disabled = 0
    }
    FNR == 1 { flush() }
    found { exit }
    FILENAME ~ /\.list$/ {
      sub(/#.*/, ""); gsub(/\[[^]]*\]/, "")
      if ($1 == "deb" && $3 == suite) { print $2; found = 1 }
      next
    }
    /^[ \t]*$/ { flush(); next }
    /^URIs:/ { uris = $0; sub(/^URIs:[ \t]*/, "", uris) }
    /^Suites:/ { suites = " " $0 " " }
    /^Types:/ { types = " " $0 " " }
    /^Enabled:[ \t]*no/ { disabled = 1 }
    END { flush() }' "${files[@]}"
}

make_cached_root() {
  local mirror="${BINDWICK_FRESH_MIRROR:-$(host_mirror)}"
  if [[ -z "$mirror" ]]; then
    echo "$0: no Debian $suite mirror in /etc/apt/sources*; set BINDWICK_FRESH_MIRROR" >&2
    exit 1
  fi
  echo "==== Making a fresh Debian $suite root from $mirror (once; cached in $cache)"
  debootstrap --variant=minbase "$suite" "$root" "$mirror"
  mkdir -p "$cache_dir"
  tar -C "$root" --numeric-owner -czf "$cache.tmp" .
  mv "$cache.tmp" "$cache"
}

# Nothing may stay mounted under the root when it is removed: a /dev still
# bound there would be emptied along with it.
cleanup() {
  local status=$?
  trap - EXIT INT TERM HUP
  rm -f "$cache.tmp"
  [[ -n "${root:-}" && -d "$root" ]] || exit "$status"
  umount -R "$root/dev" 2>/dev/null || true
  umount "$root/proc" 2>/dev/null || true
  if findmnt -rn -o TARGET | grep -q "^$root/"; then
    echo "$0: could not unmount everything under $root; left in place" >&2
  elif $keep; then
    echo "==== The root is left in $root"
  else
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}

work="${TMPDIR:-/var/tmp}"
root="$(mktemp -d "$work/bindwick-fresh.XXXXXX")"
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if [[ -f "$cache" ]]; then
  echo "==== Unpacking the fresh Debian $suite root from $cache"
  tar -C "$root" --numeric-owner -xzf "$cache"
else
  make_cached_root
fi

echo "==== Copying the committed project ($(git -C "$repo" rev-parse --short HEAD)) to $project_dir"
mkdir -p "$root$project_dir"
git -C "$repo" archive HEAD | tar -C "$root$project_dir" -x
for file in "${extra_files[@]}"; do
  cp "$file" "$root$project_dir/"
done
# Name resolution for apt inside the root is the machine's own.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# apt's download user must be able to reach into the root.
chmod 755 "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"

echo "==== Running as root in $project_dir: $*"
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash -c 'cd "$0" && exec "$@"' "$project_dir" "$@" || status=$?
echo "==== $* exited with status $status"
exit "$status"
