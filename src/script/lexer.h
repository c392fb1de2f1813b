// The script lexer: a hand-written reader over Shift-JIS (cp932) bytes.
//
// Reading goes through the lexer state that a script group keeps (cursor, line, a push-back stack
// of four bytes). CR, LF and CR LF each count as one line end, read as '\n'. A zero byte, or the
// end of the given bytes, ends the input: reading never passes either. ByteReader holds the
// reading primitives that the script lexer and the "iv.txt" reader share; ScriptLexer turns the
// bytes into the tokens of the grammar.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "lib/text_field.h"

namespace TextScript {

// Token numbers of the grammar. One-character tokens are the byte's own value.
enum Token : int {
    kTokenEnd = 0,
    kTokenWord = 258,
    kTokenText = 259,
    kTokenEol = 260,
    kTokenUnused = 261,  // numbered, never produced
    kTokenSel = 262,
    kTokenRms = 263,
    kTokenClm = 264,
    kTokenGrp = 265,
    kTokenChr = 266,
    kTokenChl = 267,
    kTokenLgr = 268,
    kTokenWav = 269,
    kTokenVoi = 270,
    kTokenJmp = 271,
    kTokenRjp = 272,
    kTokenPjp = 273,
    kTokenPst = 274,
    kTokenRsp = 275,
    kTokenRst = 276,
    kTokenRsx = 277,
    kTokenSfs = 278,
    kTokenDon = 279,
    kTokenDof = 280,
    kTokenTof = 281,
    kTokenIvg = 282,
    kTokenSsl = 283,
    kTokenEnd0 = 284,
    kTokenEnd1 = 285,
    kTokenEnd2 = 286,
    kTokenSed = 287,
    kTokenDgr = 288,
    kTokenLab = 289,
    kTokenSharpLine = 290,
    kTokenSlashLine = 291,
    kTokenAt = 292,
    kTokenFls = 293,
    kTokenS1a = 294,
    kTokenS1b = 295,
    kTokenS1m = 296,
    kTokenS2a = 297,
    kTokenS2b = 298,
    kTokenS2m = 299,
};

struct Keyword {
    std::string_view name;
    int token;
};
inline constexpr std::size_t kKeywordCount = 35;
// Searched in this order; the first match wins.
extern const std::array<Keyword, kKeywordCount> KeywordTable;

// Words read by ReadDigits or ReadName hold at most this many bytes; a longer one is an error.
inline constexpr std::size_t kMaxWordBytes = 1023;
// Comment-like lines (SHARPLINE, SLASHLINE) keep at most this many characters; the rest is cut.
inline constexpr std::size_t kMaxLineUnits = 1023;

// c is a byte or the end-of-input value.
inline constexpr bool IsLeadByte(int c) {
    return c >= 0 && c <= 0xFF && IsCp932LeadByte(static_cast<unsigned char>(c));
}
inline constexpr bool IsAsciiLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline constexpr bool IsAsciiDigit(int c) { return c >= '0' && c <= '9'; }
inline constexpr bool IsNameByte(int c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '@'; }

struct LexerState {
    static constexpr std::uint8_t kFreeSlot = 255;

    const std::uint8_t* source = nullptr;  // start of the text (not owned)
    const std::uint8_t* cursor = nullptr;  // next unread byte
    const std::uint8_t* end = nullptr;     // one past the last byte
    std::uint32_t line = 1;                // line of the next unread byte, from 1
    std::uint8_t pushback[4] = {kFreeSlot, kFreeSlot, kFreeSlot, kFreeSlot};
    std::int32_t pushback_count = 0;

    // Starts reading `bytes`. A text whose first byte is 0 carries a 128-byte header and is read
    // from byte 128; a shorter one holds nothing to read.
    void Start(std::string_view bytes);
};

class ByteReader {
public:
    explicit ByteReader(LexerState& state) : state_(state) {}

    // One byte, with CR LF and lone CR read as '\n'; 0 at the end of the input.
    int Read() {
        if (state_.pushback_count > 0) return Pop();
        if (state_.cursor == state_.end || *state_.cursor == 0) return 0;
        int c = *state_.cursor++;
        if (c == '\r') {
            if (state_.cursor != state_.end && *state_.cursor == '\n') ++state_.cursor;
            c = '\n';
        }
        if (c == '\n') ++state_.line;
        return c;
    }
    // Pushes a byte back; pushing back '\n' takes the line back too.
    void Unread(int c) {
        // Every caller pushes back at most two bytes before reading again; a fifth would be a
        // fault in the reader, never in the input.
        if (state_.pushback_count >= 4) RaisePushbackOverflow();
        state_.pushback[state_.pushback_count++] = static_cast<std::uint8_t>(c);
        if (c == '\n') --state_.line;
    }

    void SkipBlanks();       // spaces and tabs
    void SkipWhite();        // spaces, tabs and line ends
    void SkipLine();         // up to and including the next '\n'; a 0 met first stays unread
    int ReadWithComments();  // as Read, but "//" starts a comment that runs to the line end
    // Read ASCII digits (or name bytes: letters, digits, '_', '@') into `word`, replacing it; the
    // first other byte stays unread. A word longer than kMaxWordBytes raises ScriptError2.
    void ReadDigits(std::string& word);
    void ReadName(std::string& word);

    std::uint32_t line() const { return state_.line; }

private:
    int Pop();
    [[noreturn]] static void RaisePushbackOverflow();
    template <class Accept>
    void ReadWord(std::string& word, Accept accept);

    LexerState& state_;
};

// ASCII a-z to A-Z in place.
void UpperAscii(std::string& word);
// Widens ASCII bytes one to one.
void WidenAscii(std::string_view bytes, std::u16string& out);

class ScriptLexer {
public:
    explicit ScriptLexer(LexerState& state) : reader_(state) {}

    // The next token. WORD, TEXT, SHARPLINE and SLASHLINE set `value` to their text, which the
    // caller may take and which stays valid for the next seven tokens; every other token sets it
    // to null. An input that ends
    // inside a line gives one EOL before the end, so a missing final line end is no error.
    int NextToken(std::u16string*& value);

    std::uint32_t line() const { return reader_.line(); }

private:
    int ReadMessage(int first, std::u16string*& value);
    int ReadRestOfLine(int token, std::u16string*& value);
    int ReadKeyword();
    int ReadWordToken(int first, std::u16string*& value);
    std::u16string& NextSlot();

    ByteReader reader_;
    std::string bytes_;  // bytes of the token being read
    std::array<std::u16string, 8> slots_;
    std::size_t next_slot_ = 0;
    bool at_line_start_ = true;
};

}  // namespace TextScript
