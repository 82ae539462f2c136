#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given by LANZO_BUILD_DIR), warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${LANZO_BUILD_DIR:-build}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${LANZO_BUILD_TYPE:-RelWithDebInfo}" -DLANZO_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
