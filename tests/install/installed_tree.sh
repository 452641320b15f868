#!/usr/bin/env bash
# The installed tree finds its panels from its own folder, whatever the working folder.
# Usage: installed_tree.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config  # the look zelmor remembers: never the real home's
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
for f in bin/zelmor share/zelmor/Parallela.uir share/zelmor/zelmor.uir \
         share/applications/zelmor.desktop share/icons/hicolor/scalable/apps/zelmor.svg; do
    [ -f "$tmp/usr/$f" ] || { echo "not installed: $f"; exit 1; }
done

# Started from elsewhere, offscreen: it must reach the port panel and wait there, silently.
cd /
QT_QPA_PLATFORM=offscreen "$tmp/usr/bin/zelmor" 2>"$tmp/err" &
pid=$!
sleep 3
if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" || true
    echo "the installed zelmor ended at start-up:"; cat "$tmp/err"; exit 1
fi
kill "$pid"; wait "$pid" 2>/dev/null || true
if [ -s "$tmp/err" ]; then echo "the installed zelmor printed on stderr:"; cat "$tmp/err"; exit 1; fi

# And those panels are the installed ones: without them it refuses, naming that folder.
rm "$tmp/usr/share/zelmor/Parallela.uir"
rc=0
QT_QPA_PLATFORM=offscreen "$tmp/usr/bin/zelmor" 2>"$tmp/err" || rc=$?
[ "$rc" -eq 255 ] || { echo "expected exit 255 without the port panel, got $rc"; exit 1; }
grep -qF "nor in \"$tmp/usr/share/zelmor\"" "$tmp/err" ||
    { echo "the refusal does not name the installed folder:"; cat "$tmp/err"; exit 1; }
echo "installed tree: ok"
