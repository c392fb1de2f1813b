#include "script/compiler.h"

#include <cstring>

#include "lib/report.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace TextScript {

Compiler::Compiler(ScriptStateGroup& group) : group_(group), lexer_(group.lexer()) {
    // Pages are numbered 1, 2, 3 ... in list order, after any the group already holds.
    for (const ScriptStateNode* node = group.head(); node; node = node->next())
        if (node->code == ScriptStateNode::kPage) ++pages_;
}

void Compiler::Command(std::uint8_t code, std::uint8_t op, std::initializer_list<std::u16string*> arguments) {
    std::unique_ptr<ScriptStateNode> node = group_.CreateNode();
    node->code = code;
    node->op = op;
    for (std::u16string* text : arguments) node->AddArgument(std::move(*text));
    group_.Append(std::move(node));
}

void Compiler::Page() {
    std::unique_ptr<ScriptStateNode> node = group_.CreateNode();
    node->code = ScriptStateNode::kPage;
    node->number = ++pages_;
    group_.Append(std::move(node));
}

void Compiler::Declare(std::u16string* word) { DeclareVariable(*word, 0); }

void Compiler::RequireOneLetter(std::u16string* word) {
    if (word->size() != 1) RaiseCompileError(u"変数名は１文字にして下さい");
}

void Compiler::RaiseCompileError(std::u16string_view message) {
    const std::uint32_t line = group_.lexer().line;
    DebugPrintf(u"%s(%d): %s\n", group_.file_name(), line, message);
    ThrowError(group_.file_name(), line, 0, 0, u"%s", message);
}

void Compiler::RaiseParserError(const char* message) {
    // The generated parser calls its stack limit "memory exhausted"; the system's word for it is
    // "parser stack overflow".
    if (std::strcmp(message, "memory exhausted") == 0) RaiseCompileError(u"parser stack overflow");
    RaiseCompileError(Cp932ToUtf16(message));
}

int ScriptStateGroup::Compile(std::string_view source, std::u16string_view file_name) {
    file_name_ = file_name;
    lexer_.Start(source);
    try {
        Compiler compiler(*this);
        compiler.Parse();
    } catch (const ScriptError& error) {
        RememberError(error);
        RaiseCompileReport(file_name_, error.line, ScriptErrorText(error.code));
    } catch (const ScriptError2& error) {
        RememberError(error);
        RaiseCompileReport(file_name_, error.line, error.text);
    }
    // Every list ends with an end node.
    std::unique_ptr<ScriptStateNode> end = CreateNode();
    end->code = ScriptStateNode::kReturn;
    Append(std::move(end));
    return 0;
}

}  // namespace TextScript
