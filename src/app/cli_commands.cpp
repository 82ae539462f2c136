#include "app/cli_commands.h"
#include "app/cli_io.h"
#include "app/cli_messages.h"
#include "base/file_io.h"
#include "encoding/jconvert.h"
#include "encoding/message_quote.h"
#include "encoding/page_convert.h"
#include "encoding/url_codec.h"
#include "extract/extract_stream.h"
#include "extract/extraction.h"
#include "extract/html_links.h"
#include "settings/func_save.h"
#include "settings/http_client.h"
#include "settings/settings_file.h"
#include "tables/cnv_table.h"
#include "text/func_lanzo.h"
#include "text/func_token.h"
#include "text/piece_ring.h"
#include "text/text_stream.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

namespace cli_commands
{
namespace
{

using func_token::StringList;

constexpr std::string_view kStatusLabel = "status\xEF\xBC\x9A"; // "status：" in UTF-8
constexpr std::string_view kUrlLabel = "url\xEF\xBC\x9A"; // "url："

// The input as the source text holds it after loading: CR LF breaks, cut at the first NUL.
// An input already in that form is used where it lies (mapped, not copied).
class SourceText
{
public:
    bool load(const std::string &file)
    {
        if (!cli_io::ReadInput(file, m_input)) return false;
        const std::string_view raw = m_input.view();
        if (text_stream::IsSourceForm(raw)) {
            m_text = raw;
        } else {
            m_copy = func_token::NormalizeLineBreaks(raw);
            m_input.release();
            m_text = m_copy;
        }
        return true;
    }
    std::string_view text() const { return m_text; }
    // The text as a string of its own; the input is given up.
    std::string take()
    {
        std::string text = m_copy.empty() ? std::string(m_text) : std::move(m_copy);
        release();
        return text;
    }
    void release()
    {
        m_input.release();
        m_copy = std::string();
        m_text = {};
    }

private:
    cli_io::InputBytes m_input;
    std::string m_copy;
    std::string_view m_text;
};

// A text command puts its result back into the source text as a whole, which normalizes it.
int WriteSourceText(std::string_view result, int status)
{
    const bool written = text_stream::IsSourceForm(result)
        ? cli_io::WriteOutput(result)
        : cli_io::WriteOutput(func_token::NormalizeLineBreaks(result));
    return written ? status : 1;
}

int WriteList(const StringList &items, bool crlf, int status)
{
    if (!cli_io::WriteOutput(cli_io::JoinItems(items, crlf))) return 1;
    return status;
}

bool TableExists(const std::string &tableDir, std::string_view name)
{
    return file_io::FileExists(cnv_table::TablePath(tableDir, name));
}

int Stopped()
{
    cli_io::PrintError("stopped");
    return 1;
}

} // namespace

int RunExtract(const Options &options, const app_paths::AppPaths &paths)
{
    // The stored settings matter unless the command line replaces all three of their parts.
    func_save::SetDialogState stored;
    if (!(options.conditionsGiven && !options.tables.empty() && options.expand.has_value())) {
        const error::Result<std::string> read
            = settings_file::ReadSettingsFile(paths.set2Ini, settings_file::kMaxSettingsValues);
        if (read) {
            func_save::ApplySet2Ini(stored, *read);
        } else if (settings_file::WasSetAside(read.error())) {
            cli_io::PrintError(cli_messages::Text(read.error()));
        } else if (read.error().kind != error::Kind::NotFound) {
            cli_io::PrintError(cli_messages::Text(read.error()));
            return 1;
        }
    }

    extraction::Conditions conditions;
    if (options.conditionsGiven) {
        conditions.prefixes = options.prefixes;
        conditions.middles = options.middles;
        conditions.suffixes = options.suffixes;
    } else {
        conditions.prefixes = func_save::CheckedItems(stored.prefix);
        conditions.middles = func_save::CheckedItems(stored.middle);
        conditions.suffixes = func_save::CheckedItems(stored.suffix);
    }
    StringList tableNames;
    std::vector<std::string> shownNames; // UTF-8, for messages
    if (!options.tables.empty()) {
        for (const auto &typed : options.tables) {
            tableNames.push_back(jconvert::Utf8ToSjisName(typed));
            shownNames.push_back(typed);
        }
    } else {
        tableNames = stored.convert;
        for (const auto &name : tableNames)
            shownNames.push_back(jconvert::SjisToUtf8Name(name));
    }
    const bool autoExpand = options.expand.value_or(stored.autoExpand);

    SourceText source;
    if (!source.load(options.file)) return 1;

    // A missing table adds no pairs, as in the window; the command line says so.
    for (std::size_t i = 0; i < tableNames.size(); ++i)
        if (!TableExists(paths.tableDir, tableNames[i]))
            cli_io::PrintError("table " + message_quote::Quoted(shownNames[i]) + " not found");
    if (conditions.prefixes.empty() && conditions.middles.empty() && conditions.suffixes.empty())
        cli_io::PrintError("no extraction condition is set (give -p, -m or -s, or check some in the settings)");

    job_progress::JobProgress progress;
    if (tableNames.empty() && !autoExpand) {
        // The URLs go straight from the text into the output, no string per URL.
        cli_io::HeldOutput out;
        bool stopped = false;
        const bool finished = cli_io::RunJob(progress, [&] {
            stopped = !extract_stream::ForEachMatch(
                source.text(), conditions, &progress, [&](std::string_view url) { out.appendItem(url, options.crlf); });
        });
        if (!finished || stopped) return Stopped();
        source.release();
        return out.write() ? 0 : 1;
    }

    const cnv_table::TablePairs tables = cnv_table::LoadTables(tableNames, paths.tableDir);
    extraction::ExtractionResult result;
    const bool finished = cli_io::RunJob(
        progress, [&] { result = extraction::RunExtraction(source.text(), conditions, tables, &progress); });
    if (!finished || result.stopped) return Stopped();
    source.release();

    int status = 0;
    if (autoExpand) {
        error::Result<StringList> expanded = func_lanzo::ExpandList(result.urls);
        if (expanded) {
            result.urls = std::move(*expanded);
        } else {
            cli_io::PrintError(cli_messages::Text(expanded.error()));
            status = 1;
        }
    }
    return WriteList(result.urls, options.crlf, status);
}

int RunLinks(const Options &options)
{
    SourceText source;
    if (!source.load(options.file)) return 1;
    job_progress::JobProgress progress;
    cli_io::HeldOutput out;
    bool stopped = false;
    const bool finished = cli_io::RunJob(progress, [&] {
        stopped = !extract_stream::ForEachLink(
            source.text(), &progress, [&](std::string_view link) { out.appendItem(link, options.crlf); });
    });
    if (!finished || stopped) return Stopped();
    source.release();
    return out.write() ? 0 : 1;
}

namespace
{

// "expand" streamed: one pass counts the lines the expansion gives, a second writes them as
// they are made. Returns nullopt when the expansion would be refused (the caller then takes
// the collecting path, which refuses it with its message).
std::optional<int> StreamExpand(std::string_view raw, bool crlf)
{
    // As ExpandList: empty items before the first non-empty one give no line, nor does a
    // final empty item; every other item gives its lines.
    constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::uint64_t total = 0;
    std::size_t count = 0, first = npos;
    bool lastEmpty = false;
    text_stream::ForEachLine(raw, [&](std::string_view item) {
        total += func_lanzo::ExpandedLineCount(item);
        if (first == npos && !item.empty()) first = count;
        lastEmpty = item.empty();
        ++count;
    });
    if (total > func_lanzo::kMaxExpandedLines && total > count) return std::nullopt;
    if (first == npos) return 0;
    const std::size_t last = lastEmpty ? count - 1 : count;

    const std::string_view eol = crlf ? "\r\n" : "\n";
    constexpr std::size_t kBlock = 1u << 20;
    std::string block;
    block.reserve(kBlock + 4096);
    // The sink's writer thread writes a full block while the next one is made.
    cli_io::OutputSink out(2 * kBlock);
    const text_stream::Emit write = [&](std::string_view bytes) { out.append(bytes); };
    std::size_t index = 0;
    text_stream::ForEachLine(raw, [&](std::string_view item) {
        if (index >= first && index < last && out.ok())
            text_stream::AppendExpandedLines(item, eol, block, kBlock, write);
        ++index;
    });
    if (!block.empty()) write(block);
    return out.flush() ? 0 : 1;
}

// sort, dedup and correct over views of the lines.
int WriteListViews(const std::vector<std::string_view> &lines, const std::string &command, const Options &options)
{
    cli_io::OutputSink out;
    const std::string_view eol = options.crlf ? "\r\n" : "\n";
    const auto put = [&](std::string_view item) {
        out.append(item);
        out.append(eol);
    };
    if (command == "correct") {
        const std::string base = options.base.value_or("");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::optional<std::string> corrected = func_lanzo::CorrectUrl(base, lines[i]);
            if (!corrected) {
                // The items from the failing one on stay as they were; the message is the list
                // command's own.
                for (std::size_t k = i; k < lines.size(); ++k)
                    put(lines[k]);
                out.flush();
                error::Error failure = error::Error::Of(error::Kind::BaseWithoutHost);
                failure.position = i;
                failure.found = base;
                cli_io::PrintError(cli_messages::Text(failure));
                return 1;
            }
            put(*corrected);
        }
        return out.flush() ? 0 : 1;
    }
    const std::vector<std::size_t> order
        = command == "dedup" ? text_stream::DedupOrder(lines) : text_stream::SortOrder(lines, options.backward);
    for (const std::size_t i : order)
        put(lines[i]);
    return out.flush() ? 0 : 1;
}

} // namespace

