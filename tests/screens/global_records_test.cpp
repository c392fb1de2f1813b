#include "screens/global_records.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/game_data.h"
#include "app/picture_commands.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "lib/error.h"
#include "lib/text.h"
#include "screens/save_database.h"
#include "script/variables.h"
#include "support/capture_reports.h"
#include "support/child_peak.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

using testsupport::FileBytes;
using testsupport::SqliteObserver;
using testsupport::TempFolder;

void SetName(char16_t (&field)[SystemConfigRecord::kNameUnits], std::u16string_view name) {
    std::fill(std::begin(field), std::end(field), char16_t{0});
    std::copy(name.begin(), name.end(), field);
}

class GlobalRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        saved_config_ = SystemConfig;
        Forget();
    }
    void TearDown() override {
        Forget();
        SystemConfig = saved_config_;
        SettingsFolders.settings_folder = saved_folder_;
    }
    // The memory of a fresh start.
    static void Forget() {
        ResetGameData();
        SeenCgList.clear();
        SetName(SystemConfig.PlayerName1, u"");
        SetName(SystemConfig.PlayerName2, u"");
    }
    std::string Observe(const std::string& sql) { return SqliteObserver(file_).Rows(sql); }
    std::string Globals() { return Observe("SELECT name, hex(value_bin) FROM global ORDER BY id;"); }

    TempFolder folder_{"qb_global"};
    std::filesystem::path file_ = folder_ / "save.dat";
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
    SystemConfigRecord saved_config_;
};

TEST_F(GlobalRecordsTest, AFirstStartCreatesTheFileWithTheStateInMemory) {
    SetName(SystemConfig.PlayerName1, u"ゆう");
    SetName(SystemConfig.PlayerName2, u"き");
    ScriptStateGroup_App group;
    LoadGlobalData(group);
    ASSERT_TRUE(std::filesystem::exists(file_));
    const std::string rows = Observe("SELECT name, length(value_bin) FROM global ORDER BY id;");
    EXPECT_EQ(rows, "SCENE|1;ALBUM|1;COMMON|2308");
    EXPECT_EQ(Observe("SELECT hex(value_bin) FROM global WHERE name!='COMMON';"), "00;00");
    // -1, the names, zero bits.
    EXPECT_EQ(Observe("SELECT hex(substr(value_bin, 1, 10)), hex(substr(value_bin, 133, 4)) FROM global "
                      "WHERE name='COMMON';"),
              "FFFFFFFF863046300000|4D300000");
    EXPECT_EQ(Observe("SELECT value_bin = zeroblob(2048) FROM (SELECT substr(value_bin, 261) AS value_bin FROM "
                      "global WHERE name='COMMON');"),
              "1");
    EXPECT_EQ(LastUsedSlot, -1);
    EXPECT_TRUE(group.scene_names().empty());
}

TEST_F(GlobalRecordsTest, AFirstStartThatFailsHalfWayLeavesNoSchemaBehind) {
    // A file with only a view named `entry` has no schema: the first start creates `global`, then
    // fails on `entry`, and must take `global` back with it.
    ASSERT_EQ(SqliteObserver(file_).Exec("CREATE VIEW entry AS SELECT 1 AS x;"), 0);
    ScriptStateGroup_App group;
    EXPECT_THROW(LoadGlobalData(group), ExceptionHandle);
    EXPECT_EQ(Observe("SELECT name FROM sqlite_master ORDER BY name;"), "entry");
}

TEST_F(GlobalRecordsTest, TheRecordsComeBackAsTheyWereSaved) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
        LastUsedSlot = 41;
        SetName(SystemConfig.PlayerName1, u"太郎");
        SetName(SystemConfig.PlayerName2, u"山田");
        SeenFlags[1] = 0x80;  // page 8
        SeenFlags[2047] = 0x01;
        group.AddSceneName(u"S01");
        group.AddSceneName(u"S02");
        SeenCgList = {u"C01", u"C07"};
        SaveGlobalData(group);
        EXPECT_EQ(Observe("SELECT hex(value_bin) FROM global WHERE name='SCENE';"),
                  "5330310053303200"
                  "00");
    }
    Forget();
    ScriptStateGroup_App group;
    LoadGlobalData(group);
    EXPECT_EQ(LastUsedSlot, 41);
    EXPECT_EQ(std::u16string(SystemConfig.PlayerName1), u"太郎");
    EXPECT_EQ(std::u16string(SystemConfig.PlayerName2), u"山田");
    EXPECT_EQ(SeenFlags[1], 0x80);
    EXPECT_EQ(SeenFlags[2047], 0x01);
    EXPECT_EQ(SeenFlags[0], 0);
    EXPECT_EQ(group.scene_names(), (std::vector<std::u16string>{u"S01", u"S02"}));
    EXPECT_EQ(SeenCgList, (std::vector<std::u16string>{u"C01", u"C07"}));
}

