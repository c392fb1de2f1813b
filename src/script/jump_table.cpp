#include "script/jump_table.h"

#include <memory>

#include "script/script_node.h"
#include "script/variables.h"

namespace TextScript {

namespace {

std::u16string Widened(std::string_view bytes) {
    std::u16string text;
    WidenAscii(bytes, text);
    return text;
}

[[noreturn]] void RaiseFormatError(std::uint32_t line) { throw ScriptError2(line, u"書式が違います"); }
[[noreturn]] void RaiseFormatError(const ByteReader& reader) { RaiseFormatError(reader.line()); }

int Peek(ByteReader& reader) {
    int c = reader.Read();
    reader.Unread(c);
    return c;
}

// Passes over blanks, line ends and "//" comment lines.
void SkipWhiteAndComments(ByteReader& reader) {
    for (;;) {
        reader.SkipWhite();
        int c = reader.Read();
        if (c == '/') {
            int d = reader.Read();
            if (d == '/') {
                reader.SkipLine();
                continue;
            }
            reader.Unread(d);
        }
        reader.Unread(c);
        return;
    }
}

// Reads to the end of the line (a "//" comment included), leaving the next line to be read.
void SkipRestOfLine(ByteReader& reader) {
    int c;
    do c = reader.ReadWithComments();
    while (c != '\n' && c != 0);
    if (c == 0) reader.Unread(c);
}

void ReadUpperName(ByteReader& reader, std::string& word) {
    reader.ReadName(word);
    UpperAscii(word);
}

std::uint8_t StoredOperator(int first, int second) {
    if (first == '=') return JudgeEntry::kEqual;
    if (first == '<' && second == '<') return JudgeEntry::kLess;
    if (first == '>' && second == '>') return JudgeEntry::kGreater;
    if (first == '<' && second == '=') return JudgeEntry::kLessEqual;
    if (first == '>' && second == '=') return JudgeEntry::kGreaterEqual;
    if (first == '<' && second == '>') return JudgeEntry::kNotEqual;
    return 0;
}

void ReadJumpPart(ByteReader& reader, IVJUMPTABLEGROUP& jumps) {
    std::string word;
    for (std::int32_t i = 0; i < kJumpEntryCount; ++i) {
        if (Peek(reader) == 0)
            throw ScriptError2(reader.line(), u"ジャンプテーブルが%d行しかありません（%d行必要です）", i,
                               kJumpEntryCount);
        auto node = std::make_unique<IVJUMPTABLENODE>();
        reader.SkipBlanks();
        ReadUpperName(reader, word);
        node->label = Widened(word);
        reader.SkipBlanks();
        for (int c = reader.ReadWithComments(); c != '\n' && c != 0; c = reader.ReadWithComments())
            node->rest.push_back(static_cast<char16_t>(c));
        jumps.InsertChain(nullptr, node.release());
    }
}

void ReadJudgeEntry(ByteReader& reader, JudgeEntry& entry) {
    // Faults name the entry's line, even when the line end that shows them was already read.
    const std::uint32_t line = reader.line();
    std::string word;
    ReadUpperName(reader, word);
    entry.a = Widened(word);
    reader.SkipBlanks();
    const int first = reader.Read();
    if (first == '\n' || first == 0) RaiseFormatError(line);
    const int second = reader.Read();
    if (second == '\n' || second == 0) RaiseFormatError(line);
    entry.op = StoredOperator(first, second);
    reader.SkipBlanks();
    ReadUpperName(reader, word);
    if (word.empty()) RaiseFormatError(line);
    entry.b = Widened(word);
    SkipRestOfLine(reader);
}

void ReadJudgePart(ByteReader& reader, IVJUDGETABLEGROUP& judges) {
    std::string word;
    for (;;) {
        SkipWhiteAndComments(reader);
        const int c = reader.Read();
        if (c == 0) return;
        if (c != '#') RaiseFormatError(reader);
        auto table = std::make_unique<IVJUDGETABLENODE>();
        reader.ReadDigits(word);
        if (word.empty()) RaiseFormatError(reader);
        table->number = ParseDecimal(Widened(word));
        SkipRestOfLine(reader);

        SkipWhiteAndComments(reader);
        if (!IsNameByte(Peek(reader))) RaiseFormatError(reader);
        ReadUpperName(reader, word);
        table->label = Widened(word);
        SkipRestOfLine(reader);

        for (;;) {
            SkipWhiteAndComments(reader);
            const int next = Peek(reader);
            if (next == 0 || next == '#') break;
            if (!IsNameByte(next)) RaiseFormatError(reader);
            if (table->count == kMaxJudgeEntries)
                throw ScriptError2(reader.line(), u"判定テーブルの条件は%d個までです", kMaxJudgeEntries);
            ReadJudgeEntry(reader, table->entries[table->count]);
            ++table->count;
        }
        judges.InsertChain(nullptr, table.release());
    }
}

ScriptStateNode* LabelTarget(const ScriptStateGroup& group, std::u16string_view label) {
    ScriptStateNode* node = FindLabelNode(group, label);
    if (!node) throw ScriptError2(0, u"ラベルが見つかりません。[%s]", label);
    // FindLabelNode gives the page node just before the label node.
    group.Jumped(node->next()->Arg(0));
    return node;
}

}  // namespace

bool JudgeEntry::Holds(std::int32_t left, std::int32_t right) const {
    switch (op) {
        case kEqual: return left == right;
        case kLess: return left < right;
        case kGreater: return left > right;
        case kLessEqual: return left <= right;
        case kGreaterEqual: return left >= right;
        case kNotEqual: return left != right;
        default: return false;
    }
}

int ParseJumpTable(ScriptStateGroup& group, std::string_view bytes, std::u16string_view file_name) {
    group.judge_tables_.Clear();
    group.jump_tables_.Clear();
    group.lexer_.Start(bytes);
    ByteReader reader(group.lexer_);
    try {
        ReadJumpPart(reader, group.jump_tables_);
        ReadJudgePart(reader, group.judge_tables_);
    } catch (const ScriptError2& error) {
        group.RememberError(error);
        RaiseCompileReport(file_name, error.line, error.text);
    }
    return 0;
}

ScriptStateNode* JumpThroughTables(const ScriptStateGroup& group, std::int32_t n) {
    for (const IVJUDGETABLENODE* table = group.judge_tables().head(); table; table = table->next()) {
        if (std::int64_t{table->number} != n) continue;
        bool holds = true;
        for (std::int32_t i = 0; i < table->count && holds; ++i) {
            const JudgeEntry& entry = table->entries[i];
            holds = entry.Holds(EvaluateOperand(entry.a, 0), EvaluateOperand(entry.b, 0));
        }
        if (holds) return LabelTarget(group, table->label);
    }
    const IVJUMPTABLENODE* entry = group.jump_tables().GetAt(n);
    if (!entry) throw ScriptError2(0, u"IVG: ジャンプテーブルに%d番はありません", n);
    return LabelTarget(group, entry->label);
}

void DeclareJudgeOperands(const ScriptStateGroup& group) {
    for (const IVJUDGETABLENODE* table = group.judge_tables().head(); table; table = table->next()) {
        for (std::int32_t i = 0; i < table->count; ++i) {
            DeclareVariable(table->entries[i].a, 0);
            DeclareVariable(table->entries[i].b, 0);
        }
    }
}

}  // namespace TextScript
