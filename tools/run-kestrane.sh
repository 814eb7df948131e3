#!/usr/bin/env bash
# Installs what is missing, builds Kestrane and starts it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/tools/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build" -j"$(nproc)"
exec "$here/build/Kestrane/kestrane" "$@"
