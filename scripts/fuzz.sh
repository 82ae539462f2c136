#!/usr/bin/env bash
# Builds every fuzz target with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (clang from Debian, in build-fuzz/ or the folder given by LANZO_FUZZ_BUILD_DIR) and runs each for
# a bounded time from its checked-in seed corpus.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   A crash fails the script and leaves its input in fuzz/out/.
# Inputs are at most 64 KiB; one allocation of 64 MB (4 MB for the settings readers) or a resident
# size of 1 GB fails the run too, so a reader whose memory grows far beyond its input is caught
# like a crash.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
build="${LANZO_FUZZ_BUILD_DIR:-build-fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
out="$root/fuzz/out"
mkdir -p "$out"

# The core compiled once for all targets; ccache, where installed, keeps repeated builds short.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if ! CC=clang CXX=clang++ LANZO_BUILD_DIR="$build" LANZO_BUILD_TYPE=Debug "$root/scripts/build.sh" \
    -DLANZO_FUZZ=ON -DLANZO_GUI=OFF -DLANZO_TESTS=OFF "${launcher[@]}" >"$out/build.log" 2>&1; then
    tail -n 60 "$out/build.log"
    echo "FAILED: the fuzz build (see $out/build.log)"
    exit 1
fi

status=0
for target_src in "$root"/fuzz/fuzz_*.cpp; do
    name="$(basename "${target_src%.cpp}")"
    bin="$build/fuzz/$name"
    [ -x "$bin" ] || { echo "FAILED: $name is not built (add it to fuzz/CMakeLists.txt)"; status=1; continue; }
    corpus="$out/corpus/$name"
    mkdir -p "$corpus"
    dirs=("$corpus")
    [ -d "$root/fuzz/corpus/$name" ] && dirs+=("$root/fuzz/corpus/$name")
    # The settings readers also get their input as a file of 256 KB: a reader that keeps more
    # than about 16 bytes per input byte makes an allocation past its limit.
    malloc_limit=64
    [ "$name" = fuzz_settings ] && malloc_limit=4
    echo "== $name: ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$bin" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb="$malloc_limit" -max_len=65536 -timeout=10 \
        -artifact_prefix="$out/$name-" -print_final_stats=1 "${dirs[@]}" >"$out/$name.log" 2>&1; then
        echo "FAILED: $name (see $out/$name.log)"
        tail -n 40 "$out/$name.log"
        status=1
    else
        grep -E 'stat::number_of_executed_units' "$out/$name.log" || true
    fi
done
exit $status
