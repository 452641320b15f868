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

# The lp group reaches the port as a packaging rule would give it; the user's files go here.
chgrp lp /dev/parport0 && chmod 660 /dev/parport0
chmod 1777 /tmp
mkdir -p /var/cache/fontconfig && chmod 1777 /var/cache/fontconfig
for user in root zel; do mkdir -p /tmp/runtime-$user && chown $user /tmp/runtime-$user && chmod 700 /tmp/runtime-$user; done
chown zel /home/zel

# check_run NAME WANTED_OWNER: the exit code, then every scan of /tmp/NAME.csv against the
# board's codes; reports the rate reached beside the ceiling the back end measured.
check_run() {
    name=$1 file=/tmp/$1.csv
    expect "$name-exit" 0 "$(cat /tmp/$name.code)"
    [ -s /tmp/$name.err ] && sed "s/^/zelmor-guest: $name said: /" /tmp/$name.err
    expect "$name-file-owner" "$2" "$(stat -c %u $file 2>/dev/null)"
    awk -F, -v codes="$codes" -v name="$name" -v seconds="$seconds" '
        BEGIN { split(codes, c, ",") }
        /^# port base address/ { ceiling = $0; sub(/.* at most /, "", ceiling); sub(/ scans.*/, "", ceiling) }
        /^#/ || /^time_s,/ { next }
        {
            rows++
            if (NF != 9 || (rows > 1 && $1 <= last)) { bad++; if (!why) why = "line " NR ": " $0 }
            if (rows == 1) first = $1
            for (i = 2; i <= 9; i++)
                if ($i * 4096 / 2.5 != c[i - 1]) { bad++; if (!why) why = "line " NR " channel " i - 2 ": " $i }
            last = $1
        }
        END {
            if (rows < 2 || bad) printf "zelmor-guest: FAIL %s-scans: %d of %d wrong; %s\n", name, bad, rows, why
            else printf "zelmor-guest: ok %s-scans: %d scans, %.0f scans/s over %.1f s, ceiling %s scans/s\n", name, rows, (rows - 1) / (last - first), last - first, ceiling
        }' $file
}

zelmor="/usr/bin/zelmor --port=LPT1 --rate=$rate --seconds=$seconds"
export XDG_RUNTIME_DIR=/tmp/runtime-root
$zelmor --io=ppdev --record=/tmp/ppdev-root.csv 2>/tmp/ppdev-root.err
echo $? >/tmp/ppdev-root.code
check_run ppdev-root 0

su -s /bin/sh zel -c "XDG_RUNTIME_DIR=/tmp/runtime-zel $zelmor --io=ppdev --record=/tmp/ppdev-lp.csv" 2>/tmp/ppdev-lp.err
echo $? >/tmp/ppdev-lp.code
check_run ppdev-lp 1000

# direct, as sudo starts it: root with the caller's numbers. The kernel's own trace of the
# port permission calls shows what it took.
for call in ioperm iopl; do echo 1 >/sys/kernel/tracing/events/syscalls/sys_enter_$call/enable; done
echo >/sys/kernel/tracing/trace
SUDO_UID=1000 SUDO_GID=1000 SUDO_USER=zel XDG_RUNTIME_DIR=/tmp/runtime-zel \
    $zelmor --io=direct --record=/tmp/direct.csv 2>/tmp/direct.err
echo $? >/tmp/direct.code
check_run direct 1000
expect direct-port-permission "sys_ioperm(from: 378, num: 2, turn_on: 1)" \
    "$(grep -o 'sys_io[a-z]*(.*)' /sys/kernel/tracing/trace | tr '\n' ';' | sed 's/;$//')"

# The BIOS lists no LPT2 here: a run asked for it ends at once with -1.
/usr/bin/zelmor --io=ppdev --port=LPT2 --seconds=1 2>/tmp/absent.err
expect absent-port-exit 255 $?
expect absent-port-said "zelmor: popup \"Configuration error\": Selected port doesn't exist;zelmor: ending with exit code -1: the chosen port does not exist" \
    "$(tr '\n' ';' </tmp/absent.err | sed 's/;$//')"

# The kernel's probe leaves the data register at 0x00, which powers the board off; zelmor's
# first write powers it up again, and its first conversion must be right.
rmmod ppdev parport_pc && modprobe parport_pc && modprobe ppdev
$zelmor --io=ppdev --record=/tmp/after-probe.csv 2>/tmp/after-probe.err
echo $? >/tmp/after-probe.code
check_run after-probe 0

echo "zelmor-guest: done after $(awk -v s="$started" '{printf "%.1f", $1 - s}' /proc/uptime) s of checks"
poweroff -f
