// The corpus of small scripts, checked through the script checker's output: each NAME.txt
// (UTF-8, converted to cp932 here) has NAME.dump (its node list, with backslash, tab and line
// feed escaped), NAME.ivdump (its tables, for "iv_" files) or NAME.err (the one error line).
// Every file is also checked with CR LF and lone CR line ends, which must not change the result.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "script_test_util.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

Outcome RunScriptc(const std::string& arguments) {
    const std::string command = std::string(QB_SCRIPTC) + ' ' + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    Outcome outcome{-1, {}};
    if (!pipe) return outcome;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, got);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class CorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = fs::path(::testing::TempDir()) / ("scriptc_corpus_" + std::to_string(::getpid()));
        fs::create_directories(work_);
    }
    void TearDown() override { fs::remove_all(work_); }

    // The corpus files that have an expectation with this extension.
    static std::vector<fs::path> Sources(const std::string& expectation) {
        std::vector<fs::path> sources;
        for (const auto& entry : fs::directory_iterator(QB_SCRIPT_CORPUS)) {
            if (entry.path().extension() != ".txt") continue;
            fs::path expected = entry.path();
            expected.replace_extension(expectation);
            if (fs::exists(expected)) sources.push_back(entry.path());
        }
        std::sort(sources.begin(), sources.end());
        return sources;
    }

    // Runs scriptc with `option` on the source in each line-end form and checks its output.
    void Check(const fs::path& source, const std::string& expectation, const std::string& option, int status) {
        fs::path expected_file = source;
        expected_file.replace_extension(expectation);
        const std::string expected = ReadText(expected_file);
        const std::string text = ReadText(source);
        for (const char* line_end : {"\n", "\r\n", "\r"}) {
            SCOPED_TRACE(source.filename().string() + (line_end[0] == '\n' ? " LF" : line_end[1] ? " CRLF" : " CR"));
            const fs::path converted = work_ / source.filename();
            std::string with_ends;
            for (char c : text) {
                if (c == '\n')
                    with_ends += line_end;
                else
                    with_ends += c;
            }
            WriteBytes(converted, scripttest::Cp932(with_ends));
            const Outcome outcome = RunScriptc(option + ' ' + converted.string());
            EXPECT_EQ(outcome.status, status);
            EXPECT_EQ(outcome.out, expected);
        }
    }

    fs::path work_;
};

TEST_F(CorpusTest, OutputsMatchTheirExpectations) {
    const struct {
        const char* expectation;
        std::size_t at_least;
        int status;
    } kinds[] = {{".dump", 8, 0}, {".err", 10, 1}, {".ivdump", 1, 0}};
    for (const auto& kind : kinds) {
        const auto sources = Sources(kind.expectation);
        ASSERT_GE(sources.size(), kind.at_least);
        for (const fs::path& source : sources) {
            const bool table = source.filename().string().starts_with("iv_");
            Check(source, kind.expectation, table ? "--iv" : "--dump", kind.status);
        }
    }
}

TEST_F(CorpusTest, CheckingManyFilesPrintsOnlyTheErrors) {
    const fs::path good = work_ / "good.txt";
    const fs::path bad = work_ / "bad.txt";
    WriteBytes(good, scripttest::Cp932(".GRP A\n「よし」\n"));
    WriteBytes(bad, ".GRP A B C\n");

    Outcome all_good = RunScriptc(good.string() + ' ' + good.string());
    EXPECT_EQ(all_good.status, 0);
    EXPECT_EQ(all_good.out, "");

    Outcome mixed = RunScriptc(good.string() + ' ' + bad.string() + ' ' + good.string());
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, "bad.txt(1): Compile Error: syntax error\n");

    Outcome missing = RunScriptc((work_ / "absent.txt").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

}  // namespace
