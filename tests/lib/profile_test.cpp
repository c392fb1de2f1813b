#include "lib/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "lib/text.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

ProfileFile FromUtf8(std::string_view text) { return ProfileFile::Parse(Bytes(text)); }

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text, bool big_endian) {
    std::vector<std::uint8_t> bytes =
        big_endian ? std::vector<std::uint8_t>{0xFE, 0xFF} : std::vector<std::uint8_t>{0xFF, 0xFE};
    for (char16_t c : text) {
        const std::uint8_t high = c >> 8, low = c & 0xFF;
        bytes.push_back(big_endian ? high : low);
        bytes.push_back(big_endian ? low : high);
    }
    return bytes;
}

TEST(ProfileFile, ReadingRules) {
    const std::string long_value(300, 'v');
    // 254 units, then a surrogate pair that the cut at 255 would split.
    const std::u16string pair_at_cut = std::u16string(254, u'a') + u"\U0001F600";
    const ProfileFile file = FromUtf8(
        "; comment=1\n"
        "top=outside\n"
        "  [ Quibel ]  \n"
        "  Spaced  =  \t value with blanks \t\n"
        "quoted=\"  kept blanks  \"\n"
        "single='x'\n"
        "mismatched=\"x'\n"
        "lonequote=\"\n"
        "first=1\r\n"
        "FIRST=2\n"
        "novalue\n"
        ";hidden=3\n"
        "empty=\n"
        "long=" +
        long_value + "\n" + "pair=" + Utf16ToUtf8(pair_at_cut) +
        "\n"
        "[other]\n"
        "only=there\n"
        "[QUIBEL]\n"
        "second=section ignored\n");
    struct Case {
        std::u16string_view section, key;
        std::optional<std::u16string> value;
    };
    const Case cases[] = {
        {u"quibel", u"spaced", u"value with blanks"},
        {u"quibel", u"quoted", u"  kept blanks  "},
        {u"quibel", u"single", u"x"},
        {u"quibel", u"mismatched", u"\"x'"},
        {u"quibel", u"lonequote", u"\""},
        {u"QUIBEL", u"First", u"1"},
        {u"quibel", u"novalue", std::nullopt},
        {u"quibel", u";hidden", std::nullopt},
        {u"quibel", u"empty", u""},
        {u"quibel", u"long", std::u16string(255, u'v')},
        {u"quibel", u"pair", std::u16string(254, u'a')},
        {u"quibel", u"only", std::nullopt},
        {u"other", u"ONLY", u"there"},
        {u"quibel", u"second", std::nullopt},
        {u"quibel", u"top", std::nullopt},
        {u"missing", u"spaced", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.key));
        EXPECT_EQ(file.Get(c.section, c.key), c.value);
    }
    EXPECT_EQ(file.GetString(u"quibel", u"absent", u"  'fallback' "), u"fallback");
    EXPECT_EQ(file.GetString(u"quibel", u"single", u"fallback"), u"x");
}

TEST(ProfileFile, ReadsEachEncoding) {
    const std::u16string text = u"[quibel]\r\nFontName=ＭＳ 明朝\r\nBaseColor=1,2,3,4\r\n";
    const std::string utf8 = Utf16ToUtf8(text);
    const std::pair<const char*, std::vector<std::uint8_t>> files[] = {
        {"UTF-8", Bytes(utf8)},
        {"UTF-8 with its mark", Bytes("\xEF\xBB\xBF" + utf8)},
        {"UTF-16LE", Utf16Bytes(text, false)},
        {"UTF-16BE", Utf16Bytes(text, true)},
        {"CP932", Bytes(Utf16ToCp932(text))},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const ProfileFile file = ProfileFile::Parse(bytes);
        EXPECT_EQ(file.Get(u"quibel", u"FontName"), u"ＭＳ 明朝");
        EXPECT_EQ(file.Get(u"quibel", u"BaseColor"), u"1,2,3,4");
        EXPECT_EQ(file.Serialize(), utf8);  // written back as UTF-8 with the file's line ends
    }
    // Bytes that are not UTF-8 are CP932 even when most of them would pass as UTF-8.
    // CP932 pairs followed by a full-width blank (81 40) that would read as UTF-8 but for an
    // overlong form or a surrogate.
    for (std::string mixed :
         {"\xE3\x81\x82" + Utf16ToCp932(u"明"), std::string("\xE0\x9F\x81\x40"), std::string("\xED\xA0\x81\x40")})
        EXPECT_EQ(ProfileFile::Parse(Bytes("[s]\nk=" + mixed)).Get(u"s", u"k"), Cp932ToUtf16(mixed));
}

