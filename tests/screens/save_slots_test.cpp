#include "screens/save_slots.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/cg_image.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/picture_commands.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "archive/archive.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/dxsurface.h"
#include "lib/error.h"
#include "save_state.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "support/child_peak.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

using testsupport::FileBytes;
using testsupport::SqliteObserver;
using testsupport::TempFolder;

std::int32_t Variable(const TextScript::VariableTable& table, std::u16string_view name) {
    const TextScript::VariableNode* node = table.Find(TextScript::VariableNode::kNumber, name);
    return node ? node->value : -999;
}

class SaveSlotsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        Reset();
        const DatabaseScope scope = OpenSaveDatabase();
        CreateSaveSchema();
    }
    void TearDown() override {
        Reset();
        CurrentScript = nullptr;
        SettingsFolders.settings_folder = saved_folder_;
    }
    static void Reset() { ResetSaveState(); }

    // Slot number -> comment, for every slot the file holds.
    std::map<std::int32_t, std::u16string> Slots() {
        std::map<std::int32_t, std::u16string> slots;
        for (std::int32_t number = 1; number <= kRingSpare; ++number) {
            if (!SlotExists(number)) continue;
            const Decoded<SAVEDATA2> record = ReadSlotRecord(number);
            EXPECT_TRUE(record.ok()) << number;
            slots[number] = record.value.comment;
        }
        return slots;
    }
    std::string Observe(const std::string& sql) { return SqliteObserver(folder_ / "save.dat").Rows(sql); }

    TempFolder folder_{"qb_slots"};
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
};

std::u16string Name(std::int32_t number) { return u"slot" + Utf8ToUtf16(std::to_string(number)); }

// ---- The quick-save ring ----

TEST_F(SaveSlotsTest, AQuickSaveTurnsTheRing) {
    struct Case {
        std::vector<std::int32_t> before;
        // After the save: the number each earlier slot moved to (absent: dropped); the new save is
        // always in 91 with an empty comment.
        std::map<std::int32_t, std::int32_t> moved;
    } cases[] = {
        {{}, {}},
        {{95}, {{95, 96}}},
        {{91}, {{91, 92}}},
        {{99}, {}},
        {{91, 93, 97}, {{91, 92}, {93, 94}, {97, 98}}},
        {{91, 92, 93, 94, 95, 96, 97, 98, 99},
         {{91, 92}, {92, 93}, {93, 94}, {94, 95}, {95, 96}, {96, 97}, {97, 98}, {98, 99}}},
        {{1, 90, 98}, {{1, 1}, {90, 90}, {98, 99}}},
    };
    for (const Case& c : cases) {
        {
            const DatabaseScope scope = OpenSaveDatabase();
            for (std::int32_t number = 1; number <= kRingSpare; ++number) DeleteEntry(number);
        }
        for (const std::int32_t number : c.before) ASSERT_EQ(SaveSlot(number, Name(number)), 1);
        ASSERT_EQ(AutoSave(), 1);
        std::map<std::int32_t, std::u16string> expected{{91, u""}};
        for (const auto& [from, to] : c.moved) expected[to] = Name(from);
        EXPECT_EQ(Slots(), expected) << "before: " << c.before.size() << " slots, first "
                                     << (c.before.empty() ? 0 : c.before.front());
    }
}

TEST_F(SaveSlotsTest, NineQuickSavesFillTheRingAndATenthDropsTheOldest) {
    for (int k = 1; k <= 10; ++k) {
        TextScript::CurrentPage = static_cast<std::uint32_t>(1000 + k);
        ASSERT_EQ(AutoSave(), 1);
    }
    std::map<std::int32_t, std::int32_t> pages;
    for (std::int32_t number = 1; number <= kRingSpare; ++number)
        if (SlotExists(number)) pages[number] = ReadSlotRecord(number).value.resumePage;
    // The newest (page 1010) in 91, the oldest kept (page 1002) in 99; page 1001 is gone.
    const std::map<std::int32_t, std::int32_t> expected{{91, 1010}, {92, 1009}, {93, 1008}, {94, 1007}, {95, 1006},
                                                        {96, 1005}, {97, 1004}, {98, 1003}, {99, 1002}};
    EXPECT_EQ(pages, expected);
}

