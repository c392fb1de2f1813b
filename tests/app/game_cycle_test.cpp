// The game cycle over the test host: scripts are compiled from a folder archive, the screens
// above the runtime are scripted services, and requests arrive as the window menu makes them.
#include "app/game_cycle.h"

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/game_data.h"
#include "app/message_window.h"
#include "app/scene_stage.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "lib/text.h"
#include "script/variables.h"
#include "stage_fixture.h"

namespace {

// The variables A, B and C after a run (-99: absent).
std::string Vars() {
    std::string text;
    for (const char16_t* name : {u"A", u"B", u"C"})
        text += std::to_string(TextScript::EvaluateOperand(name, -99)) + " ";
    return text;
}

class GameCycle : public stagetest::StageTest {
protected:
    GameCycle() {
        std::string table;
        for (int i = 0; i < 20; ++i) table += "J\n";
        Write("iv.txt", table);
        ScriptArchive = OpenDirArchive(folder.Path());
        for (int command : {kMenuBackToTitle, kMenuLoad})
            host::MenuModel::AddItem(host.menu().AddPopup(u"p"), command, u"x").grayed = true;
        services.menu = &host.menu();
        services.load_global = [this](ScriptStateGroup_App& group) {
            log += "load-global ";
            group.AddSceneName(u"scene1");
        };
        services.save_global = [this](ScriptStateGroup_App& group) {
            log += "save-global";
            EXPECT_TRUE(group.ContainsAppName(u"SCENE1"));
            EXPECT_EQ(CurrentScript, &group);
            EXPECT_EQ(SceneBaseGroup, nullptr) << "saved after the story's views are gone";
        };
        services.load_slot = [this](std::int32_t number) {
            log += "load-slot " + std::to_string(number) + " ";
            ResumePage = 2;
        };
        SettingsBlock.base_color[3] = 100;  // the text background's level
    }
    ~GameCycle() override { SettingsBlock = {}; }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder.path() / name, std::ios::binary) << text;
    }
    // Runs one cycle of "start.txt"; "!" and the error's line and message when it throws.
    std::string Cycle(const std::string& script, std::int32_t mode) {
        Write("start.txt", script);
        log.clear();
        std::string outcome;
        try {
            outcome = std::to_string(RunSession(u"start.txt", mode, services));
        } catch (const ExceptionHandle& error) {
            outcome = "!" + std::to_string(error.line) + " " + Utf16ToUtf8(error.message);
        }
        EXPECT_EQ(CurrentScript, nullptr);
        EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr) << "no scene view is left";
        return outcome;
    }

    testsupport::TempFolder folder{"game_cycle"};
    GameCycleServices services = DefaultGameCycleServices();
    std::string log;
};

// Pages: 1 before the PRSK label, 2 before C.
constexpr const char* kStory = ".PST A = 1\n\n.LAB PRSK\n.PST B = 1\n\n.PST C = 1\n";