int RunListCommand(const Options &options)
{
    const std::string &command = options.command;
    cli_io::InputBytes raw;
    if (!cli_io::ReadInput(options.file, raw)) return 1;
    if (command == "expand") {
        if (const std::optional<int> status = StreamExpand(raw.view(), options.crlf)) return *status;
    }
    if (command == "sort" || command == "dedup" || command == "correct") {
        // Views of the lines, never copied: the output is written from the input.
        std::vector<std::string_view> lines;
        text_stream::ForEachLine(raw.view(), [&](std::string_view line) { lines.push_back(line); });
        return WriteListViews(lines, command, options);
    }
    // An expansion the stream refused (past the line limit) is refused by the list operation too,
    // with its message and the list as it was.
    StringList items = func_token::SplitLines(raw.view());
    raw.release();
    const error::Result<StringList> expanded = func_lanzo::ExpandList(items);
    if (!expanded) {
        const int status = WriteList(items, options.crlf, 1);
        cli_io::PrintError(cli_messages::Text(expanded.error()));
        return status;
    }
    return WriteList(*expanded, options.crlf, 0);
}

int RunConvert(const Options &options, const app_paths::AppPaths &paths)
{
    const std::string name = jconvert::Utf8ToSjisName(options.operand);
    SourceText loaded;
    if (!loaded.load(options.file)) return 1;
    if (!TableExists(paths.tableDir, name)) {
        // The window would write the text back unchanged; a script should hear of the typo.
        const int status = WriteSourceText(loaded.text(), 1);
        cli_io::PrintError("table " + message_quote::Quoted(options.operand) + " not found");
        return status;
    }
    // The pairs change the text in place, so it needs a copy of its own.
    std::string source = loaded.take();

    job_progress::JobProgress progress;
    bool completed = false;
    const bool finished = cli_io::RunJob(progress, [&] {
        progress.setCaption("変換中");
        StringList before, after;
        static_cast<void>(cnv_table::MakeCnvTable(before, after, name, paths.tableDir));
        progress.setMaximum(static_cast<std::int64_t>(before.size()));
        // Converting in place is safe: a stopped run writes nothing.
        completed = cnv_table::ApplyPairs(source, before, after, &progress);
    });
    if (!finished || !completed) return Stopped();
    return WriteSourceText(source, 0);
}

