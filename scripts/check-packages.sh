#!/usr/bin/env bash
# Fails when the build uses a system file whose package scripts/setup.sh does not install, by
# name or as a hard dependency of what it names, or when a tool only the tests run comes from a
# package neither scripts/setup.sh nor scripts/setup-tests.sh brings: a machine that happens to
# have the package would otherwise hide the gap. Looks at what the configure reads (CMake's
# trace), the headers the compiler opened (the build's dependency files), the libraries linked
# and the tools run.
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
    for tool in c++ cmake ctest cpack git clang-format dpkg-deb dpkg-shlibdeps file; do
        command -v "$tool"
    done
} | grep -v -e "^$source_dir/" -e "^$build/" -e "^$tmp/" -e '^/tmp/' | sort -u >"$tmp/files"
# The tools only the tests run, where they are installed.
for tool in xvfb-run xauth Xvfb xdotool clang clang++ qemu-system-x86_64 busybox cpio; do
    command -v "$tool" || true
done >"$tmp/test-files"

# The package of each file, from dpkg's own file lists (one pass; dpkg -S per file is slow).
# dpkg knows some files by their path before /usr was merged, or by a link's target.
(cd /var/lib/dpkg/info && awk -v OFS='\t' '{p = FILENAME; sub(/\.list$/, "", p); sub(/:.*/, "", p); print $0, p}' *.list) \
    >"$tmp/owners"
# packages_of FILES: "package file" lines in FILES.packages, files of no package in FILES.orphans.
packages_of() {
    while read -r f; do
        [ -e "$f" ] && [ ! -d "$f" ] || continue
        real=$(readlink -f "$f")
        printf '%s\t%s\n' "$f" "$f" "$f" "${f#/usr}" "$f" "$real" "$f" "${real#/usr}"
    done <"$1" | sort -u >"$1.candidates"
    awk -F'\t' 'NR == FNR {owner[$1] = owner[$1] " " $2; next}
                 ($2 in owner) {split(owner[$2], ps, " "); for (i in ps) if (ps[i] != "") print ps[i], $1}' \
        "$tmp/owners" "$1.candidates" | sort -u >"$1.packages"
    cut -d' ' -f2 "$1.packages" | sort -u >"$1.owned"
    cut -f1 "$1.candidates" | sort -u | comm -23 - "$1.owned" | sed 's/$/: from no package/' \
        >"$1.orphans"
}
# closure PACKAGES...: the packages and all their hard dependencies, and the essential ones
# (on every Debian system without being asked for).
closure() {
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances "$@" |
        sed -n 's/^\([^ <][^ ]*\)$/\1/p; s/^ *[|]*Depends: \([^<][^ ]*\)$/\1/p; s/^ *[|]*PreDepends: \([^<][^ ]*\)$/\1/p; s/^    \([^ <][^ ]*\)$/\1/p' |
        sed 's/:.*//'
    dpkg-query -W -f='${Package} ${Essential}\n' | awk '$2 == "yes" {print $1}'
}
# check FILES CLOSURE WHO WHAT: every package of FILES in CLOSURE; WHO names the set-up, WHAT
# the user of the files.
status=0
check() {
    local missing
    missing=$(sort -u "$1.packages" | awk 'NR == FNR {ok[$1] = 1; next} !($1 in ok)' "$2" - |
        sort -k1,1 -u)
    if [ -n "$missing" ]; then
        echo "$3 does not install these packages the $4 (package, one file):"
        sed 's/^/  /' <<<"$missing"
        status=1
    fi
    if [ -s "$1.orphans" ]; then
        echo "The $4 files that no package holds:"
        sed 's/^/  /' "$1.orphans"
        status=1
    fi
}

mapfile -t listed < <(scripts/setup.sh --list)
mapfile -t for_tests < <(scripts/setup-tests.sh --list)
closure "${listed[@]}" | sort -u >"$tmp/closure"
closure "${listed[@]}" "${for_tests[@]}" | sort -u >"$tmp/test-closure"
packages_of "$tmp/files"
packages_of "$tmp/test-files"
check "$tmp/files" "$tmp/closure" scripts/setup.sh "build uses"
check "$tmp/test-files" "$tmp/test-closure" "scripts/setup.sh with scripts/setup-tests.sh" "tests use"
[ "$status" -eq 0 ] &&
    echo "Packages: the build uses $(cut -d' ' -f1 "$tmp/files.packages" | sort -u | wc -l) packages, all brought by scripts/setup.sh; the tests' tools come from $(cut -d' ' -f1 "$tmp/test-files.packages" | sort -u | wc -l), all brought with scripts/setup-tests.sh"
exit "$status"
