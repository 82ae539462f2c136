#!/usr/bin/env bash
# Runs the command-line face on large generated inputs: each command must finish with exit 0,
# give the expected number of lines, and keep its peak resident memory within a few times its
# input. Prints a table of sizes, times and peak memory.
#
# Usage: tests/reliability/big_inputs.sh [LANZO_PROGRAM]     (default: build/lanzo)
#   LANZO_BIG_MB          size of the big text in MiB (default 1024)
#   LANZO_BIG_ITEMS       items of the list for sort and dedup (default 1000000)
#   LANZO_BIG_RSS_FACTOR  allowed peak RSS as a multiple of the input (default 4), plus 64 MiB
#   LANZO_BIG_CONVERT_MB  size of the slice of the text the 100,000-pair table converts (default 1)
#   LANZO_BIG_KEEP=1      keep the generated files (their folder is printed)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
lanzo="${1:-$root/build/lanzo}"
mb="${LANZO_BIG_MB:-1024}"
items="${LANZO_BIG_ITEMS:-1000000}"
factor="${LANZO_BIG_RSS_FACTOR:-4}"
convert_mb="${LANZO_BIG_CONVERT_MB:-1}"
[ -x "$lanzo" ] || { echo "big_inputs: no program at $lanzo" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "big_inputs: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/lanzo-big.XXXXXX")"
if [ "${LANZO_BIG_KEEP:-0}" = 1 ]; then echo "files in $work"; else trap 'rm -rf "$work"' EXIT; fi

start=$SECONDS
python3 "$here/gen_big_inputs.py" "$work" "$mb" "$items"
# shellcheck source=/dev/null
. "$work/expected.sh"
echo "generated in $((SECONDS - start)) s: text $(($(stat -c %s "$work/text.html") >> 20)) MiB, list $items items"

home="$work/home-set2" # a set2.ini without auto-run tables, so -p alone decides the conditions
failures=0
printf '%-10s %-28s %10s %9s %11s %8s  %s\n' name arguments "input MiB" "time s" "peak MiB" "x input" result

# run NAME INPUT WANT_LINES|- OUTPUT HOME ARGS...: runs the program with --home HOME on INPUT.
run() {
    local name="$1" input="$2" want="$3" output="$4" home="$5"
    shift 5
    local size status result lines peak_kb seconds limit_kb
    size=$(stat -c %s "$input")
    set +e
    /usr/bin/time -f '%e %M' -o "$work/time" "$lanzo" --home "$home" "$@" "$input" >"$output" 2>"$work/stderr"
    status=$?
    set -e
    read -r seconds peak_kb <"$work/time" || { seconds=?; peak_kb=0; }
    limit_kb=$(((size * factor) / 1024 + 65536))
    result=ok
    if [ "$status" -ne 0 ]; then
        result="exit $status: $(head -c 200 "$work/stderr")"
    elif [ "$want" != - ] && lines=$(wc -l <"$output") && [ "$lines" -ne "$want" ]; then
        result="$lines lines, want $want"
    elif [ "$peak_kb" -gt "$limit_kb" ]; then
        result="peak over ${factor}x input + 64 MiB"
    fi
    [ "$result" = ok ] || failures=$((failures + 1))
    awk -v name="$name" -v args="$*" -v size="$size" -v seconds="$seconds" -v peak="$peak_kb" -v result="$result" \
        'BEGIN { printf "%-10s %-28s %10.1f %9s %11.1f %8.2f  %s\n", name, args, size / 1048576, seconds,
                 peak / 1024, peak * 1024 / size, result }'
}

text="$work/text.html"
run extract "$text" "$want_extract" "$work/extract.out" "$home" extract -p http://
run links "$text" "$want_links" "$work/links.out" "$home" links
run sjis2euc "$text" - "$work/text.euc" "$home" sjis2euc
run euc2sjis "$work/text.euc" - "$work/text.back" "$home" euc2sjis
if ! cmp -s "$text" "$work/text.back"; then
    echo "euc2sjis did not give back the text sjis2euc was given" >&2
    failures=$((failures + 1))
fi
rm -f "$work/text.euc" "$work/text.back"
# Every pair of the table is a pass over the text unless its first two bytes occur nowhere,
# so the 100,000 pairs run over a slice of the text.
head -c $((convert_mb << 20)) "$text" >"$work/slice.html"
run convert "$work/slice.html" - "$work/convert.out" "$work/home" convert big
rm -f "$work/convert.out" "$work/slice.html"
run expand "$work/ranges.txt" "$want_expanded" "$work/expand.out" "$home" expand
run sort "$work/list.txt" "$want_items" "$work/sort.out" "$home" sort
run dedup "$work/list.txt" "$want_unique" "$work/dedup.out" "$home" dedup
run set2.ini "$text" "$want_extract" "$work/set2.out" "$home" extract

echo "total $((SECONDS - start)) s"
if [ "$failures" -ne 0 ]; then
    echo "big_inputs: $failures failure(s)" >&2
    exit 1
fi