namespace
{

// The text commands whose result for a text cut after an LF is the results for the pieces put
// together (text_stream::PieceEnd tells why). They stream through in pieces.
enum class Piecewise { Encode, EncodeLines, Decode, DecodeLines, SjisToEuc, EucToSjis, SjisToUtf8, Utf8ToSjis };

std::optional<Piecewise> PiecewiseCommand(const Options &options)
{
    const std::string &command = options.command;
    if (command == "encode") return options.lines ? Piecewise::EncodeLines : Piecewise::Encode;
    if (command == "decode") return options.lines ? Piecewise::DecodeLines : Piecewise::Decode;
    if (command == "sjis2euc") return Piecewise::SjisToEuc;
    if (command == "euc2sjis") return Piecewise::EucToSjis;
    if (command == "sjis2utf8") return Piecewise::SjisToUtf8;
    if (command == "utf82sjis") return Piecewise::Utf8ToSjis;
    return std::nullopt;
}

// The command on one piece; false when it refuses the piece (a malformed escape, input that
// is not UTF-8): the whole text then takes the whole-text path, which words the failure.
bool ConvertPiece(Piecewise kind, std::string_view piece, std::string &out)
{
    switch (kind) {
    case Piecewise::Encode:
        out = url_codec::UrlEncode(piece);
        return true;
    case Piecewise::EncodeLines:
        out = url_codec::EncodeWholeLines(piece);
        return true;
    case Piecewise::Decode: {
        error::Result<std::string> decoded = url_codec::UrlDecode(piece);
        if (!decoded) return false;
        out = std::move(*decoded);
        return true;
    }
    case Piecewise::DecodeLines:
        return url_codec::DecodeWholeLines(piece, out).has_value();
    case Piecewise::SjisToEuc:
        jconvert::SjisToEuc(piece, out);
        return true;
    case Piecewise::EucToSjis:
        jconvert::EucToSjis(piece, out);
        return true;
    case Piecewise::SjisToUtf8:
        out = jconvert::SjisToUtf8(piece);
        return true;
    case Piecewise::Utf8ToSjis:
        return jconvert::Utf8ToSjis(piece, out);
    }
    return false;
}

// Pieces of about this size stay in the processor's caches from input to output.
constexpr std::size_t kPieceSize = 256u << 10;

// The whole-text form of the text commands; out receives the new source text, which after a
// failure is what the window's buffer would hold.
error::Result<void> RunWholeText(const std::string &command, bool lines, std::string_view source, std::string &out)
{
    if (command == "encode") {
        out = lines ? url_codec::EncodeWholeLines(source) : url_codec::EncodeWhole(source);
    } else if (command == "decode") {
        return lines ? url_codec::DecodeWholeLines(source, out) : url_codec::DecodeWhole(source, out);
    } else if (command == "sjis2euc") {
        out = jconvert::SjisToEuc(source);
    } else if (command == "euc2sjis") {
        out = jconvert::EucToSjis(source);
    } else if (command == "sjis2utf8") {
        out = jconvert::SjisToUtf8(source);
    } else if (command == "utf82sjis") {
        // An empty result from a non-empty input means the decoder refused it; the text stays.
        out = jconvert::Utf8ToSjis(source);
        if (out.empty() && !source.empty()) {
            out = std::string(source);
            return error::Unexpected(error::Error::Of(error::Kind::NotUtf8));
        }
    } else if (command == "tags") {
        out = func_lanzo::CutOutTagsText(source);
    } else if (command == "untag") {
        out = func_lanzo::RemoveTagsText(source);
    } else if (command == "trim") {
        out = func_lanzo::TrimLinesText(source);
    } else if (command == "noempty") {
        out = func_lanzo::DeleteEmptyLinesText(source);
    } else if (command == "clean") {
        out = func_lanzo::CleanText(source);
    }
    return {};
}

int WriteTextResult(const error::Result<void> &result, std::string_view text)
{
    const int status = WriteSourceText(text, result ? 0 : 1);
    if (!result) cli_io::PrintError(cli_messages::Text(result.error()));
    return status;
}

// Input pieces are normalized as loading would, converted, and their results normalized as
// putting them back would; a command that can refuse its input holds its output back until
// every piece has been accepted, unless a check of the whole input up front has told already.
// On a machine with a second processor the pieces are converted two at a time, the second
// one on a helper thread; they are written in order.
int RunPiecewise(const Options &options, Piecewise kind)
{
    cli_io::InputBytes input;
    if (!cli_io::ReadInput(options.file, input)) return 1;
    const std::string_view raw = input.view();
    const bool mayRefuse = kind == Piecewise::Decode || kind == Piecewise::DecodeLines;
    const bool twoThreads = raw.size() > 2 * kPieceSize && std::thread::hardware_concurrency() > 1;
    // UTF-8 is checked whole first (loading ends the text at a NUL, and the line breaks that
    // loading changes cannot make or break a character), so its output can go as it is made.
    // Meanwhile a second thread builds the code page 932 tables, by converting nothing.
    bool refused = false;
    if (kind == Piecewise::Utf8ToSjis) {
        std::optional<std::jthread> tables;
        if (twoThreads)
            tables.emplace([] {
                std::string nothing;
                jconvert::Utf8ToSjis({}, nothing);
            });
        refused = !jconvert::IsWellFormedUtf8(raw.substr(0, raw.find('\0')));
    }

    text_stream::BreakNormalizer loading, storing;
    std::string storeScratch, held;
    // A converted piece is mostly written straight from its slot; only short ones are gathered.
    cli_io::OutputSink out(kPieceSize / 2);
    const auto emit = [&](std::string_view bytes) { mayRefuse ? (void)held.append(bytes) : out.append(bytes); };
    std::size_t from = 0;
    piece_ring::Stages stages;
    stages.load = [&](std::string &scratch) -> std::optional<std::string_view> {
        if (from >= raw.size() || loading.ended()) return std::nullopt;
        const std::size_t end = text_stream::PieceEnd(raw, from, kPieceSize);
        const std::string_view piece = loading.next(raw.substr(from, end - from), scratch, end == raw.size());
        from = end;
        return piece;
    };
    stages.convert = [kind](std::string_view piece, std::string &to) { return ConvertPiece(kind, piece, to); };
    stages.store = [&](std::string_view converted) {
        // After a NUL in the result nothing more is written, but every piece is still checked.
        if (!storing.ended()) emit(storing.next(converted, storeScratch));
        return mayRefuse || (!storing.ended() && out.ok());
    };
    if (!refused) refused = piece_ring::Run(stages, twoThreads) == piece_ring::Outcome::Refused;
    if (refused) {
        const std::string source = func_token::NormalizeLineBreaks(raw);
        input.release();
        std::string text;
        const error::Result<void> result = RunWholeText(options.command, options.lines, source, text);
        return WriteTextResult(result, text);
    }
    emit(storing.finish());
    if (mayRefuse) out.append(held);
    return out.flush() ? 0 : 1;
}

std::optional<func_lanzo::Cleanup> CleanupCommand(const std::string &command)
{
    if (command == "tags") return func_lanzo::Cleanup::CutOutTags;
    if (command == "untag") return func_lanzo::Cleanup::RemoveTags;
    if (command == "trim") return func_lanzo::Cleanup::TrimLines;
    if (command == "noempty") return func_lanzo::Cleanup::DeleteEmptyLines;
    if (command == "clean") return func_lanzo::Cleanup::Clean;
    return std::nullopt;
}

// The cleanup commands read the source text in place and write their result in blocks as it
// is made, put back into source-text form on the way as a whole result would be: memory
// stays at the input plus a block.
int RunCleanup(const Options &options, func_lanzo::Cleanup command)
{
    SourceText source;
    if (!source.load(options.file)) return 1;
    constexpr std::size_t kBlock = 1u << 20;
    cli_io::OutputSink out(kBlock);
    text_stream::BreakNormalizer storing;
    std::string block, scratch;
    block.reserve(kBlock + (64u << 10));
    const auto store = [&](std::string_view bytes) {
        if (!storing.ended()) out.append(storing.next(bytes, scratch));
    };
    func_lanzo::AppendCleanupText(command, source.text(), block, kBlock, store);
    store(block);
    out.append(storing.finish());
    return out.flush() ? 0 : 1;
}

} // namespace

