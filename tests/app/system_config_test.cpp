#include "app/system_config.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/archive.h"
#include "archive/test_util.h"
#include "lib/error.h"
#include "lib/text.h"

namespace {

using archive_test::TempDir;

std::vector<CharPosition> Table(std::initializer_list<CharPosition> entries) { return entries; }

void ExpectSample(const SystemConfigRecord& config) {
    EXPECT_EQ(std::u16string_view(config.PlayerName1), u"湊");
    EXPECT_EQ(std::u16string_view(config.PlayerName2), u"遠野");
    EXPECT_EQ(config.TitleMenuPos[0], 520);
    EXPECT_EQ(config.TitleMenuPos[1], 300);
    EXPECT_EQ(config.EndingSlideCount, 3);
    EXPECT_EQ(config.TitleBgmName, u"TITLE");
    EXPECT_EQ(config.CgModeBgmName, u"CGMODE");
    EXPECT_EQ(config.CharPositionTable, Table({{u'A', 170}, {u'B', 230}, {u'*', 200}}));
    EXPECT_EQ(config.ChlPositionTable, Table({{u'A', 0}, {u'*', 430}}));
}

TEST(SystemConfig, SampleGameInFolderAndPack) {
    const std::string root = DEMO_DATA_DIR;
    ComPtr<IArchive> folder = OpenDirArchive(Utf8ToUtf16(root + "/script/data"));
    ASSERT_TRUE(folder);
    LoadSystemConfig(*folder);
    ExpectSample(SystemConfig);
    ComPtr<IArchive> pack = OpenSafArchive(Utf8ToUtf16(root + "/script.saf"));
    ASSERT_TRUE(pack);
    SystemConfigRecord config;
    LoadSystemConfig(*pack, config);
    ExpectSample(config);
}

// A config.xml of its own in a folder archive; the text is written as UTF-8 here and stored as CP932.
class ConfigFolder {
public:
    void Write(const std::string& document) {
        archive_test::WriteFile(dir_ / "config.xml", archive_test::Bytes(Utf16ToCp932(Utf8ToUtf16(document))));
    }
    SystemConfigRecord Load(const std::string& document, SystemConfigRecord config = {}, bool write = true) {
        if (write) Write(document);
        ComPtr<IArchive> archive = OpenDirArchive(Utf8ToUtf16(dir_.path().string()));
        LoadSystemConfig(*archive, config);
        return config;
    }
    // The message of the error the document raises; a failed load leaves the record as it was.
    std::u16string Failure(const std::string& document, bool write = true) {
        SystemConfigRecord config;
        config.EndingSlideCount = 8;
        std::u16string message = u"(no error)";
        try {
            config = Load(document, config, write);
        } catch (const ExceptionHandle& error) {
            message = error.message;
        }
        EXPECT_EQ(config.EndingSlideCount, 8) << Utf16ToUtf8(message);
        return message;
    }

private:
    TempDir dir_;
};

std::string System(const std::string& name = "<name first='f' last='l'/>",
                   const std::string& title = "<title menu='1,2'/>", const std::string& ending = "<ending credit='4'/>",
                   const std::string& rest = "<chr/><chl/>") {
    return "<config><system>" + name + title + ending + rest + "</system></config>";
}

TEST(SystemConfig, ValuesAsTheDocumentGivesThem) {
    const struct {
        std::string document;
        std::int32_t menu_x, menu_y, credit;
        std::u16string title_bgm, cg_bgm;
        std::vector<CharPosition> chr;
    } cases[] = {
        {System(), 1, 2, 4, u"", u"", {}},
        {System("<name first='f' last='l'/>", "<title menu=' -5,+6'/>", "<ending credit=' 12x'/>",
                "<bgm mode='title' name='T1'/><bgm mode='cgmode' name='C'/><bgm mode='title' name='T2'/>"
                "<bgm mode='Title' name='no'/><bgm mode='other' name='no'/><chr/><chl/>"),
         -5,
         6,
         12,
         u"T2",
         u"C",
         {}},
        // Fields that do not parse keep the earlier values (0 here); the first may parse alone.
        {System("<name first='f' last='l'/>", "<title menu='abc'/>", "<ending credit='-'/>"), 0, 0, 0, u"", u"", {}},
        {System("<name first='f' last='l'/>", "<title menu='7 8'/>"), 7, 0, 4, u"", u"", {}},
        {System("<name first='f' last='l'/>", "<title menu='7,x'/>", "<ending credit='10000000000000000000'/>"),
         7,
         0,
         2147483647,
         u"",
         u"",
         {}},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='4'/>",
                "<chr><pos name='b' x='12abc'/><pos name='*' x=' -3'/><pos name='' x='abc'/>"
                "<pos name='ｂ' x='+9'/><pos name='Bob' x='-99999999999'/></chr><chl/>"),
         1, 2, 4, u"", u"", Table({{u'B', 12}, {u'*', -3}, {0, 0}, {u'Ｂ', 9}, {u'B', -2147483647 - 1}})},
    };
    for (const auto& c : cases) {
        const SystemConfigRecord config = ConfigFolder().Load(c.document);
        EXPECT_EQ(config.TitleMenuPos[0], c.menu_x) << c.document;
        EXPECT_EQ(config.TitleMenuPos[1], c.menu_y) << c.document;
        EXPECT_EQ(config.EndingSlideCount, c.credit) << c.document;
        EXPECT_EQ(config.TitleBgmName, c.title_bgm) << c.document;
        EXPECT_EQ(config.CgModeBgmName, c.cg_bgm) << c.document;
        EXPECT_EQ(config.CharPositionTable, c.chr) << c.document;
        EXPECT_TRUE(config.ChlPositionTable.empty());
    }
}

