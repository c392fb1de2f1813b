// The side table of a script group, read from "iv.txt": 20 numbered jump entries and any number
// of judge tables. IVG n tries the judge tables of number n in file order (each a conjunction of
// comparisons between variables and numbers); the first that holds gives the label, and when none
// holds jump entry n does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/list.h"

namespace TextScript {

class ScriptStateGroup;
class ScriptStateNode;
class IVJUMPTABLEGROUP;
class IVJUDGETABLEGROUP;

inline constexpr std::int32_t kJumpEntryCount = 20;
inline constexpr std::int32_t kMaxJudgeEntries = 8;

class IVJUMPTABLENODE : public CListNode<IVJUMPTABLENODE, IVJUMPTABLEGROUP> {
public:
    std::u16string label;  // upper case
    std::u16string rest;   // the rest of the line, each byte widened to one character
};

class IVJUMPTABLEGROUP : public CListGroup<IVJUMPTABLEGROUP, IVJUMPTABLENODE> {
public:
    void Clear() { DeleteMembers(); }
};

struct JudgeEntry {
    // Stored operator characters; 0 (no operator) never holds.
    enum : std::uint8_t {
        kEqual = '=',
        kLess = '<',
        kGreater = '>',
        kLessEqual = '[',
        kGreaterEqual = ']',
        kNotEqual = '!'
    };

    std::u16string a;  // operand A: a variable name or a number, upper case
    std::u16string b;
    std::uint8_t op = 0;

    bool Holds(std::int32_t left, std::int32_t right) const;
};

class IVJUDGETABLENODE : public CListNode<IVJUDGETABLENODE, IVJUDGETABLEGROUP> {
public:
    std::uint32_t number = 0;  // the IVG number the table answers
    std::u16string label;      // target when the table holds
    std::int32_t count = 0;    // entries in use
    JudgeEntry entries[kMaxJudgeEntries];
};

class IVJUDGETABLEGROUP : public CListGroup<IVJUDGETABLEGROUP, IVJUDGETABLENODE> {
public:
    void Clear() { DeleteMembers(); }
};

// Reads "iv.txt" into the group's two tables (replacing what they held). Returns 0; a malformed
// file raises the error exception with the file name and line after writing the system's trace.
int ParseJumpTable(ScriptStateGroup& group, std::string_view bytes, std::u16string_view file_name);

// The node IVG n jumps to: the page node before the label of the first judge table of number n
// that holds, else of jump entry n (a negative n counts from the last entry). A label that does
// not exist, or an n with no jump entry, raises ScriptError2.
ScriptStateNode* JumpThroughTables(const ScriptStateGroup& group, std::int32_t n);

// Declares operand A and B of every judge table entry as number variables (value 0) unless they
// are numbers or already exist.
void DeclareJudgeOperands(const ScriptStateGroup& group);

}  // namespace TextScript
