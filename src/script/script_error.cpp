#include "script/script_error.h"

#include "lib/report.h"

namespace TextScript {

namespace {

constexpr std::u16string_view kScriptErrorTable[kScriptErrorCount] = {
    u"0000: None",
    u"0001: 不明なコマンドです",
    u"0002: 文字列の書き方に間違いがあります",
    u"0003: ラベルはすでに定義されています",
    u"0004: ラベルが定義されていません",
    u"0005: 使われている変数は存在しません",
    u"0006: パラメータの指定に間違いがあります",
    u"0007: 対応する IF コマンドがありません",
    u"0008: 対応する WHILE / SWITCH コマンドがありません",
    u"0009: 計算式に間違いがあります",
    u"0010: 音楽番号が範囲を超えています",
    u"0011: CG番号が範囲を超えています",
    u"0012: CGデータがロードされていません",
    u"0013: スプライトが作成されていません",
    u"0014: メニューが見つかりません",
    u"0015: 文字列以外で全角文字が使われています",
};

[[noreturn]] void RaiseReport(std::u16string_view kind, std::u16string_view file_name, std::uint32_t line,
                              std::u16string_view text) {
    DebugPrintf(u"%s(%d): %s: %s\n", file_name, line, kind, text);
    ThrowError(file_name, line, 0, 0, u"%s", text);
}

}  // namespace

std::u16string_view ScriptErrorText(std::uint32_t code) {
    if (code < kScriptErrorCount) return kScriptErrorTable[code];
    return u"????: 不明なエラー番号です";
}

void RaiseCompileReport(std::u16string_view file_name, std::uint32_t line, std::u16string_view text) {
    RaiseReport(u"Compile Error", file_name, line, text);
}

void RaiseRuntimeReport(std::u16string_view file_name, std::uint32_t line, std::u16string_view text) {
    RaiseReport(u"Runtime Error", file_name, line, text);
}

}  // namespace TextScript
