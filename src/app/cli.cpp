// The command line: the command table, option parsing, dispatch and the help text.
#include "app/cli.h"
#include "app/cli_commands.h"
#include "app/cli_io.h"
#include "encoding/message_quote.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string_view>

namespace cli
{
namespace
{

enum OptionBit : unsigned {
    kPrefix = 1u << 0,
    kMiddle = 1u << 1,
    kSuffix = 1u << 2,
    kTable = 1u << 3,
    kExpand = 1u << 4,
    kNoExpand = 1u << 5,
    kBase = 1u << 6,
    kBackward = 1u << 7,
    kLines = 1u << 8,
    kCrlf = 1u << 9,
    kOut = 1u << 10,
    kWeb = 1u << 11,
    kToSjis = 1u << 12,
    kFinalUrl = 1u << 13,
    kIdleTimeout = 1u << 14,
};

struct OptionInfo {
    std::string_view name;
    OptionBit bit;
    bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    { "-p", kPrefix, true },
    { "-m", kMiddle, true },
    { "-s", kSuffix, true },
    { "-t", kTable, true },
    { "--expand", kExpand, false },
    { "--no-expand", kNoExpand, false },
    { "--base", kBase, true },
    { "--backward", kBackward, false },
    { "--lines", kLines, false },
    { "--crlf", kCrlf, false },
    { "-o", kOut, true },
    { "--web", kWeb, false },
    { "--to-sjis", kToSjis, false },
    { "--final-url", kFinalUrl, true },
    { "--idle-timeout", kIdleTimeout, true },
};

enum class Kind { Extract, Links, List, Convert, Text, LinkPage, Get };

struct CommandInfo {
    std::string_view name;
    Kind kind;
    unsigned options;
    std::string_view operand; // "" when the command takes none before FILE
    bool takesFile;
    std::string_view usage;
};

constexpr CommandInfo kCommands[] = {
    { "extract", Kind::Extract, kPrefix | kMiddle | kSuffix | kTable | kExpand | kNoExpand | kCrlf, "", true,
        "extract [-p TEXT]... [-m TEXT]... [-s TEXT]... [-t NAME]... [--expand | --no-expand] [--crlf] [FILE]" },
    { "links", Kind::Links, kCrlf, "", true, "links [--crlf] [FILE]" },
    { "expand", Kind::List, kCrlf, "", true, "expand [--crlf] [FILE]" },
    { "correct", Kind::List, kBase | kCrlf, "", true, "correct --base URL [--crlf] [FILE]" },
    { "sort", Kind::List, kBackward | kCrlf, "", true, "sort [--backward] [--crlf] [FILE]" },
    { "dedup", Kind::List, kCrlf, "", true, "dedup [--crlf] [FILE]" },
    { "convert", Kind::Convert, 0, "NAME", true, "convert NAME [FILE]" },
    { "encode", Kind::Text, kLines, "", true, "encode [--lines] [FILE]" },
    { "decode", Kind::Text, kLines, "", true, "decode [--lines] [FILE]" },
    { "sjis2euc", Kind::Text, 0, "", true, "sjis2euc [FILE]" },
    { "euc2sjis", Kind::Text, 0, "", true, "euc2sjis [FILE]" },
    { "sjis2utf8", Kind::Text, 0, "", true, "sjis2utf8 [FILE]" },
    { "utf82sjis", Kind::Text, 0, "", true, "utf82sjis [FILE]" },
    { "tags", Kind::Text, 0, "", true, "tags [FILE]" },
    { "untag", Kind::Text, 0, "", true, "untag [FILE]" },
    { "trim", Kind::Text, 0, "", true, "trim [FILE]" },
    { "noempty", Kind::Text, 0, "", true, "noempty [FILE]" },
    { "clean", Kind::Text, 0, "", true, "clean [FILE]" },
    { "linkpage", Kind::LinkPage, kOut, "", true, "linkpage -o FILE [LIST]" },
    { "get", Kind::Get, kWeb | kToSjis | kFinalUrl | kIdleTimeout, "URL", false,
        "get [--web] [--to-sjis] [--final-url FILE] [--idle-timeout SECONDS] URL" },
};

const CommandInfo *FindCommand(std::string_view name)
{
    for (const auto &info : kCommands)
        if (info.name == name) return &info;
    return nullptr;
}

const OptionInfo *FindOption(std::string_view name)
{
    for (const auto &info : kOptions)
        if (info.name == name) return &info;
    return nullptr;
}

// A whole number of seconds, 0 to a day.
bool ParseSeconds(const std::string &text, long &seconds)
{
    if (text.empty() || text.size() > 5) return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > 86400) return false;
    seconds = value;
    return true;
}

int UsageError(const CommandInfo &command, const std::string &reason)
{
    cli_io::PrintError(reason);
    std::string line = "usage: lanzo ";
    line += command.usage;
    line += "\n(see lanzo --help)\n";
    std::fputs(line.c_str(), stderr);
    return 2;
}

// Parses args into options; returns -1 when the command should run, otherwise the exit status.
int Parse(const CommandInfo &command, const std::vector<std::string> &args, cli_commands::Options &options)
{
    options.command = std::string(command.name);
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::string line = "usage: lanzo ";
            line += command.usage;
            line += '\n';
            std::fputs(line.c_str(), stdout);
            return 0;
        }
        // "--name=value" and "-xVALUE" carry their value inside the argument.
        std::string_view name = arg;
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            if (const auto equals = arg.find('='); equals != std::string::npos) {
                name = std::string_view(arg).substr(0, equals);
                attached = arg.substr(equals + 1);
            }
        } else if (arg.size() > 2) {
            name = std::string_view(arg).substr(0, 2);
            attached = arg.substr(2);
        }
        const OptionInfo *option = FindOption(name);
        if (!option) return UsageError(command, "unknown option '" + message_quote::Quoted(arg) + "'");
        if (!(command.options & option->bit))
            return UsageError(
                command, "option '" + message_quote::Quoted(name) + "' does not apply to '" + options.command + "'");
        std::string value;
        if (option->takesValue) {
            if (attached)
                value = *attached;
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return UsageError(command, "option '" + message_quote::Quoted(name) + "' needs a value");
        } else if (attached) {
            return UsageError(command, "option '" + message_quote::Quoted(name) + "' takes no value");
        }
        switch (option->bit) {
        case kPrefix:
            options.prefixes.push_back(value);
            options.conditionsGiven = true;
            break;
        case kMiddle:
            options.middles.push_back(value);
            options.conditionsGiven = true;
            break;
        case kSuffix:
            options.suffixes.push_back(value);
            options.conditionsGiven = true;
            break;
        case kTable:
            options.tables.push_back(value);
            break;
        case kExpand:
            options.expand = true;
            break;
        case kNoExpand:
            options.expand = false;
            break;
        case kBase:
            options.base = value;
            break;
        case kBackward:
            options.backward = true;
            break;
        case kLines:
            options.lines = true;
            break;
        case kCrlf:
            options.crlf = true;
            break;
        case kOut:
            options.outFile = value;
            break;
        case kWeb:
            options.web = true;
            break;
        case kToSjis:
            options.toSjis = true;
            break;
        case kFinalUrl:
            options.finalUrlFile = value;
            break;
        case kIdleTimeout:
            if (!ParseSeconds(value, options.idleTimeoutSeconds))
                return UsageError(command, "--idle-timeout needs a number of seconds, not '" + value + "'");
            break;
        }
    }

    std::size_t next = 0;
    if (!command.operand.empty()) {
        if (operands.empty())
            return UsageError(command, "'" + options.command + "' needs " + std::string(command.operand));
        options.operand = operands[next++];
    }
    if (command.takesFile && next < operands.size()) options.file = operands[next++];
    if (next < operands.size())
        return UsageError(command, "unexpected argument '" + message_quote::Quoted(operands[next]) + "'");

    if (command.name == "correct" && !options.base) return UsageError(command, "'correct' needs --base URL");
    if (command.kind == Kind::LinkPage && (!options.outFile || options.outFile->empty()))
        return UsageError(command, "'linkpage' needs -o FILE");
    if (command.kind == Kind::Get && options.operand.empty()) return UsageError(command, "'get' needs a URL");
    if (options.finalUrlFile && options.finalUrlFile->empty()) return UsageError(command, "--final-url needs a file");
    return -1;
}

} // namespace