TEST_F(SaveSlotsTest, TheLatestQuickSaveIsTheLowestOccupiedRingNumber) {
    struct Case {
        std::vector<std::int32_t> slots;
        std::int32_t index;
    } cases[] = {
        {{}, -1}, {{93, 97}, 92}, {{1, 90}, -1}, {{99}, 98}, {{91, 99}, 90}, {{90, 95}, 94},
    };
    for (const Case& c : cases) {
        {
            const DatabaseScope scope = OpenSaveDatabase();
            for (std::int32_t number = 1; number <= kRingSpare; ++number) DeleteEntry(number);
        }
        for (const std::int32_t number : c.slots) SaveSlot(number, u"");
        EXPECT_EQ(FindLatestAutoSave(), c.index) << c.slots.size();
    }
}

TEST_F(SaveSlotsTest, AQuickSaveThatFailsHalfWayStoresNothingAndSaysSo) {
    SaveSlot(91, u"old91");
    SaveSlot(95, u"old95");
    // The last step of the rotation, moving 100 to 91, fails.
    ASSERT_EQ(SqliteObserver(folder_ / "save.dat")
                  .Exec("CREATE TRIGGER refuse BEFORE UPDATE ON entry WHEN NEW.number=91 "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END;"),
              0);
    const std::string before = FileBytes(folder_ / "save.dat");
    std::u16string error;
    EXPECT_EQ(AutoSave(&error), 0);
    EXPECT_NE(error.find(u"refused"), std::u16string::npos);
    EXPECT_EQ(FileBytes(folder_ / "save.dat"), before);
    EXPECT_EQ(Slots(), (std::map<std::int32_t, std::u16string>{{91, u"old91"}, {95, u"old95"}}));
}

TEST_F(SaveSlotsTest, AnExceptionInsideASaveRollsItBack) {
    SaveSlot(4, u"kept");
    const std::string before = FileBytes(folder_ / "save.dat");
    TextScript::CurrentPage = 77;
    EXPECT_THROW(
        {
            const DatabaseScope scope = OpenSaveDatabase();
            SaveSlot(4, u"new");
            SaveSlot(5, u"new");
            throw std::runtime_error("left half-way");
        },
        std::runtime_error);
    EXPECT_EQ(FileBytes(folder_ / "save.dat"), before);
    EXPECT_EQ(Slots(), (std::map<std::int32_t, std::u16string>{{4, u"kept"}}));
}

// ---- Saving and loading ----

TEST_F(SaveSlotsTest, ASaveStoresTheRecordAndTheVariablesOfThePageStart) {
    TextScript::CurrentPage = 1234;
    RecordScene(CurrentPicture, kSceneGrp, u"BG01");
    RecordScene(CurrentBgm, kSceneOn, u"M03");
    TextScript::LiveVariables().GetOrCreate(u"love", 3);
    TextScript::SnapshotVariables();
    TextScript::LiveVariables().GetOrCreate(u"love", 4);  // changed on the page after it began
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(SaveSlot(7, u"コメント"), 1);
    const std::time_t after = std::time(nullptr);

    const Decoded<SAVEDATA2> record = ReadSlotRecord(7);
    ASSERT_TRUE(record.ok());
    EXPECT_EQ(record.value.comment, u"コメント");
    EXPECT_EQ(record.value.resumePage, 1234);
    EXPECT_EQ(SceneName(record.value.scenes[0]), u"BG01");
    EXPECT_EQ(record.value.scenes[0].mode, kSceneGrp);
    EXPECT_EQ(SceneName(record.value.scenes[2]), u"M03");
    // The local time of the save as a calendar reads it (months and days from 1), which the slot
    // lists show as they stand.
    const SaveTime& t = record.value.time;
    std::tm saved{};
    saved.tm_year = t.wYear - 1900;
    saved.tm_mon = t.wMonth - 1;
    saved.tm_mday = t.wDay;
    saved.tm_hour = t.wHour;
    saved.tm_min = t.wMinute;
    saved.tm_sec = t.wSecond;
    saved.tm_isdst = -1;
    const std::time_t stored = std::mktime(&saved);
    EXPECT_GE(stored, before);
    EXPECT_LE(stored, after);
    EXPECT_EQ(t.wDayOfWeek, saved.tm_wday);
    EXPECT_EQ(Observe("SELECT length(header), backlog IS NULL, hex(value_data) FROM entry WHERE number=7;"),
              "65796|1|6C6F76650003000000"
              "00");
}

TEST_F(SaveSlotsTest, ALoadRestoresPageSceneAndVariablesAndEmptiesTheBacklog) {
    ScriptStateGroup_App group;
    CompilePages(group, 2222);
    CurrentScript = &group;
    TextScript::CurrentPage = 2222;
    RecordScene(CurrentPicture, kSceneChr, u"CHA");
    RecordScene(CurrentChl, kSceneOn, u"CHB");
    RecordScene(CurrentBgm, kSceneOn, u"M01");
    RecordScene(CurrentS1, kEffectLooping, u"SE1");
    RecordScene(CurrentS2, kEffectOnce, u"SE2");
    TextScript::LiveVariables().GetOrCreate(u"a", 1);
    TextScript::LiveVariables().GetOrCreate(u"b", 2);
    TextScript::SnapshotVariables();
    TextScript::LiveVariables().GetOrCreate(u"a", 100);
    ASSERT_EQ(SaveSlot(12, u"x"), 1);
    const auto saved = CurrentSceneStates();

    // The game goes on and changes everything.
    RecordScene(CurrentPicture, kSceneWhite, u"ZZZ");
    CurrentChl.mode = 0;
    RecordScene(CurrentBgm, kSceneOn, u"M09");
    CurrentS1.mode = 0;
    CurrentS2.mode = 0;
    TextScript::LiveVariables().GetOrCreate(u"b", 50);
    TextScript::LiveVariables().GetOrCreate(u"later", 9);
    group.backlog().Append({u"text", u""});

    LoadSlot(12);
    EXPECT_EQ(ResumePage, 2222);
    const auto loaded = CurrentSceneStates();
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) {
        EXPECT_EQ(loaded[i].mode, saved[i].mode) << i;
        EXPECT_EQ(SceneName(loaded[i]), SceneName(saved[i])) << i;
    }
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"a"), 1);
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"b"), 2);
    EXPECT_EQ(Variable(TextScript::LiveVariables(), u"later"), -999);
    EXPECT_EQ(Variable(TextScript::VariableSnapshot(), u"a"), 1);
    EXPECT_EQ(TextScript::VariableSnapshot().size(), 2u);
    EXPECT_TRUE(group.backlog().entries().empty());
}

