#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build (the window tests
# offscreen, and the window-manager layer under Xvfb with openbox), then the core and command-line
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz target for a
# bounded time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/deps.sh"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
# deps.sh has installed Xvfb and openbox: the window-manager layer must run, not skip.
export LANZO_REQUIRE_WM=1
jobs="$(nproc)"

"$root/scripts/build.sh" -DLANZO_PACKAGING_TESTS=ON
ctest --test-dir build --output-on-failure -j"$jobs"

# Big inputs through the command line, with time and peak memory per command.
LANZO_BIG_MB="${LANZO_BIG_MB:-256}" "$root/tests/reliability/big_inputs.sh" "$root/build/lanzo"

LANZO_BUILD_DIR=build-asan LANZO_BUILD_TYPE=Debug "$root/scripts/build.sh" -DLANZO_SANITIZE=ON -DLANZO_GUI=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ "${LANZO_SKIP_FUZZ:-0}" != 1 ] && [ -x "$root/scripts/fuzz.sh" ]; then
    "$root/scripts/fuzz.sh" "${LANZO_FUZZ_SECONDS:-20}"
fi

# Formatting: every C++ file as clang-format leaves it.
if command -v clang-format >/dev/null; then
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
fi
