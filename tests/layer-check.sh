#!/usr/bin/env bash
# The folders of src/ are layers: a file may include headers of its own folder and of lower layers
# only, and nothing outside the engine reaches into its internals (engine/image/, engine/drives/).
# Usage: tests/layer-check.sh [SOURCE_ROOT]; prints every include that breaks the order.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
declare -A rank=(
    [settings]=0
    [engine]=1 [app]=1 [widgets]=1
    [dialogs]=2
    [compilation]=3 [jobs]=3
    [mainwindow]=4 [cli]=4
    [main]=5
)
# The command line links no Qt Widgets: of the layers below it, it may include only these Qt Core parts.
cli_allowed='^(settings/|engine/|cli/|compilation/(CompilationModel|ListFile|RootText)\.h$|jobs/(ImageJobParams|WriteErrors|EraseTable)\.h$)'
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
        if [ "$own" = cli ] && ! [[ "$target" =~ $cli_allowed ]]; then
            echo "$rel: the command line includes $target, which is not one of the Qt Core parts it may use"
            bad=1
        fi
        if [ "$own" != engine ] && [[ "$target" == engine/*/* ]]; then
            echo "$rel: reaches into the engine's internals ($target)"
            bad=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "$root/src" \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
[ "$bad" -eq 0 ] && echo "layers in order: settings < engine, app, widgets < dialogs < compilation, jobs < mainwindow, cli < main"
exit "$bad"
