#!/usr/bin/env bash
# Checks the source's structure from its own #include lines: every include goes to the same
# folder or to a folder on a lower layer, and no files include each other in a circle.
# Prints each fault and exits non-zero on any. Layers, lowest first:
#   engine/ (the program's operations, plain helpers) < engine/ports < engine/recording <
#   engine/display < engine/chart < engine/controls < engine/panels < link < ui
set -euo pipefail
cd "$(dirname "$0")/../src"
layer() {
    case $1 in
        engine/ports/*) echo 1 ;;
        engine/recording/*) echo 2 ;;
        engine/display/*) echo 3 ;;
        engine/chart/*) echo 4 ;;
        engine/controls/*) echo 5 ;;
        engine/panels/*) echo 6 ;;
        engine/*/*) echo "unlayered" ;;
        engine/*) echo 0 ;;
        link/*) echo 7 ;;
        ui/*) echo 8 ;;
        *) echo "unlayered" ;;
    esac
}
faults=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
while IFS= read -r file; do
    from=$(layer "$file")
    if [ "$from" = unlayered ]; then
        echo "$file: in no layer (add its folder to scripts/check-layers.sh)"
        faults=1
        continue
    fi
    # A source file and its header are one unit: name both by the header's stem.
    unit=${file%.*}
    while IFS= read -r inc; do
        [ -n "$inc" ] || continue
        to=$(layer "$inc")
        if [ "$to" = unlayered ] || [ "$to" -gt "$from" ]; then
            echo "$file includes $inc, a layer above it"
            faults=1
        fi
        [ "${inc%.*}" = "$unit" ] || echo "$unit ${inc%.*}" >>"$edges"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find engine link ui -name '*.h' -o -name '*.cpp' | sort)
if ! loop=$(tsort "$edges" 2>&1 >/dev/null); then
    echo "files that include each other in a circle:"
    grep -v 'input contains a loop' <<<"$loop" | sed 's/^tsort: /  /'
    faults=1
fi
[ "$faults" -eq 0 ] && echo "layers: every include goes down or sideways, and none in a circle"
exit "$faults"
