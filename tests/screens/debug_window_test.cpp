// The debug window over a compiled story on the test host: the page information of every picture
// and sound record, a variable shown, changed or created, the lists, the boxes stacked over the
// window, and a jump that a running story takes at the end of its page.
#include "screens/debug_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/application.h"
#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_events.h"
#include "app/runtime.h"
#include "app/scene_state.h"
#include "app/settings.h"
#include "host/testhost/test_host.h"
#include "lib/report_hook.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "screens/screen_services.h"
#include "script/variables.h"

namespace {

using Window = DebugWindowDialog;
using TextScript::FindVariable;
using TextScript::GetOrCreateVariable;
using TextScript::LiveVariables;
using TextScript::VariableNode;

// Three pages; THERE has its page end before it, LOST does not (a message runs into it).
constexpr char kStory[] =
    ".PST ALPHA = 5\n"
    "一枚目\n"
    "\n"
    "二枚目\n"
    "\n"
    ".LAB THERE\n"
    "三枚目\n"
    ".LAB LOST\n"
    "四枚目\n";

class DebugWindowTest : public ::testing::Test {
protected:
    DebugWindowTest() {
        group_.SetServices(&services_);
        group_.Compile(Utf16ToCp932(Utf8ToUtf16(kStory)), u"story.txt");
        CurrentScript = &group_;
    }
    ~DebugWindowTest() override {
        CurrentScript = nullptr;
        CommandOptions = {};
        LiveVariables().Clear();
    }

    // The window after its start, driven by hand; its boxes go to the scripted modal.
    std::unique_ptr<Window> Open() {
        auto window = std::make_unique<Window>(group_, modal());
        window->OnInit();
        return window;
    }
    testhost::ScriptedModal& modal() { return host_.scripted_modal(); }
    std::vector<std::u16string> BoxTexts() {
        std::vector<std::u16string> texts;
        for (const testhost::ShownBox& box : modal().boxes) texts.push_back(box.caption + u":" + box.text);
        modal().boxes.clear();
        return texts;
    }
    static const VariableNode* Variable(std::u16string_view name) {
        return FindVariable(LiveVariables(), VariableNode::kNumber, name);
    }