TEST_F(GameCycle, TitleChoicesLoadsAndPrologueSkip) {
    // title: the title's answer, or 99 when it must not run; slot: the slot loaded, 0 none.
    struct Case {
        std::int32_t mode, title;
        bool skip;
        const char* script;
        std::string result;
        int slot;
        std::string vars;
        bool load_enabled;
    };
    const std::string kPageError = "!4 ラベルの直前にページ区切りがありません";
    const Case cases[] = {
        {0, 1, false, kStory, "0", 0, "1 1 1 ", true},
        {1, 1, true, kStory, "0", 0, "-99 1 1 ", true},
        {0, 1, true, ".PST A = 1\n\n.PST B = 1\n", "0", 0, "1 1 -99 ", true},
        {0, 1, true, "\n.PST A = 1\n.LAB PRSK\n", kPageError, 0, "-99 -99 -99 ", true},
        {0, -1, false, kStory, "1", 0, "-99 -99 -99 ", false},
        {0, 0, false, kStory, "0", 0, "-99 -99 -99 ", false},
        {1, -7, false, kStory, "0", 0, "1 1 1 ", true},
        {0, 4, false, kStory, "0", 3, "-99 -99 1 ", true},
        {5, 99, false, kStory, "0", 4, "-99 -99 1 ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.title) + " " + c.script);
        SkipPrologue = 1;               // a cycle clears what an earlier one left
        TextScript::ScenePlayMode = 1;  // a scene replay's too, whose story runs no PST
        services.run_title = [&c](const GameCycleServices&) {
            EXPECT_NE(c.title, 99) << "the title ran";
            EXPECT_EQ(SkipPrologue, 0u);
            SkipPrologue = c.skip;
            return c.title;
        };
        host.menu().Gray(kMenuBackToTitle, true);
        host.menu().Gray(kMenuLoad, true);
        EXPECT_EQ(Cycle(c.script, c.mode), c.result);
        EXPECT_EQ(log, c.slot ? "load-global load-slot " + std::to_string(c.slot) + " save-global"
                              : "load-global save-global");
        EXPECT_EQ(Vars(), c.vars);
        EXPECT_EQ(SkipPrologue, 0u);
        EXPECT_FALSE(host.menu().IsGrayed(kMenuBackToTitle));
        EXPECT_EQ(host.menu().IsGrayed(kMenuLoad), !c.load_enabled);
    }
}

TEST_F(GameCycle, RequestsErrorsAndQuitDecideTheResultAndStillSave) {
    const auto request_in_title = [](std::int32_t request) {
        return [request]() -> std::int32_t {
            PendingRequest = request;
            StepFrame();
            return 1;
        };
    };
    const auto new_game = [] { return std::int32_t{1}; };
    const struct {
        std::function<std::int32_t()> title;
        std::int32_t pending;  // a request waiting for the first frame step: the teardown's
        std::string result;
    } cases[] = {
        {request_in_title(kRequestTitle), kRequestNone, "1"},
        {request_in_title(kRequestLoad), kRequestNone, "8"},
        {new_game, kRequestTitle, "1"},
        {new_game, kRequestLoad, "8"},
        {new_game, kRequestGoBack, "0"},
        {[]() -> std::int32_t { ThrowError(u"main", 7, 1, 0, u"Quit"); }, kRequestNone, "0"},
        {[]() -> std::int32_t { ThrowError(u"x", 9, 0, 0, u"broken"); }, kRequestNone, "!9 broken"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result + " " + std::to_string(c.pending));
        RequestedLoadSlot = 6;
        services.run_title = [&c](const GameCycleServices&) { return c.title(); };
        PendingRequest = c.pending;
        EXPECT_EQ(Cycle(".PST A = 1\n", 0), c.result);
        EXPECT_EQ(log, "load-global save-global");
    }
}

TEST_F(GameCycle, ALoadThatFailsIsShownAndTheTitleComesBack) {
    testsupport::CaptureReports reports;
    services.run_title = [](const GameCycleServices&) { return std::int32_t{4}; };
    const struct {
        std::int32_t mode;  // 0: the title chooses slot 3; 5: a load request of slot 4
        std::uint32_t type;
        std::string result;
    } cases[] = {{0, 0, "1"}, {5, 0, "1"}, {0, 1, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.type));
        reports.boxes.clear();
        services.load_slot = [this, &c](std::int32_t number) {
            log += "load-slot " + std::to_string(number) + " ";
            ThrowError(u"script/scr_gui", 3655, c.type, 0, u"damaged");
        };
        EXPECT_EQ(Cycle(".PST A = 1\n", c.mode), c.result);
        EXPECT_EQ(log, "load-global load-slot " + std::to_string(c.mode == 0 ? 3 : 4) + " save-global");
        EXPECT_EQ(Vars(), "-99 -99 -99 ") << "the story did not run";
        if (c.type == 1) {
            EXPECT_TRUE(reports.boxes.empty()) << "the quiet quit";
            continue;
        }
        ASSERT_EQ(reports.boxes.size(), 1u);
        EXPECT_EQ(reports.boxes[0].caption, u"ロード");
        EXPECT_EQ(reports.boxes[0].text, u"ロードできませんでした。\ndamaged");
    }
}