TEST(ProfileFile, WritingKeepsEveryOtherLine) {
    ProfileFile file = FromUtf8(
        "; settings\r\n"
        "[other]\r\n"
        "FontName=keep me\r\n"
        "[quibel]\r\n"
        "fontname=old\r\n"
        "Unknown=stays\r\n"
        "; trailing comment\r\n"
        "\r\n"
        "[after]\r\n"
        "x=1");
    file.Set(u"quibel", u"FontName", u"new");
    file.Set(u"quibel", u"MainVolume", u"50");
    file.Set(u"quibel", u"SeVolume", u"line\r\nbreak");
    file.Set(u"fresh", u"Key", u"v");
    EXPECT_EQ(file.Serialize(),
              "; settings\r\n"
              "[other]\r\n"
              "FontName=keep me\r\n"
              "[quibel]\r\n"
              "FontName=new\r\n"
              "Unknown=stays\r\n"
              "MainVolume=50\r\n"
              "SeVolume=line  break\r\n"
              "; trailing comment\r\n"
              "\r\n"
              "[after]\r\n"
              "x=1\r\n"
              "[fresh]\r\n"
              "Key=v");
    EXPECT_EQ(file.Get(u"quibel", u"SeVolume"), u"line  break");

    ProfileFile empty;
    empty.Set(u"quibel", u"A", u"1");
    empty.Set(u"quibel", u"B", u"2");
    EXPECT_EQ(empty.Serialize(), "[quibel]\nA=1\nB=2\n");
}

class ProfileFiles : public testing::Test {
protected:
    std::u16string Path(const std::string& name) const { return folder_.Path(name); }

    testsupport::TempFolder folder_{"profile_test"};
    const fs::path& dir_ = folder_.path();
};

TEST_F(ProfileFiles, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
    const std::u16string path = Path("quibel.ini");
    std::ofstream(dir_ / "quibel.ini", std::ios::binary) << "[other]\nk=v\n";
    std::optional<ProfileFile> file = ProfileFile::Load(path);
    ASSERT_TRUE(file);
    file->Set(u"quibel", u"FontName", u"明朝");
    ASSERT_TRUE(file->Save(path));

    std::ifstream in(dir_ / "quibel.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[other]\nk=v\n[quibel]\nFontName=明朝\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProfileFiles, MissingUnreadableAndUnwritableFiles) {
    const std::optional<ProfileFile> missing = ProfileFile::Load(Path("none.ini"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->Serialize(), "");

    fs::create_directory(dir_ / "folder.ini");
    EXPECT_FALSE(ProfileFile::Load(Path("folder.ini")));  // exists but is no file to read
    ASSERT_EQ(::mkfifo((dir_ / "pipe.ini").c_str(), 0600), 0);
    EXPECT_FALSE(ProfileFile::Load(Path("pipe.ini")));  // and is not opened, which would block
    fs::remove(dir_ / "pipe.ini");

    ProfileFile file;
    file.Set(u"s", u"k", u"v");
    EXPECT_FALSE(file.Save(Path("no/such/folder/quibel.ini")));
    EXPECT_FALSE(file.Save(Path("folder.ini")));  // a folder is never replaced
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.ini"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
