// The data start-up on folders made from the sample game's data: what the route runs cannot see
// (missing archives, errors, requests during the splash, the release on every way out).
#include "app/start_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/runtime.h"
#include "app/system_image.h"
#include "host/testhost/test_host.h"
#include "lib/error.h"
#include "lib/text.h"
#include "script/variables.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = DEMO_DATA_DIR;

class StartData : public ::testing::Test {
protected:
    StartData() {
        for (int command : {40003, 40010, 40027}) host::MenuModel::AddItem(host.menu().AddPopup(u"p"), command, u"x");
        services.menu = &host.menu();
    }
    // A data folder holding the given pieces of the sample game; the loose script folder gets
    // the jump table, the configuration, the splash picture and `start` as "_start.txt".
    void Make(bool system, bool loose_script, bool loose_sound, const std::string& start = ".PST A = 1\n") {
        if (system) fs::copy_file(kDemo / "system.saf", folder.path() / "system.saf");
        if (loose_script) {
            const fs::path data = folder.path() / "script/data";
            fs::create_directories(data);
            for (const char* name : {"iv.txt", "config.xml", "brand.jpg"})
                fs::copy_file(kDemo / "script/data" / name, data / name);
            std::ofstream(data / "_start.txt", std::ios::binary) << start;
        }
        if (loose_sound) fs::create_directories(folder.path() / "script/sound");
    }
    // "!" with the type and message when the start-up throws.
    std::string Start() {
        try {
            ::StartData(folder.Path(), services);
        } catch (const ExceptionHandle& error) {
            return "!" + std::to_string(error.type) + " " + Utf16ToUtf8(error.message);
        }
        EXPECT_FALSE(SystemArchive || ScriptArchive || SoundArchive || SystemImage) << "the data is released";
        return "";
    }

    testsupport::TempFolder folder{"start_data"};
    testhost::TestHost host;
    ScopedRuntime runtime{host};
    GameCycleServices services = DefaultGameCycleServices();
};

TEST_F(StartData, TheBaseFolderHasTheSystemArchiveOrIsTheDataFolderBesideIt) {
    const std::u16string base = folder.Path() + u"bin/";
    const std::u16string bare = base.substr(0, base.size() - 1);
    fs::create_directories(folder.path() / "bin");
    EXPECT_EQ(DataBaseFolder(bare), base) << "found nowhere: the folder given";
    fs::create_directories(folder.path() / "data");
    fs::copy_file(kDemo / "system.saf", folder.path() / "data/system.saf");
    EXPECT_EQ(DataBaseFolder(bare), base + u"../data/");
    fs::copy_file(kDemo / "system.saf", folder.path() / "bin/system.saf");
    EXPECT_EQ(DataBaseFolder(base), base);
}

TEST_F(StartData, ArchivesOnlySkipsTheLooseFolders) {
    OpenDataArchives(Utf8ToUtf16(kDemo.string() + "/"), true);
    EXPECT_FALSE(ScriptArchive->Enumerate().empty() || SoundArchive->Enumerate().empty());
}

TEST_F(StartData, AMissingArchiveOrAnErrorEndsTheStartAndLeavesNothing) {
    const auto missing = [this](const char* name) {
        return "!0 データがありません。(" + Utf16ToUtf8(folder.Path()) + name + ")";
    };
    const struct {
        bool system, script, sound;
        std::string result, start = ".PST A = 1\n";
    } cases[] = {
        {false, true, true, missing("system.saf")},
        {true, false, false, missing("script.saf")},   // no loose folder, no script.saf
        {true, true, false, missing("script/sound")},  // the loose script folder without its sounds
        {true, true, true, "!0 コマンド名が違います。", ".NOPE\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        fs::remove_all(folder.path());
        fs::create_directories(folder.path());
        Make(c.system, c.script, c.sound, c.start);
        EXPECT_EQ(Start(), c.result);
        EXPECT_FALSE(SystemArchive || ScriptArchive || SoundArchive || SystemImage);
        if (c.start[1] == 'P') {
            EXPECT_EQ(host.test_window().frames(), 0) << "no splash";
        }
    }
}

TEST_F(StartData, CyclesRunUntilOneEndsTheProgramWithTheDataReadyAndReleasedAfter) {
    Make(true, true, true);
    std::fill(std::begin(SeenFlags), std::end(SeenFlags), std::uint8_t{0xFF});
    int titles = 0;
    services.run_title = [&](const GameCycleServices&) {
        EXPECT_EQ(SeenFlags[0] | SeenFlags[kSeenFlagBytes - 1], 0);
        EXPECT_TRUE(host.menu().IsGrayed(40010)) << "grayed for the cycle";
        EXPECT_FALSE(host.menu().IsGrayed(40027)) << "enabled again after the splash";
        EXPECT_GE(host.test_window().frames(), 300) << "after the splash's five seconds";
        // The first title goes back to the title (result 1), the second starts the story.
        return ++titles == 1 ? std::int32_t{-1} : std::int32_t{1};
    };
    EXPECT_EQ(Start(), "");
    EXPECT_EQ(titles, 2);
    EXPECT_EQ(TextScript::EvaluateOperand(u"A", -99), -99) << "the variables are cleared";
}

TEST_F(StartData, ARequestDuringTheSplashStartsTheFirstCycleAsItAsks) {
    Make(true, true, true);
    int loaded = 0;
    services.run_title = [](const GameCycleServices&) {
        ADD_FAILURE() << "a load request skips the title";
        return std::int32_t{0};
    };
    services.load_slot = [&](std::int32_t number) { loaded = number; };
    host.test_window().on_frame = [](int frame) {
        if (frame == 10) {
            RequestedLoadSlot = 3;
            PendingRequest = kRequestLoad;
        }
    };
    struct Requests : GameEventSink {
        void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
            if (kind == "request") posted += Utf16ToUtf8(*fields.begin());
        }
        std::string posted;
    } requests;
    const ScopedGameEventSink sink(&requests);
    EXPECT_EQ(Start(), "");
    EXPECT_EQ(requests.posted, "1") << "the load request, as the script exception's code";
    EXPECT_EQ(loaded, 4);
    EXPECT_LT(host.test_window().frames(), 300) << "the splash ended at the request";
}

}  // namespace