int RunTextCommand(const Options &options)
{
    if (const std::optional<Piecewise> kind = PiecewiseCommand(options)) return RunPiecewise(options, *kind);
    if (const std::optional<func_lanzo::Cleanup> cleanup = CleanupCommand(options.command))
        return RunCleanup(options, *cleanup);
    SourceText source;
    if (!source.load(options.file)) return 1;
    std::string text;
    const error::Result<void> result = RunWholeText(options.command, options.lines, source.text(), text);
    source.release(); // the input is no longer needed; free it before the output copy
    return WriteTextResult(result, text);
}

int RunLinkPage(const Options &options)
{
    // The items are the list file's lines, read in place; the page (about three times the
    // list) goes to the temporary file in blocks and replaces the target once complete.
    cli_io::InputBytes list;
    if (!cli_io::ReadInput(options.file, list)) return 1;
    const std::string_view text = list.view();
    const std::string &path = options.outFile.value_or("");
    if (text.empty() || text.front() == '\0') {
        // The window offers the command only for a non-empty list.
        cli_io::PrintError("the list is empty; " + message_quote::Quoted(path) + " was not written");
        return 0;
    }
    file_io::AtomicFileWriter writer;
    if (const error::Result<void> opened = writer.open(path); !opened) {
        cli_io::PrintError(cli_messages::Text(opened.error()));
        return 1;
    }
    constexpr std::size_t kBlock = 1u << 20;
    std::string block;
    block.reserve(kBlock + (64u << 10));
    block.append(func_lanzo::LinkPageHeader());
    text_stream::ForEachLine(text, [&](std::string_view item) {
        func_lanzo::AppendLinkPageItem(block, item);
        if (block.size() >= kBlock) {
            writer.write(block);
            block.clear();
        }
    });
    block.append(func_lanzo::LinkPageFooter());
    writer.write(block);
    if (const error::Result<void> committed = writer.commit(); !committed) {
        cli_io::PrintError(cli_messages::Text(committed.error()));
        return 1;
    }
    return 0;
}

