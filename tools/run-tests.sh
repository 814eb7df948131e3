#!/usr/bin/env bash
# Installs what is missing, builds Kestrane and runs every test.
# KESTRANE_BUILD_DIR and KESTRANE_CMAKE_ARGS select another build (CI's sanitizer build uses them).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KESTRANE_BUILD_DIR:-$here/build}"
bash "$here/tools/install-deps.sh"
# shellcheck disable=SC2086
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KESTRANE_CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure ${KESTRANE_CTEST_ARGS:-}
