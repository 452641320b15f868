#!/usr/bin/env bash
# The real zelmor under Xvfb records at 1000 scans/s, started from the keyboard (Ctrl+R, the
# save dialog's own dated name), and is then killed with SIGKILL: the file must still parse,
# end on a whole line, and miss no more than about the last second.
# Usage: recording_killed.sh ZELMOR_BINARY
set -euo pipefail
zelmor=$1
source "$(dirname "$0")/xvfb_session.sh"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config  # the documents folder: ~/Documents
mkdir -p "$HOME"
start_zelmor

ports=$(window "Zelmor — choose the parallel port")
xdotool windowfocus --sync "$ports"
keys alt+p Down Return   # open the list, choose LPT1
main=$(window "ZELMOR on LPT \(base address = 378h\)")
xdotool windowfocus --sync "$main"
keys alt+r ctrl+a
xdotool type --delay 80 1000
keys Return          # 1000 scans/s
keys ctrl+r          # record: the save dialog offers a new dated name in ~/Documents
dialog=$(window "Record every scan to")
xdotool windowfocus --sync "$dialog"
xdotool key Return
started=$(date +%s.%N)
sleep 3.5
kill -9 "$app"
killed=$(date +%s.%N)
wait "$app" 2>/dev/null || true
app=

files=("$HOME"/Documents/zelmor-*.csv)
[ -f "${files[0]}" ] || fail "no recording in $HOME/Documents"
file=${files[0]}
[ "$(tail -c1 "$file" | od -An -c | tr -d ' ')" = '\n' ] || fail "the file ends inside a line"
# Every scan line: a time and eight numbers. The last time against the moment of the kill.
last=$(awk -F, '
    /^#/ || /^time_s,/ { next }
    NF != 9 { print "bad " NR ": " $0; exit 1 }
    { for (i = 1; i <= 9; ++i) if ($i !~ /^-?[0-9]+(\.[0-9]+)?$/) { print "bad " NR ": " $0; exit 1 } }
    { t = $1; n++ }
    END { printf "%s %d\n", t, n }' "$file") || fail "$last"
read -r time scans <<<"$last"
recorded=$(awk -v a="$started" -v b="$killed" 'BEGIN { printf "%.3f", b - a }')
awk -v t="$time" -v r="$recorded" 'BEGIN { exit !(t >= r - 1.6) }' ||
    fail "the file ends at $time s of about $recorded s recorded: more than a second lost"
[ "$scans" -ge 1000 ] || fail "only $scans scans in $file"
echo "recording killed after ${recorded} s: $scans scans kept, the last at $time s: ok"
