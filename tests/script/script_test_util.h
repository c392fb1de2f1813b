// Helpers shared by the script tests: sources are written in UTF-8 and compiled as cp932.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lib/text.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace scripttest {

inline std::string Cp932(std::string_view utf8) { return Utf16ToCp932(Utf8ToUtf16(utf8)); }

// One node as "LINE CODE OP NUMBER ARG..." for compact expectations.
inline std::string Describe(const TextScript::ScriptStateNode& node) {
    std::string text = std::to_string(node.line) + ' ' + std::to_string(node.code) + ' ' +
                       (node.op ? std::string(1, static_cast<char>(node.op)) : std::string("-")) + ' ' +
                       std::to_string(node.number);
    for (std::int32_t i = 0; i < node.ArgCount(); ++i) text += ' ' + Utf16ToUtf8(node.Arg(i));
    return text;
}

inline std::vector<std::string> Describe(const TextScript::ScriptStateGroup& group) {
    std::vector<std::string> nodes;
    for (const auto* node = group.head(); node; node = node->next()) nodes.push_back(Describe(*node));
    return nodes;
}

// Empties the process-wide variable tables around a test.
class FreshVariables {
public:
    FreshVariables() { Clear(); }
    ~FreshVariables() { Clear(); }

private:
    static void Clear() {
        TextScript::ClearVariableTable(TextScript::LiveVariables());
        TextScript::ClearVariableTable(TextScript::VariableSnapshot());
    }
};

}  // namespace scripttest