TEST(SystemConfig, EarlierValuesStayWhereTheDocumentSaysNothing) {
    SystemConfigRecord before;
    before.TitleMenuPos[0] = 30;
    before.TitleMenuPos[1] = 40;
    before.EndingSlideCount = 5;
    before.TitleBgmName = u"OLD";
    before.ChlPositionTable = {{u'Z', 1}};
    before.PlayerName1[3] = u'z';
    const SystemConfigRecord after = ConfigFolder().Load(
        System("<name first='湊' last='遠野'/>", "<title menu='9'/>", "<ending credit=''/>"), before);
    EXPECT_EQ(after.TitleMenuPos[0], 9);
    EXPECT_EQ(after.TitleMenuPos[1], 40);
    EXPECT_EQ(after.EndingSlideCount, 5);
    EXPECT_EQ(after.TitleBgmName, u"OLD");
    EXPECT_TRUE(after.ChlPositionTable.empty());  // the tables are replaced, not added to
    EXPECT_EQ(std::u16string_view(after.PlayerName1, 4), std::u16string_view(u"湊\0\0z", 4));
}

// A CP932 document holds no character beyond the BMP, so a name cuts at 63 units; the boundary
// rule for surrogate pairs is the field copy's own (text_field_test).
TEST(SystemConfig, NamesAreCutToTheirField) {
    std::string first, last;
    for (int i = 0; i < 70; ++i) first += "湊";
    for (int i = 0; i < 63; ++i) last += "野";
    const SystemConfigRecord config = ConfigFolder().Load(System("<name first='" + first + "' last='" + last + "'/>"));
    EXPECT_EQ(std::u16string(config.PlayerName1), std::u16string(63, u'湊'));
    EXPECT_EQ(std::u16string(config.PlayerName2), std::u16string(63, u'野'));
}

TEST(SystemConfig, MissingOrBrokenPartsRaiseTheErrorNamingThem) {
    const struct {
        std::string document;
        std::u16string message;
    } cases[] = {
        {"<config><system>", u"config.xml: not a readable document (line 1)."},
        {"<config/>", u"config.xml: missing element \"system\"."},
        {System(""), u"config.xml: missing element \"system/name\"."},
        {System("<name last='l'/>"), u"config.xml: missing attribute \"system/name@first\"."},
        {System("<name first='f'/>"), u"config.xml: missing attribute \"system/name@last\"."},
        {System("<name first='f' last='l'/>", "<title/>"), u"config.xml: missing attribute \"system/title@menu\"."},
        {System("<name first='f' last='l'/>", ""), u"config.xml: missing element \"system/title\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", ""),
         u"config.xml: missing element \"system/ending\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending/>"),
         u"config.xml: missing attribute \"system/ending@credit\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='1'/>", "<bgm name='x'/>"),
         u"config.xml: missing attribute \"system/bgm@mode\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='1'/>", "<bgm mode='x'/>"),
         u"config.xml: missing attribute \"system/bgm@name\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='1'/>", "<chl/>"),
         u"config.xml: missing element \"system/chr\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='1'/>", "<chr/>"),
         u"config.xml: missing element \"system/chl\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='1'/>",
                "<chr><pos x='1'/></chr><chl/>"),
         u"config.xml: missing attribute \"system/chr/pos@name\"."},
        {System("<name first='f' last='l'/>", "<title menu='1,2'/>", "<ending credit='1'/>",
                "<chr/><chl><pos name='a'/></chl>"),
         u"config.xml: missing attribute \"system/chl/pos@x\"."},
    };
    for (const auto& c : cases) EXPECT_EQ(ConfigFolder().Failure(c.document), c.message) << c.document;
    EXPECT_EQ(ConfigFolder().Failure("", false), u"config.xml: not found in the script archive.");
}

}  // namespace
