#include "script/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script_test_util.h"

using namespace TextScript;
using scripttest::Cp932;

namespace {

struct Lexed {
    int token;
    std::string text;    // UTF-8 of the value, "" when none
    std::uint32_t line;  // lexer line after the token
};

std::vector<Lexed> LexAll(std::string_view bytes) {
    LexerState state;
    state.Start(bytes);
    ScriptLexer lexer(state);
    std::vector<Lexed> tokens;
    for (;;) {
        std::u16string* value = nullptr;
        const int token = lexer.NextToken(value);
        tokens.push_back({token, value ? Utf16ToUtf8(*value) : "", lexer.line()});
        if (token == kTokenEnd || tokens.size() > 1000) return tokens;
    }
}

// The tokens as text: keywords as ".NAME", words as themselves, messages in <>, comment lines
// as "//text" and "#text", line ends as ";", the end as "$".
std::string Render(std::string_view bytes) {
    std::string out;
    for (const Lexed& lexed : LexAll(bytes)) {
        std::string text = lexed.token < 256 ? std::string(1, static_cast<char>(lexed.token)) : lexed.text;
        for (const Keyword& keyword : KeywordTable)
            if (keyword.token == lexed.token) text = "." + std::string(keyword.name);
        if (lexed.token == kTokenText) text = "<" + text + ">";
        if (lexed.token == kTokenSlashLine) text = "//" + text;
        if (lexed.token == kTokenSharpLine) text = "#" + text;
        if (lexed.token == kTokenEol) text = ";";
        if (lexed.token == kTokenEnd) text = "$";
        out += (out.empty() ? "" : " ") + text;
    }
    return out;
}

TEST(ScriptLexer, TokenSequences) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string(128, '\0') + ".GRP A\n", ".GRP A ; $"},  // a first byte 0 skips a 128-byte header
        {std::string("\0.GRP", 5), "$"},                      // too short for one: no read past its end
        {"", "$"},
        {"   ", "$"},                        // blanks alone begin no line
        {".GRP A", ".GRP A ; $"},            // an input ending inside a line gives one line end
        {".GRP A // note\n", ".GRP A ; $"},  // a comment leaves the line end
        {"// only a comment\n", "; $"},
        {"/// three\n", "; $"},
        {"/ x\n", "/ X ; $"},
        {std::string(".GRP AB\0CD", 10), ".GRP AB ; $"},                        // reading stops at a zero byte
        {".pjp Apple < 12ab Label_1@x\n", ".PJP APPLE < 12 AB LABEL_1@X ; $"},  // digits end at the first letter
        {"//// four //\n", "// four // ; $"},
        {"////" + std::string(5000, 'x') + "\n.GRP A\n", "//" + std::string(kMaxLineUnits, 'x') + " ; .GRP A ; $"},
        {Cp932("＃ WORD\n"), "# WORD ; $"},
        {Cp932("＄１\n"), "<＄１> ; $"},  // 0x81 followed by anything but the number sign starts a message
        {Cp932("「一」\r\n二\n .GRP A\n"), "<「一」\n二> ; .GRP A ; $"},  // full-width lines join
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(Render(text), tokens) << text;
    // The line end after a message is pushed back: the message ends on line 2, its line end on 3.
    auto lexed = LexAll(Cp932("「一」\r\n二\n .GRP A\n"));
    EXPECT_EQ(lexed[0].line, 2u);
    EXPECT_EQ(lexed[1].line, 3u);
}

}  // namespace
