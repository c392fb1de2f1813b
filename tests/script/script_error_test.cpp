// The texts of the script error codes, as the runtime report shows them.
#include "script/script_error.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ScriptErrorText, EachCodeHasItsTextAndAnyOtherCodeTheUnknownOne) {
    const std::u16string texts[] = {
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
    ASSERT_EQ(std::size(texts), TextScript::kScriptErrorCount);
    for (std::uint32_t code = 0; code < std::size(texts); ++code)
        EXPECT_EQ(std::u16string(TextScript::ScriptErrorText(code)), texts[code]) << code;
    for (const std::uint32_t code : {16u, 0xFFFFFFFFu})
        EXPECT_EQ(std::u16string(TextScript::ScriptErrorText(code)), u"????: 不明なエラー番号です") << code;
}

}  // namespace
