#include "encoding/error_text_ja.h"

#include "encoding/message_quote.h"

namespace error_text_ja
{
namespace
{

using error::Kind;

std::string SetAsideText(const error::Error &error)
{
    const std::string why = error.kind == Kind::SettingsTooLarge
        ? "大きすぎる (上限 " + std::to_string(error.limit >> 20) + " MB)"
        : "値が多すぎる (上限 " + std::to_string(error.limit) + ")";
    std::string text = "設定ファイル " + message_quote::Quoted(error.path) + " は" + why
        + "ため読み込みませんでした。既定の設定で始めます。";
    if (!error.movedTo.empty())
        text += "\nファイルは " + message_quote::Quoted(error.movedTo) + " に移しました。";
    else
        text += "\nファイルを移せません: " + error.reason();
    return text;
}

} // namespace

std::string Text(const error::Error &error)
{
    switch (error.kind) {
    case Kind::NotFound:
    case Kind::System:
    case Kind::TooLarge:
        return message_quote::Quoted(error.path) + "：" + error.reason();
    case Kind::SettingsTooLarge:
    case Kind::SettingsTooManyValues:
        return SetAsideText(error);
    case Kind::BadEscape:
        return "URL 表記エンコードでは許されない文字 (" + message_quote::Quoted(error.found) + ")：位置 - "
            + std::to_string(error.position);
    case Kind::TruncatedEscape:
        return "URL 表記用エンコード（%XX）文字列のエラー：位置 - " + std::to_string(error.position);
    case Kind::BaseWithoutHost:
        return "基準URLにホスト名がありません: " + message_quote::Quoted(error.found);
    case Kind::TooManyLines:
        return "連番展開の結果が多すぎます（" + std::to_string(error.count) + " 行、上限 " + std::to_string(error.limit)
            + " 行）。展開を中止しました。";
    case Kind::NotUtf8:
        return "UTF-8 として正しくない文字があります。";
    // A download's failure is shown in the status line's tool tip as the transfer library and
    // the server would put it.
    case Kind::HttpSetup:
        return "the HTTP library could not be initialised";
    case Kind::HttpBusy:
        return "another request of this window is still running";
    case Kind::MalformedUrl:
        return "malformed URL";
    case Kind::ResponseTooLarge:
        return "the response is larger than " + std::to_string(error.limit) + " bytes";
    case Kind::IdleTimeout:
        return "no data for " + std::to_string(error.limit) + " seconds";
    case Kind::OutOfMemory:
        return "out of memory";
    case Kind::ConflictingLength:
        return "the response has conflicting Content-Length headers";
    case Kind::TransferFailed:
        return error.found;
    case Kind::HttpStatus:
        return "HTTP status " + std::to_string(error.count);
    case Kind::RedirectNotFollowed:
        return "redirect not followed";
    case Kind::Stopped:
        return "cancelled";
    }
    return {};
}

std::string ReadFailed(const error::Error &error)
{
    return "ファイルを読み込めません。\n" + Text(error);
}

std::string WriteFailed(const error::Error &error)
{
    return "ファイルに書き込めません。\n" + Text(error);
}

std::string ExitWriteFailed(const std::vector<error::Error> &failures)
{
    std::string text = "終了時に次のファイルを保存できませんでした。\n";
    for (const error::Error &error : failures)
        text += "\n" + Text(error);
    return text + "\n\nこのまま終了しますか？\n（「いいえ」でウィンドウを開いたままにします）";
}

} // namespace error_text_ja
