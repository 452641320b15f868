#!/usr/bin/env bash
# The Debian package holds the program, its panels, the menu entry and the icon, and its
# dependencies were read off the binary.
# Usage: debian_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$build" && cpack -G DEB -B "$tmp" >/dev/null)
deb=$(ls "$tmp"/zelmor_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/zelmor ./usr/share/zelmor/Parallela.uir ./usr/share/zelmor/zelmor.uir \
         ./usr/share/applications/zelmor.desktop ./usr/share/icons/hicolor/scalable/apps/zelmor.svg; do
    grep -qx "$f" <<<"$contents" || { echo "missing from the package: $f"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6uitools6; do
    grep -Fqx "$p" <<<"$names" || { echo "Depends lacks $p: $depends"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = zelmor ] || { echo "wrong package name"; exit 1; }
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] ||
    { echo "wrong architecture"; exit 1; }
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $depends"
