#!/usr/bin/env bash
# Builds the Debian packages bindwick and libfolio-dev into dist/ and checks
# them with lintian (no errors allowed) and desktop-file-validate.
#
# The build is a release build of its own in build-package/, installed under
# /usr, with Debian's hardening flags. Works on a fresh Debian 12 machine:
# missing packages are installed first (as root, or through sudo without a
# password prompt).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$root/build-package"
dist="$root/dist"
jobs="${BINDWICK_JOBS:-2}"

"$root/scripts/ensure-packages.sh" build gui package

version="$(dpkg-parsechangelog -l "$root/packaging/changelog" -S Version)"

echo "==== Building $build"
# The flags Debian builds its own packages with (hardening, optimisation).
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBINDWICK_BUILD_APP=ON -DBINDWICK_BUILD_GUI=ON -DBINDWICK_BUILD_TESTS=OFF \
    -DBINDWICK_BUILD_BENCH=OFF -DBINDWICK_PACKAGE=ON
project_version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
if [[ "$version" != "$project_version" ]]; then
  echo "error: packaging/changelog's newest entry is $version, the project is" \
       "$project_version: add an entry for $project_version at its top" >&2
  exit 1
fi
cmake --build "$build" -j "$jobs"

echo "==== Packaging into $dist"
rm -rf "$dist" "$build/cpack"
(cd "$build" && cpack -G DEB -B "$build/cpack")
mkdir -p "$dist"
mv "$build"/cpack/*.deb "$dist/"

echo "==== Checking the packages"
desktop-file-validate "$root/app/desktop/bindwick.desktop"
status=0
for deb in "$dist"/*.deb; do
  echo "-- $(basename "$deb")"
  dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
  # lintian exits non-zero on errors; warnings are shown but pass.
  lintian --allow-root --info "$deb" || status=1
done
if [[ $status -ne 0 ]]; then
  echo "error: lintian found errors" >&2
  exit 1
fi
ls -l "$dist"
