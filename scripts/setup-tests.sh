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
exec scripts/setup.sh --also "${packages[@]}"
