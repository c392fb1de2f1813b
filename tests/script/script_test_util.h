// Helpers shared by the script tests: sources are written in UTF-8 and compiled as cp932.
#pragma once

#include <string>
#include <string_view>

#include "lib/text.h"
#include "script/variables.h"

namespace scripttest {

inline std::string Cp932(std::string_view utf8) { return Utf16ToCp932(Utf8ToUtf16(utf8)); }

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
