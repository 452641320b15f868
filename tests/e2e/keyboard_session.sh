#!/usr/bin/env bash
# The real zelmor under Xvfb, driven by real key events (XTest, through xdotool), as an
# operator at the keyboard: choose the absent LPT3 and LPT1 from the port list, commit a rate,
# freeze and resume the chart, quit.
# Usage: keyboard_session.sh ZELMOR_BINARY
set -euo pipefail
zelmor=$1
source "$(dirname "$0")/xvfb_session.sh"
start_zelmor

ports=$(window "Zelmor — choose the parallel port")
xdotool windowfocus --sync "$ports"
keys alt+p           # to the port list, by its mnemonic
keys Down            # a browse: opens the list on LPT1, highlighted; chooses nothing
xdotool search --onlyvisible --name "^ZELMOR on LPT" >/dev/null 2>&1 && fail "a browse chose a port"
keys Down Down Return  # the highlighted entry: LPT3, which the BIOS does not list
popup=$(window "Configuration error") || fail "Down, Down, Enter did not choose LPT3"
xdotool windowfocus --sync "$popup"
keys Return
xdotool search --onlyvisible --name "^Zelmor — choose the parallel port\$" >/dev/null ||
    fail "the port panel went away"
xdotool windowfocus --sync "$ports"
keys alt+p Down Up Up  # the list opens on LPT3, the current entry
keys Return          # the choice: LPT1
main=$(window "ZELMOR on LPT \(base address = 378h\)")

xdotool windowfocus --sync "$main"
keys alt+r ctrl+a    # to Requested (scans/s), its text selected
xdotool type --delay 80 100
keys Return
keys space space     # freeze, resume
kill -0 "$app" 2>/dev/null || fail "zelmor ended during the session"
keys ctrl+q
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
rc=0
wait "$app" || rc=$?
app=
[ "$rc" -eq 0 ] || fail "exit code $rc after Ctrl+Q"
[ -s "$tmp/err" ] && fail "zelmor wrote on standard error"
echo "keyboard session: ok"
