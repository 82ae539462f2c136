#include "app/cli_messages.h"
#include "encoding/error_text_ja.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace
{

error::Error Made(error::Kind kind, void (*fill)(error::Error &))
{
    error::Error e = error::Error::Of(kind);
    fill(e);
    return e;
}

// Each face words an error its own way; the texts are the ones users and scripts already know.
TEST(ErrorText, EachFaceWordsEveryKind)
{
    using error::Kind;
    const struct {
        error::Error error;
        const char *window;
        const char *commandLine;
    } rows[] = {
        { error::Error::File(Kind::System, "a\x1b.txt", EACCES), "a\\x1B.txt：Permission denied",
            "a\\x1B.txt: Permission denied" },
        { Made(Kind::BaseWithoutHost, [](error::Error &e) { e.found = "http://"; }),
            "基準URLにホスト名がありません: http://", "基準URLにホスト名がありません: http://" },
        { Made(Kind::TooManyLines,
              [](error::Error &e) {
                  e.count = 101;
                  e.limit = 50;
              }),
            "連番展開の結果が多すぎます（101 行、上限 50 行）。展開を中止しました。",
            "連番展開の結果が多すぎます（101 行、上限 50 行）。展開を中止しました。" },
        { Made(Kind::SettingsTooLarge,
              [](error::Error &e) {
                  e.path = "c/set2.ini";
                  e.limit = 16u << 20;
                  e.movedTo = "c/set2.ini.bad";
              }),
            "設定ファイル c/set2.ini は大きすぎる (上限 16 MB)ため読み込みませんでした。既定の設定で始めます。\n"
            "ファイルは c/set2.ini.bad に移しました。",
            nullptr },
        { Made(Kind::SettingsTooManyValues,
              [](error::Error &e) {
                  e.path = "set.ini";
                  e.limit = 9;
                  e.code = EACCES;
              }),
            "設定ファイル set.ini は値が多すぎる (上限 9)ため読み込みませんでした。既定の設定で始めます。\n"
            "ファイルを移せません: Permission denied",
            nullptr },
        { Made(Kind::HttpStatus, [](error::Error &e) { e.count = 404; }), "HTTP status 404", "HTTP status 404" },
        { error::Error::Of(Kind::NotUtf8), nullptr,
            "the input is not well-formed UTF-8 (or encodes a NUL byte); the text is left unchanged" },
        { error::Error::Of(Kind::Stopped), "cancelled", "stopped" },
    };
    for (const auto &row : rows) {
        if (row.window) {
            EXPECT_EQ(error_text_ja::Text(row.error), row.window);
        }
        EXPECT_EQ(cli_messages::Text(row.error), row.commandLine ? row.commandLine : error_text_ja::Text(row.error));
    }
    EXPECT_EQ(
        cli_messages::TableFailed("t\x1b", error::Error::File(Kind::NotFound, "x", ENOENT)), "table t\\x1B not found");
}

} // namespace
