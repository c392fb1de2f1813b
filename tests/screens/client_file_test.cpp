// A save file the sqlite3 command-line client builds from the documented schema and byte layout,
// loaded and quick-saved over by the game's own functions; afterwards the client still finds the
// file sound and the new slot of the documented size.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/picture_commands.h"
#include "app/scene_state.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "save_state.h"
#include "screens/global_records.h"
#include "screens/save_records.h"
#include "screens/save_slots.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "support/client_save_file.h"
#include "support/temp_folder.h"

namespace {

using testsupport::Bytes;
using testsupport::ClientScene;
using testsupport::TempFolder;

std::int32_t Variable(const TextScript::VariableTable& table, std::u16string_view name) {
    const TextScript::VariableNode* node = table.Find(TextScript::VariableNode::kNumber, name);
    return node ? node->value : -999;
}

void ExpectScenes(const std::array<SceneStateRecord, kSlotSceneCount>& expected) {
    const std::array<SceneStateRecord, kSlotSceneCount> now = CurrentSceneStates();
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) {
        EXPECT_EQ(now[i].mode, expected[i].mode) << i;
        EXPECT_EQ(SceneName(now[i]), SceneName(expected[i])) << i;
    }
}

std::array<SceneStateRecord, kSlotSceneCount> Scenes(
    const std::array<std::pair<std::uint8_t, std::u16string>, 5>& list) {
    std::array<SceneStateRecord, kSlotSceneCount> records;
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) RecordScene(records[i], list[i].first, list[i].second);
    return records;
}

class ClientFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        ResetSaveState();
        client_ = testsupport::FindSqliteClient(SQLITE3_CLIENT);
        ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
    }
    void TearDown() override {
        ResetSaveState();
        CurrentScript = nullptr;
        SystemConfig = saved_config_;
        SettingsFolders.settings_folder = saved_folder_;
    }
    // Runs the SQL through the client on the file; its output, and the exit code checked.
    std::string Client(const std::string& sql) {
        const testsupport::ToolRun run = testsupport::RunSqliteClient(client_, file_, sql);
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.errors, "");
        return run.output;
    }

    TempFolder folder_{"qb_client_file"};
    std::filesystem::path file_ = folder_ / "save.dat";
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
    SystemConfigRecord saved_config_ = SystemConfig;
    std::string client_;
};

