# Shared by the end-to-end scripts: an Xvfb display of their own, zelmor started on it with its
# standard error kept, and the operator's keys. Source it after setting `zelmor`; the caller
# may export more environment first.
tmp=$(mktemp -d)
display=":$((100 + RANDOM % 800))"
cleanup() {
    [ -n "${app:-}" ] && kill -9 "$app" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -s "$tmp/err" ] && cat "$tmp/err"; exit 1; }

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_CONFIG_HOME=$tmp/config  # the look zelmor remembers: never the real home's
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

start_zelmor() { "$zelmor" 2>"$tmp/err" & app=$!; }
window() {  # the id of the window with this exact title, waiting for it up to 10 s
    local id
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1) ||
        fail "no window \"$1\""
    echo "$id"
}
keys() { xdotool key --delay 80 "$@"; sleep 0.3; }
