#!/usr/bin/env bash
# The layer check must catch each kind of fault: one planted at a time in a copy of src/, each must make
# tests/layer-check.sh fail and name the file; the untouched copy must pass.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="${1:-$(cd "$here/.." && pwd)}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

copy() { rm -rf "$work/tree"; mkdir -p "$work/tree"; cp -r "$root/src" "$work/tree/src"; }
copy
bash "$here/layer-check.sh" "$work/tree" > /dev/null || fail "the untouched tree does not pass"

# file | line to add | what the check must say
while IFS='|' read -r file line expected; do
    copy
    echo "$line" >> "$work/tree/src/$file"
    if out=$(bash "$here/layer-check.sh" "$work/tree"); then
        fail "$file with '$line' passed"
    fi
    grep -qF -- "$file" <<< "$out" || fail "$file: the check did not name the file: $out"
    grep -qF -- "$expected" <<< "$out" || fail "$file: expected '$expected' in: $out"
    echo "caught: $file: $line"
done << 'ROWS'
core/ListFile.cpp|#include "compilation/CompilationPage.h"|from a layer that is not below core
engine/NativePath.cpp|#include "core/ListFile.h"|from a layer that is not below engine
cli/main.cpp|#include "app/MessageBox.h"|from a layer that is not below cli
cli/main.cpp|#include "widgets/TsuiImageButton.h"|from a layer that is not below cli
core/RootText.cpp|#include "app/Shell.h"|from a layer that is not below core
base/StdErr.cpp|#include "settings/TIniFile32.h"|from a layer that is not below base
jobs/TNewThread.cpp|#include "compilation/CompilationPage.h"|from a layer that is not below jobs
core/ListFile.cpp|#include "engine/image/ImageTree.h"|reaches into the engine's internals
cli/main.cpp|#include "engine/drives/DriveLayer.h"|reaches into the engine's internals
core/ListFile.cpp|#include "ListFile.h"|is not written from src/
ROWS

copy
mkdir "$work/tree/src/extra" && echo '#include "core/ListFile.h"' > "$work/tree/src/extra/Stray.cpp"
out=$(bash "$here/layer-check.sh" "$work/tree") && fail "a folder without a layer passed"
grep -qF "folder extra has no place among the layers" <<< "$out" || fail "unranked folder: $out"
echo "caught: a folder without a layer"