// A slot loaded whole whose page the story has not (a header of zeros; a save from before the
// scripts changed) is a failed load too: the box, and the title again, not the end of the program.
TEST_F(GameCycle, ALoadOfAPageTheStoryHasNotIsShownAndTheTitleComesBack) {
    testsupport::CaptureReports reports;
    services.run_title = [](const GameCycleServices&) { return std::int32_t{4}; };
    const struct {
        std::int32_t mode;  // 0: the title chooses slot 3; 5: a load request of slot 4
        std::int32_t page;
        std::string result;
    } cases[] = {{0, 0, "1"}, {5, 3, "1"}, {0, -2, "1"}, {5, 2, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.page));
        reports.boxes.clear();
        services.load_slot = [this, &c](std::int32_t number) {
            log += "load-slot " + std::to_string(number) + " ";
            ResumePage = c.page;
        };
        // Pages 1 and 2.
        EXPECT_EQ(Cycle(".PST A = 1\n\n.PST B = 1\n\n.PST C = 1\n", c.mode), c.result);
        const std::int32_t number = c.mode == 0 ? 3 : 4;
        EXPECT_EQ(log, "load-global load-slot " + std::to_string(number) + " save-global");
        if (c.result == "0") {
            EXPECT_EQ(Vars(), "-99 -99 1 ") << "resumed after page 2";
            EXPECT_TRUE(reports.boxes.empty());
            continue;
        }
        EXPECT_EQ(Vars(), "-99 -99 -99 ") << "the story did not run";
        ASSERT_EQ(reports.boxes.size(), 1u);
        EXPECT_EQ(reports.boxes[0].caption, u"ロード");
        EXPECT_EQ(reports.boxes[0].text, u"ロードできませんでした。\nセーブスロット " +
                                             Utf8ToUtf16(std::to_string(number)) +
                                             u" が再開するページがシナリオにありません");
    }
}

TEST_F(GameCycle, ReprSetsOnlyTheLastPagesBitAndTheSceneStateEndsCleared) {
    for (const char* value : {"0", "1", "5"}) {
        SCOPED_TRACE(value);
        std::fill(std::begin(SeenFlags), std::end(SeenFlags), std::uint8_t{0x5A});
        CurrentBgm = {1, "music"};
        EXPECT_EQ(Cycle(std::string(".PST REPR = 0\n.PST REPR - ") + value + "\n", 0), "0");
        for (std::size_t i = 0; i + 1 < kSeenFlagBytes; ++i) ASSERT_EQ(SeenFlags[i], 0x5A);
        EXPECT_EQ(SeenFlags[kSeenFlagBytes - 1], std::string(value) == "0" ? 0x5A : 0x5B);
        EXPECT_EQ(CurrentBgm.mode, 0);
        EXPECT_STREQ(CurrentBgm.name, "music") << "clearing a mode keeps the name";
    }
}

TEST_F(GameCycle, CompileErrorsNameTheScriptAndLineAndNoCycleBegins) {
    testsupport::CaptureReports reports;
    EXPECT_EQ(Cycle(".GRP A\n.NOPE\n", 0), "!2 コマンド名が違います。");
    EXPECT_EQ(reports.debug, u"start.txt(2): Compile Error: コマンド名が違います。\n");
    EXPECT_EQ(log, "") << "the global records are neither read nor written";
    std::filesystem::remove(folder.path() / "iv.txt");
    EXPECT_NE(Cycle("\n", 0).find("Script: file not found 'iv.txt'"), std::string::npos);
}

