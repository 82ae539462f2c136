#!/usr/bin/env bash
# Builds every fuzz target with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (clang from Debian) and runs each for a bounded time from its checked-in seed corpus.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   A crash fails the script and leaves its input in fuzz/out/.
# Inputs are at most 64 KiB; one allocation of 64 MB (4 MB for the settings readers) or a resident
# size of 1 GB fails the run too, so a reader whose memory grows far beyond its input is caught
# like a crash.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
out="$root/fuzz/out"
mkdir -p "$out"

# Every pure source of the core (the window files are named frm_*, trd_* or *_qt).
core_sources=()
for src in "$root"/src/{base,text,encoding,extract,tables,settings}/*.cpp; do
    case "$(basename "$src")" in frm_* | trd_* | *_qt.cpp) continue ;; esac
    core_sources+=("$src")
done
common=(-std=c++20 -g -O1 -fno-sanitize-recover=undefined -I"$root/src" $(pkg-config --cflags uchardet)
    -DLANZO_VERSION="\"$(sed -n 's/^project(lanzo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")\"")
flags=("${common[@]}" -fsanitize=fuzzer,address,undefined)
objflags=("${common[@]}" -fsanitize=fuzzer-no-link,address,undefined)

# The core is compiled once into objects shared by all targets.
objdir="$out/obj"
mkdir -p "$objdir"
objects=()
for src in "${core_sources[@]}"; do
    obj="$objdir/$(basename "${src%.cpp}").o"
    if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ]; then
        clang++ "${objflags[@]}" -c "$src" -o "$obj"
    fi
    objects+=("$obj")
done

status=0
for target_src in "$root"/fuzz/fuzz_*.cpp; do
    name="$(basename "${target_src%.cpp}")"
    bin="$out/$name"
    clang++ "${flags[@]}" "$target_src" "${objects[@]}" -lcurl $(pkg-config --libs uchardet) -pthread -o "$bin"
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
