// Compiling a 5 MB script, side by side with a lexer-only pass over the same bytes. The compile
// should run at 20 MB/s or more and take at most twice the lexer-only pass.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/report_hook.h"
#include "lib/text.h"
#include "script/lexer.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace {

constexpr std::size_t kScriptBytes = 5 * 1024 * 1024;

// A story of the usual mix: messages (some over two lines), voices, pictures, variables,
// conditional jumps, labels, comments and page breaks.
std::string MakeScript() {
    const char* const lines[] = {
        "// 第%d場\n",
        ".GRP BG%d\n",
        ".CHR C%d_01\n",
        "@V%d\n",
        "「今日はいい天気だね。少し歩こうか」\n",
        ".VOI V%d\n",
        "　窓の外では、朝からの雨がまだ静かに降り続いていた。\n彼女は傘を持たずに出かけたらしい。\n",
        ".PST FLAG%d + 1\n",
        ".PJP FLAG%d > 3 L%d\n",
        ".WAV BGM0%d\n",
        "\n",
        ".LAB L%d\n",
        "「そうだね……」\n",
        ".S1A SE%d\n",
        "\n\n",
    };
    std::string utf8;
    for (int n = 0; utf8.size() < kScriptBytes; ++n) {
        for (const char* line : lines) {
            char buffer[512];
            std::snprintf(buffer, sizeof buffer, line, n % 97, n);
            utf8 += buffer;
        }
    }
    std::string script = Utf16ToCp932(Utf8ToUtf16(utf8));
    script.resize(script.rfind('\n', kScriptBytes) + 1);
    return script;
}

const std::string& Script() {
    static const std::string script = MakeScript();
    return script;
}

void BM_LexOnly(benchmark::State& state) {
    const std::string& script = Script();
    std::size_t tokens = 0;
    for (auto _ : state) {
        TextScript::LexerState lexer_state;
        lexer_state.Start(script);
        TextScript::ScriptLexer lexer(lexer_state);
        std::u16string* value = nullptr;
        while (lexer.NextToken(value) != TextScript::kTokenEnd) ++tokens;
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * script.size()));
    state.counters["tokens"] = static_cast<double>(tokens / state.iterations());
}
BENCHMARK(BM_LexOnly)->Unit(benchmark::kMillisecond);

void BM_Compile(benchmark::State& state) {
    const std::string& script = Script();
    std::size_t nodes = 0;
    for (auto _ : state) {
        auto group = std::make_unique<TextScript::ScriptStateGroup>();
        group->Compile(script, u"bench.txt");
        nodes = static_cast<std::size_t>(group->count());
        state.PauseTiming();
        group.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * script.size()));
    state.counters["nodes"] = static_cast<double>(nodes);
    TextScript::ClearVariableTable(TextScript::LiveVariables());
}
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond);

}  // namespace
