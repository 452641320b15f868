#!/usr/bin/env bash
# Installs whatever building and running zelmor need and is not there yet (Debian 12), without
# recommended packages: the build with its unit tests and benchmarks, the screenshots and the
# package. What only the test command needs on top (a screen server, the fuzzers' compiler, the
# emulator of the real-kernel stage) is scripts/setup-tests.sh. Everything the build uses must be
# named here or be a hard dependency of what is (scripts/check-packages.sh checks).
# Runs apt-get as root, or through sudo for an ordinary user. --list prints this part's list only.
set -euo pipefail
# libqt6opengl6-dev: Qt's UiTools needs it at configure; qt6-tools-dev only recommends it.
# dpkg-dev, file: the Debian package's dependencies are read off the binary.
# qt6-svg-dev: the chart saves its picture as SVG too.
packages=(build-essential cmake qt6-base-dev qt6-tools-dev libqt6opengl6-dev libgl-dev qt6-svg-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang-format fonts-dejavu-core dpkg-dev file
          git)
if [ "${1:-}" = --list ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi
# --also P...: another part's packages (scripts/setup-tests.sh), installed in the same pass.
if [ "${1:-}" = --also ]; then
    shift
    packages+=("$@")
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
    "${as_root[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
