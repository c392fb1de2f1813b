#include "script/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/script_error.h"
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

std::vector<int> Tokens(std::string_view bytes) {
    std::vector<int> tokens;
    for (const Lexed& lexed : LexAll(bytes)) tokens.push_back(lexed.token);
    return tokens;
}

TEST(ByteReader, CrLfAndLoneCrEachEndOneLine) {
    for (std::string_view text : {"A\r\nB", "A\nB", "A\rB"}) {
        LexerState state;
        state.Start(text);
        ByteReader reader(state);
        EXPECT_EQ(reader.Read(), 'A');
        EXPECT_EQ(reader.Read(), '\n');
        EXPECT_EQ(reader.line(), 2u) << text;
        EXPECT_EQ(reader.Read(), 'B');
        EXPECT_EQ(reader.Read(), 0);
        EXPECT_EQ(reader.Read(), 0) << "the end is sticky";
    }
}

TEST(ByteReader, PushedBackLineEndTakesTheLineBack) {
    LexerState state;
    state.Start("\nX");
    ByteReader reader(state);
    EXPECT_EQ(reader.Read(), '\n');
    EXPECT_EQ(state.line, 2u);
    reader.Unread('\n');
    EXPECT_EQ(state.line, 1u);
    EXPECT_EQ(state.pushback_count, 1);
    EXPECT_EQ(reader.Read(), '\n');
    EXPECT_EQ(state.line, 2u);
    EXPECT_EQ(state.pushback[0], LexerState::kFreeSlot) << "a popped slot is reset";
}

TEST(ByteReader, ReadingStopsAtAZeroByteInsideTheText) {
    const std::string text("AB\0CD", 5);
    LexerState state;
    state.Start(text);
    ByteReader reader(state);
    std::string word;
    reader.ReadName(word);
    EXPECT_EQ(word, "AB");
    EXPECT_EQ(reader.Read(), 0);
    EXPECT_EQ(reader.Read(), 0);
}

TEST(ByteReader, WordsAreBoundedAndALongerOneIsAnError) {
    const std::string fits = std::string(kMaxWordBytes, 'A') + " ";
    LexerState state;
    state.Start(fits);
    ByteReader reader(state);
    std::string word;
    reader.ReadName(word);
    EXPECT_EQ(word.size(), kMaxWordBytes);

    const std::string too_long = "\n\n" + std::string(2000, '7');
    state.Start(too_long);
    reader.SkipWhite();
    try {
        reader.ReadDigits(word);
        FAIL() << "a 2000-byte word must be refused";
    } catch (const ScriptError2& error) {
        EXPECT_EQ(error.line, 3u);
        EXPECT_EQ(std::u16string(error.text), u"名前または数値が長すぎます。");
    }
}

TEST(ByteReader, CommentsRunToTheLineEnd) {
    LexerState state;
    state.Start("a/b//c\nd");
    ByteReader reader(state);
    std::string read;
    for (int c = reader.ReadWithComments(); c != 0; c = reader.ReadWithComments()) read.push_back(static_cast<char>(c));
    EXPECT_EQ(read, "a/b\nd");
}

