// The scene replay inside a game cycle, on the sample game's replay page and layout (or on three
// pages) with a story of its own: how each way out of a replay comes back, to which page, and what
// a replay starts from.
#include "screens/scene_play.h"

#include <algorithm>
#include <fstream>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/menu_commands.h"
#include "app/scene_state.h"
#include "extras_fixture.h"
#include "host/ui/menu.h"
#include "script/script_node.h"

namespace {

using namespace extrastest;

// Scenes SC_LIGHT (a page, then its end), SC_BOOK (a jump to nowhere) and SC_BEACH; the sample's
// layout also offers SC_FEST, which this story lacks.
constexpr const char* kStory =
    ".PST A = 1\nものがたり\n\n.LAB SC_LIGHT\n.WAV BGM01\nひかり\n.SED\n\n.LAB SC_BOOK\n.JMP NOWHERE\n\n"
    ".LAB SC_BEACH\nはま\n.SED\n";
constexpr POINT kLight{200, 190}, kBook{400, 190}, kFest{600, 190}, kBeach{200, 360};
constexpr POINT kNothing{400, 300};  // no thumbnail or button of the page

// The story with the sample's replay page and layout, or with a layout of three pages.
struct ReplayFolder {
    explicit ReplayFolder(bool three_pages) {
        if (three_pages) {
            WriteThreePages(folder.path());
        } else {
            fs::create_directories(folder.path() / "title");
            for (const char* name : {"config.xml", "title/s_p1.png", "title/s_thumb1.png"})
                fs::copy_file(kDemoScripts / name, folder.path() / name);
        }
        std::ofstream table(folder.path() / "iv.txt");
        for (int entry = 0; entry < 20; ++entry) table << "J\n";
        std::ofstream(folder.path() / "start.txt") << Utf16ToCp932(Utf8ToUtf16(kStory));
    }
    testsupport::TempFolder folder{"scene_play"};
};

class ScenePlay : public ReplayFolder, public ExtrasTest {
protected:
    explicit ScenePlay(bool three_pages = false) : ReplayFolder(three_pages), ExtrasTest(folder.path()) {
        MakeSystemImage();
        services.menu = &host.menu();
        services.load_global = [](ScriptStateGroup_App& group) {
            for (const char16_t* scene : {u"sc_light", u"SC_BOOK", u"SC_FEST"}) group.AddSceneName(scene);
        };
        services.save_global = [](ScriptStateGroup_App&) {};
        services.run_title = [](const GameCycleServices&) {
            // What an earlier replay or game left in the scene records is not brought back.
            RecordScene(CurrentBgm, kSceneOn, u"BGM04");
            RecordScene(CurrentPicture, kSceneGrp, u"BG10000");
            RunScenePlay();
            return std::int32_t{0};
        };
    }
    ~ScenePlay() override { SystemImage.Reset(); }

    std::string BackToTitleLabel() { return Utf16ToUtf8(host.menu().Find(kMenuBackToTitle)->label); }