    testhost::TestHost host_;
    ScopedRuntime runtime_{host_};
    GameCycleServices services_;
    ScriptStateGroup_App group_;
};

TEST_F(DebugWindowTest, ThePageInformationShowsEveryPictureModeAndSoundSlot) {
    // Each record written as its mode's digit followed by its CP932 name bytes; the picture, .CHL,
    // .WAV, .S1 and .S2 records, then the .CHR, .GRP, .CHL, .WAV, .S1 and .S2 fields shown.
    const std::u16string kNo = u"-----";
    const struct {
        const char* records[5];
        std::u16string shown[6];
    } cases[] = {
        {{"0BG1", "0C1", "0BGM01", "0WAVES", "0WIND"}, {kNo, u"Black", kNo, kNo, kNo, kNo}},
        {{"1BG1", "1C1", "1BGM01", "1WAVES", "1WIND"}, {kNo, u"White", u"C1", u"BGM01", kNo, kNo}},
        {{"2BG10000", "1\x83\x41", "1BGM02", "2WAVES", "2WIND"},
         {kNo, u"BG10000", u"ア", u"BGM02", u"WAVES (Loop)", u"WIND (Loop)"}},
        {{"3A020101", "0C1", "0BGM02", "2SURF", "1BELL"}, {u"A020101", kNo, kNo, kNo, u"SURF (Loop)", kNo}},
        // Bytes that are no CP932 character, and a lone lead byte at the end, become replacements.
        {{"2\xA0Z\x81", "0", "0", "3\x83", "0"}, {kNo, u"\uFFFDZ\uFFFD", kNo, kNo, u"\uFFFD (Loop)", kNo}},
    };
    SceneStateRecord* const records[] = {&CurrentPicture, &CurrentChl, &CurrentBgm, &CurrentS1, &CurrentS2};
    const int fields[] = {Window::kChrStatic, Window::kGrpStatic, Window::kChlStatic,
                          Window::kWavStatic, Window::kS1Static,  Window::kS2Static};
    for (const auto& c : cases) {
        for (int r = 0; r < 5; ++r) {
            *records[r] = {};
            records[r]->mode = static_cast<std::uint8_t>(c.records[r][0] - '0');
            std::strcpy(records[r]->name, c.records[r] + 1);
        }
        const auto window = Open();
        EXPECT_EQ(window->Text(Window::kLineStatic), kNo);
        for (int f = 0; f < 6; ++f)
            EXPECT_EQ(Utf16ToUtf8(window->Text(fields[f])), Utf16ToUtf8(c.shown[f])) << c.records[0];
    }
    // A name filling its whole field without a terminator is read up to the field's end.
    CurrentPicture.mode = kSceneGrp;
    std::fill(std::begin(CurrentPicture.name), std::end(CurrentPicture.name), 'N');
    EXPECT_EQ(Open()->Text(Window::kGrpStatic), std::u16string(SceneStateRecord::kNameBytes, u'N'));
}

TEST_F(DebugWindowTest, ShowLooksTheVariableUpByItsNameCutToTwentyNineCharacters) {
    GetOrCreateVariable(LiveVariables(), u"ALPHA", 5);
    GetOrCreateVariable(LiveVariables(), std::u16string(29, u'L'), -7);
    struct Case {
        std::u16string name;
        std::u16string value;  // what the value field shows afterwards
        std::vector<std::u16string> boxes;
    } cases[] = {
        {u"alpha", u"5", {}},
        {std::u16string(40, u'L'), u"-7", {}},
        {u"", u"9", {u"エラー:変数名を入力してください"}},
        {u"NOPE", u"9", {u"エラー:変数がありません"}},
    };
    for (const Case& c : cases) {
        const auto window = Open();
        window->Type(Window::kValueEdit, u"9");
        window->Type(Window::kNameEdit, c.name);
        window->Click(Window::kShowButton);
        EXPECT_EQ(window->Text(Window::kValueEdit), c.value) << Utf16ToUtf8(c.name);
        EXPECT_EQ(BoxTexts(), c.boxes) << Utf16ToUtf8(c.name);
        EXPECT_FALSE(window->ended());
    }
}

TEST_F(DebugWindowTest, ChangeSetsAVariableAndCreatesAMissingOneOnlyWhenTheAuthorSaysYes) {
    const std::u16string kChanged = u"変数:変更しました",
                         kAsk = u"エラー:変数がありません。新たに現在の数値で追加しますか？";
    struct Case {
        std::u16string name, value;
        int answer;
        std::vector<std::u16string> boxes;
        bool exists;
        std::int32_t stored;
    } cases[] = {
        {u"Alpha", u"12", kIdYes, {kChanged}, true, 12},
        {u"NEWVAR", u"7", kIdYes, {kAsk, kChanged}, true, 7},
        {u"NEWVAR2", u"7", kIdNo, {kAsk}, false, 0},
        {u"", u"7", kIdYes, {u"エラー:変数名を入力してください"}, false, 0},
        {u"NEWVAR3", u"", kIdYes, {u"エラー:数値を入力してください"}, false, 0},
        // The value is read as far as it is a number, and held at the ends of the 32-bit range.
        {u"ALPHA", u"  -42abc", kIdYes, {kChanged}, true, -42},
        {u"ALPHA", u"x1", kIdYes, {kChanged}, true, 0},
        {u"ALPHA", u"+99999999999999999999", kIdYes, {kChanged}, true, INT_MAX},
        {u"ALPHA", u"-2147483648", kIdYes, {kChanged}, true, INT_MIN},
        {u"ALPHA", u"-99999999999", kIdYes, {kChanged}, true, INT_MIN},
    };
    for (const Case& c : cases) {
        const auto window = Open();
        window->Type(Window::kNameEdit, c.name);
        window->Type(Window::kValueEdit, c.value);
        modal().AnswerNext(c.answer);
        window->Click(Window::kChangeButton);
        const std::string what = Utf16ToUtf8(c.name + u"=" + c.value);
        EXPECT_EQ(BoxTexts(), c.boxes) << what;
        const VariableNode* variable = Variable(c.name.empty() ? u"NEWVAR3" : c.name);
        ASSERT_EQ(variable != nullptr, c.exists) << what;
        if (variable) {
            EXPECT_EQ(variable->value, c.stored) << what;
        }
    }
    EXPECT_EQ(Variable(u"ALPHA")->name, u"ALPHA") << "the name keeps the case of its first writing";
}

TEST_F(DebugWindowTest, TheBoxesHaveTheirStylesAndStandOverTheWindow) {
    struct Case {
        std::u16string name, value;
        unsigned style;
    } cases[] = {{u"", u"", kMbOk}, {u"MISSING", u"1", kMbYesNo}};
    for (const Case& c : cases) {
        modal().boxes.clear();
        modal().box_depths.clear();
        modal().OnNextDialog([&c](host::Dialog& dialog) {
            dialog.Type(Window::kNameEdit, c.name);
            dialog.Type(Window::kValueEdit, c.value);
            dialog.Click(Window::kChangeButton);
            dialog.Click(2);
        });
        modal().AnswerNext(kIdNo);
        EXPECT_EQ(OpenDebugWindow(modal()), -1) << "closed";
        ASSERT_EQ(modal().boxes.size(), 1u);
        EXPECT_EQ(modal().boxes[0].style, c.style);
        EXPECT_EQ(modal().box_depths, std::vector<std::size_t>{2}) << "over the window";
    }
}

TEST_F(DebugWindowTest, AJumpIsAskedForOnlyToALabelThatCanBeReached) {
    struct Case {
        std::u16string label;
        std::vector<std::u16string> boxes;
        bool asked;
    } cases[] = {
        {u"", {u"エラー:ラベル名を入力してください"}, false},
        {u"NOWHERE", {u"エラー:指定したラベルがありません"}, false},
        {u"lost", {u"エラー:ラベルの直前にページ区切りがありません"}, false},
        {u"there", {}, true},
    };
    for (const Case& c : cases) {
        group_.ClearDebugJump();
        const auto window = Open();
        window->Type(Window::kLabelEdit, c.label);
        window->Click(Window::kJumpButton);
        EXPECT_EQ(BoxTexts(), c.boxes) << Utf16ToUtf8(c.label);
        EXPECT_EQ(window->ended(), c.asked) << Utf16ToUtf8(c.label);
        EXPECT_EQ(group_.debug_jump_request(), c.asked ? 1u : 0u) << Utf16ToUtf8(c.label);
        if (c.asked) {
            EXPECT_EQ(window->result(), 0);
            EXPECT_EQ(group_.debug_jump_label(), u"there");
        }
    }
    // A label typed longer than its field is cut to it; Return and the close button end nothing
    // and end with -1.
    const auto window = Open();
    window->Type(Window::kLabelEdit, std::u16string(40, u'x'));
    EXPECT_EQ(window->Text(Window::kLabelEdit), std::u16string(Window::kNameUnits, u'x'));
    window->Accept();
    EXPECT_FALSE(window->ended());
    window->Cancel();
    EXPECT_EQ(window->result(), -1);
}

TEST_F(DebugWindowTest, TheListsShowTheVariablesInTableOrderAndTheSceneNamesInOrder) {
    LiveVariables().Clear();
    GetOrCreateVariable(LiveVariables(), u"Alpha", 5);
    GetOrCreateVariable(LiveVariables(), u"z", -12);
    GetOrCreateVariable(LiveVariables(), u"HOUR", 0);
    GetOrCreateVariable(LiveVariables(), u"AVERYLONGNAME", 1234567);
    LiveVariables().AddText(u"TEXT", u"文字");
    group_.AddSceneName(u"sc_book");
    group_.AddSceneName(u"SC_BEACH");
    struct Case {
        int button;
        std::u16string caption;
        std::vector<std::u16string> lines;
    } cases[] = {
        // Ordered by the hash of the first letter: H, Z, A, T.
        {Window::kVariableListButton,
         u"変数一覧",
         {u"    HOUR : 0", u"       z : -12", u"   Alpha : 5", u"AVERYLONGNAME : 1234567", u"    TEXT : 文字"}},
        {Window::kSceneFlagButton, u"シーン再生フラグ一覧", {u"SC_BOOK", u"SC_BEACH"}},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string> lines;
        std::size_t depth = 0;
        bool ended = false;
        modal().OnNextDialog([&](host::Dialog& list) {
            lines = list.Find(ListDialog::kList)->items;
            depth = modal().stack().depth();
            list.Click(1);
            ended = list.ended() && list.result() == 0;
        });
        const auto window = Open();
        window->Click(c.button);
        EXPECT_EQ(modal().dialogs_run.back(), c.caption);
        EXPECT_EQ(lines, c.lines) << Utf16ToUtf8(c.caption);
        EXPECT_EQ(depth, 1u) << "the window itself is driven by hand here, off the stack";
        EXPECT_TRUE(ended);
        EXPECT_FALSE(window->ended());
    }
}

TEST_F(DebugWindowTest, NothingOpensWithoutAStoryAndTheProgramInstallsTheWindow) {
    ApplicationPlatform platform;
    InstallScreens(platform);
    ASSERT_TRUE(platform.menu_screens.debug_window);
    CurrentScript = nullptr;
    platform.menu_screens.debug_window(modal());
    EXPECT_TRUE(modal().dialogs_run.empty());
    CurrentScript = &group_;
    platform.menu_screens.debug_window(modal());
    EXPECT_EQ(modal().dialogs_run, std::vector<std::u16string>{u"デバッグウィンドウ"});
}

// The story's run on the test host: the window opened at the first page wait (as the menu opens
// it, from inside the frame step) shows that page's line and asks for THERE; the story jumps when
// the page is turned, and the next page shown is THERE's.
class RunLog final : public GameEventSink {
public:
    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
        if (kind == "text" || kind == "jump" || kind == "page")
            log += std::string(kind) + ":" + Utf16ToUtf8(*(fields.end() - 1)) + " ";
        if (kind == "page") ++pages;
    }
    std::string log;
    int pages = 0;
};

