#!/usr/bin/env bash
# The real-kernel stage: Debian's own kernel booted under QEMU, with its parport, parport_pc and
# ppdev modules, on an emulated ISA parallel port at 0x378 behind which the converter board is
# simulated on the host (libzelmor_fake_kernel.so, preloaded into QEMU). Inside the guest,
# guest-init.sh loads the modules, checks what the kernel and the BIOS say about the port and
# runs the unmodified zelmor on it; its verdicts come back over the serial console.
# Needs what scripts/setup-tests.sh installs (QEMU, busybox, cpio), and apt-get for the kernel.
# Usage: run-guest.sh BUILD_DIR      (a finished build; downloads stay in BUILD_DIR/guest-cache)
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cache=$build/guest-cache
work=$build/guest-run  # kept after a run, to read when it fails
preload=$build/tests/libzelmor_fake_kernel.so
# The board's eight inputs, as converter codes: distinct bit patterns on every channel, none
# at 0 or full scale (that would read as a converter not answering).
codes=491,1365,2730,240,3855,291,4077,2048
rate=1000     # scans/s asked of every run; what each back end reaches is reported
seconds=4     # of acquisition per run
began=$SECONDS

for tool in qemu-system-x86_64 busybox cpio apt-get apt-cache dpkg-deb; do
    command -v "$tool" >/dev/null || {
        echo "run-guest: $tool is missing: scripts/setup-tests.sh installs it"
        exit 1
    }
done
[ -f "$preload" ] || { echo "run-guest: $preload is not built"; exit 1; }

# The newest Debian 12 kernel of the 6.1 series, fetched once.
mkdir -p "$cache"
deb=$(find "$cache" -maxdepth 1 -name 'linux-image-6.1.*-amd64_*.deb' | sort -V | tail -n 1)
if [ -z "$deb" ]; then
    name=$(apt-cache pkgnames linux-image-6.1 | grep -E '^linux-image-6\.1\.0-[0-9]+-amd64$' |
        sort -V | tail -n 1)
    [ -n "$name" ] || { echo "run-guest: apt knows no linux-image-6.1.*-amd64 (apt-get update?)"; exit 1; }
    (cd "$cache" && apt-get download -q "$name" 2>&1) | { grep -v '^W: Download is performed unsandboxed' || true; }
    deb=$(find "$cache" -maxdepth 1 -name "${name}_*.deb" | head -n 1)
fi
rm -rf "$work"
mkdir -p "$work/root"
root=$work/root
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" --wildcards './boot/vmlinuz-*' \
    '*/drivers/parport/parport.ko' '*/drivers/parport/parport_pc.ko' '*/drivers/char/ppdev.ko'
version=$(basename "$(ls -d "$work"/lib/modules/*)")
mkdir -p "$root/lib/modules"
mv "$work/lib/modules/$version" "$root/lib/modules/"

# The guest's tree: busybox, the modules, zelmor as installed, every library it and Qt's
# offscreen platform load, the fonts.
mkdir -p "$root"/{bin,dev,etc,proc,sys,tmp,usr/lib/x86_64-linux-gnu,lib64,home/zel}
ln -s ../usr/lib/x86_64-linux-gnu "$root/lib/x86_64-linux-gnu"
cp /bin/busybox "$root/bin/"
for applet in $(busybox --list | grep -vx busybox); do ln -s busybox "$root/bin/$applet"; done
busybox depmod -b "$root" "$version"
cmake --install "$build" --prefix "$root/usr" >/dev/null
plugins=$(find /usr/lib/x86_64-linux-gnu/qt6/plugins -name libqoffscreen.so)
mkdir -p "$root$(dirname "$plugins")" && cp "$plugins" "$root$plugins"
for lib in $( (ldd "$root/usr/bin/zelmor"; ldd "$plugins") | awk '$2 == "=>" && $3 ~ /^\// {print $3}' | sort -u); do
    cp -L "$lib" "$root/usr/lib/x86_64-linux-gnu/"