int RunGet(const Options &options)
{
    http_client::Response response;
    error::Result<void> got;
    {
        cli_io::InterruptGuard guard;
        http_client::Limits limits;
        limits.idleTimeoutSeconds = options.idleTimeoutSeconds;
        http_client::HttpClient client(limits);
        got = client.Get(
            options.operand, response, [] { return !cli_io::InterruptGuard::interrupted(); },
            options.web ? http_client::Mode::Web : http_client::Mode::Plain);
        if (cli_io::InterruptGuard::interrupted()) return Stopped();
    }
    // Without the web mode nothing is followed: the page came from the address as given.
    const std::string &finalUrl = options.web && !response.finalUrl.empty() ? response.finalUrl : options.operand;
    int status = 0;
    if (got) {
        if (options.toSjis) response.body = page_convert::ToShiftJis(response.body, response.contentType).text;
        if (!cli_io::WriteOutput(response.body)) status = 1;
        if (options.finalUrlFile) {
            if (const error::Result<void> written = file_io::WriteFileAtomic(*options.finalUrlFile, finalUrl + "\n");
                !written) {
                cli_io::PrintError(cli_messages::Text(written.error()));
                status = 1;
            }
        }
    }
    std::string label(kStatusLabel);
    label += std::to_string(response.status);
    label += '\n';
    if (options.web) {
        label += kUrlLabel;
        label += message_quote::Quoted(finalUrl);
        label += '\n';
    }
    std::fwrite(label.data(), 1, label.size(), stderr);
    if (!got) {
        const std::string reason = cli_messages::Text(got.error());
        if (!reason.empty()) cli_io::PrintError(message_quote::Quoted(options.operand) + ": " + reason);
        return 1;
    }
    return status;
}

} // namespace cli_commands