// The story's run with nodes that wait a frame each, as the story commands do.
class FrameNode : public ScriptStateNode_App {
public:
    using ScriptStateNode_App::ScriptStateNode_App;
    TextScript::ScriptStateNode* Execute() override {
        EXPECT_EQ(PictureSprite->GetParent(), SceneLayers[0]);
        EXPECT_EQ(stagetest::RawPixel(*PictureSprite->GetSurface(), 799, 599), 0x00000000u) << "opaque black";
        EXPECT_FALSE(BlackCoverSprite->IsVisible());
        EXPECT_EQ(BlackCoverSprite->GetParent(), SceneCoverGroup);
        EXPECT_EQ(stagetest::RawPixel(*WhiteCoverSprite, 0, 0), 0x00FFFFFFu);
        MessageWindow& window = *GameMessageWindow;
        EXPECT_EQ(window.GetParent(), SceneLayers[23]);
        EXPECT_FALSE(window.IsVisible());
        EXPECT_EQ(window.GetPosition().y, 400);
        EXPECT_EQ(window.Words(), (std::array<std::int32_t, 4>{10, 0, 0, 0}));
        EXPECT_EQ(window.Background().Blend().level, 100u);
        group()->StepFrame();
        return ScriptStateNode_App::Execute();
    }
};

class FrameGroup : public ScriptStateGroup_App {
public:
    std::unique_ptr<TextScript::ScriptStateNode> CreateNode() override { return std::make_unique<FrameNode>(this); }
};

TEST_F(GameCycle, StoryRunMapsItsEndsAndTakesItsViewsDown) {
    const char* const kAbc = ".PST A = 1\n.PST B = 1\n.PST C = 1\n";
    const struct {
        int frame;  // the frame after which the request is made
        std::int32_t request;
        const char* script;
        std::string result;
    } cases[] = {
        {0, kRequestNone, kAbc, "0 1 1 1 "},   {2, kRequestTitle, kAbc, "1 1 1 0 "},
        {2, kRequestLoad, kAbc, "5 1 1 0 "},   {4, kRequestLoad, kAbc, "5 1 1 1 "},  // in the teardown frame
        {2, kRequestGoBack, kAbc, "0 1 1 1 "}, {0, kRequestNone, ".PST A = 1\n.JMP NOWHERE\n", "! 1 -99 -99 "},
    };
    testsupport::CaptureReports reports;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        TextScript::ClearVariableTable(TextScript::LiveVariables());
        RequestedLoadSlot = 3;
        At(c.frame, [&c] { PendingRequest = c.request; });
        std::string outcome = "!";
        try {
            FrameGroup group;
            group.Compile(c.script, u"t.txt");
            outcome = std::to_string(group.Run(-1));
        } catch (const ExceptionHandle&) {}
        EXPECT_EQ(outcome + " " + Vars(), c.result);
        EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr);
        EXPECT_EQ(
            std::vector<const void*>({SceneBaseGroup, SceneLayers[0], SceneLayers[23], SceneCoverGroup, PictureSprite,
                                      BlackCoverSprite, WhiteCoverSprite, PictureWorkSurface.Get(), GameMessageWindow}),
            std::vector<const void*>(9, nullptr));
    }
}

TEST_F(GameCycle, StepBackHidesTheWindowAtOnceKeepsItsOpenModeAndForgetsTheChannels) {
    ScriptStateGroup_App group;
    for (ChannelStateRecord& record : ChannelState) record = {0, 25, u"M1"};
    EXPECT_EQ(group.Notify(ScriptStateGroup_App::kNotifyGoBack, 0), 1) << "without a window";
    for (const ChannelStateRecord& record : ChannelState) EXPECT_EQ(record.name, u"");
    const SceneStage stage(*ScreenSurface);
    GameMessageWindow->Show();
    GameMessageWindow->SetOpenMode(TextScript::DxMessWindow::kOpenFade);
    const int frames = Frames();
    EXPECT_EQ(group.Notify(ScriptStateGroup_App::kNotifyGoBack, 0), 1);
    EXPECT_FALSE(GameMessageWindow->IsVisible());
    EXPECT_LE(Frames() - frames, 1);
    EXPECT_EQ(GameMessageWindow->GetOpenMode(), TextScript::DxMessWindow::kOpenFade);
    EXPECT_EQ(group.Notify(0x5001, 0), 0);
}

}  // namespace
