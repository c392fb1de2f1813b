#include "script/script_node.h"

#include "lib/act.h"
#include "lib/error.h"
#include "script/pools.h"

namespace TextScript {

namespace {

void FreeItemTree(NamedItem* item) {
    while (item) {
        NamedItem* sibling = item->sibling;
        FreeItemTree(item->left);
        FreeItemTree(item->right);
        PoolDelete(NamedItemPool(), item);
        item = sibling;
    }
}

}  // namespace

NamedItem* NewNamedItem(std::int32_t kind, std::u16string text, NamedItem* left, NamedItem* right) {
    NamedItem* item = PoolNew<NamedItem>(NamedItemPool(), u"NamedItemPool");
    item->kind = kind;
    item->text = std::move(text);
    if (left) {
        item->left = left;
        left->parent = item;
    }
    if (right) {
        item->right = right;
        right->parent = item;
    }
    return item;
}

void FreeNamedItem(NamedItem* item) {
    if (!item) return;
    if (NamedItem* parent = item->parent) {
        if (parent->left == item) parent->left = nullptr;
        if (parent->right == item) parent->right = nullptr;
        for (NamedItem* it = parent->left; it; it = it->sibling)
            if (it->sibling == item) it->sibling = nullptr;
        item->parent = nullptr;
    }
    FreeItemTree(item);
}

ScriptStateNode::ScriptStateNode(ScriptStateGroup* group) {
    SetGroup(group);
    if (group) line = group->lexer().line;
}

ScriptStateNode::~ScriptStateNode() {
    ArgItem* item = arguments;
    arguments = nullptr;
    while (item) {
        ArgItem* next = item->next;
        FreeNamedItem(item->value);
        FreeNamedItem(item->value2);
        PoolDelete(ArgItemPool(), item);
        item = next;
    }
    // The list part takes the node out of its group.
}

void ScriptStateNode::AddArgument(std::u16string text) {
    NamedItem* value = NewNamedItem(1, std::move(text));
    ScopeGuard free_value([value] { FreeNamedItem(value); });
    ArgItem* item = PoolNew<ArgItem>(ArgItemPool(), u"ArgItemPool");
    item->value = value;
    free_value.Dismiss();
    arguments = ChainAppend(arguments, item);
}

std::u16string_view ScriptStateNode::Arg(std::int32_t n) const {
    const ArgItem* item = ChainNth(arguments, n);
    if (!item || !item->value) return {};
    return item->value->text;
}

std::int32_t ScriptStateNode::ArgCount() const {
    std::int32_t count = 0;
    for (const ArgItem* item = arguments; item; item = item->next) ++count;
    return count;
}

void PendingWait::Reset(ACT* act) {
    if (act_ && act_ != act) FreeACT(act_);
    act_ = act;
}

ScriptStateGroup::ScriptStateGroup() = default;

ScriptStateGroup::~ScriptStateGroup() {
    // Nodes first (head first), then the judge tables, the jump tables and the name.
    DeleteMembers();
    judge_tables_.Clear();
    jump_tables_.Clear();
}

std::unique_ptr<ScriptStateNode> ScriptStateGroup::CreateNode() { return std::make_unique<ScriptStateNode>(this); }

std::intptr_t ScriptStateGroup::Notify(std::uint32_t, std::intptr_t) { return 0; }

void ScriptStateGroup::StepFrame() {
    ThrowError(u"script_node.cpp", __LINE__, 0, 0, u"%s: a command waits, but the script has no frame loop",
               file_name_);
}

std::uint32_t ScriptStateGroup::HeldInput() { return 0; }

void ScriptStateGroup::RememberError(const ScriptError& error) {
    error_line_ = error.line;
    error_code_ = error.code;
}

void ScriptStateGroup::RememberError(const ScriptError2& error) { last_error_ = error; }

}  // namespace TextScript
