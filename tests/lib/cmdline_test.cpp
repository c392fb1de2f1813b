// Command lines and the files they read: response files and whole-file loads share one temporary folder.
#include "lib/cmdline.h"
#include "lib/diskfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "lib/report.h"
#include "lib/text.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::u16string> AllTokens(std::u16string_view line) {
    CommandLineReader reader(line);
    std::vector<std::u16string> tokens;
    while (const char16_t* token = reader.NextToken()) tokens.emplace_back(token);
    EXPECT_EQ(reader.NextToken(), nullptr);  // stays finished
    return tokens;
}

using Tokens = std::vector<std::u16string>;

class TempFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lib_files_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes a file (when given bytes) and returns its path as the program's text.
    std::u16string Write(const std::string& name, const char* bytes = nullptr, std::size_t size = 0) {
        if (bytes) std::ofstream(dir_ / name, std::ios::binary) << std::string(bytes, size ? size : std::strlen(bytes));
        return Utf8ToUtf16((dir_ / name).string());
    }

    fs::path dir_;
};
using ResponseFiles = TempFiles;
using DiskFile = TempFiles;

TEST(CommandLine, BlanksQuotesBackslashesAndLongTokens) {
    const std::pair<std::u16string, Tokens> cases[] = {
        {u"  a \t\"b c\"  d", {u"a", u"b c", u"d"}},
        {u"\\\"q\\\"", {u"\"q\""}},
        {u"x\\y \\\\z", {u"x\\y", u"\\\\z"}},
        {u"pre\"mid dle\"post \"\"x", {u"premid dlepost", u"x"}},
        {u"\"\"", {u""}},
        {u"", {}},
        {u" \t ", {}},
        {u"a \"open run", {u"a", u"open run"}},  // a quoted run ends at the end of the text
        {std::u16string(u"x \"\0hidden", 10), {u"x", u""}},
        {std::u16string(300, u'z') + u" next", {std::u16string(255, u'z'), u"next"}},  // long tokens are cut
    };
    for (const auto& [line, tokens] : cases) EXPECT_EQ(AllTokens(line), tokens) << Utf16ToUtf8(line);
}

TEST(CommandLine, JoinedArgumentsReadBackUnchanged) {
    const std::vector<const char*> args = {"game",      "two words",     "",      "say \"hi\"",
                                           "tab\there", "back\\slash",   "end\\", "\\ before blank",
                                           "\\\"q",     "ゲーム データ", "-W"};
    Tokens expected;
    for (const char* arg : args) expected.push_back(Utf8ToUtf16(arg));
    EXPECT_EQ(AllTokens(JoinCommandLine(args)), expected);
}

// Only a regular file of at most kMaxResponseFileBytes is read, and nothing waits on a pipe or
// reads a device without end; the reader given a place for the failure stops there and says why.
TEST_F(ResponseFiles, WhatCannotBeReadEndsTheReadingWithTheReason) {
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    Write("big", "x");
    fs::resize_file(dir_ / "big", CommandLineReader::kMaxResponseFileBytes + 1);
    std::ofstream(dir_ / "limit") << "x" << std::string(CommandLineReader::kMaxResponseFileBytes - 1, '\n');
    ::alarm(20);  // a read that blocks would hang the run: the alarm turns it into a failure
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"/dev/zero", u"is not a regular file"},     {Write("fifo"), u"is not a regular file"},
        {Utf8ToUtf16(dir_.string()), u"is a folder"}, {Write("big"), u"is larger than 65536 bytes"},
        {Write("missing"), u"was not found"},         {Write("limit"), u""},
    };
    for (const auto& [file, reason] : cases) {
        ResponseFileFailure failure;
        CommandLineReader reader(u"a @" + file + u" b", &failure);
        Tokens tokens;
        while (const char16_t* token = reader.NextToken()) tokens.emplace_back(token);
        EXPECT_EQ(failure.reason, reason) << Utf16ToUtf8(file);
        EXPECT_EQ(tokens, reason.empty() ? (Tokens{u"a", u"x", u"b"}) : (Tokens{u"a"})) << Utf16ToUtf8(file);
        EXPECT_EQ(failure.file, reason.empty() ? u"" : file);
    }
    ::alarm(0);
}

