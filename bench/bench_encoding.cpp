// Speed of the encodings core: the editor codec, the character-code conversions and the URL
// codec, on 8 MB of generated Japanese Shift_JIS text (kanji, kana, ASCII, half-width kana,
// CR LF lines) and, when bench/out/page.html exists, on that mostly-ASCII HTML page.
#include "base/file_io.h"
#include "encoding/editor_codec.h"
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

namespace
{

const std::string &JapaneseText()
{
    static const std::string text = [] {
        std::mt19937 rng(20240607);
        const auto pick
            = [&rng](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(rng); };
        std::string s;
        s.reserve(8u << 20);
        while (s.size() < (8u << 20)) {
            for (unsigned n = pick(8, 60); n > 0; --n) {
                const unsigned kind = pick(0, 19);
                if (kind < 6) { // kanji from full rows
                    s += char(pick(0x89, 0x97));
                    const unsigned trail = pick(0x40, 0xFB);
                    s += char(trail == 0x7F ? 0x80 : trail);
                } else if (kind < 11) { // hiragana
                    s += '\x82';
                    s += char(pick(0x9F, 0xF1));
                } else if (kind < 13) { // katakana
                    s += '\x83';
                    s += char(pick(0x40, 0x7E));
                } else if (kind < 14) { // half-width katakana
                    s += char(pick(0xA1, 0xDF));
                } else {
                    s += char(pick(0x61, 0x7A));
                }
            }
            s += "\r\n";
        }
        return s;
    }();
    return text;
}

const std::string &Page()
{
    static const std::string page = [] {
        const char *dir = std::getenv("LANZO_BENCH_DATA");
        return file_io::ReadWholeFile(std::string(dir ? dir : LANZO_BENCH_DATA) + "/page.html").value_or("");
    }();
    return page;
}

const std::string &Input(benchmark::State &state)
{
    if (state.range(0) == 0) return JapaneseText();
    if (Page().empty()) state.SkipWithError("bench/out/page.html is missing: run bench/gen_corpus.py");
    return Page();
}

template <typename Fn> void Run(benchmark::State &state, const std::string &in, Fn fn)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(fn(in));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

void BM_EditorDecode(benchmark::State &state)
{
    Run(state, Input(state), editor_codec::Decode);
}

void BM_EditorEncode(benchmark::State &state)
{
    const std::u16string text = editor_codec::Decode(Input(state));
    for (auto _ : state)
        benchmark::DoNotOptimize(editor_codec::Encode(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Input(state).size()));
}

// The conversions are overloaded (a returning form and one that reuses a buffer): these name
// the returning form.
std::string SjisToEuc(std::string_view in)
{
    return jconvert::SjisToEuc(in);
}
std::string EucToSjis(std::string_view in)
{
    return jconvert::EucToSjis(in);
}
std::string Utf8ToSjis(std::string_view in)
{
    return jconvert::Utf8ToSjis(in);
}

void BM_SjisToEuc(benchmark::State &state)
{
    Run(state, Input(state), SjisToEuc);
}
void BM_SjisToUtf8(benchmark::State &state)
{
    Run(state, Input(state), jconvert::SjisToUtf8);
}

void BM_EucToSjis(benchmark::State &state)
{
    Run(state, SjisToEuc(Input(state)), EucToSjis);
}

void BM_Utf8ToSjis(benchmark::State &state)
{
    Run(state, jconvert::SjisToUtf8(Input(state)), Utf8ToSjis);
}

// The command line's way: 256 KB pieces into one reused buffer.
void BM_SjisToEucPieces(benchmark::State &state)
{
    const std::string &in = Input(state);
    std::string out;
    for (auto _ : state) {
        for (std::size_t from = 0; from < in.size(); from += 256u << 10) {
            jconvert::SjisToEuc(std::string_view(in).substr(from, 256u << 10), out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

// The check utf82sjis makes before it writes anything.
void BM_IsWellFormedUtf8(benchmark::State &state)
{
    Run(state, jconvert::SjisToUtf8(Input(state)), jconvert::IsWellFormedUtf8);
}

void BM_UrlEncode(benchmark::State &state)
{
    Run(state, Input(state), url_codec::UrlEncode);
}

void BM_UrlDecode(benchmark::State &state)
{
    Run(state, url_codec::UrlEncode(Input(state)), url_codec::UrlDecode);
}

} // namespace

// Argument 0: the generated Japanese text; 1: the HTML page of the corpus.
BENCHMARK(BM_EditorDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SjisToEuc)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EucToSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SjisToEucPieces)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SjisToUtf8)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsWellFormedUtf8)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UrlEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UrlDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
