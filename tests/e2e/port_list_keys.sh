#!/usr/bin/env bash
# The port list under real key events: the first arrow key highlights the entry Enter would
# choose, so Down, Down, Down, Enter chooses LPT3 (absent: the popup, the port panel stays
# up), and the list then opens on LPT3, where Up, Up, Enter chooses LPT1.
# Usage: port_list_keys.sh ZELMOR_BINARY
set -euo pipefail
zelmor=$1
source "$(dirname "$0")/xvfb_session.sh"
start_zelmor

ports=$(window "Zelmor — choose the parallel port")
xdotool windowfocus --sync "$ports"
keys alt+p Down      # opens the list on LPT1, highlighted
keys Down Down Return  # LPT3, which the BIOS does not list
popup=$(window "Configuration error") || fail "Down, Down, Down, Enter did not choose LPT3"
xdotool search --onlyvisible --name "^ZELMOR on LPT" >/dev/null 2>&1 && fail "an absent port opened"
xdotool windowfocus --sync "$popup"
keys Return
xdotool search --onlyvisible --name "^Zelmor — choose the parallel port\$" >/dev/null ||
    fail "the port panel went away"
xdotool windowfocus --sync "$ports"
keys alt+p Down      # opens on LPT3, the current entry
keys Up Up Return
main=$(window "ZELMOR on LPT \(base address = 378h\)")
kill -0 "$app" 2>/dev/null || fail "zelmor ended during the session"
xdotool windowfocus --sync "$main"
keys ctrl+q
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
rc=0
wait "$app" || rc=$?
app=
[ "$rc" -eq 0 ] || fail "exit code $rc after Ctrl+Q"
echo "port list keys: ok"
