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

TEST_F(GlobalRecordsTest, ADamagedRecordReadsAsEmptyAndTheOthersStillLoad) {
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
        LastUsedSlot = 3;
        group.AddSceneName(u"S01");
        SeenCgList = {u"C01"};
        SaveGlobalData(group);
    }
    struct Case {
        const char* sql;
        std::int32_t last_used;
        std::size_t scenes, pictures;
    } cases[] = {
        {"UPDATE global SET value_bin=x'0102' WHERE name='COMMON';", 9, 1, 1},                        // wrong size
        {"UPDATE global SET value_bin=x'F4010000' || zeroblob(2304) WHERE name='COMMON';", 9, 1, 1},  // slot 501
        {"UPDATE global SET value_bin=x'533031' WHERE name='SCENE';", 3, 0, 1},                       // no final zero
        {"UPDATE global SET value_bin=x'4330310000FF' WHERE name='ALBUM';", 3, 1, 0},                 // bytes after it
        {"UPDATE global SET value_bin=NULL WHERE name='COMMON';", 9, 1, 1},                           // never written
    };
    const std::string good = FileBytes(file_);
    for (const Case& c : cases) {
        std::filesystem::remove(file_);
        { std::ofstream(file_, std::ios::binary) << good; }
        ASSERT_EQ(SqliteObserver(file_).Exec(c.sql), 0) << c.sql;
        Forget();
        LastUsedSlot = 9;  // what memory held before
        ScriptStateGroup_App group;
        EXPECT_NO_THROW(LoadGlobalData(group)) << c.sql;
        EXPECT_EQ(LastUsedSlot, c.last_used) << c.sql;
        EXPECT_EQ(group.scene_names().size(), c.scenes) << c.sql;
        EXPECT_EQ(SeenCgList.size(), c.pictures) << c.sql;
    }
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