TEST_F(GlobalRecordsTest, StoredNamesAreAppendedToThoseInMemory) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
        SeenCgList = {u"C02"};
        SaveGlobalData(group);
    }
    SeenCgList = {u"C05"};
    ScriptStateGroup_App group;
    LoadGlobalData(group);
    EXPECT_EQ(SeenCgList, (std::vector<std::u16string>{u"C05", u"C02"}));
}

// Damage costs only what it touches: COMMON field by field, a list from the damage on. Only a
// record of which nothing could be read is told to the player, once for the whole read.
TEST_F(GlobalRecordsTest, ADamagedRecordKeepsWhatIsIntactAndOnlyALostOneIsTold) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
        LastUsedSlot = 3;
        SetName(SystemConfig.PlayerName1, u"太郎");
        SetName(SystemConfig.PlayerName2, u"山田");
        SeenFlags[100] = 0x81;
        group.AddSceneName(u"S01");
        group.AddSceneName(u"S02");
        SeenCgList = {u"C01", u"C02"};
        SaveGlobalData(group);
    }
    // A hero name of 64 characters without its zero, at the first name (offset 4) or the second (132).
    const std::string unended = "x'" + std::string(256, '4') + "'";
    // A name of D's going on past the most that is read of a list.
    const std::string endless(2 * (kMaxListBytes + 1), '4');
    struct Case {
        const char* what;
        std::string sql;
        std::int32_t last_used;
        const char16_t* name1;
        const char16_t* name2;
        std::uint8_t seen;  // byte 100 of the read bits
        std::size_t scenes, pictures;
        const char16_t* box;  // what the box names, or null for no box
    } cases[] = {
        {"a last used slot past the slots",
         "UPDATE global SET value_bin=x'F4010000' || substr(value_bin, 5) WHERE name='COMMON';", -1, u"太郎", u"山田",
         0x81, 2, 2, nullptr},
        {"a first name without its zero",
         "UPDATE global SET value_bin=substr(value_bin, 1, 4) || " + unended +
             " || substr(value_bin, 133) WHERE name='COMMON';",
         3, u"既定一", u"山田", 0x81, 2, 2, nullptr},
        {"a second name without its zero",
         "UPDATE global SET value_bin=substr(value_bin, 1, 132) || " + unended +
             " || substr(value_bin, 261) WHERE name='COMMON';",
         3, u"太郎", u"既定二", 0x81, 2, 2, nullptr},
        {"a common record of another size", "UPDATE global SET value_bin=x'0102' WHERE name='COMMON';", 9, u"既定一",
         u"既定二", 0, 2, 2, u"既読の記録"},
        {"a common record too large to read", "UPDATE global SET value_bin=zeroblob(50000000) WHERE name='COMMON';", 9,
         u"既定一", u"既定二", 0, 2, 2, u"既読の記録"},
        {"a common record never written", "UPDATE global SET value_bin=NULL WHERE name='COMMON';", 9, u"既定一",
         u"既定二", 0, 2, 2, nullptr},
        {"a scene list cut in its second name", "UPDATE global SET value_bin=x'5330310053' WHERE name='SCENE';", 3,
         u"太郎", u"山田", 0x81, 1, 2, nullptr},
        {"a scene list cut in its first name", "UPDATE global SET value_bin=x'533031' WHERE name='SCENE';", 3, u"太郎",
         u"山田", 0x81, 0, 2, u"シーン回想"},
        {"an album with bytes after its end", "UPDATE global SET value_bin=x'4330310000FF' WHERE name='ALBUM';", 3,
         u"太郎", u"山田", 0x81, 2, 1, nullptr},
        {"an album with a name too long",
         "UPDATE global SET value_bin=x'" + std::string(64, '4') + "0043303200' WHERE name='ALBUM';", 3, u"太郎",
         u"山田", 0x81, 2, 1, nullptr},
        {"an album going on past its limit keeps the names before it",
         "UPDATE global SET value_bin=x'43303100" + endless + "' WHERE name='ALBUM';", 3, u"太郎", u"山田", 0x81, 2, 1,
         nullptr},
        {"an album of one endless name", "UPDATE global SET value_bin=x'" + endless + "' WHERE name='ALBUM';", 3,
         u"太郎", u"山田", 0x81, 2, 0, u"CGアルバム"},
    };
    const std::string good = FileBytes(file_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(file_);
        { std::ofstream(file_, std::ios::binary) << good; }
        ASSERT_EQ(SqliteObserver(file_).Exec(c.sql), 0) << c.sql;
        Forget();
        // What memory held before: the defaults of a start-up, and a last used slot.
        SetName(SystemConfig.PlayerName1, u"既定一");
        SetName(SystemConfig.PlayerName2, u"既定二");
        LastUsedSlot = 9;
        testsupport::CaptureReports reports;
        ScriptStateGroup_App group;
        EXPECT_NO_THROW(LoadGlobalData(group));
        EXPECT_EQ(LastUsedSlot, c.last_used);
        EXPECT_EQ(std::u16string(SystemConfig.PlayerName1), c.name1);
        EXPECT_EQ(std::u16string(SystemConfig.PlayerName2), c.name2);
        EXPECT_EQ(SeenFlags[100], c.seen);
        EXPECT_EQ(group.scene_names().size(), c.scenes);
        EXPECT_EQ(SeenCgList.size(), c.pictures);
        if (!c.box) {
            EXPECT_TRUE(reports.boxes.empty());
            continue;
        }
        ASSERT_EQ(reports.boxes.size(), 1u);
        EXPECT_EQ(reports.boxes[0].caption, u"エラー");
        EXPECT_NE(reports.boxes[0].text.find(c.box), std::u16string::npos);
        // Told before anything is written: the file still holds the damage.
        EXPECT_NE(FileBytes(file_), good);
    }
}

