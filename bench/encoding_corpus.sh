# Sourced by the benchmark scripts: writes the Shift_JIS text of MB megabytes and its EUC-JP,
# UTF-8 and percent-encoded forms into bench/out/ when they are missing, and names them in
# $sjis, $euc, $utf8 and $url. Needs $root (the repository).
#   write_encoding_corpus MB
write_encoding_corpus() {
    local megabytes="$1" out="$root/bench/out"
    mkdir -p "$out"
    sjis="$out/sjis_${megabytes}mb.txt" euc="$out/euc_${megabytes}mb.txt"
    utf8="$out/utf8_${megabytes}mb.txt" url="$out/url_${megabytes}mb.txt"
    if [ ! -s "$sjis" ]; then
        echo "== writing $sjis" >&2
        python3 "$root/bench/gen_sjis_text.py" "$sjis" "$megabytes" || return 1
    fi
    [ -s "$euc" ] || iconv -f CP932 -t EUC-JP-MS "$sjis" >"$euc" || return 1
    [ -s "$utf8" ] || iconv -f CP932 -t UTF-8 "$sjis" >"$utf8" || return 1
    [ -s "$url" ] || python3 -c '
import sys, urllib.parse
data = open(sys.argv[1], "rb").read()
open(sys.argv[2], "w", encoding="ascii").write(urllib.parse.quote_plus(data, safe="!$\x27()*-.@_"))
' "$sjis" "$url" || return 1
}
