// Feeds arbitrary bytes to the script compiler and to the "iv.txt" reader, and picks labels through
// whatever tables the reader accepted. Every failure must be the error exception, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lib/error.h"
#include "lib/report_hook.h"
#include "script/jump_table.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace {

// The traces of failed compiles are expected here; keep them off the fuzzer's output.
class Silent : public ReportSink {
public:
    int MessageBox(std::u16string_view, std::u16string_view, unsigned) override { return kIdOk; }
    void DebugOutput(std::u16string_view) override {}
};

// Bad input may fail in any way the system reports; a fault of the lexer itself must not hide
// among those failures.
void Check(const ExceptionHandle& error) {
    if (std::u16string_view(error.message).starts_with(u"lexer push-back overflow")) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Silent silent;
    ScopedReportSink quiet(&silent);
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