TEST_F(GlobalRecordsTest, EveryLostRecordIsNamedInOneBox) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
    }
    ASSERT_EQ(SqliteObserver(file_).Exec("UPDATE global SET value_bin=x'01' WHERE name='COMMON';"
                                         "UPDATE global SET value_bin=x'41' WHERE name='SCENE';"
                                         "UPDATE global SET value_bin=x'42' WHERE name='ALBUM';"),
              0);
    testsupport::CaptureReports reports;
    ScriptStateGroup_App group;
    LoadGlobalData(group);
    ASSERT_EQ(reports.boxes.size(), 1u);
    for (const char16_t* what : {u"既読の記録", u"シーン回想", u"CGアルバム"})
        EXPECT_NE(reports.boxes[0].text.find(what), std::u16string::npos) << Utf16ToUtf8(what);
    // The next write replaces them, and the next read tells nothing.
    SaveGlobalData(group);
    reports.boxes.clear();
    ScriptStateGroup_App again;
    LoadGlobalData(again);
    EXPECT_TRUE(reports.boxes.empty());
}

// A record of tens of megabytes is read no further than its limit: the read costs little memory
// and time whatever the record's size.
TEST_F(GlobalRecordsTest, AHugeRecordCostsNoMoreThanItsLimit) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
    }
    // 200 MB of zeros are an empty list with 200 MB after its end; 60 MB of UTF-16 A's are 30
    // million names; 30 MB of zeros are a common record of the wrong size.
    ASSERT_EQ(SqliteObserver(file_).Exec("UPDATE global SET value_bin=zeroblob(200000000) WHERE name='SCENE';"
                                         "UPDATE global SET value_bin=printf('%.*c', 30000000, 'A') WHERE name='ALBUM';"
                                         "UPDATE global SET value_bin=zeroblob(30000000) WHERE name='COMMON';"),
              0);
    const long growth = testsupport::ChildPeakGrowthMiB([] {
        testsupport::CaptureReports reports;
        ScriptStateGroup_App group;
        LoadGlobalData(group);
        return group.scene_names().empty() && SeenCgList.size() == kMaxListNames && reports.boxes.size() == 1;
    });
    EXPECT_GE(growth, 0) << "the read failed";
    EXPECT_LT(growth, 40) << "MiB";
}

TEST_F(GlobalRecordsTest, AFailingReadIsStillAnError) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
    }
    ASSERT_EQ(SqliteObserver(file_).Exec("DELETE FROM global WHERE name='COMMON';"), 0);
    ScriptStateGroup_App group;
    EXPECT_THROW(LoadGlobalData(group), ExceptionHandle);
}

TEST_F(GlobalRecordsTest, SlotVariablesRoundTripThroughTheBlob) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
    }
    {
        const DatabaseScope scope = OpenSaveDatabase();
        const std::vector<std::uint8_t> header(kSaveData2Bytes);
        WriteEntryHeader(5, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        TextScript::VariableTable table;
        table.GetOrCreate(u"x", 5);
        WriteSlotVariables(5, table);
    }
    EXPECT_EQ(Observe("SELECT hex(value_data) FROM entry WHERE number=5;"),
              "7800050000000"
              "0");
    TextScript::VariableTable table;
    table.GetOrCreate(u"keep", 8);
    ReadSlotVariables(5, table);
    EXPECT_EQ(table.Find(TextScript::VariableNode::kNumber, u"x")->value, 5);
    EXPECT_EQ(table.Find(TextScript::VariableNode::kNumber, u"keep")->value, 8);
}

}  // namespace
