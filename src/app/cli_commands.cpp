#include "app/cli_commands.h"
#include "app/cli_io.h"
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"
#include "extract/extraction.h"
#include "extract/html_links.h"
#include "settings/file_io.h"
#include "settings/func_save.h"
#include "settings/http_client.h"
#include "tables/cnv_table.h"
#include "text/func_lanzo.h"
#include "text/func_token.h"

#include <cstdio>
#include <string_view>
#include <utility>

namespace cli
{
namespace
{

using func_token::StringList;

constexpr std::string_view kStatusLabel = "status\xEF\xBC\x9A"; // "status：" in UTF-8

// The input as the source text holds it after loading: CR LF breaks, cut at the first NUL.
bool LoadSourceText(const std::string &file, std::string &source)
{
    std::string raw;
    if (!ReadInput(file, raw)) return false;
    source = func_token::NormalizeLineBreaks(raw);
    return true;
}

// The input as the URL list holds it after loading the list file.
bool LoadList(const std::string &file, StringList &items)
{
    std::string raw;
    if (!ReadInput(file, raw)) return false;
    items = func_token::SplitLines(raw);
    return true;
}

// True when the text already is as the source text would hold it: no NUL, every CR and LF
// in a CR LF pair. Spares a copy of a large result in the usual case.
bool IsNormalized(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos) return false;
    for (std::size_t i = text.find_first_of("\r\n"); i != std::string_view::npos;
         i = text.find_first_of("\r\n", i + 1)) {
        if (text[i] == '\n' || i + 1 == text.size() || text[i + 1] != '\n') return false;
        ++i;
    }
    return true;
}

// A text command puts its result back into the source text as a whole, which normalizes it.
int WriteSourceText(const std::string &result, int status)
{
    const bool written
        = IsNormalized(result) ? WriteOutput(result) : WriteOutput(func_token::NormalizeLineBreaks(result));
    return written ? status : 1;
}

int WriteList(const StringList &items, bool crlf, int status)
{
    if (!WriteOutput(JoinItems(items, crlf))) return 1;
    return status;
}

bool TableExists(const std::string &tableDir, std::string_view name)
{
    return file_io::FileExists(tables::TablePath(tableDir, name));
}

int Stopped()
{
    PrintError("stopped");
    return 1;
}

} // namespace

