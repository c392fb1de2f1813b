// Script variables: named integers global to the program (a variable set in one script is seen by
// every other), kept in a table ordered by the hash of the upper-cased name.
//
// The table's order is what a save stores, so the hash is fixed: it runs over the name's UTF-16
// little-endian bytes up to the first zero byte. Names with equal hashes keep the order in which
// they were added and are told apart by their names, compared ignoring case.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace TextScript {

struct VariableNode {
    enum : std::uint32_t { kNumber = 0, kText = 1 };

    std::uint32_t kind = kNumber;
    std::uint32_t hash = 0;  // HashName of the upper-cased name
    std::u16string name;     // as first written
    std::int32_t value = 0;  // kind 0
    std::u16string text;     // kind 1
};

// rotate-left(h, 1) + b * 0x12345678 over the bytes of the UTF-16LE text, up to the first zero
// byte.
std::uint32_t HashName(std::u16string_view upper_name);

class VariableTable {
public:
    VariableTable() = default;
    VariableTable(const VariableTable&) = delete;
    VariableTable& operator=(const VariableTable&) = delete;

    // The variable of that kind and name (case ignored), or null.
    VariableNode* Find(std::uint32_t kind, std::u16string_view name) const;
    // Sets the number variable of that name, creating it after any of equal hash.
    VariableNode* GetOrCreate(std::u16string_view name, std::int32_t value);
    // Adds a text variable (the save store's records may hold them).
    VariableNode* AddText(std::u16string_view name, std::u16string_view text);
    void Clear();
    // Replaces the contents by a copy of `other`, entry by entry in its order.
    void CopyFrom(const VariableTable& other);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // Every variable in table order (hash ascending, then insertion order). A visitor may change
    // values and texts, never names.
    template <class Visit>
    void ForEach(Visit visit) const {
        for (const auto& [hash, node] : entries_) visit(*node);
    }
    template <class Visit>
    void ForEach(Visit visit) {
        for (auto& [hash, node] : entries_) visit(*node);
    }

private:
    struct PoolDeleter {
        void operator()(VariableNode* node) const;
    };
    using NodePtr = std::unique_ptr<VariableNode, PoolDeleter>;

    VariableNode* Insert(NodePtr node);

    std::multimap<std::uint32_t, NodePtr> entries_;
    // The first variable of each kind and upper-cased name. Names with the same first character
    // share a hash, so without it a lookup would walk all of them.
    std::unordered_map<std::u16string, VariableNode*> by_name_[2];
};

// The live table, which every script operation uses.
VariableTable& LiveVariables();
// The copy taken by SnapshotVariables at every page start; a save stores it.
VariableTable& VariableSnapshot();

VariableNode* FindVariable(const VariableTable& table, std::uint32_t kind, std::u16string_view name);
VariableNode* GetOrCreateVariable(VariableTable& table, std::u16string_view name, std::int32_t value);
// Creates a number variable with the value in the live table unless the name begins with a
// digit or such a variable exists (which keeps its value).
void DeclareVariable(std::u16string_view name, std::int32_t value);
// The decimal value of a text that begins with a digit, else the live number variable of that
// name, else `fallback`.
std::int32_t EvaluateOperand(std::u16string_view text, std::int32_t fallback);
// value * 10 + (c - '0') over every character, without checking that they are digits.
std::uint32_t ParseDecimal(std::u16string_view text);
void SnapshotVariables();
void ClearVariableTable(VariableTable& table);

// The RSP, RST and RSX resets on the live table.
void ResetVariable(std::u16string_view name);
// Every number variable whose first character (ASCII folded to upper case) equals (or, with
// `same` false, differs from) the letter's := 0.
void ResetVariablesByLetter(char16_t letter, bool same);

}  // namespace TextScript
