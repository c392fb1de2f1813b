#include "script/lexer.h"

#include "lib/error.h"
#include "script/script_error.h"

namespace TextScript {

const std::array<Keyword, kKeywordCount> KeywordTable = {{
    {"GRP", kTokenGrp},   {"CHR", kTokenChr},   {"CHL", kTokenChl}, {"LAB", kTokenLab}, {"WAV", kTokenWav},
    {"PST", kTokenPst},   {"SEL", kTokenSel},   {"RMS", kTokenRms}, {"CLM", kTokenClm}, {"LGR", kTokenLgr},
    {"VOI", kTokenVoi},   {"FLS", kTokenFls},   {"JMP", kTokenJmp}, {"RJP", kTokenRjp}, {"PJP", kTokenPjp},
    {"RSP", kTokenRsp},   {"RST", kTokenRst},   {"RSX", kTokenRsx}, {"SFS", kTokenSfs}, {"DON", kTokenDon},
    {"DOF", kTokenDof},   {"TOF", kTokenTof},   {"IVG", kTokenIvg}, {"SSL", kTokenSsl}, {"END", kTokenEnd0},
    {"END1", kTokenEnd1}, {"END2", kTokenEnd2}, {"SED", kTokenSed}, {"DGR", kTokenDgr}, {"S1A", kTokenS1a},
    {"S1B", kTokenS1b},   {"S1M", kTokenS1m},   {"S2A", kTokenS2a}, {"S2B", kTokenS2b}, {"S2M", kTokenS2m},
}};

void LexerState::Start(std::string_view bytes) {
    source = reinterpret_cast<const std::uint8_t*>(bytes.data());
    end = source + bytes.size();
    cursor = source;
    if (!bytes.empty() && bytes[0] == 0) cursor = bytes.size() >= 128 ? source + 128 : end;
    line = 1;
    for (auto& slot : pushback) slot = kFreeSlot;
    pushback_count = 0;
}

int ByteReader::Pop() {
    int c = state_.pushback[--state_.pushback_count];
    state_.pushback[state_.pushback_count] = LexerState::kFreeSlot;
    if (c == '\n') ++state_.line;
    return c;
}

void ByteReader::RaisePushbackOverflow() { ThrowError(u"lexer.cpp", __LINE__, 0, 0, u"lexer push-back overflow"); }

void ByteReader::SkipBlanks() {
    int c;
    do c = Read();
    while (c == ' ' || c == '\t');
    Unread(c);
}

void ByteReader::SkipWhite() {
    int c;
    do c = Read();
    while (c == ' ' || c == '\t' || c == '\n');
    Unread(c);
}

void ByteReader::SkipLine() {
    for (;;) {
        int c = Read();
        if (c == '\n') return;
        if (c == 0) {
            Unread(c);
            return;
        }
    }
}

int ByteReader::ReadWithComments() {
    int c = Read();
    if (c != '/') return c;
    int d = Read();
    if (d != '/') {
        Unread(d);
        return c;
    }
    do d = Read();
    while (d != '\n' && d != 0);
    return d;
}

template <class Accept>
void ByteReader::ReadWord(std::string& word, Accept accept) {
    word.clear();
    for (;;) {
        int c = Read();
        if (!accept(c)) {
            Unread(c);
            return;
        }
        if (word.size() == kMaxWordBytes) throw ScriptError2(line(), u"名前または数値が長すぎます。");
        word.push_back(static_cast<char>(c));
    }
}

void ByteReader::ReadDigits(std::string& word) { ReadWord(word, IsAsciiDigit); }
void ByteReader::ReadName(std::string& word) { ReadWord(word, IsNameByte); }

void UpperAscii(std::string& word) {
    for (char& c : word)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void WidenAscii(std::string_view bytes, std::u16string& out) {
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
}

std::u16string& ScriptLexer::NextSlot() {
    std::u16string& slot = slots_[next_slot_];
    next_slot_ = (next_slot_ + 1) % slots_.size();
    return slot;
}

int ScriptLexer::NextToken(std::u16string*& value) {
    value = nullptr;
    for (;;) {
        reader_.SkipBlanks();
        int c = reader_.Read();
        if (c == '.') {
            int d = reader_.Read();
            if (IsAsciiLetter(d) || d == '_') {
                reader_.Unread(d);
                at_line_start_ = false;
                return ReadKeyword();
            }
            // The dot is dropped; what follows it can only be a number or a character token.
            at_line_start_ = false;
            if (IsAsciiDigit(d)) return ReadWordToken(d, value);
            return d;
        } else if (c == '/') {
            int d = reader_.Read();
            if (d != '/') {
                reader_.Unread(d);
                at_line_start_ = false;
                return '/';
            }
            // Four slashes begin a SLASHLINE; two or three a comment, which runs to the line end
            // and leaves the line end to be read.
            d = reader_.Read();
            if (d == '/') {
                d = reader_.Read();
                if (d == '/') return ReadRestOfLine(kTokenSlashLine, value);
            }
            while (d != '\n' && d != 0) d = reader_.Read();
            reader_.Unread(d);
            continue;
        } else if (c == 0x81) {
            int d = reader_.Read();
            if (d == 0x94) return ReadRestOfLine(kTokenSharpLine, value);
            reader_.Unread(d);
        }

        if (c == 0) {
            if (at_line_start_) return kTokenEnd;
            at_line_start_ = true;
            return kTokenEol;
        }
        if (c == '\n') {
            at_line_start_ = true;
            return kTokenEol;
        }
        at_line_start_ = false;
        if (IsLeadByte(c)) return ReadMessage(c, value);
        if (c == '@') return kTokenAt;
        if (IsAsciiDigit(c) || IsAsciiLetter(c)) return ReadWordToken(c, value);
        return c;
    }
}

int ScriptLexer::ReadWordToken(int first, std::u16string*& value) {
    reader_.Unread(first);
    if (IsAsciiDigit(first)) {
        reader_.ReadDigits(bytes_);
    } else {
        reader_.ReadName(bytes_);
        UpperAscii(bytes_);
    }
    std::u16string& slot = NextSlot();
    WidenAscii(bytes_, slot);
    value = &slot;
    return kTokenWord;
}

int ScriptLexer::ReadKeyword() {
    reader_.ReadName(bytes_);
    UpperAscii(bytes_);
    for (const Keyword& keyword : KeywordTable)
        if (keyword.name == bytes_) return keyword.token;
    throw ScriptError2(reader_.line(), u"コマンド名が違います。");
}

int ScriptLexer::ReadMessage(int first, std::u16string*& value) {
    bytes_.clear();
    bytes_.push_back(static_cast<char>(first));
    for (;;) {
        int c = reader_.Read();
        while (c != '\n' && c != 0) {
            bytes_.push_back(static_cast<char>(c));
            c = reader_.Read();
        }
        if (c == 0) break;
        // A following line that also begins with a full-width character continues the message.
        int next = reader_.Read();
        if (!IsLeadByte(next)) {
            reader_.Unread(next);
            reader_.Unread('\n');
            break;
        }
        bytes_.push_back('\n');
        bytes_.push_back(static_cast<char>(next));
    }
    std::u16string& slot = NextSlot();
    slot = Cp932ToUtf16(bytes_);
    value = &slot;
    return kTokenText;
}

int ScriptLexer::ReadRestOfLine(int token, std::u16string*& value) {
    at_line_start_ = false;
    bytes_.clear();
    int c = reader_.Read();
    while (c != '\n' && c != 0) {
        // Two bytes a character at most: enough to fill the kept characters.
        if (bytes_.size() < 2 * kMaxLineUnits) bytes_.push_back(static_cast<char>(c));
        c = reader_.Read();
    }
    reader_.Unread(c);
    std::u16string& slot = NextSlot();
    slot = Cp932ToUtf16(bytes_);
    if (slot.size() > kMaxLineUnits) slot.resize(kMaxLineUnits);
    value = &slot;
    return token;
}

}  // namespace TextScript
