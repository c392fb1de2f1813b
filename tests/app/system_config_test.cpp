#include "app/system_config.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/test_util.h"
#include "lib/error.h"
#include "lib/text.h"
#include "lib/xml.h"

namespace {

// A position table as text: each character (0 as '-') followed by its x.
std::string Text(const std::vector<CharPosition>& table) {
    std::string text;
    for (const CharPosition& p : table)
        text += (p.code ? Utf16ToUtf8(std::u16string(1, p.code)) : "-") + std::to_string(p.x) + " ";
    return text;
}

// The menu position, the credit count, the title and CG-mode music and the chr table as text.
std::string Summary(const SystemConfigRecord& c) {
    return std::to_string(c.TitleMenuPos[0]) + "," + std::to_string(c.TitleMenuPos[1]) + " " +
           std::to_string(c.EndingSlideCount) + " " + Utf16ToUtf8(c.TitleBgmName + u"/" + c.CgModeBgmName) + " " +
           Text(c.CharPositionTable);
}

TEST(SystemConfig, SampleGameInFolderAndPack) {
    const std::string root = DEMO_DATA_DIR;
    ComPtr<IArchive> folder = OpenDirArchive(Utf8ToUtf16(root + "/script/data"));
    ComPtr<IArchive> pack = OpenSafArchive(Utf8ToUtf16(root + "/script.saf"));
    ASSERT_TRUE(folder && pack);
    SystemConfigRecord from_pack;
    LoadSystemConfig(*folder);
    LoadSystemConfig(*pack, from_pack);
    for (const SystemConfigRecord* config : {&SystemConfig, &from_pack}) {
        EXPECT_EQ(std::u16string(config->PlayerName1) + u" " + config->PlayerName2, u"湊 遠野");
        EXPECT_EQ(Summary(*config), "520,300 3 TITLE/CGMODE A170 B230 *200 ");
        EXPECT_EQ(Text(config->ChlPositionTable), "A0 *430 ");
    }
}

const std::string kBase =
    "<config><system><name first='f' last='l'/><title menu='1,2'/><ending credit='4'/><chr/><chl/></system></config>";

// kBase with the first `from` replaced by `to`.
std::string Edit(const std::string& from, const std::string& to) {
    std::string document = kBase;
    return document.replace(document.find(from), from.size(), to);
}

// Loads a document (written here as UTF-8, stored as CP932) from a folder archive of its own;
// no document leaves the folder without config.xml.
void Load(const std::optional<std::string>& document, SystemConfigRecord& config) {
    archive_test::TempDir dir;
    if (document)
        archive_test::WriteFile(dir / "config.xml", archive_test::Bytes(Utf16ToCp932(Utf8ToUtf16(*document))));
    LoadSystemConfig(*OpenDirArchive(Utf8ToUtf16(dir.path().string())), config);
}

TEST(SystemConfig, ValuesAsTheDocumentGivesThem) {
    // A field that does not parse keeps the earlier value (30, 40, 5 here); the first may parse alone.
    const struct {
        std::string from, to, expected;
    } cases[] = {
        {"", "", "1,2 4 / "},
        {"<chr/>",
         "<bgm mode='title' name='T1'/><bgm mode='cgmode' name='C'/><bgm mode='title' name='T2'/>"
         "<bgm mode='Title' name='no'/><bgm mode='other' name='no'/><chr/>",
         "1,2 4 T2/C "},
        {"menu='1,2'", "menu=' -5,+6'", "-5,6 4 / "},
        {"menu='1,2'", "menu='abc'", "30,40 4 / "},
        {"menu='1,2'", "menu='7 8'", "7,40 4 / "},
        {"menu='1,2'", "menu='7,x'", "7,40 4 / "},
        {"credit='4'", "credit=' 12x'", "1,2 12 / "},
        {"credit='4'", "credit='-'", "1,2 5 / "},
        {"credit='4'", "credit='10000000000000000000'", "1,2 2147483647 / "},
        {"<chr/>",
         "<chr><pos name='b' x='12abc'/><pos name='*' x=' -3'/><pos name='' x='abc'/><pos name='ｂ' x='+9'/>"
         "<pos name='Bob' x='-99999999999'/></chr>",
         "1,2 4 / B12 *-3 -0 Ｂ9 B-2147483648 "},
        // Every lower-case letter CP932 holds is upper-cased; kana and symbols stay.
        {"<chr/>",
         "<chr><pos name='α' x='1'/><pos name='ω' x='2'/><pos name='ж' x='3'/><pos name='ё' x='4'/>"
         "<pos name='ⅲ' x='5'/><pos name='ぁ' x='6'/><pos name='σ' x='7'/></chr>",
         "1,2 4 / Α1 Ω2 Ж3 Ё4 Ⅲ5 ぁ6 Σ7 "},
    };
    for (const auto& c : cases) {
        SystemConfigRecord config;
        config.TitleMenuPos[0] = 30;
        config.TitleMenuPos[1] = 40;
        config.EndingSlideCount = 5;
        config.ChlPositionTable = {{u'Z', 1}};  // the tables are replaced, not added to
        Load(Edit(c.from, c.to), config);
        EXPECT_EQ(Summary(config), c.expected) << c.to;
        EXPECT_TRUE(config.ChlPositionTable.empty());
    }
}

// A CP932 document holds no character beyond the BMP, so a name cuts at 63 units; the boundary
// rule for surrogate pairs is the field copy's own (text_field_test). The rest of a field stays.
TEST(SystemConfig, NamesAreCutToTheirField) {
    std::string first, last = "遠野";
    for (int i = 0; i < 70; ++i) first += "湊";
    SystemConfigRecord config;
    config.PlayerName2[3] = u'z';
    Load(Edit("first='f' last='l'", "first='" + first + "' last='" + last + "'"), config);
    EXPECT_EQ(std::u16string(config.PlayerName1), std::u16string(63, u'湊'));
    EXPECT_EQ(std::u16string_view(config.PlayerName2, 4), std::u16string_view(u"遠野\0z", 4));
}

TEST(SystemConfig, MissingOrBrokenPartsRaiseTheErrorNamingThem) {
    const struct {
        std::optional<std::string> document;
        std::u16string message;
    } cases[] = {
        {std::nullopt, u"not found in the script archive."},
        // Refused by its size before it is read: its tree would take many times as much.
        {std::string(kMaxXmlDocumentBytes + 1, ' '), u"the file is larger than 1048576 bytes."},
        {"<config><system>", u"not a readable document (line 1)."},
        {"<config/>", u"missing element \"system\"."},
        {Edit("<name first='f' last='l'/>", ""), u"missing element \"system/name\"."},
        {Edit("first='f'", ""), u"missing attribute \"system/name@first\"."},
        {Edit("last='l'", ""), u"missing attribute \"system/name@last\"."},
        {Edit("<title menu='1,2'/>", ""), u"missing element \"system/title\"."},
        {Edit("menu='1,2'", ""), u"missing attribute \"system/title@menu\"."},
        {Edit("<ending credit='4'/>", ""), u"missing element \"system/ending\"."},
        {Edit("credit='4'", ""), u"missing attribute \"system/ending@credit\"."},
        {Edit("<chr/>", "<bgm name='x'/><chr/>"), u"missing attribute \"system/bgm@mode\"."},
        {Edit("<chr/>", "<bgm mode='x'/><chr/>"), u"missing attribute \"system/bgm@name\"."},
        {Edit("<chr/>", ""), u"missing element \"system/chr\"."},
        {Edit("<chl/>", ""), u"missing element \"system/chl\"."},
        {Edit("<chr/>", "<chr><pos x='1'/></chr>"), u"missing attribute \"system/chr/pos@name\"."},
        {Edit("<chl/>", "<chl><pos name='a'/></chl>"), u"missing attribute \"system/chl/pos@x\"."},
    };
    for (const auto& c : cases) {
        // A failed load leaves the record as it was, even the parts read before the failure.
        SystemConfigRecord config;
        config.EndingSlideCount = 8;
        std::u16string message = u"(no error)";
        try {
            Load(c.document, config);
        } catch (const ExceptionHandle& error) {
            message = error.message;
        }
        EXPECT_EQ(message, u"config.xml: " + c.message);
        EXPECT_EQ(config.EndingSlideCount, 8) << Utf16ToUtf8(c.message);
    }
}

}  // namespace
