#!/usr/bin/env bash
# The folders of src/ are layers: a file may include headers of its own folder and of lower layers
# only, and nothing outside the engine reaches into its internals (engine/image/, engine/drives/).
# Usage: tests/layer-check.sh [SOURCE_ROOT]; prints every include that breaks the order.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
# Folders of the same rank may not include each other. The lower half (base to core) and cli are Qt Core
# only: their CMake targets link no Qt Gui or Widgets, so a widget header there does not even compile.
declare -A rank=(
    [base]=0
    [settings]=1
    [engine]=2
    [core]=3
    [app]=4 [widgets]=4 [cli]=4
    [dialogs]=5
    [compilation]=6 [jobs]=6
    [mainwindow]=7
    [main]=8
)
bad=0
while IFS= read -r -d '' file; do
    rel="${file#"$root"/src/}"
    own="${rel%%/*}"
    [ -n "${rank[$own]+x}" ] || { echo "$rel: folder $own has no place among the layers"; bad=1; continue; }
    while IFS= read -r target; do
        layer="${target%%/*}"
        [ "$target" = "$layer" ] && { echo "$rel: \"$target\" is not written from src/"; bad=1; continue; }
        [ -n "${rank[$layer]+x}" ] || continue # not one of ours (a Qt or library header in quotes)
        if [ "$layer" != "$own" ] && [ "${rank[$layer]}" -ge "${rank[$own]}" ]; then
            echo "$rel: includes $target from a layer that is not below $own"
            bad=1
        fi
        if [ "$own" != engine ] && [[ "$target" == engine/*/* ]]; then
            echo "$rel: reaches into the engine's internals ($target)"
            bad=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "$root/src" \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
[ "$bad" -eq 0 ] && echo "layers in order: base < settings < engine < core < app, widgets, cli < dialogs < compilation, jobs < mainwindow < main"
exit "$bad"
