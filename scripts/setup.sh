#!/usr/bin/env bash
# Installs whatever the build, the tests and the program need and is not there yet
# (Debian 12). Runs apt-get as root, or through sudo for an ordinary user.
set -euo pipefail
packages=(build-essential cmake qt6-base-dev qt6-tools-dev libgl-dev libgtest-dev
          libgmock-dev libbenchmark-dev clang-format xvfb xauth fonts-dejavu-core)
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
