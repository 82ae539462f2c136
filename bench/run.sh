#!/usr/bin/env bash
# Times the command line against ripgrep on the generated corpus, then runs the core
# benchmarks. Builds a Release tree first and writes the corpus when it is missing.
#
#   bench/run.sh [--no-core] [--runs N]
#
# Environment: LANZO_BENCH_BUILD (build folder, default build-bench), LANZO_BENCH_GUI (ON/OFF,
# default ON: the program as shipped).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LANZO_BENCH_BUILD:-$root/build-bench}"
out="$root/bench/out"
runs=3
core=1
while [ $# -gt 0 ]; do
    case "$1" in
    --no-core) core=0 ;;
    --runs) runs="$2"; shift ;;
    *) echo "usage: $0 [--no-core] [--runs N]" >&2; exit 2 ;;
    esac
    shift
done

if [ ! -x /usr/bin/time ]; then
    echo "installing the time package (peak memory is measured with /usr/bin/time)" >&2
    apt-get install -y --no-install-recommends time >/dev/null
fi
command -v rg >/dev/null || echo "ripgrep (rg) is not installed: its rows stay empty" >&2

echo "== build (Release) in $build" >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANZO_BENCH=ON -DLANZO_TESTS=OFF \
    -DLANZO_GUI="${LANZO_BENCH_GUI:-ON}" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

if [ ! -s "$out/page.html" ] || [ ! -s "$out/urls.txt" ] || [ ! -s "$out/table40.tbl" ] || [ ! -s "$out/set2.ini" ]; then
    echo "== writing the corpus into $out" >&2
    python3 "$root/bench/gen_corpus.py" "$out"
fi

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/table"
cp "$out/set2.ini" "$home/config/set2.ini"
cp "$out/table40.tbl" "$home/table/table40.tbl"
lanzo=("$build/lanzo" --home "$home")
page="$out/page.html"
urls="$out/urls.txt"

# One run: prints "seconds peak-KB lines" of the command ($@), its output counted in lines.
measure() {
    local stats="$home/time.txt"
    if ! /usr/bin/time -f "%e %M" -o "$stats" "$@" >"$home/output" 2>"$home/stderr"; then
        echo "failed"
        return
    fi
    echo "$(cat "$stats") $(wc -l <"$home/output")"
}

# Median of the runs (by seconds) of one command; the runs of the two tools alternate, so
# both see the same cache and machine load.
median() {
    sort -n | awk '{ a[NR] = $0 } END { print a[int((NR + 1) / 2)] }'
}

available() { # lanzo COMMAND runs (not a usage error)
    "${lanzo[@]}" "$@" </dev/null >/dev/null 2>&1
    [ $? -ne 2 ]
}

size_mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }

printf '\n%-34s %-6s %8s %9s %9s %9s %8s\n' "job" "tool" "seconds" "MB/s" "peak MB" "lines" "rg/lanzo"

# compare NAME INPUT "lanzo args" ["rg flags" "rg pattern"]: without the last two, a row of
# lanzo alone.
compare() {
    local name="$1" input="$2" largs="$3" rflags="${4:-}" rpattern="${5:-}"
    local -a la ra
    read -r -a la <<<"$largs"
    local have_lanzo=1 have_rg=0
    available "${la[@]}" || have_lanzo=0
    if [ -n "$rpattern" ] && command -v rg >/dev/null; then
        have_rg=1
        read -r -a ra <<<"$rflags"
        ra+=("$rpattern")
    fi
    : >"$home/l.txt"
    : >"$home/r.txt"
    for _ in $(seq "$runs"); do
        [ $have_lanzo = 1 ] && measure "${lanzo[@]}" "${la[@]}" "$input" >>"$home/l.txt"
        [ $have_rg = 1 ] && measure rg "${ra[@]}" "$input" >>"$home/r.txt"
    done
    local mb lsec rsec
    mb="$(size_mb "$input")"
    report() { # tool file
        local line
        line="$(grep -v failed "$2" | median)"
        if [ -z "$line" ]; then
            printf '%-34s %-6s %8s\n' "$name" "$1" "failed"
            return
        fi
        read -r sec kb lines <<<"$line"
        awk -v n="$name" -v t="$1" -v s="$sec" -v kb="$kb" -v l="$lines" -v mb="$mb" \
            'BEGIN { printf "%-34s %-6s %8.2f %9.0f %9.1f %9d", n, t, s, (s > 0 ? mb / s : 0), kb / 1024, l }'
    }
    if [ $have_lanzo = 1 ]; then
        report lanzo "$home/l.txt"
        echo
        lsec="$(grep -v failed "$home/l.txt" | median | cut -d' ' -f1)"
    else
        printf '%-34s %-6s %8s\n' "$name" "lanzo" "missing (${la[0]} not available yet)"
        lsec=""
    fi
    if [ $have_rg = 1 ]; then
        report rg "$home/r.txt"
        rsec="$(grep -v failed "$home/r.txt" | median | cut -d' ' -f1)"
        if [ -n "$lsec" ] && [ -n "$rsec" ]; then
            awk -v l="$lsec" -v r="$rsec" 'BEGIN { if (l > 0) printf " %8.2f", r / l; else printf " %8s", "-" }'
        fi
        echo
    fi
}

# A token is a run of bytes other than space < > ' " CR LF; the extraction keeps those that
# begin with a prefix or end with a suffix. ripgrep's default engine has no look-around, so its
# pattern takes the delimiters on both sides into the match (the line count stays comparable).
delim='[ <>\x27"\r\n]'
token='[^ <>\x27"\r\n]'
extract_rg="(?:^|$delim)((?:https?://|ttp://)$token*|$token*\\.(?:jpg|png|zip))(?:\$|$delim)"
links_rg='[ \t\r\n](?:href|src)=(?:"[^"]*"|[^ >]*)'

compare "extract, 3 prefixes + 3 suffixes" "$page" \
    "extract -p http:// -p https:// -p ttp:// -s .jpg -s .png -s .zip" "-o -a" "$extract_rg"
compare "extract, stored set2.ini" "$page" "extract"
compare "extract, with table40 auto-run" "$page" \
    "extract -p http:// -p https:// -p ttp:// -s .jpg -s .png -s .zip -t table40"
compare "links (href and src)" "$page" "links" "-o -a -i" "$links_rg"
compare "convert table40" "$page" "convert table40"
compare "expand [00-99] on urls.txt" "$urls" "expand"
compare "sort on urls.txt" "$urls" "sort"
compare "dedup on urls.txt" "$urls" "dedup"

if [ $core = 1 ]; then
    echo
    echo "== core benchmarks (bench_*) on $(size_mb "$page") MB" >&2
    for program in "$build"/bench/bench_*; do
        [ -x "$program" ] || continue
        LANZO_BENCH_DATA="$out" "$program" --benchmark_min_time=1
    done
fi