TEST(ScriptLexer, TokenSequences) {
    const std::vector<int> grp_line{kTokenGrp, kTokenWord, kTokenEol, kTokenEnd};
    const std::pair<std::string, std::vector<int>> cases[] = {
        {std::string(128, '\0') + ".GRP A\n", grp_line},  // a first byte 0 skips a 128-byte header
        {std::string("\0.GRP", 5), {kTokenEnd}},          // too short for one: no read past its end
        {"", {kTokenEnd}},
        {".GRP A // note\n", grp_line},  // a comment leaves the line end
        {"// only a comment\n", {kTokenEol, kTokenEnd}},
        {"/// three\n", {kTokenEol, kTokenEnd}},
        {"/ x\n", {'/', kTokenWord, kTokenEol, kTokenEnd}},
        {".GRP A", grp_line},  // an input ending inside a line gives one line end
        {Cp932("「文」"), {kTokenText, kTokenEol, kTokenEnd}},
        {".GRP A\n", grp_line},
        {"   ", {kTokenEnd}},  // blanks alone begin no line
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(Tokens(text), tokens) << text;
}

TEST(ScriptLexer, CommandLinesGiveKeywordsWordsAndCharacters) {
    auto tokens = LexAll(".pjp Apple < 12ab Label_1@x\n");
    ASSERT_EQ(tokens.size(), 8u);
    EXPECT_EQ(tokens[0].token, kTokenPjp);
    EXPECT_EQ(tokens[1].token, kTokenWord);
    EXPECT_EQ(tokens[1].text, "APPLE");
    EXPECT_EQ(tokens[2].token, '<');
    EXPECT_EQ(tokens[3].text, "12") << "digits end at the first letter";
    EXPECT_EQ(tokens[4].text, "AB");
    EXPECT_EQ(tokens[5].text, "LABEL_1@X");
    EXPECT_EQ(tokens[6].token, kTokenEol);
    EXPECT_EQ(tokens[7].token, kTokenEnd);
}

TEST(ScriptLexer, EveryKeywordInAnyCaseGivesItsToken) {
    for (const Keyword& keyword : KeywordTable) {
        std::string lower(keyword.name);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(Tokens("." + std::string(keyword.name))[0], keyword.token) << keyword.name;
        EXPECT_EQ(Tokens("." + lower)[0], keyword.token) << lower;
    }
    // END, END1 and END2 are told apart by the whole name.
    EXPECT_EQ(Tokens(".END1")[0], kTokenEnd1);
    EXPECT_EQ(Tokens(".end2")[0], kTokenEnd2);
}

TEST(ScriptLexer, UnknownKeywordRaisesWithItsLine) {
    try {
        LexAll(".GRP A\n\n.GRPX B\n");
        FAIL();
    } catch (const ScriptError2& error) {
        EXPECT_EQ(error.line, 3u);
        EXPECT_EQ(std::u16string(error.text), u"コマンド名が違います。");
    }
}

TEST(ScriptLexer, FourSlashesMakeACommentLineToken) {
    auto slash_line = LexAll("//// four //\n");
    ASSERT_EQ(slash_line.size(), 3u);
    EXPECT_EQ(slash_line[0].token, kTokenSlashLine);
    EXPECT_EQ(slash_line[0].text, " four //");
    EXPECT_EQ(slash_line[1].token, kTokenEol);
}

TEST(ScriptLexer, FullWidthNumberSignLineIsASharpLine) {
    auto tokens = LexAll(Cp932("＃ WORD\n"));
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].token, kTokenSharpLine);
    EXPECT_EQ(tokens[0].text, " WORD");
    EXPECT_EQ(tokens[1].token, kTokenEol);

    // 0x81 followed by anything else starts a message.
    auto message = LexAll(Cp932("＄１\n"));
    EXPECT_EQ(message[0].token, kTokenText);
    EXPECT_EQ(message[0].text, "＄１");
}

TEST(ScriptLexer, CommentLinesAreBoundedAndCut) {
    auto tokens = LexAll("////" + std::string(5000, 'x') + "\n.GRP A\n");
    ASSERT_GE(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].token, kTokenSlashLine);
    EXPECT_EQ(tokens[0].text.size(), kMaxLineUnits);
    EXPECT_EQ(tokens[1].token, kTokenEol);
    EXPECT_EQ(tokens[2].token, kTokenGrp) << "the rest of the long line is passed over";
}

TEST(ScriptLexer, ConsecutiveFullWidthLinesJoinIntoOneMessage) {
    auto tokens = LexAll(Cp932("「一」\r\n二\n .GRP A\n"));
    ASSERT_GE(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].token, kTokenText);
    EXPECT_EQ(tokens[0].text, "「一」\n二");
    EXPECT_EQ(tokens[0].line, 2u) << "the line end after the text is pushed back";
    EXPECT_EQ(tokens[1].token, kTokenEol);
    EXPECT_EQ(tokens[1].line, 3u);
    EXPECT_EQ(tokens[2].token, kTokenGrp);
}

}  // namespace
