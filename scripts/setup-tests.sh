#!/usr/bin/env bash
# Installs, on top of scripts/setup.sh, what only the test command needs (Debian 12), without
# recommended packages; scripts/test.sh runs it, scripts/run.sh does not. --list prints this
# part's list only.
set -euo pipefail
cd "$(dirname "$0")/.."
# xvfb, xauth, xdotool: the end-to-end sessions type real keys into zelmor under Xvfb.
# clang, libclang-rt-14-dev: the fuzzers (scripts/fuzz.sh) build with clang and its libFuzzer.
# qemu-system-x86, busybox-static, cpio: the real-kernel stage boots Debian's kernel under QEMU
# from an initramfs of busybox; the kernel itself is fetched there with apt-get download.
packages=(xvfb xauth xdotool clang libclang-rt-14-dev qemu-system-x86 busybox-static cpio)
if [ "${1:-}" = --list ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi
scripts/setup.sh
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing for the tests: ${missing[*]}"
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
    "${as_root[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