TEST_F(SaveSlotsTest, ALoadCopiesOnlyTheBytesUpToEachRecordsZero) {
    RecordScene(CurrentPicture, kSceneGrp, u"AB");
    CurrentChl.mode = 0;
    SaveSlot(3, u"");
    RecordScene(CurrentPicture, kSceneGrp, u"WXYZ");
    RecordScene(CurrentChl, kSceneOn, u"KEPT");
    LoadSlot(3);
    EXPECT_EQ(SceneName(CurrentPicture), u"AB");
    EXPECT_EQ(CurrentPicture.name[3], 'Z');  // after the copied zero: what the record held
    EXPECT_EQ(CurrentChl.mode, 0);
    EXPECT_EQ(SceneName(CurrentChl), u"KEPT");
}

// The state a failed load must leave alone.
struct GameState {
    std::int32_t resume_page;
    std::array<SceneStateRecord, kSlotSceneCount> scenes;
    std::int32_t a, snapshot_a;
    std::size_t backlog;
};
GameState Capture(ScriptStateGroup_App& group) {
    return {ResumePage, CurrentSceneStates(), Variable(TextScript::LiveVariables(), u"a"),
            Variable(TextScript::VariableSnapshot(), u"a"), group.backlog().entries().size()};
}
void ExpectSame(const GameState& before, const GameState& after) {
    EXPECT_EQ(after.resume_page, before.resume_page);
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) {
        EXPECT_EQ(after.scenes[i].mode, before.scenes[i].mode) << i;
        EXPECT_EQ(SceneName(after.scenes[i]), SceneName(before.scenes[i])) << i;
    }
    EXPECT_EQ(after.a, before.a);
    EXPECT_EQ(after.snapshot_a, before.snapshot_a);
    EXPECT_EQ(after.backlog, before.backlog);
}

