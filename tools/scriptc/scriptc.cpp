// scriptc: the script checker for script authors and tests.
//
//   scriptc --dump FILE   compile FILE and print its node list, one node a line
//   scriptc --iv FILE     read FILE as "iv.txt" and print its jump entries and judge tables
//   scriptc FILE...       compile each file and print only the errors
//   scriptc --help        print the usage
//
// A failure prints the system's trace "NAME(LINE): Compile Error: MESSAGE" on stdout, once, and
// exits 1.
// A command line it cannot read (an option other than these among them) exits 2 with the usage.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/diskfile.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/report_hook.h"
#include "lib/text.h"
#include "script/script_node.h"
#include "tools/usage.h"

namespace {

using TextScript::ScriptStateGroup;

void Print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

std::string Escaped(std::u16string_view text) {
    std::string out;
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out;
}

std::string OperatorText(std::uint8_t op) { return op == 0 ? std::string("-") : std::string(1, static_cast<char>(op)); }

std::string BaseName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void PrintError(const ExceptionHandle& error) {
    Print(Utf16ToUtf8(FormatString(u"%s(%d): Compile Error: %s\n", error.file, error.line, error.message)));
}

// Far above any game's script (the longest are a few hundred KB), and low enough that a wrong
// file given by mistake is refused instead of filling memory.
constexpr std::size_t kMaxScriptBytes = std::size_t{64} << 20;

// The file read once into the string the compiler takes; the path's bytes are used as they are.
std::optional<std::string> ReadSource(std::string_view path) {
    const std::string native(path);
    std::optional<std::string> source = LoadNativeText(native, kMaxScriptBytes);
    if (source) return source;
    const int error = errno;
    struct stat info {};
    std::string reason;
    if (::stat(native.c_str(), &info) != 0)
        reason = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        reason = "not a regular file";
    else if (static_cast<std::uint64_t>(info.st_size) > kMaxScriptBytes)
        reason = "larger than the limit of " + std::to_string(kMaxScriptBytes >> 20) + " MiB for a script";
    else
        reason = std::strerror(error);
    std::fprintf(stderr, "scriptc: cannot read %s: %s\n", native.c_str(), reason.c_str());
    return std::nullopt;
}

// The compiler traces each error to the debugger output before it throws it; the checker prints
// the error it catches, so the trace is left out and each error shows once, on stdout. Message
// boxes still go to stderr.
class ErrorsOnce final : public ReportSink {
public:
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override {
        const ScopedReportSink plain(nullptr);
        return ShowMessage(caption, text, style);
    }
    void DebugOutput(std::u16string_view) override {}
};

// Runs `work` on the file's bytes and its base name; false (with the error printed) on failure.
template <class Work>
bool WithSource(std::string_view path, Work work) {
    std::optional<std::string> source = ReadSource(path);
    if (!source) return false;
    ErrorsOnce errors_once;
    const ScopedReportSink quiet(&errors_once);
    try {
        work(*source, Utf8ToUtf16(BaseName(path)));
        return true;
    } catch (const ExceptionHandle& error) {
        PrintError(error);
        return false;
    }
}

void DumpNodes(const ScriptStateGroup& group) {
    for (const TextScript::ScriptStateNode* node = group.head(); node; node = node->next()) {
        std::string line = std::to_string(node->line) + '\t' + std::to_string(node->code) + '\t' +
                           OperatorText(node->op) + '\t' + std::to_string(node->number);
        for (std::int32_t i = 0; i < node->ArgCount(); ++i) line += '\t' + Escaped(node->Arg(i));
        Print(line + '\n');
    }
}

void DumpTables(const ScriptStateGroup& group) {
    std::int32_t index = 0;
    for (const auto* entry = group.jump_tables().head(); entry; entry = entry->next())
        Print("J\t" + std::to_string(index++) + '\t' + Escaped(entry->label) + '\n');
    for (const auto* table = group.judge_tables().head(); table; table = table->next()) {
        Print("T\t" + std::to_string(table->number) + '\t' + Escaped(table->label) + '\n');
        for (std::int32_t i = 0; i < table->count; ++i) {
            const TextScript::JudgeEntry& entry = table->entries[i];
            Print("E\t" + Escaped(entry.a) + '\t' + OperatorText(entry.op) + '\t' + Escaped(entry.b) + '\n');
        }
    }
}

constexpr const char* kUsage = "usage: scriptc --dump FILE | scriptc --iv FILE | scriptc FILE...\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (tools::AnswerHelp(argc, argv, kUsage)) return 0;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    const bool listing = args[0] == "--dump" || args[0] == "--iv";
    for (std::size_t i = listing ? 1 : 0; i < args.size(); ++i)
        if (tools::IsOption(args[i])) return tools::RefuseOption("scriptc", args[i], kUsage);
    if (listing) {
        if (args.size() != 2) return Usage();
        const bool dump = args[0] == "--dump";
        ScriptStateGroup group;
        const bool ok = WithSource(args[1], [&](const std::string& source, const std::u16string& name) {
            if (dump) {
                group.Compile(source, name);
                DumpNodes(group);
            } else {
                TextScript::ParseJumpTable(group, source, name);
                DumpTables(group);
            }
        });
        return ok ? 0 : 1;
    }
    bool all_ok = true;
    for (std::string_view path : args) {
        ScriptStateGroup group;
        all_ok &= WithSource(
            path, [&](const std::string& source, const std::u16string& name) { group.Compile(source, name); });
    }
    return all_ok ? 0 : 1;
}
