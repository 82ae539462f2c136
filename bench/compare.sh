#!/usr/bin/env bash
# Times every command of the command line side by side with the tools a user would otherwise
# pick, in one run on this machine, and prints one table: command, tool, median seconds, MB/s,
# peak memory, output lines, speed ratio to the best peer and whether the target is met.
#
#   bench/compare.sh [--runs N] [--no-build] [--skip-slow] [--quick]
#
#   --runs N      runs per tool and command (default 5); lanzo and its peers alternate, so
#                 all see the same cache and machine load; the median counts
#   --no-build    use the program already in the build folder
#   --skip-slow   leave out the slow peers (lynx, python html.parser, hxwls)
#   --quick       one run each, slow peers skipped (a smoke test of the script)
#
# Environment: LANZO_BENCH_BUILD (build folder, default build-bench), LANZO_BENCH_GUI (ON: the
# program as shipped, with windows; OFF: command line only). Missing peers are installed with
# apt-get. The corpus is written into bench/out/ when missing (deterministic: same bytes on
# every machine). The table also goes to bench/out/compare.md.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/bench/out"
build="${LANZO_BENCH_BUILD:-$root/build-bench}"
runs=5
do_build=1
slow=1
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs="$2"; shift ;;
    --no-build) do_build=0 ;;
    --skip-slow) slow=0 ;;
    --quick) runs=1; slow=0 ;;
    *) echo "usage: $0 [--runs N] [--no-build] [--skip-slow] [--quick]" >&2; exit 2 ;;
    esac
    shift
done

note() { echo "== $*" >&2; }

# ---- peers -----------------------------------------------------------------------------
declare -A package_of=([rg]=ripgrep [nkf]=nkf [hxwls]=html-xml-utils [lynx]=lynx [perl]=perl [sed]=sed
    [python3]=python3 [iconv]=libc-bin [/usr/bin/time]=time [cmake]=cmake [ninja]=ninja-build)