TEST_F(ResponseFiles, FileTokensTakeThePlaceOfTheAtTokenUnderTheFileRules) {
    const std::u16string list = Write("list", "x\r\ny\n");
    EXPECT_EQ(AllTokens(u"a \"b c\" @" + list + u" d"), (Tokens{u"a", u"b c", u"x", u"y", u"d"}));
    const std::u16string file = Write("rules", "\n\n \"one\ntwo \\\"q \"\xE6\x97\xA5 \xE6\x9C\xAC\"\n@nested \"open");
    EXPECT_EQ(AllTokens(u"@" + file), (Tokens{u"one", u"two", u"\"q", u"日 本", u"@nested", u"open"}));
    const std::u16string empty = Write("empty", "");
    EXPECT_EQ(AllTokens(u"a @" + empty + u" b"), (Tokens{u"a", u"b"}));
}

// Shows the box on stderr with its caption and style, so that the dying child's output carries them.
class StderrSink : public ReportSink {
public:
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override {
        std::fprintf(stderr, "box %s|%s|%#x\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str(), style);
        return kIdOk;
    }
    void DebugOutput(std::u16string_view) override {}
};

TEST(CommandLineDeathTest, MissingResponseFileEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StderrSink sink;
            ScopedReportSink scope(&sink);
            AllTokens(u"a @/nonexistent/none b");
        },
        testing::ExitedWithCode(1), "box Error\\|File not found '/nonexistent/none'\\|0x30");
    // A file that is there but cannot be read is named by its argument, with what is wrong.
    EXPECT_EXIT(
        {
            StderrSink sink;
            ScopedReportSink scope(&sink);
            AllTokens(u"a @/dev/zero b");
        },
        testing::ExitedWithCode(1),
        "box Error\\|Response file of the argument @/dev/zero: the file is not a regular file.\\|0x30");
}

TEST_F(DiskFile, LoadsWholeFilesUnderUtf8NamesIntoBuffersThatHoldThem) {
    const std::u16string data = Write("データ.bin", "ab\0cd", 5);
    auto bytes = LoadDiskFile(data);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{'a', 'b', 0, 'c', 'd'}));
    EXPECT_FALSE(LoadDiskFile(Write("missing")));
    EXPECT_FALSE(LoadDiskFile(Utf8ToUtf16(dir_.string())));  // a folder is not a file
    std::uint8_t buffer[5] = {}, small[4] = {};
    EXPECT_EQ(LoadDiskFile(data, buffer), 5u);
    EXPECT_EQ(buffer[4], 'd');
    EXPECT_FALSE(LoadDiskFile(data, small));
    EXPECT_FALSE(LoadDiskFile(Write("missing"), buffer));
}

TEST_F(DiskFile, CreateWriteAndSeek) {
    const std::u16string out = Write("out", "old contents");
    {
        FileHandle file = CreateFileForWrite(out);
        ASSERT_TRUE(file.valid());
        EXPECT_TRUE(file.Write("hello", 5));
        EXPECT_EQ(SeekFile64(file, 1, kSeekBegin), 1);
        EXPECT_TRUE(file.Write("E", 1));
        EXPECT_EQ(SeekFile64(file, 0, kSeekEnd), 5);
        EXPECT_EQ(SeekFile64(file, int64_t{1} << 33, kSeekBegin), int64_t{1} << 33);  // beyond 32 bits
        EXPECT_EQ(SeekFile64(file, -1, kSeekBegin), -1);
        EXPECT_EQ(SeekFile64(file, 0, kSeekBegin), 0);
        FileHandle moved = std::move(file);
        EXPECT_FALSE(file.valid());
        EXPECT_TRUE(moved.valid());
    }
    auto bytes = LoadDiskFile(out);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "hEllo");
    EXPECT_FALSE(CreateFileForWrite(Write("no/such/folder/file")).valid());
    EXPECT_EQ(SeekFile64(FileHandle(), 0, kSeekBegin), -1);
}

TEST(RebuildPath, ReplacesOnlyTheGivenParts) {
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, nullptr, nullptr, u"bak"), u"/data/game/start.bak");
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, nullptr, nullptr, u".old"), u"/data/game/start.old");
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, nullptr, u"", u""), u"/data/game/");
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, u"/tmp", nullptr, nullptr), u"/tmp/start.txt");
    EXPECT_EQ(RebuildPath(u"a.b/name", nullptr, nullptr, nullptr, u"x"), u"a.b/name.x");
    EXPECT_EQ(RebuildPath(u"plain", nullptr, nullptr, u"other", nullptr), u"other");
    EXPECT_EQ(RebuildPath(u"x/y.z", u"D:", nullptr, nullptr, nullptr), u"D:x/y.z");
}

}  // namespace