    GameCycleServices services = DefaultGameCycleServices();
};

TEST_F(ScenePlay, EveryWayOutOfAReplayPutsTheModeAndTheMenuBack) {
    // Slot 1 makes the run's smallest result for a load, 2.
    const auto load_slot = [](std::int32_t index) {
        return [index] { RequestedLoadSlot = index, PendingRequest = kRequestLoad; };
    };
    const struct {
        const char* name;
        POINT thumbnail;
        std::function<void()> then;  // may be none; a page that comes back is left by the right button
        std::string result;
        bool replayed;
        std::vector<std::string> requests = {}, boxes = {};
    } cases[] = {
        {"scene end", kLight, Click(kNothing), "0", true},
        {"title request", kLight, Request(kRequestTitle), "0", true, {"request 0"}},
        {"load request", kLight, load_slot(4), "6", true, {"request 1"}},
        {"load request, slot 1", kLight, load_slot(0), "2", true, {"request 1"}},
        {"error", kBook, nullptr, "NOWHERE", true},
        {"missing label", kFest, nullptr, "0", false, {}, {"エラー ラベルが見つかりません。[SC_FEST]"}},
        {"locked", kBeach, nullptr, "0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        host.scripted_modal().boxes.clear();
        host.menu().Gray(kMenuLoad, true);
        bool replayed = false;
        on_event = [&](const std::string& event) {
            if (event != "picture bg BLACK") return;  // the replay's first sight
            replayed = true;
            EXPECT_EQ(TextScript::ScenePlayMode, 1u);
            EXPECT_EQ(BackToTitleLabel(), "再生メニューに戻る(&X)");
            EXPECT_FALSE(host.menu().IsGrayed(kMenuLoad));
            EXPECT_EQ(ShownViews(), 2) << "the scene's layers and covers alone";
        };
        const auto page = [this] {
            EXPECT_EQ(TextScript::ScenePlayMode, 0u);
            EXPECT_TRUE(PageShown(u"title/s_p1"));
        };
        std::vector<Step> steps{{Click(c.thumbnail)}};
        if (c.then) steps.push_back({c.then});
        if (c.result == "0")
            steps.insert(steps.end(), {{Click(kNothing)}, {Click(kNothing), page}, {Click(kNothing, kRightButton)}});
        std::string result;
        const std::string thrown = Play([&] { result = std::to_string(RunSession(u"start.txt", 1, services)); }, steps);
        EXPECT_EQ(thrown.find("NOWHERE") != std::string::npos ? "NOWHERE" : thrown + result, c.result);
        EXPECT_EQ(replayed, c.replayed);
        EXPECT_EQ(Events("request"), c.requests);
        EXPECT_EQ(TextScript::ScenePlayMode, 0u);
        EXPECT_EQ(BackToTitleLabel(), "タイトルに戻る(&X)");
        EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr) << "nothing of the screen or the scene is left";
        std::vector<std::string> boxes;
        for (const testhost::ShownBox& box : host.scripted_modal().boxes)
            boxes.push_back(Utf16ToUtf8(box.caption + u" " + box.text));
        EXPECT_EQ(boxes, c.boxes);
        const std::vector<std::string> music = Events("music");
        EXPECT_EQ(std::count(music.begin(), music.end(), "music BGM04"), 0);
        if (c.replayed && c.thumbnail == kLight) {
            EXPECT_EQ(Events("picture"), std::vector<std::string>{"picture bg BLACK"}) << "the scene starts on black";
            // The page's title music, the scene's, and the page's again when the replay comes back to it.
            std::vector<std::string> expected{"music TITLE", "music BGM01"};
            if (c.result == "0") expected.push_back("music TITLE");
            EXPECT_EQ(music, expected);
        }
    }
}

class ReplayPages : public ScenePlay {
protected:
    ReplayPages() : ScenePlay(true) {}
};

TEST_F(ReplayPages, AReplayFromPage2ComesBackToPage2AndThePageButtonsAndBackKeepToTheirPage) {
    const auto page = [this](int n) {
        return [this, n] { EXPECT_TRUE(PageShown(u"title/s_p" + Utf8ToUtf16(std::to_string(n)))) << n; };
    };
    const POINT next{200, 560}, prev{60, 560}, exit{660, 560};
    bool replayed = false;
    on_event = [&](const std::string& event) { replayed = replayed || event == "picture bg BLACK"; };
    // SC_LIGHT, page 2's first scene: its page, then the scene's end.
    const std::vector<Step> steps{
        {Click(next), page(2)}, {Click(next), page(3)},     {Click(prev), page(2)}, {Click({200, 190})},
        {Click(kNothing)},      {Click(kNothing), page(2)}, {Click(exit)},
    };
    std::string result;
    EXPECT_EQ(Play([&] { result = std::to_string(RunSession(u"start.txt", 1, services)); }, steps), "");
    EXPECT_EQ(result, "0") << "the back button left the replay from page 2";
    EXPECT_TRUE(replayed);
}

}  // namespace
