// Feeds arbitrary bytes to the script compiler and to the "iv.txt" reader, and picks labels through
// whatever tables the reader accepted. Every failure must be the error exception, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_quiet.h"
#include "lib/error.h"
#include "script/jump_table.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace {

// Bad input may fail in any way the system reports; a fault of the lexer itself must not hide
// among those failures.
void Check(const ExceptionHandle& error) {
    if (std::u16string_view(error.message).starts_with(u"lexer push-back overflow")) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();  // the traces of failed compiles are expected here
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        TextScript::ScriptStateGroup group;
        try {
            group.Compile(bytes, u"fuzz.txt");
        } catch (const ExceptionHandle& error) {
            Check(error);
        }
    }
    {
        TextScript::ScriptStateGroup group;
        try {
            TextScript::ParseJumpTable(group, bytes, u"iv.txt");
            TextScript::DeclareJudgeOperands(group);
            for (std::int32_t n = -22; n <= 22; ++n) {
                try {
                    TextScript::JumpThroughTables(group, n);
                } catch (const TextScript::ScriptError2&) {}
            }
        } catch (const ExceptionHandle& error) {
            Check(error);
        }
    }
    TextScript::ClearVariableTable(TextScript::LiveVariables());
    return 0;
}