bool IsCommand(const std::string &name)
{
    return FindCommand(name) != nullptr;
}

int Run(const std::vector<std::string> &args, const app_paths::AppPaths &paths)
{
    const CommandInfo *command = args.empty() ? nullptr : FindCommand(args[0]);
    if (!command) {
        cli_io::PrintError("unknown command (see lanzo --help)");
        return 2;
    }
    cli_commands::Options options;
    if (const int status = Parse(*command, args, options); status >= 0) return status;

    // A closed pipe shows up as a write error (EPIPE), reported and turned into exit status 1.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        switch (command->kind) {
        case Kind::Extract:
            return cli_commands::RunExtract(options, paths);
        case Kind::Links:
            return cli_commands::RunLinks(options);
        case Kind::List:
            return cli_commands::RunListCommand(options);
        case Kind::Convert:
            return cli_commands::RunConvert(options, paths);
        case Kind::Text:
            return cli_commands::RunTextCommand(options);
        case Kind::LinkPage:
            return cli_commands::RunLinkPage(options);
        case Kind::Get:
            return cli_commands::RunGet(options);
        }
    } catch (const std::bad_alloc &) {
        cli_io::PrintError(std::strerror(ENOMEM));
    } catch (const std::exception &e) {
        cli_io::PrintError(e.what());
    }
    return 1;
}