TEST_F(SaveSlotsTest, ALoadThatFailsChangesNothing) {
    ScriptStateGroup_App group;
    CurrentScript = &group;
    TextScript::CurrentPage = 10;
    RecordScene(CurrentPicture, kSceneGrp, u"OLD");
    TextScript::LiveVariables().GetOrCreate(u"a", 1);
    TextScript::SnapshotVariables();
    SaveSlot(20, u"");  // damaged variables below
    SaveSlot(21, u"");  // damaged header below
    SaveSlot(22, u"");  // no variables below
    {
        const DatabaseScope scope = OpenSaveDatabase();
        const std::uint8_t cut[] = {'a', 0, 5, 0};  // the value runs past the end
        WriteSlotVariables(20, std::span<const std::uint8_t>(cut));
    }
    {
        // The picture's scene name fills its record without a zero.
        const DatabaseScope scope = OpenSaveDatabase();
        std::vector<std::uint8_t> header(kSaveData2Bytes);
        ReadEntryHeader(21, std::span<std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        std::fill_n(header.begin() + 65'637, 31, std::uint8_t{'n'});
        WriteEntryHeader(21, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
    }
    ASSERT_EQ(SqliteObserver(folder_ / "save.dat").Exec("UPDATE entry SET value_data=NULL WHERE number=22;"), 0);
    ASSERT_EQ(SqliteObserver(folder_ / "save.dat").Exec("INSERT INTO entry(number, header) VALUES(23, x'00');"), 0);

    // The game has moved on since.
    ResumePage = 555;
    RecordScene(CurrentPicture, kSceneChr, u"NOW");
    RecordScene(CurrentBgm, kSceneOn, u"M07");
    TextScript::LiveVariables().GetOrCreate(u"a", 42);
    TextScript::SnapshotVariables();
    group.backlog().Append({u"kept", u""});
    const GameState before = Capture(group);
    const std::string file = FileBytes(folder_ / "save.dat");

    for (const std::int32_t number : {20, 21, 22, 23, 50, 0, 101}) {
        EXPECT_THROW(LoadSlot(number), ExceptionHandle) << number;
        ExpectSame(before, Capture(group));
    }
    EXPECT_EQ(FileBytes(folder_ / "save.dat"), file);
}

// What takes no part in a load never refuses one: the thumbnail area, whatever it holds, and the
// bytes after the variable list's end.
TEST_F(SaveSlotsTest, ASlotLoadsWhateverItsThumbnailAndWhateverFollowsItsVariables) {
    TextScript::LiveVariables().GetOrCreate(u"a", 7);
    TextScript::SnapshotVariables();
    // Rewrites slot 9's record with `bytes` at `offset`.
    const auto patch = [](std::size_t offset, std::vector<std::uint8_t> bytes) {
        return [offset, bytes] {
            const DatabaseScope scope = OpenSaveDatabase();
            std::vector<std::uint8_t> header(kSaveData2Bytes);
            ReadEntryHeader(9, std::span<std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
            std::copy(bytes.begin(), bytes.end(), header.begin() + static_cast<std::ptrdiff_t>(offset));
            WriteEntryHeader(9, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        };
    };
    struct Case {
        const char* what;
        std::function<void()> damage;
    } cases[] = {
        {"an all-zero thumbnail area, saved before any picture existed", patch(60, std::vector<std::uint8_t>(65'576))},
        {"a thumbnail header of another width", patch(64, {141})},
        {"bytes after the variables' end",
         [] {
             const std::uint8_t blob[] = {'a', 0, 7, 0, 0, 0, 0, 0xFF, 'x', 0};
             const DatabaseScope scope = OpenSaveDatabase();
             WriteSlotVariables(9, std::span<const std::uint8_t>(blob));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextScript::CurrentPage = 66;
        ASSERT_EQ(SaveSlot(9, u""), 1);
        c.damage();
        TextScript::ClearVariableTable(TextScript::LiveVariables());
        ResumePage = -1;
        EXPECT_NO_THROW(LoadSlot(9));
        EXPECT_EQ(ResumePage, 66);
        EXPECT_EQ(Variable(TextScript::LiveVariables(), u"a"), 7);
        EXPECT_EQ(TextScript::LiveVariables().size(), 1u);
    }
}

// A variable blob of tens of megabytes is read no further than its limit and refused, at little
// cost in memory; a table too large for the limit is never stored.
TEST_F(SaveSlotsTest, VariablesPastTheLimitAreNeitherStoredNorRead) {
    SaveSlot(6, u"");
    // 30 million UTF-16 A's: a name "A", a value, and so on, never ending.
    ASSERT_EQ(SqliteObserver(folder_ / "save.dat")
                  .Exec("UPDATE entry SET value_data=printf('%.*c', 30000000, 'A') WHERE number=6;"),
              0);
    const long growth = testsupport::ChildPeakGrowthMiB([] {
        try {
            LoadSlot(6);
        } catch (const ExceptionHandle& error) {
            return std::u16string(error.message).find(u"goes on past") != std::u16string::npos;
        }
        return false;
    });
    EXPECT_GE(growth, 0) << "the load was not refused for its size";
    EXPECT_LT(growth, 40) << "MiB";

    TextScript::VariableTable& snapshot = TextScript::VariableSnapshot();
    for (std::size_t i = 0; i <= kMaxVariables; ++i) snapshot.GetOrCreate(u"V" + Utf8ToUtf16(std::to_string(i)), 1);
    const std::string before = FileBytes(folder_ / "save.dat");
    EXPECT_THROW(SaveSlot(7, u""), ExceptionHandle);
    EXPECT_EQ(FileBytes(folder_ / "save.dat"), before);
}

TEST_F(SaveSlotsTest, ADamagedHeaderIsReportedByTheReaders) {
    ASSERT_EQ(SqliteObserver(folder_ / "save.dat").Exec("INSERT INTO entry(number, header) VALUES(8, x'0000');"), 0);
    std::array<std::uint8_t, kSlotHeaderBytes> header{};
    std::array<std::uint8_t, kSlotThumbnailBytes> thumbnail{};
    EXPECT_TRUE(SlotExists(8));
    EXPECT_THROW(ReadSlotHeader(8, header), ExceptionHandle);
    EXPECT_THROW(ReadSlotThumbnail(8, thumbnail), ExceptionHandle);
    EXPECT_THROW(ReadSlotRecord(8), ExceptionHandle);
}

TEST_F(SaveSlotsTest, NumbersOutsideTheSlotsAreRefused) {
    const std::string before = FileBytes(folder_ / "save.dat");
    for (const std::int32_t number : {0, -1, 101}) {
        EXPECT_THROW(SaveSlot(number, u""), ExceptionHandle) << number;
        EXPECT_THROW(DeleteSlot(number), ExceptionHandle) << number;
    }
    EXPECT_EQ(FileBytes(folder_ / "save.dat"), before);
}

TEST_F(SaveSlotsTest, TheListAndThumbnailReadersCopyTheirPartsOfTheRecord) {
    TextScript::CurrentPage = 0x01020304;
    SaveSlot(2, u"ab");
    std::array<std::uint8_t, kSlotHeaderBytes> header{};
    ReadSlotHeader(2, header);
    EXPECT_EQ(header[4], 'a');
    EXPECT_EQ(header[5], 'b');
    EXPECT_EQ(header[6], 0);
    std::array<std::uint8_t, kSlotThumbnailBytes> thumbnail{};
    EXPECT_TRUE(ReadSlotThumbnail(2, thumbnail));
    EXPECT_EQ(thumbnail[0], 40);   // the picture header's size
    EXPECT_EQ(thumbnail[4], 140);  // width
    EXPECT_EQ(thumbnail[8], 105);  // height
    EXPECT_EQ(thumbnail[14], 32);  // bits per pixel
    DeleteSlot(2);
    EXPECT_FALSE(SlotExists(2));
}

TEST_F(SaveSlotsTest, ASaveDuringACycleWritesTheGlobalRecordsInTheSameTransaction) {
    ScriptStateGroup_App group;
    CurrentScript = &group;
    group.AddSceneName(u"S01");
    SeenCgList.push_back(u"C01");
    SeenFlags[1] = 0x80;
    ASSERT_EQ(SaveSlot(30, u""), 1);
    EXPECT_EQ(Observe("SELECT name, hex(value_bin) FROM global WHERE name!='COMMON' ORDER BY name;"),
              "ALBUM|433031000"
              "0;SCENE|533031000"
              "0");
    EXPECT_EQ(Observe("SELECT hex(substr(value_bin, 262, 1)) FROM global WHERE name='COMMON';"), "80");
}

// ---- The thumbnail ----

// The 4 bytes of a pixel of the thumbnail (x, y from the top).
std::array<std::uint8_t, 4> ThumbPixel(const std::array<std::uint8_t, kThumbnailPixelBytes>& pixels, int x, int y) {
    const std::size_t at = static_cast<std::size_t>(kThumbnailHeight - 1 - y) * kThumbnailStride + 4u * x;
    return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
}
std::array<std::uint8_t, 4> ImagePixel(const DxDraw::DxImage& image, int x, int y) {
    const std::uint8_t* p = image.GetPixelAddress(x, y);
    return {p[0], p[1], p[2], p[3]};
}

class SlotThumbnailTest : public SaveSlotsTest {
protected:
    void SetUp() override {
        SaveSlotsTest::SetUp();
        std::filesystem::create_directories(folder_ / "archive" / "thumb");
        std::filesystem::copy_file(std::filesystem::path(QB_TEST_DATA_DIR) / "images" / "quadrants.png",
                                   folder_ / "archive" / "thumb" / "BG1.png");
        ScriptArchive = OpenDirArchiveNative((folder_ / "archive").string());
        ASSERT_TRUE(ScriptArchive);
        layer_ = DxDraw::CreateSurface(32);
        ASSERT_TRUE(layer_ && layer_->SetSize(800, 600));
        layer_->FillRect(nullptr, 0x123456, 255);
        sprite_ = std::make_unique<DxDraw::DxSprite>(layer_.Get());
    }
    void TearDown() override {
        PictureSprite = nullptr;
        sprite_.reset();
        SaveSlotsTest::TearDown();
    }
    std::array<std::uint8_t, kThumbnailPixelBytes> Draw() {
        std::array<std::uint8_t, kThumbnailPixelBytes> pixels;
        pixels.fill(0xEE);
        DrawSlotThumbnail(pixels);
        return pixels;
    }

    ComPtr<DxDraw::DxSurface> layer_;
    std::unique_ptr<DxDraw::DxSprite> sprite_;
};

TEST_F(SlotThumbnailTest, ABackgroundWithAThumbPictureShowsThatPicture) {
    PictureSprite = sprite_.get();
    RecordScene(CurrentPicture, kSceneGrp, u"BG10000");
    const ComPtr<DxDraw::DxSurface> thumb = LoadCgImage(ScriptArchive.Get(), u"thumb/BG1", true, false);
    ASSERT_TRUE(thumb);
    const int w = thumb->GetWidth(), h = std::abs(thumb->GetHeight());
    const auto pixels = Draw();
    // The corners of the scaled picture are the picture's corners.
    EXPECT_EQ(ThumbPixel(pixels, 0, 0), ImagePixel(*thumb, 0, 0));
    EXPECT_EQ(ThumbPixel(pixels, kThumbnailWidth - 1, 0), ImagePixel(*thumb, w - 1, 0));
    EXPECT_EQ(ThumbPixel(pixels, 0, kThumbnailHeight - 1), ImagePixel(*thumb, 0, h - 1));
    EXPECT_EQ(ThumbPixel(pixels, kThumbnailWidth - 1, kThumbnailHeight - 1), ImagePixel(*thumb, w - 1, h - 1));
    EXPECT_NE(ThumbPixel(pixels, 0, 0), ThumbPixel(pixels, kThumbnailWidth - 1, kThumbnailHeight - 1));
}

TEST_F(SlotThumbnailTest, OtherwiseThePictureLayerIsScaledDown) {
    PictureSprite = sprite_.get();
    layer_->FillRectXYWH(400, 0, 400, 600, 0xABCDEF, 255);  // the right half another colour
    const std::array<std::uint8_t, 4> left = ImagePixel(*layer_, 0, 0), right = ImagePixel(*layer_, 799, 599);
    struct Case {
        std::uint8_t mode;
        const char16_t* name;
    } cases[] = {{kSceneGrp, u"XYZ00"}, {kSceneChr, u"BG10000"}, {kSceneBlack, u"BG1"}};
    for (const Case& c : cases) {
        RecordScene(CurrentPicture, c.mode, c.name);
        const auto pixels = Draw();
        EXPECT_EQ(ThumbPixel(pixels, 0, 0), left) << c.mode;
        EXPECT_EQ(ThumbPixel(pixels, 69, 104), left) << c.mode;
        EXPECT_EQ(ThumbPixel(pixels, 70, 0), right) << c.mode;
        EXPECT_EQ(ThumbPixel(pixels, 139, 104), right) << c.mode;
    }
}

// A "thumb/" picture that cannot be read is left out as a missing one is: the save is made, with
// the picture layer for its thumbnail.
TEST_F(SlotThumbnailTest, ADamagedThumbPictureFallsBackToThePictureLayer) {
    PictureSprite = sprite_.get();
    const std::string png = testsupport::FileBytes(folder_ / "archive" / "thumb" / "BG1.png");
    const struct {
        const char* name;
        std::string bytes;
    } damaged[] = {{"BG2.png", png.substr(0, png.size() / 2)}, {"BG3.tif", "II*\0garbage"}, {"BG4.png", ""}};
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        std::ofstream(folder_ / "archive" / "thumb" / d.name, std::ios::binary) << d.bytes;
        RecordScene(CurrentPicture, kSceneGrp, Utf8ToUtf16(std::string(d.name, 3)) + u"0000");
        const auto pixels = Draw();
        EXPECT_EQ(ThumbPixel(pixels, 0, 0), ImagePixel(*layer_, 0, 0));
        EXPECT_EQ(ThumbPixel(pixels, 139, 104), ImagePixel(*layer_, 799, 599));
        EXPECT_EQ(SaveSlot(4, u""), 1);
    }
}

TEST_F(SlotThumbnailTest, WithoutAPictureLayerTheThumbnailIsEmpty) {
    RecordScene(CurrentPicture, kSceneChr, u"A01");
    const auto pixels = Draw();
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