int RunExtract(const Options &options, const settings::AppPaths &paths)
{
    // The stored settings matter unless the command line replaces all three of their parts.
    func_save::SetDialogState stored;
    if (!(options.conditionsGiven && !options.tables.empty() && options.expand.has_value())) {
        const file_io::ReadResult settingsFile = file_io::ReadWholeFile(paths.set2Ini);
        if (settingsFile.ok) {
            func_save::ApplySet2Ini(stored, settingsFile.data);
        } else if (!settingsFile.missing) {
            PrintError(paths.set2Ini + ": " + settingsFile.error.reason);
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

    std::string source;
    if (!LoadSourceText(options.file, source)) return 1;

    // A missing table adds no pairs, as in the window; the command line says so.
    for (std::size_t i = 0; i < tableNames.size(); ++i)
        if (!TableExists(paths.tableDir, tableNames[i])) PrintError("table " + shownNames[i] + " not found");
    if (conditions.prefixes.empty() && conditions.middles.empty() && conditions.suffixes.empty())
        PrintError("no extraction condition is set (give -p, -m or -s, or check some in the settings)");

    job::JobProgress progress;
    extraction::ExtractionResult result;
    const bool finished = RunJob(progress,
        [&] { result = extraction::RunExtraction(source, conditions, tableNames, paths.tableDir, &progress); });
    if (!finished || result.stopped) return Stopped();

    int status = 0;
    if (autoExpand) {
        func_lanzo::ExpandListResult expanded = func_lanzo::ExpandList(result.urls);
        if (expanded.ok) {
            result.urls = std::move(expanded.items);
        } else {
            PrintError(expanded.message);
            status = 1;
        }
    }
    return WriteList(result.urls, options.crlf, status);
}

int RunLinks(const Options &options)
{
    std::string source;
    if (!LoadSourceText(options.file, source)) return 1;
    job::JobProgress progress;
    html_links::LinksResult result;
    const bool finished = RunJob(progress, [&] { result = html_links::ExtractLinks(source, &progress); });
    if (!finished || result.stopped) return Stopped();
    return WriteList(result.links, options.crlf, 0);
}

int RunListCommand(const Options &options)
{
    StringList items;
    if (!LoadList(options.file, items)) return 1;

    const std::string &command = options.command;
    if (command == "expand") {
        func_lanzo::ExpandListResult expanded = func_lanzo::ExpandList(items);
        if (!expanded.ok) {
            // A refused expansion leaves the list as it was.
            const int status = WriteList(items, options.crlf, 1);
            PrintError(expanded.message);
            return status;
        }
        return WriteList(expanded.items, options.crlf, 0);
    }
    if (command == "correct") {
        const func_lanzo::CorrectListResult corrected = func_lanzo::CorrectList(options.base.value_or(""), items);
        const int status = WriteList(corrected.items, options.crlf, corrected.ok ? 0 : 1);
        if (!corrected.ok) PrintError(corrected.message);
        return status;
    }
    if (command == "sort")
        options.backward ? func_lanzo::SortBackward(items) : func_lanzo::SortForward(items);
    else if (command == "dedup")
        func_lanzo::RemoveDuplicates(items);
    return WriteList(items, options.crlf, 0);
}

int RunConvert(const Options &options, const settings::AppPaths &paths)
{
    const std::string name = jconvert::Utf8ToSjisName(options.operand);
    std::string source;
    if (!LoadSourceText(options.file, source)) return 1;
    if (!TableExists(paths.tableDir, name)) {
        // The window would write the text back unchanged; a script should hear of the typo.
        const int status = WriteSourceText(source, 1);
        PrintError("table " + options.operand + " not found");
        return status;
    }

    job::JobProgress progress;
    bool completed = false;
    const bool finished = RunJob(progress, [&] {
        progress.setCaption("変換中");
        StringList before, after;
        tables::MakeCnvTable(before, after, name, paths.tableDir);
        progress.setMaximum(static_cast<std::int64_t>(before.size()));
        // Converting in place is safe: a stopped run writes nothing.
        completed = tables::ApplyPairs(source, before, after, &progress);
    });
    if (!finished || !completed) return Stopped();
    return WriteSourceText(source, 0);
}

int RunTextCommand(const Options &options)
{
    std::string source;
    if (!LoadSourceText(options.file, source)) return 1;

    const std::string &command = options.command;
    url_codec::CommandResult result;
    if (command == "encode") {
        result = options.lines ? url_codec::EncodeWholeLines(source) : url_codec::EncodeWhole(source);
    } else if (command == "decode") {
        result = options.lines ? url_codec::DecodeWholeLines(source) : url_codec::DecodeWhole(source);
    } else if (command == "sjis2euc") {
        result.text = jconvert::SjisToEuc(source);
    } else if (command == "euc2sjis") {
        result.text = jconvert::EucToSjis(source);
    } else if (command == "sjis2utf8") {
        result.text = jconvert::SjisToUtf8(source);
    } else if (command == "utf82sjis") {
        // An empty result from a non-empty input means the decoder refused it; the text stays.
        result.text = jconvert::Utf8ToSjis(source);
        if (result.text.empty() && !source.empty()) {
            result.text = std::move(source);
            result.ok = false;
            result.message = "the input is not well-formed UTF-8; the text is left unchanged";
        }
    } else if (command == "tags") {
        result.text = func_lanzo::CutOutTagsText(source);
    } else if (command == "untag") {
        result.text = func_lanzo::RemoveTagsText(source);
    } else if (command == "trim") {
        result.text = func_lanzo::TrimLinesText(source);
    } else if (command == "noempty") {
        result.text = func_lanzo::DeleteEmptyLinesText(source);
    } else if (command == "clean") {
        result.text = func_lanzo::CleanText(source);
    }
    source = std::string(); // the input is no longer needed; free it before the output copy
    const int status = WriteSourceText(result.text, result.ok ? 0 : 1);
    if (!result.ok) PrintError(result.message);
    return status;
}

int RunLinkPage(const Options &options)
{
    StringList items;
    if (!LoadList(options.file, items)) return 1;
    const std::string &path = options.outFile.value_or("");
    if (items.empty()) {
        // The window offers the command only for a non-empty list.
        PrintError("the list is empty; " + path + " was not written");
        return 0;
    }
    file_io::IoError error;
    if (!file_io::WriteFileAtomic(path, func_lanzo::MakeLinkPage(items), &error)) {
        PrintError(path + ": " + error.reason);
        return 1;
    }
    return 0;
}

int RunGet(const Options &options)
{
    http::Result result;
    {
        InterruptGuard guard;
        http::HttpClient client;
        result = client.Get(options.operand, [] { return !InterruptGuard::interrupted(); });
        if (InterruptGuard::interrupted()) return Stopped();
    }
    int status = 0;
    if (result.ok && !WriteOutput(result.body)) status = 1;
    std::string label(kStatusLabel);
    label += std::to_string(result.status);
    label += '\n';
    std::fwrite(label.data(), 1, label.size(), stderr);
    if (!result.ok) {
        if (!result.error.empty()) PrintError(options.operand + ": " + result.error);
        return 1;
    }
    return status;
}

} // namespace cli
