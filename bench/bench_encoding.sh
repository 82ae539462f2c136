#!/usr/bin/env bash
# Times the character-code and URL commands of the command line on a ~30 MB Shift_JIS text,
# side by side with iconv, nkf and python3's urllib.parse (median of N runs, default 3).
#
#   bench/bench_encoding.sh [--runs N] [--megabytes M]
#
# Environment: LANZO_EXE (default build/lanzo, else build-bench/lanzo). A tool that is
# missing is skipped with a note; nkf is installed with apt-get when it can be.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/bench/out"
runs=3
megabytes=30
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs="$2"; shift ;;
    --megabytes) megabytes="$2"; shift ;;
    *) echo "usage: $0 [--runs N] [--megabytes M]" >&2; exit 2 ;;
    esac
    shift
done

lanzo="${LANZO_EXE:-}"
if [ -z "$lanzo" ]; then
    for candidate in "$root/build/lanzo" "$root/build-bench/lanzo"; do
        if [ -x "$candidate" ]; then lanzo="$candidate"; break; fi
    done
fi
[ -n "$lanzo" ] && [ -x "$lanzo" ] || { echo "note: no lanzo program found (set LANZO_EXE): its rows are skipped" >&2; lanzo=""; }

if ! command -v nkf >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "note: installing nkf" >&2
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends nkf \
        >/dev/null 2>&1 || echo "note: nkf could not be installed: its rows are skipped" >&2
fi
command -v iconv >/dev/null || echo "note: iconv is missing: its rows are skipped" >&2

# Inputs: the Shift_JIS text and its EUC-JP, UTF-8 and percent-encoded forms.
. "$root/bench/encoding_corpus.sh"
write_encoding_corpus "$megabytes" || exit 1

quote='import sys, urllib.parse; sys.stdout.write(urllib.parse.quote_plus(open(sys.argv[1], "rb").read(), safe="!$\x27()*-.@_"))'
unquote='import sys, urllib.parse; sys.stdout.buffer.write(urllib.parse.unquote_to_bytes(open(sys.argv[1]).read().replace("+", " ")))'

# Median wall-clock seconds of a command (output thrown away); empty when it fails.
median() {
    local times=() i start end
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || return 1
        end=$(date +%s%N)
        times+=("$(((end - start) / 1000))")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v n="$runs" 'NR == int((n + 1) / 2) { printf "%.3f", $1 / 1e6 }'
}

printf '%-10s %-28s %9s %9s %9s\n' task tool seconds MB/s "x lanzo"
row() { # task input tool-label command...
    local task="$1" input="$2" label="$3"
    shift 3
    if ! command -v "$1" >/dev/null && [ ! -x "$1" ]; then
        printf '%-10s %-28s %9s\n' "$task" "$label" "(missing)"
        return
    fi
    local secs
    secs=$(median "$@") || secs=""
    if [ -z "$secs" ]; then
        printf '%-10s %-28s %9s\n' "$task" "$label" "(failed)"
        return
    fi
    local mb
    mb=$(awk -v b="$(stat -c %s "$input")" 'BEGIN { printf "%.1f", b / 1048576 }')
    [ "$label" = lanzo ] && base="$secs"
    awk -v t="$task" -v l="$label" -v s="$secs" -v mb="$mb" -v base="${base:-}" 'BEGIN {
        ratio = (base != "" && base > 0) ? sprintf("%.2f", s / base) : "-"
        printf "%-10s %-28s %9.3f %9.1f %9s\n", t, l, s, (s > 0 ? mb / s : 0), ratio }'
}
lanzo_row() { # task input command
    base=""
    if [ -n "$lanzo" ]; then row "$1" "$2" lanzo "$lanzo" "$3" "$2"; else printf '%-10s %-28s %9s\n' "$1" lanzo "(missing)"; fi
}

lanzo_row sjis2euc "$sjis" sjis2euc
row sjis2euc "$sjis" "iconv CP932 -> EUC-JP-MS" iconv -f CP932 -t EUC-JP-MS "$sjis"
row sjis2euc "$sjis" "nkf -e -S" nkf -e -S "$sjis"

lanzo_row euc2sjis "$euc" euc2sjis
row euc2sjis "$euc" "iconv EUC-JP-MS -> CP932" iconv -f EUC-JP-MS -t CP932 "$euc"
row euc2sjis "$euc" "nkf -s -E" nkf -s -E "$euc"

lanzo_row sjis2utf8 "$sjis" sjis2utf8
row sjis2utf8 "$sjis" "iconv CP932 -> UTF-8" iconv -f CP932 -t UTF-8 "$sjis"
row sjis2utf8 "$sjis" "nkf -w -S" nkf -w -S "$sjis"

lanzo_row utf82sjis "$utf8" utf82sjis
row utf82sjis "$utf8" "iconv UTF-8 -> CP932" iconv -f UTF-8 -t CP932 "$utf8"
row utf82sjis "$utf8" "nkf -s -W" nkf -s -W "$utf8"

lanzo_row encode "$sjis" encode
row encode "$sjis" "python3 quote_plus" python3 -c "$quote" "$sjis"

lanzo_row decode "$url" decode
row decode "$url" "python3 unquote_plus" python3 -c "$unquote" "$url"
