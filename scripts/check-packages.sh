#!/usr/bin/env bash
# Installs the Debian packages in the current folder (bindwick_*.deb and
# libfolio-dev_*.deb from ./package.sh) and uses them as a user would. Meant
# for a fresh root, from the project's folder:
#
#   ./package.sh
#   scripts/fresh-check.sh --add dist/bindwick_*.deb --add dist/libfolio-dev_*.deb \
#     scripts/check-packages.sh
#
# Checks: the packages install with their dependencies; bindwick-cli binds
# the samples; the installed desktop program keeps its settings in the
# user's ~/.config/bindwick/, for root too; a C program builds against
# libfolio-dev through pkg-config and through its CMake package. Every
# document is checked with qpdf. Needs root.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

step() {
  printf '\n==== %s\n' "$*"
}

step "Installing $(echo ./*.deb)"
apt-get update -q >/dev/null
# dpkg stops at the missing dependencies; apt-get brings them in.
dpkg -i ./*.deb || apt-get -f install -y -q
dpkg-query -W bindwick libfolio-dev
apt-get install -y -q --no-install-recommends qpdf >/dev/null

step "bindwick-cli"
bindwick-cli --version
bindwick-cli -o "$work/samples.pdf" --title "Samples" samples/*
qpdf --check "$work/samples.pdf" | grep "No syntax"

step "bindwick keeps its settings in ~/.config/bindwick/"
# The program runs on Qt's offscreen platform until timeout ends it; it
# writes the settings file at start-up.
settings_of() {
  local user="$1" home="$2"
  runuser -u "$user" -- env HOME="$home" QT_QPA_PLATFORM=offscreen \
    timeout 5 bindwick >/dev/null 2>&1 || true
  if [[ ! -f "$home/.config/bindwick/bindwick.ini" || -e /usr/bin/bindwick.ini ]]; then
    echo "error: bindwick run by $user did not write $home/.config/bindwick/bindwick.ini" >&2
    exit 1
  fi
  echo "$user: $home/.config/bindwick/bindwick.ini"
}
bindwick --version
settings_of root /root
id reader >/dev/null 2>&1 || useradd -m reader
settings_of reader /home/reader

step "A C program against libfolio-dev"
apt-get install -y -q --no-install-recommends gcc libc6-dev make cmake pkg-config >/dev/null
cp tests/build/consumer/consumer.c tests/build/consumer/CMakeLists.txt "$work/"
cd "$work"
echo "pkg-config: $(pkg-config --cflags --libs folio)"
cc consumer.c -o by-pkg-config $(pkg-config --cflags --libs folio)
./by-pkg-config by-pkg-config.pdf
qpdf --check by-pkg-config.pdf | grep "No syntax"
cmake -S . -B by-cmake >/dev/null
cmake --build by-cmake >/dev/null
by-cmake/folio_consumer by-cmake.pdf
qpdf --check by-cmake.pdf | grep "No syntax"

step "The installed packages work"