missing=()
for tool in "${!package_of[@]}"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("${package_of[$tool]}")
done
if [ ${#missing[@]} -gt 0 ]; then
    note "installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    if ! $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
        $sudo apt-get -qq update >/dev/null 2>&1
        $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
            note "some peers could not be installed: their rows say so"
    fi
fi

# ---- build -----------------------------------------------------------------------------
if [ $do_build = 1 ]; then
    note "building lanzo (Release) in $build"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANZO_TESTS=OFF \
        -DLANZO_GUI="${LANZO_BENCH_GUI:-ON}" >/dev/null || exit 1
    cmake --build "$build" --target lanzo -j"$(nproc)" >/dev/null || exit 1
fi
[ -x "$build/lanzo" ] || { echo "no program at $build/lanzo" >&2; exit 1; }

# ---- corpus ----------------------------------------------------------------------------
mkdir -p "$out"
page="$out/page.html" urls="$out/urls.txt" table="$out/table40.tbl"
if [ ! -s "$page" ] || [ ! -s "$urls" ] || [ ! -s "$table" ] || [ ! -s "$out/set2.ini" ]; then
    note "writing page.html, urls.txt, table40.tbl, set2.ini"
    python3 "$root/bench/gen_corpus.py" "$out" || exit 1
fi
. "$root/bench/encoding_corpus.sh"
write_encoding_corpus 30 || exit 1
list50="$out/list_50mb.txt"
[ -s "$list50" ] || { note "writing $list50"; python3 "$root/bench/gen_list.py" "$list50" 50 || exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/config" "$work/home/table"
cp "$out/set2.ini" "$work/home/config/set2.ini"
cp "$table" "$work/home/table/table40.tbl"
lanzo=("$build/lanzo" --home "$work/home")

# ---- the peers' programs -----------------------------------------------------------------
# One-pass table replacement: every before text in one alternation, longest first.
cat >"$work/convert.pl" <<'EOF'
use strict; use warnings;
my ($table, $file) = @ARGV;
open my $t, '<:raw', $table or die; my (%h, @keys);
while (my $l = <$t>) { $l =~ s/\r?\n\z//; my @f = split /\t/, $l, -1; next unless @f == 2;
    next if exists $h{$f[0]}; $h{$f[0]} = $f[1]; push @keys, $f[0]; }
my $re = join '|', map { quotemeta } sort { length($b) <=> length($a) } @keys;
open my $in, '<:raw', $file or die; local $/; my $s = <$in>;
$s =~ s/($re)/$h{$1}/g;
binmode STDOUT; print $s;
EOF
# The same table as a sed script: one s///g per pair, in table order.
python3 - "$table" >"$work/convert.sed" <<'EOF'
import re, sys
for line in open(sys.argv[1], "rb").read().split(b"\n"):
    f = line.rstrip(b"\r").split(b"\t")
    if len(f) != 2:
        continue
    before = re.sub(rb"([][\\.*^$/])", rb"\\\1", f[0])
    after = re.sub(rb"([\\&/])", rb"\\\1", f[1])
    sys.stdout.buffer.write(b"s/" + before + b"/" + after + b"/g\n")
EOF
# The first [start-end] of a line becomes one line per number, as wide as start.
cat >"$work/expand.pl" <<'EOF'
use strict; use warnings; binmode STDIN; binmode STDOUT;
while (my $l = <STDIN>) { $l =~ s/\r?\n\z//;
    if ($l =~ /^(.*?)\[(\d+)-(\d+)\](.*)\z/s) { my ($a, $s, $e, $b, $w) = ($1, $2, $3, $4, length $2);
        for my $n ($s .. $e) { printf "%s%0*d%s\n", $a, $w, $n, $b; } }
    else { print "$l\n"; } }
EOF
cat >"$work/links.py" <<'EOF'
import sys
from html.parser import HTMLParser
out = []
class Links(HTMLParser):
    def handle_starttag(self, tag, attrs):
        for k, v in attrs:
            if k in ("href", "src") and v is not None:
                out.append(v)
p = Links(convert_charrefs=False)
p.feed(open(sys.argv[1], "rb").read().decode("latin-1"))
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("latin-1"))
EOF
quote='import sys, urllib.parse; sys.stdout.write(urllib.parse.quote_plus(open(sys.argv[1], "rb").read(), safe="!$\x27()*-.@_"))'
unquote='import sys, urllib.parse; sys.stdout.buffer.write(urllib.parse.unquote_to_bytes(open(sys.argv[1]).read().replace("+", " ")))'
# A token is a run of bytes other than space < > ' " CR LF; the extraction keeps those that begin
# with a prefix or end with a suffix. The patterns take the delimiters around a token into the
# match (the default engines have no look-around); the line counts show the same URLs are found.
delim='[ <>\x27"\r\n]'
token='[^ <>\x27"\r\n]'
extract_rg="(?:^|$delim)((?:https?://|ttp://)$token*|$token*\\.(?:jpg|png|zip))(?:\$|$delim)"
cr=$'\r'
gdelim="[ <>'\"$cr]"
gtoken="[^ <>'\"$cr]"
extract_grep="(^|$gdelim)((https?://|ttp://)$gtoken*|$gtoken*\\.(jpg|png|zip))(\$|$gdelim)"
links_rg='[ \t\r\n](?:href|src)=(?:"[^"]*"|[^ >]*)'
extract_args=(-p http:// -p https:// -p ttp:// -s .jpg -s .png -s .zip)

# ---- measuring -------------------------------------------------------------------------
# One run of a command, its output into a file: prints "seconds peak-KB".
run_once() { # outfile command...
    local outfile="$1" start end
    shift
    # The last run's output is removed before the clock starts: truncating tens of megabytes
    # takes tens of milliseconds, and a peer that runs once would never pay it.
    rm -f "$outfile"
    start=$(date +%s%N)
    if ! /usr/bin/time -f "%M" -o "$work/rss" "$@" >"$outfile" 2>"$work/stderr"; then
        # lanzo exits 1 on purpose for refused input; anything else is a failure
        grep -q "^lanzo:" "$work/stderr" || { echo "failed"; return; }
    fi
    end=$(date +%s%N)
    echo "$(((end - start) / 1000)) $(tail -1 "$work/rss")"
}

median() { sort -n | awk '{ a[NR] = $1 } END { if (NR) print a[int((NR + 1) / 2)] }'; }

# group NAME INPUT TARGETS -- tool1 "cmd..." tool2 "cmd..." ...: the first tool is lanzo.
# TARGETS: "peer:factor[,peer:factor]" (lanzo at least factor times as fast as peer), or "-".
# A peer named with a trailing "!" runs once only (the slow ones).
rows=()
group() {
    local name="$1" input="$2" targets="$3"
    shift 4
    local -a tools cmds
    while [ $# -gt 0 ]; do
        tools+=("$1")
        cmds+=("$2")
        shift 2
    done
    local i r
    for i in "${!tools[@]}"; do : >"$work/t$i"; done
    for ((r = 1; r <= runs; r++)); do
        for i in "${!tools[@]}"; do
            [[ "${tools[$i]}" == *! ]] && [ "$r" -gt 1 ] && continue
            eval "run_once \"$work/o$i\" ${cmds[$i]}" >>"$work/t$i"
        done
    done
    local bytes mb
    bytes=$(stat -c %s "$input")
    mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
    local -A secs
    for i in "${!tools[@]}"; do
        local us kb lines tool="${tools[$i]%!}"
        if grep -q failed "$work/t$i" || [ ! -s "$work/t$i" ]; then
            rows+=("$name|$tool|failed|||||||")
            continue
        fi
        us=$(median <"$work/t$i")
        kb=$(awk '$2 > m { m = $2 } END { print m }' "$work/t$i")
        lines=$(wc -l <"$work/o$i")
        secs[$tool]=$(awk -v u="$us" 'BEGIN { printf "%.3f", u / 1e6 }')
        local ratio="" target="" met=""
        if [ "$i" -eq 0 ]; then
            # Memory: peak resident set under three times the input.
            local mem
            mem=$(awk -v kb="$kb" -v b="$bytes" 'BEGIN { printf "%.1f", kb * 1024 / b }')
            ratio="mem ${mem}x"
        fi
        rows+=("$name|$tool|${secs[$tool]}|$(awk -v s="${secs[$tool]}" -v mb="$mb" 'BEGIN { printf "%.0f", (s > 0 ? mb / s : 0) }')|$(awk -v kb="$kb" 'BEGIN { printf "%.0f", kb / 1024 }')|$lines|$ratio||")
    done
    # The lanzo row's verdict against each peer of the target.
    local lanzo_secs="${secs[lanzo]:-}"
    [ -n "$lanzo_secs" ] || return
    local verdicts="" all=yes entry peer factor
    if [ "$targets" != "-" ]; then
        IFS=',' read -r -a entries <<<"$targets"
        for entry in "${entries[@]}"; do
            peer="${entry%%:*}" factor="${entry#*:}"
            local ps="${secs[$peer]:-}"
            if [ -z "$ps" ]; then
                verdicts+="${verdicts:+; }${factor}x $peer: no peer"
                all=no
                continue
            fi
            local got ok
            got=$(awk -v p="$ps" -v l="$lanzo_secs" 'BEGIN { printf "%.1f", p / l }')
            ok=$(awk -v g="$got" -v f="$factor" 'BEGIN { print (g >= f) ? "yes" : "no" }')
            [ "$ok" = yes ] || all=no
            verdicts+="${verdicts:+; }${got}x $peer (>= ${factor}x)"
        done
    fi
    local mem_ok
    mem_ok=$(awk -v kb="$(awk '$2 > m { m = $2 } END { print m }' "$work/t0")" -v b="$bytes" 'BEGIN { print (kb * 1024 < 3 * b) ? "yes" : "no" }')
    [ "$mem_ok" = yes ] || all=no
    # Replace the lanzo row of this group with its verdict.
    local k
    for k in "${!rows[@]}"; do
        if [[ "${rows[$k]}" == "$name|lanzo|"* ]]; then
            IFS='|' read -r n t s m r l ra _ _ <<<"${rows[$k]}"
            rows[$k]="$n|$t|$s|$m|$r|$l|$ra|${verdicts:-memory only}|$all"
        fi
    done
    note "$name done"
}

L='"${lanzo[@]}"'
note "machine load before: $(uptime | sed 's/.*load average: //')"

group "extract (3 prefixes, 3 suffixes)" "$page" "rg:2" -- \
    lanzo "$L extract ${extract_args[*]} \"$page\"" \
    rg "rg -o -a \"\$extract_rg\" \"$page\"" \
    "grep!" "env LC_ALL=C grep -oaE \"\$extract_grep\" \"$page\""
links_tools=(lanzo "$L links \"$page\"" rg "rg -o -a -i \"\$links_rg\" \"$page\"")
if [ $slow = 1 ]; then
    links_tools+=(hxwls! "hxwls \"$page\"")
    links_tools+=(python-html.parser! "python3 \"$work/links.py\" \"$page\"")
    links_tools+=(lynx! "lynx -dump -listonly -nonumbers -force_html \"$page\"")
fi
group "links (href and src)" "$page" "rg:1,hxwls:20" -- "${links_tools[@]}"
group "convert (40-pair table)" "$page" "perl-onepass:1" -- \
    lanzo "$L convert table40 \"$page\"" \
    perl-onepass "perl \"$work/convert.pl\" \"$table\" \"$page\"" \
    sed! "env LC_ALL=C sed -f \"$work/convert.sed\" \"$page\""
group "sjis2euc" "$sjis" "iconv:2" -- \
    lanzo "$L sjis2euc \"$sjis\"" \
    iconv "iconv -f CP932 -t EUC-JP-MS \"$sjis\"" \
    nkf! "nkf -e -S \"$sjis\""
group "euc2sjis" "$euc" "iconv:2" -- \
    lanzo "$L euc2sjis \"$euc\"" \
    iconv "iconv -f EUC-JP-MS -t CP932 \"$euc\"" \
    nkf! "nkf -s -E \"$euc\""
group "sjis2utf8" "$sjis" "iconv:1" -- \
    lanzo "$L sjis2utf8 \"$sjis\"" \
    iconv "iconv -f CP932 -t UTF-8 \"$sjis\"" \
    nkf! "nkf -w -S \"$sjis\""
group "utf82sjis" "$utf8" "iconv:1" -- \
    lanzo "$L utf82sjis \"$utf8\"" \
    iconv "iconv -f UTF-8 -t CP932 \"$utf8\"" \
    nkf! "nkf -s -W \"$utf8\""
group "encode" "$sjis" "python:20" -- \
    lanzo "$L encode \"$sjis\"" \
    python! "python3 -c \"\$quote\" \"$sjis\""
group "decode" "$url" "python:20" -- \
    lanzo "$L decode \"$url\"" \
    python! "python3 -c \"\$unquote\" \"$url\""
group "expand (50 MB list)" "$list50" "perl:10" -- \
    lanzo "$L expand \"$list50\"" \
    perl "sh -c 'perl \"$work/expand.pl\" < \"$list50\"'"
# The other commands: speed and memory of lanzo alone.
group "expand (urls.txt)" "$urls" "-" -- lanzo "$L expand \"$urls\""
group "sort" "$urls" "-" -- lanzo "$L sort \"$urls\"" sort-f "env LC_ALL=C sort -s -f \"$urls\""
group "dedup" "$urls" "-" -- lanzo "$L dedup \"$urls\""
group "correct" "$urls" "-" -- lanzo "$L correct --base http://www.example.jp/a/b.html \"$urls\""
group "linkpage" "$urls" "-" -- lanzo "$L linkpage -o \"$work/links.html\" \"$urls\""
group "extract (stored set2.ini)" "$page" "-" -- lanzo "$L extract \"$page\""
group "extract -t table40" "$page" "-" -- lanzo "$L extract ${extract_args[*]} -t table40 \"$page\""
group "encode --lines" "$sjis" "-" -- lanzo "$L encode --lines \"$sjis\""
group "decode --lines" "$url" "-" -- lanzo "$L decode --lines \"$url\""
for command in tags untag trim noempty clean; do
    group "$command" "$page" "-" -- lanzo "$L $command \"$page\""
done
note "machine load after: $(uptime | sed 's/.*load average: //')"

# ---- the table -------------------------------------------------------------------------
{
    echo "| command | tool | seconds | MB/s | peak MB | lines | memory | speed vs peers (target) | met |"
    echo "|---|---|---:|---:|---:|---:|---:|---|---|"
    for row in "${rows[@]}"; do
        IFS='|' read -r n t s m r l ra v a <<<"$row"
        echo "| $n | $t | $s | $m | $r | $l | $ra | $v | $a |"
    done
} >"$out/compare.md"
column -t -s '|' -o ' | ' <"$out/compare.md" | sed 's/^ *//'
echo
echo "(median of $runs runs, slow peers once; input sizes: page $(du -m "$page" | cut -f1) MB, sjis $(du -m "$sjis" | cut -f1) MB, list $(du -m "$list50" | cut -f1) MB; table also in $out/compare.md)"
