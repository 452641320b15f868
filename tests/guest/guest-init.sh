#!/bin/sh
# The guest's init (busybox sh), built into the initramfs by run-guest.sh. Every check says
# "zelmor-guest: ok NAME" or "zelmor-guest: FAIL NAME: why" on the serial console; the last
# line is "zelmor-guest: done after S s of checks". Then the machine powers off.
export PATH=/bin HOME=/root
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mount -t tracefs tracefs /sys/kernel/tracing
exec >/dev/console 2>&1
echo  # past what the firmware left on the line
started=$(cut -d' ' -f1 /proc/uptime)
setting() { sed -n "s/.*zelmor\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
codes=$(setting codes)
rate=$(setting rate)
seconds=$(setting seconds)

ok() { echo "zelmor-guest: ok $*"; }
fail() { echo "zelmor-guest: FAIL $*"; }
# expect NAME WANTED GOT
expect() {
    if [ "$2" = "$3" ]; then ok "$1"; else fail "$1: wanted \"$2\", got \"$3\""; fi
}

modprobe parport_pc && modprobe ppdev
expect modules "parport_pc ppdev" "$(cut -d' ' -f1 /proc/modules | grep -E '^(parport_pc|ppdev)$' | sort | tr '\n' ' ' | sed 's/ $//')"
expect kernel-port-list "888" "$(cut -f1 /proc/sys/dev/parport/parport0/base-addr)"
expect port-modes "PCSPP,TRISTATE,EPP" "$(cat /proc/sys/dev/parport/parport0/modes)"
expect ioports "0378-037a : parport0" "$(grep -o '0378-037a : parport0' /proc/ioports)"
# LPT1-3 in the BIOS data area at 0x408, little-endian words.
expect bios-words "0378 0000 0000" "$(od -An -tx2 -j 1032 -N 6 /dev/mem | tr -s ' ' | sed 's/^ //')"

echo "zelmor-guest: done after $(awk -v s="$started" '{printf "%.1f", $1 - s}' /proc/uptime) s of checks"
poweroff -f