TEST_F(ClientFileTest, TheGameLoadsAndQuickSavesOverAFileTheClientBuilt) {
    // Slot 1, saved through the dialog; slot 95, an older quick save.
    Bytes pixels(kThumbnailPixelBytes);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + 5);
    const ClientScene slot1_scenes[5] = {
        {kSceneGrp, "BG01"}, {kSceneOn, "CHB"}, {kSceneOn, "M02"}, {kEffectLooping, "SE1"}, {kEffectOnce, "SE2"}};
    const Bytes slot1 =
        testsupport::ClientSlotHeader("first", {2025, 6, 0, 14, 10, 20, 30, 400}, 321, pixels, slot1_scenes);
    const ClientScene ring_scenes[5] = {{kSceneWhite, ""}, {0, ""}, {0, ""}, {0, ""}, {0, ""}};
    const Bytes slot95 = testsupport::ClientSlotHeader("", {2024, 1, 1, 1, 0, 0, 0, 0}, 900, pixels, ring_scenes);
    const Bytes common = testsupport::ClientCommonRecord(0, u"Ann", u"花子", {3, 321});
    Client(std::string(testsupport::kSaveSchemaSql) +
           "INSERT INTO global(name, value_bin) VALUES('SCENE', X'4F50454E0000');\n"  // OPEN
           "INSERT INTO global(name, value_bin) VALUES('ALBUM', X'4330310000');\n"    // C01
           "INSERT INTO global(name, value_bin) VALUES('COMMON', X'" +
           testsupport::Hex(common) + "');\n" +
           testsupport::InsertEntrySql(1, slot1, testsupport::VariableBlob({{"love", 3}, {"\x95\xcf\x90\x94", -7}})) +
           testsupport::InsertEntrySql(95, slot95, testsupport::VariableBlob({{"love", 1}})));

    // The game as it runs before the load, with state the load must replace.
    ScriptStateGroup_App group;
    CompilePages(group, 900);
    CurrentScript = &group;
    TextScript::CurrentPage = 5;
    RecordScene(CurrentPicture, kSceneChr, u"NOW");
    TextScript::LiveVariables().GetOrCreate(u"love", 99);
    TextScript::LiveVariables().GetOrCreate(u"later", 9);
    TextScript::SnapshotVariables();

    LoadGlobalData(group);
    EXPECT_EQ(LastUsedSlot, 0);
    EXPECT_EQ(std::u16string(SystemConfig.PlayerName1), u"Ann");
    EXPECT_EQ(std::u16string(SystemConfig.PlayerName2), u"花子");
    EXPECT_EQ(SeenFlags[0], 0x10);         // page 3
    EXPECT_EQ(SeenFlags[321 >> 3], 0x40);  // page 321
    EXPECT_EQ(group.scene_names(), std::vector<std::u16string>{u"OPEN"});
    EXPECT_EQ(SeenCgList, std::vector<std::u16string>{u"C01"});
    EXPECT_EQ(FindLatestAutoSave(), 94);

    LoadSlot(1);
    EXPECT_EQ(ResumePage, 321);
    ExpectScenes(Scenes({{{kSceneGrp, u"BG01"},
                          {kSceneOn, u"CHB"},
                          {kSceneOn, u"M02"},
                          {kEffectLooping, u"SE1"},
                          {kEffectOnce, u"SE2"}}}));
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"love"), 3);
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"変数"), -7);
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"later"), -999);
    EXPECT_EQ(Variable(TextScript::VariableSnapshot(), u"love"), 3);
    EXPECT_EQ(TextScript::VariableSnapshot().size(), 2u);

    // The story goes on to the next page and changes the music and a variable; the page wait's
    // quick save stores that state in 91 and moves the older quick save from 95 to 96.
    TextScript::CurrentPage = 322;
    RecordScene(CurrentBgm, kSceneOn, u"M03");
    TextScript::LiveVariables().GetOrCreate(u"love", 4);
    TextScript::SnapshotVariables();
    const std::array<SceneStateRecord, kSlotSceneCount> saved = CurrentSceneStates();
    ASSERT_EQ(AutoSave(), 1);
    EXPECT_EQ(FindLatestAutoSave(), 90);
    ASSERT_TRUE(SlotExists(91));
    EXPECT_FALSE(SlotExists(95));
    ASSERT_TRUE(SlotExists(96));
    EXPECT_EQ(ReadSlotRecord(91).value.resumePage, 322);
    EXPECT_EQ(ReadSlotRecord(96).value.resumePage, 900);
    EXPECT_EQ(ReadSlotRecord(1).value.comment, u"first");

    // The game changes again, then loads the quick save back.
    RecordScene(CurrentPicture, kSceneWhite, u"");
    RecordScene(CurrentBgm, kSceneOn, u"M09");
    TextScript::LiveVariables().GetOrCreate(u"love", 50);
    TextScript::LiveVariables().GetOrCreate(u"変数", 0);
    LoadSlot(FindLatestAutoSave() + 1);
    EXPECT_EQ(ResumePage, 322);
    ExpectScenes(saved);
    EXPECT_EQ(SceneName(CurrentBgm), u"M03");
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"love"), 4);
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"変数"), -7);

    EXPECT_EQ(Client("PRAGMA integrity_check;"), "ok\n");
    EXPECT_EQ(Client("SELECT length(header) FROM entry WHERE number=91;"), "65796\n");
    EXPECT_EQ(Client("SELECT number FROM entry ORDER BY number;"), "1\n91\n96\n");
}

}  // namespace
