#include "lib/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "lib/text.h"
#include "support/temp_folder.h"

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(ProfileFile, ReadingRules) {
    // 254 units, then a surrogate pair that the cut at 255 would split.
    const std::u16string pair_at_cut = std::u16string(254, u'a') + u"\U0001F600";
    const ProfileFile file = ProfileFile::Parse(
        Bytes("; comment=1\ntop=outside\n  [ Quibel ]  \n  Spaced  =  \t value with blanks \t\n"
              "quoted=\"  kept blanks  \"\nsingle='x'\nmismatched=\"x'\nlonequote=\"\nfirst=1\r\nFIRST=2\n"
              "novalue\n;hidden=3\nempty=\nlong=" +
              std::string(300, 'v') + "\npair=" + Utf16ToUtf8(pair_at_cut) +
              "\n[other]\nonly=there\n[QUIBEL]\nsecond=section ignored\n"));
    const std::pair<std::u16string_view, std::optional<std::u16string>> cases[] = {
        {u"spaced", u"value with blanks"}, {u"quoted", u"  kept blanks  "}, {u"single", u"x"},
        {u"mismatched", u"\"x'"},          {u"lonequote", u"\""},           {u"First", u"1"},
        {u"novalue", std::nullopt},        {u";hidden", std::nullopt},      {u"empty", u""},
        {u"only", std::nullopt},           {u"second", std::nullopt},       {u"top", std::nullopt}};
    for (const auto& [key, value] : cases) EXPECT_EQ(file.Get(u"QUIBEL", key), value) << Utf16ToUtf8(key);
    EXPECT_EQ(file.Get(u"quibel", u"long"), std::u16string(255, u'v'));
    EXPECT_EQ(file.Get(u"quibel", u"pair"), std::u16string(254, u'a'));
    EXPECT_EQ(file.Get(u"other", u"ONLY"), u"there");
    EXPECT_FALSE(file.Get(u"missing", u"spaced"));
    EXPECT_EQ(file.GetString(u"quibel", u"absent", u"  'fallback' "), u"fallback");
    EXPECT_EQ(file.GetString(u"quibel", u"single", u"fallback"), u"x");
}

TEST(ProfileFile, ReadsEachEncoding) {
    const std::u16string text = u"[quibel]\r\nFontName=ＭＳ 明朝\r\nBaseColor=1,2,3,4\r\n";
    const std::string utf8 = Utf16ToUtf8(text);
    std::vector<std::uint8_t> little = {0xFF, 0xFE}, big = {0xFE, 0xFF};
    for (char16_t c : text) {
        little.insert(little.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
        big.insert(big.end(), {static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
    }
    for (const auto& bytes : {Bytes(utf8), Bytes("\xEF\xBB\xBF" + utf8), little, big, Bytes(Utf16ToCp932(text))}) {
        const ProfileFile file = ProfileFile::Parse(bytes);
        EXPECT_EQ(file.Get(u"quibel", u"FontName"), u"ＭＳ 明朝");
        EXPECT_EQ(file.Get(u"quibel", u"BaseColor"), u"1,2,3,4");
        EXPECT_EQ(file.Serialize(), utf8);  // written back as UTF-8 with the file's line ends
    }
    // Bytes that are not UTF-8 are CP932 even when most of them would pass as UTF-8: CP932 pairs
    // followed by a full-width blank (81 40) that would read as UTF-8 but for an overlong form or
    // a surrogate.
    for (std::string mixed :
         {"\xE3\x81\x82" + Utf16ToCp932(u"明"), std::string("\xE0\x9F\x81\x40"), std::string("\xED\xA0\x81\x40")})
        EXPECT_EQ(ProfileFile::Parse(Bytes("[s]\nk=" + mixed)).Get(u"s", u"k"), Cp932ToUtf16(mixed));
}

TEST(ProfileFile, WritingKeepsEveryOtherLine) {
    ProfileFile file = ProfileFile::Parse(
        Bytes("; settings\r\n[other]\r\nFontName=keep me\r\n[quibel]\r\nfontname=old\r\nUnknown=stays\r\n"
              "; trailing comment\r\n\r\n[after]\r\nx=1"));
    file.Set(u"quibel", u"FontName", u"new");
    file.Set(u"quibel", u"MainVolume", u"50");
    file.Set(u"quibel", u"SeVolume", u"line\r\nbreak");
    file.Set(u"fresh", u"Key", u"v");
    EXPECT_EQ(file.Serialize(),
              "; settings\r\n[other]\r\nFontName=keep me\r\n[quibel]\r\nFontName=new\r\nUnknown=stays\r\n"
              "MainVolume=50\r\nSeVolume=line  break\r\n; trailing comment\r\n\r\n[after]\r\nx=1\r\n[fresh]\r\nKey=v");
    EXPECT_EQ(file.Get(u"quibel", u"SeVolume"), u"line  break");
    ProfileFile empty;
    empty.Set(u"quibel", u"A", u"1");
    empty.Set(u"quibel", u"B", u"2");
    EXPECT_EQ(empty.Serialize(), "[quibel]\nA=1\nB=2\n");
}

// Saving replaces the file whole and leaves no temporary; a folder or a pipe is never read or
// replaced, and a missing file reads as an empty one.
TEST(ProfileFile, LoadAndSave) {
    const testsupport::TempFolder folder("profile_test");
    const std::filesystem::path& dir = folder.path();
    std::ofstream(dir / "quibel.ini", std::ios::binary) << "[other]\nk=v\n";
    std::optional<ProfileFile> file = ProfileFile::Load(folder.Path("quibel.ini"));
    ASSERT_TRUE(file);
    file->Set(u"quibel", u"FontName", u"明朝");
    ASSERT_TRUE(file->Save(folder.Path("quibel.ini")));
    std::ifstream in(dir / "quibel.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[other]\nk=v\n[quibel]\nFontName=明朝\n");
    EXPECT_EQ(ProfileFile::Load(folder.Path("none.ini"))->Serialize(), "");
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_FALSE(ProfileFile::Load(folder.Path("folder.ini")));
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
    EXPECT_FALSE(ProfileFile::Load(folder.Path("pipe.ini")));  // and is not opened, which would block
    EXPECT_FALSE(file->Save(folder.Path("no/such/folder/quibel.ini")));
    EXPECT_FALSE(file->Save(folder.Path("folder.ini")));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 3);
}

}  // namespace
