#!/usr/bin/env bash
# Fails when the build uses a system file whose package scripts/setup.sh does not install, by
# name or as a hard dependency of what it names: a machine that happens to have the package
# would otherwise hide the gap. Looks at what the configure reads (CMake's trace), the headers
# the compiler opened (the build's dependency files), the libraries linked and the tools run.
# Usage: scripts/check-packages.sh [BUILD_DIR]   (a finished build; default build)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=$(cd "${1:-build}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# What the configure reads: every CMake file it runs. (Not the cache's found files: CMake's
# modules look for optional ones, such as valgrind, that nothing here uses.)
cmake -S . -B "$tmp/configure" -DCMAKE_BUILD_TYPE=RelWithDebInfo --trace-format=json-v1 \
    --trace-redirect="$tmp/trace.json" >/dev/null
{
    grep -o '"file":"[^"]*"' "$tmp/trace.json" | sed 's/^"file":"//; s/"$//'
    # The headers the compiler opened.
    find "$build" -name '*.o.d' -exec cat {} + | tr ' \\' '\n\n' | grep '^/'
    # The libraries linked, by path or by -l.
    find "$build" -name link.txt -exec cat {} + | tr ' ' '\n' | grep -E '^/.*\.(so[.0-9]*|a)$'
    find "$build" -name link.txt -exec cat {} + | tr ' ' '\n' | sed -n 's/^-l//p' | sort -u |
        while read -r lib; do c++ -print-file-name="lib$lib.so"; done | grep '^/' || true
    # The tools: Qt's code generator, and what the scripts run.
    grep -ho '"MOC_EXECUTABLE" : "[^"]*"' "$build"/*/*/*_autogen.dir/AutogenInfo.json \
        "$build"/*/*_autogen.dir/AutogenInfo.json 2>/dev/null | sed 's/.*: "//; s/"$//' || true
    for tool in c++ cmake ctest cpack git clang-format xvfb-run xauth Xvfb xdotool dpkg-deb \
        dpkg-shlibdeps file; do
        command -v "$tool"
    done
} | grep -v -e "^$source_dir/" -e "^$build/" -e "^$tmp/" -e '^/tmp/' | sort -u >"$tmp/files"

# The package of each file, from dpkg's own file lists (one pass; dpkg -S per file is slow).
# dpkg knows some files by their path before /usr was merged, or by a link's target.
while read -r f; do
    [ -e "$f" ] && [ ! -d "$f" ] || continue
    real=$(readlink -f "$f")
    printf '%s\t%s\n' "$f" "$f" "$f" "${f#/usr}" "$f" "$real" "$f" "${real#/usr}"
done <"$tmp/files" | sort -u >"$tmp/candidates"
(cd /var/lib/dpkg/info && awk -v OFS='\t' '{p = FILENAME; sub(/\.list$/, "", p); sub(/:.*/, "", p); print $0, p}' *.list) \
    >"$tmp/owners"
awk -F'\t' 'NR == FNR {owner[$1] = owner[$1] " " $2; next}
             ($2 in owner) {split(owner[$2], ps, " "); for (i in ps) if (ps[i] != "") print ps[i], $1}' \
    "$tmp/owners" "$tmp/candidates" | sort -u >"$tmp/packages"
cut -d' ' -f2 "$tmp/packages" | sort -u >"$tmp/owned"
cut -f1 "$tmp/candidates" | sort -u | comm -23 - "$tmp/owned" | sed 's/$/: from no package/' \
    >"$tmp/orphans"

# Everything the set-up brings: its list and all hard dependencies of it.
mapfile -t listed < <(scripts/setup.sh --list)
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${listed[@]}" |
    sed -n 's/^\([^ <][^ ]*\)$/\1/p; s/^ *[|]*Depends: \([^<][^ ]*\)$/\1/p; s/^ *[|]*PreDepends: \([^<][^ ]*\)$/\1/p; s/^    \([^ <][^ ]*\)$/\1/p' |
    sed 's/:.*//' | sort -u >"$tmp/closure"
# Essential packages are on every Debian system without being asked for.
dpkg-query -W -f='${Package} ${Essential}\n' | awk '$2 == "yes" {print $1}' >>"$tmp/closure"
sort -u -o "$tmp/closure" "$tmp/closure"

missing=$(sort -u "$tmp/packages" | awk 'NR == FNR {ok[$1] = 1; next} !($1 in ok)' "$tmp/closure" - |
    sort -k1,1 -u)
status=0
if [ -n "$missing" ]; then
    echo "The build uses packages that scripts/setup.sh does not install (package, one file):"
    sed 's/^/  /' <<<"$missing"
    status=1
fi
if [ -s "$tmp/orphans" ]; then
    echo "The build uses files that no package holds:"
    sed 's/^/  /' "$tmp/orphans"
    status=1
fi
[ "$status" -eq 0 ] &&
    echo "Packages: the build uses $(cut -d' ' -f1 "$tmp/packages" | sort -u | wc -l) packages, all brought by scripts/setup.sh"
exit "$status"