std::string HelpText()
{
    return R"(usage: lanzo [--home DIR] [COMMAND [OPTIONS] [FILE]]

Without a command the workbench window opens. With a command Lanzo works without a
window: FILE (standard input when FILE is absent or "-") is read as raw bytes and the
result is written to standard output. A text command takes its input as the source text
(line breaks made CR LF, the text ends at the first NUL byte) and writes the new text; a
list command takes the lines of its input as the URL list and writes one item per line.

Global options:
  --home DIR        keep settings and tables in DIR/config and DIR/table
                    (also LANZO_HOME; default: beside the program when a "config"
                    folder stands there, otherwise $XDG_CONFIG_HOME/lanzo)
  --help            show this help
  --version         show the version

Text to list:
  extract [OPTIONS] [FILE]
                    the tokens that match the extraction conditions (全体から抽出).
                    Conditions, auto-run tables and automatic expansion come from the
                    stored settings (config/set2.ini) unless given here:
      -p TEXT         prefix condition (repeatable)
      -m TEXT         middle condition (repeatable)
      -s TEXT         suffix condition (repeatable)
                      any of -p, -m, -s replaces all stored conditions; TEXT is
                      matched as the bytes typed
      -t NAME         auto-run table (repeatable; replaces the stored list)
      --expand        expand [00-99] ranges of the extracted URLs
      --no-expand     do not expand, whatever the settings say
      --crlf          end output lines with CR LF instead of LF
  links [--crlf] [FILE]
                    the href and src values of the HTML tags (全体からリンクを抽出)

List to list:
  expand [--crlf] [FILE]
                    one line per number of a [00-99] range ([00-99]連番展開)
  correct --base URL [--crlf] [FILE]
                    make relative URLs absolute against URL (ＵＲＬ補正)
  sort [--backward] [--crlf] [FILE]
                    sort ignoring letter case; --backward: by the items' endings
                    (ソート（前方参照）/ソート（後方参照）)
  dedup [--crlf] [FILE]
                    sort, then remove exact duplicates (重複を削除)

Text to text:
  convert NAME [FILE]
                    apply the conversion table NAME (table/NAME.tbl) (全体を変換)
  encode [--lines] [FILE]
                    URL-encode the text; --lines: line by line (ＵＲＬエンコード)
  decode [--lines] [FILE]
                    URL-decode the text; --lines: line by line (ＵＲＬデコード)
  sjis2euc, euc2sjis, sjis2utf8, utf82sjis [FILE]
                    character-code conversion (SJIS→EUC, EUC→SJIS, SJIS→UTF8, UTF8→SJIS)
  tags [FILE]       the HTML tags, one per line (ＨＴＭＬタグ切り出し)
  untag [FILE]      the texts between the tags, one per line (ＨＴＭＬタグの除去)
  trim [FILE]       remove blanks at both ends of every line (前後の空白除去)
  noempty [FILE]    delete empty lines (空行削除)
  clean [FILE]      remove tags, blanks and empty lines (タグ＋空白＋空行除去)

Other:
  linkpage -o FILE [LIST]
                    write the list as an HTML link page to FILE (リンク集作成);
                    an empty list writes nothing
  get [OPTIONS] URL fetch URL over HTTP: the body as received on standard output,
                    "status：" and the code on standard error (ダウンロード)
      --web           the real web: https (certificates checked against the system's
                      store, or $SSL_CERT_FILE / $CURL_CA_BUNDLE), up to 10 redirects,
                      compressed bodies, the proxies of http_proxy, https_proxy and
                      no_proxy; "url：" and the final address follow the status line
      --to-sjis       convert the page to Shift_JIS from the code its Content-Type,
                      its <meta> or its byte-order mark names, else from a guess;
                      characters Shift_JIS lacks become &#xHEX; references
      --final-url FILE
                      write the address the page came from to FILE, one line
                      (for correct --base)
      --idle-timeout SECONDS
                      give up after this long without a byte (default 30; 0: never)

Every command also accepts --help. Ctrl+C stops a running job; a stopped job writes
nothing. When standard error is a terminal, a job that runs longer than about a second
draws a progress bar there.

Exit status:
  0  done
  1  failed: the reason is on standard error and the output holds what the window's
     buffer would hold after the failed command. This covers unreadable input, write
     errors, a malformed %XX escape (decode), input that is not UTF-8 (utf82sjis; the
     text is written unchanged), a base URL without a host (correct), an expansion
     past 10,000,000 lines (the list is written unexpanded), a table that does not
     exist (convert; the text is written unchanged), a failed request (get), Ctrl+C
  2  usage error
)";
}

} // namespace cli
