#include "script/variables.h"

#include <bit>

#include "script/pools.h"
#include "script/text_fold.h"

namespace TextScript {

namespace {

std::u16string UpperCopy(std::u16string_view name) {
    std::u16string upper(name);
    for (char16_t& c : upper) c = FoldAscii(c);
    return upper;
}

std::uint32_t HashOfName(std::u16string_view name) { return HashName(UpperCopy(name)); }

}  // namespace

std::uint32_t HashName(std::u16string_view upper_name) {
    std::uint32_t h = 0;
    for (char16_t unit : upper_name) {
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(unit & 0xFF), static_cast<std::uint8_t>(unit >> 8)};
        for (std::uint8_t b : bytes) {
            if (b == 0) return h;
            h = std::rotl(h, 1) + b * 0x12345678u;
        }
    }
    return h;
}

void VariableTable::PoolDeleter::operator()(VariableNode* node) const { PoolDelete(VariableNodePool(), node); }

VariableNode* VariableTable::Find(std::uint32_t kind, std::u16string_view name) const {
    if (kind > VariableNode::kText) return nullptr;
    const auto it = by_name_[kind].find(UpperCopy(name));
    return it == by_name_[kind].end() ? nullptr : it->second;
}

VariableNode* VariableTable::Insert(NodePtr node) {
    VariableNode* added = node.get();
    by_name_[node->kind].try_emplace(UpperCopy(node->name), added);
    const std::uint32_t hash = node->hash;
    // A multimap inserts after the entries of an equal key, which keeps them in insertion order.
    entries_.emplace(hash, std::move(node));
    return added;
}

VariableNode* VariableTable::GetOrCreate(std::u16string_view name, std::int32_t value) {
    if (VariableNode* node = Find(VariableNode::kNumber, name)) {
        node->value = value;
        return node;
    }
    NodePtr node(PoolNew<VariableNode>(VariableNodePool(), u"VariableNodePool"));
    node->kind = VariableNode::kNumber;
    node->hash = HashOfName(name);
    node->name = name;
    node->value = value;
    return Insert(std::move(node));
}

VariableNode* VariableTable::AddText(std::u16string_view name, std::u16string_view text) {
    NodePtr node(PoolNew<VariableNode>(VariableNodePool(), u"VariableNodePool"));
    node->kind = VariableNode::kText;
    node->hash = HashOfName(name);
    node->name = name;
    node->text = text;
    return Insert(std::move(node));
}

void VariableTable::Clear() {
    for (auto& index : by_name_) index.clear();
    entries_.clear();
}

void VariableTable::CopyFrom(const VariableTable& other) {
    if (&other == this) return;
    Clear();
    for (const auto& [hash, source] : other.entries_) {
        NodePtr node(PoolNew<VariableNode>(VariableNodePool(), u"VariableNodePool"));
        node->kind = source->kind;
        node->hash = source->hash;
        node->name = source->name;
        node->value = source->value;
        node->text = source->text;
        Insert(std::move(node));
    }
}

// The pool is made before the table so that it outlives it at exit.
VariableTable& LiveVariables() {
    [[maybe_unused]] static FixHeap& pool = VariableNodePool();
    static VariableTable table;
    return table;
}

VariableTable& VariableSnapshot() {
    [[maybe_unused]] static FixHeap& pool = VariableNodePool();
    static VariableTable table;
    return table;
}

VariableNode* FindVariable(const VariableTable& table, std::uint32_t kind, std::u16string_view name) {
    return table.Find(kind, name);
}

VariableNode* GetOrCreateVariable(VariableTable& table, std::u16string_view name, std::int32_t value) {
    return table.GetOrCreate(name, value);
}

void DeclareVariable(std::u16string_view name, std::int32_t value) {
    if (BeginsWithDigit(name)) return;
    VariableTable& live = LiveVariables();
    if (!live.Find(VariableNode::kNumber, name)) live.GetOrCreate(name, value);
}

std::int32_t EvaluateOperand(std::u16string_view text, std::int32_t fallback) {
    if (BeginsWithDigit(text)) {
        // The leading digits, held at the largest value on overflow.
        std::int64_t value = 0;
        for (char16_t c : text) {
            if (c < u'0' || c > u'9') break;
            value = value * 10 + (c - u'0');
            if (value > INT32_MAX) return INT32_MAX;
        }
        return static_cast<std::int32_t>(value);
    }
    if (const VariableNode* node = LiveVariables().Find(VariableNode::kNumber, text)) return node->value;
    return fallback;
}

std::uint32_t ParseDecimal(std::u16string_view text) {
    std::uint32_t value = 0;
    for (char16_t c : text) value = value * 10 + static_cast<std::uint32_t>(c - u'0');
    return value;
}

void SnapshotVariables() { VariableSnapshot().CopyFrom(LiveVariables()); }

void ClearVariableTable(VariableTable& table) { table.Clear(); }

void ResetVariable(std::u16string_view name) { LiveVariables().GetOrCreate(name, 0); }

void ResetVariablesByLetter(char16_t letter, bool same) {
    const char16_t folded = FoldAscii(letter);
    LiveVariables().ForEach([&](VariableNode& node) {
        if (node.kind != VariableNode::kNumber) return;
        const char16_t first = node.name.empty() ? u'\0' : FoldAscii(node.name[0]);
        if ((first == folded) == same) node.value = 0;
    });
}

}  // namespace TextScript