TEST_F(DebugWindowTest, ARunningStoryTakesTheJumpWhenItsPageIsTurned) {
    CommandOptions.debug_level = 1;
    RunLog events;
    const ScopedGameEventSink sink(&events);
    testhost::TestWindow& window = host_.test_window();
    const ScopeExit unhook([&window] { window.on_frame = nullptr; });
    std::u16string line;
    int opened_at = -1, turned = 0;
    modal().OnNextDialog([&](host::Dialog& dialog) {
        line = dialog.Text(Window::kLineStatic);
        dialog.Type(Window::kLabelEdit, u"There");
        dialog.Click(Window::kJumpButton);
    });
    window.on_frame = [&](int frame) {
        if (events.pages == 1 && opened_at < 0) {
            OpenDebugWindow(modal());
            opened_at = frame;
        }
        // Each page is turned with Return, held a few frames.
        if (events.pages > turned && frame % 8 == 0) window.Press(0x1C);
        if (frame % 8 == 4) {
            window.Release(0x1C);
            turned = events.pages;
        }
        if (frame > 3000) PendingRequest = kRequestTitle;
    };
    EXPECT_EQ(group_.Run(-1), 0);
    // Past THERE the story runs to its end: LOST has no page end before it, so no wait either.
    EXPECT_EQ(events.log, "text:一枚目 page:0 jump:There text:三枚目 text:四枚目 ");
    EXPECT_EQ(line, u"3") << "the blank line that ends the first page";
    EXPECT_EQ(group_.debug_jump_request(), 0u);
}

}  // namespace