done
cp -L /lib64/ld-linux-x86-64.so.2 "$root/lib64/"
mkdir -p "$root/usr/share/fonts/truetype" "$root/etc/fonts"
cp -r /usr/share/fonts/truetype/dejavu "$root/usr/share/fonts/truetype/"
cp -rL /etc/fonts/. "$root/etc/fonts/"
printf 'root:x:0:0:root:/root:/bin/sh\nzel:x:1000:1000:operator:/home/zel:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\nlp:x:7:zel\nzel:x:1000:\n' >"$root/etc/group"
cp "$here/guest-init.sh" "$root/init"
(cd "$root" && find . | cpio -o -H newc -R 0:0 --quiet | gzip -1) >"$work/initrd.gz"
setup=$((SECONDS - began))

# Boot. TCG only: under KVM this kernel hangs probing the disks' BIOS data.
echo "run-guest: booting Debian's $version, initramfs $(du -m "$work/initrd.gz" | cut -f1) MB"
booted=$SECONDS
status=0
LD_PRELOAD=$preload ZELMOR_GUEST_PORT="$work/lpt0" ZELMOR_GUEST_CODES=$codes \
    ZELMOR_GUEST_LOG="$work/port.log" timeout 600 qemu-system-x86_64 -M pc \
    -accel tcg,thread=multi -smp 2 -m 2048 -nographic -no-reboot \
    -kernel "$work"/boot/vmlinuz-* -initrd "$work/initrd.gz" \
    -append "console=ttyS0 quiet panic=-1 zelmor.codes=$codes zelmor.rate=$rate zelmor.seconds=$seconds" \
    -chardev parallel,path="$work/lpt0",id=lpt0 -device isa-parallel,chardev=lpt0,iobase=0x378,irq=7 \
    </dev/null >"$work/console.log" 2>&1 || status=$?
total=$((SECONDS - booted))
tr -d '\r' <"$work/console.log" | sed -n 's/.*zelmor-guest: //p' >"$work/verdicts"
sed 's/^/  /' "$work/verdicts"

fail() {
    echo "run-guest: FAIL $*"
    echo "run-guest: the guest's console, last lines (all of it: $work/console.log):"
    tail -n 40 "$work/console.log" | sed 's/^/  /'
    echo "run-guest: what happened on the port ($work/port.log):"
    sed 's/^/  /' "$work/port.log" 2>/dev/null || true
    exit 1
}
[ "$status" -eq 0 ] || fail "QEMU ended with $status"
grep -q '^done' "$work/verdicts" || fail "the guest did not finish its checks"
! grep -q '^FAIL' "$work/verdicts" || fail "$(grep -c '^FAIL' "$work/verdicts") checks failed in the guest"
# The kernel's probe powered the board off; zelmor's first write after it powered it up, and
# the recording holds every conversion made since: its first scan was the first conversion.
grep -q '^power off' "$work/port.log" || fail "the kernel's probe never powered the board off"
[ "$(grep '^power o' "$work/port.log" | tail -n 1 | cut -d' ' -f1-2)" = "power on" ] ||
    fail "the board was not powered at the end"
since=$(sed -n "s/^PPRELEASE.*, \([0-9]*\) since the board's last power-on$/\1/p" "$work/port.log")
scans=$(sed -n 's/^ok after-probe-scans: \([0-9]*\) scans.*/\1/p' "$work/verdicts")
[ "$since" = $((8 * scans)) ] ||
    fail "after the probe the board made $since conversions, the recording holds $scans scans"
runs=$(sed -n 's/^done after \([0-9.]*\) s of checks$/\1/p' "$work/verdicts")
echo "run-guest: set-up $setup s, boot and shutdown $(awk -v t="$total" -v r="$runs" 'BEGIN {printf "%.0f", t - r}') s, checks $runs s; downloads $(du -sm "$cache" | cut -f1) MB"
