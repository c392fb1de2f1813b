// The story's interpreter on the test host at 60 Hz: small scripts read by a reader played from
// the game events, and what the story showed, played and reported as one log line per run.
#include "app/game_cycle.h"
#include "app/story_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/message_window.h"
#include "app/runtime.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "host/audio/test_audio_device.h"
#include "host/testhost/test_host.h"
#include "host/ui/menu.h"
#include "lib/error.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "lib/text_field.h"
#include "sound/sound.h"
#include "sound/tone.h"
#include "support/capture_reports.h"

namespace {

using TextScript::ScriptStateNode;

constexpr int kMenuSave = 40010;
constexpr int kMenuDebug = 40013;

// Messages are full-width CP932 text: the tables write them in ASCII, and every line that is not
// a command goes to full width here (what is not ASCII stays as it is, and so do the name tags
// "#1" and "#2") and back to ASCII in the log.
std::string ScriptBytes(const std::string& script) {
    const std::u16string source = Utf8ToUtf16(script);
    std::u16string text;
    bool message = true;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char16_t c = source[i];
        if (i == 0 || source[i - 1] == u'\n') message = c != u'.' && c != u'\n';
        const bool tag = (c == u'#' && i + 1 < source.size() && (source[i + 1] == u'1' || source[i + 1] == u'2')) ||
                         (i > 0 && source[i - 1] == u'#' && (c == u'1' || c == u'2'));
        text.push_back(static_cast<char16_t>(message && !tag && c > u' ' && c < 0x7F ? c + 0xFEE0 : c));
    }
    return Utf16ToCp932(text);
}

std::string Narrow(std::u16string text) {
    for (char16_t& c : text)
        if (c > 0xFF00 && c < 0xFF5F) c = static_cast<char16_t>(c - 0xFEE0);
    return Utf16ToUtf8(text);
}

// The VOI of these tests plays (into the log) unless a neighbour is a message, as the game's does.
class VoiceNode : public ScriptStateNode_App {
public:
    using ScriptStateNode_App::ScriptStateNode_App;
    ScriptStateNode* Execute() override;
};

class StoryGroup : public ScriptStateGroup_App {
public:
    std::unique_ptr<ScriptStateNode> CreateNode() override { return std::make_unique<VoiceNode>(this); }
    std::function<void(std::u16string_view)> on_voice;
};

ScriptStateNode* VoiceNode::Execute() {
    if (code != kVoi) return ScriptStateNode_App::Execute();
    const auto message = [](const ScriptStateNode* node) { return node && node->code == kMessage; };
    if (!message(prev()) && !message(next())) static_cast<StoryGroup*>(group())->on_voice(Arg(0));
    return next();
}

// When the log's newest entry is `on`, the reader does `action` ("N:action" N frames later):
// click X Y, rclick, return, escape, shift+, shift-, move X Y, jump LABEL, rebuild, font (the
// settings' face becomes the Gothic one and the views are rebuilt, as the settings dialog's OK
// does), buttons (logs
// each button: '-' hidden, '+' lit, 'o' plain), menu (logs whether the save and debug items are
// on), mark and lap (logs the time since the mark, in whole tenths of a second), voice (logs
// whether the voice channel plays), lines (logs which of the window's four text lines show
// text) and layout (logs whether the window shows the newest message as the reference does).
// A page wait that no rule answers is left with a click.
struct Rule {
    std::string on, action;
};

class StoryTest : public ::testing::Test, public GameEventSink {
protected:
    StoryTest() {
        auto device = std::make_unique<host::TestAudioDevice>(44100);
        audio_ = device.get();
        SoundParams params;
        EXPECT_EQ(InitSound(&params, std::move(device)), S_OK);
        const auto pcm = soundtest::Sine(500, 1.0, 44100, 2, 0.5);
        one_second_ = Utf8ToUtf16(folder_.Write("v.ogg", soundtest::EncodeOggVorbis(pcm, 44100, 2)).string());
        host.test_window().on_frame = [this](int frame) { OnFrame(frame); };
        for (int command : {kMenuSave, kMenuDebug})
            host::MenuModel::AddItem(host.menu().AddPopup(u"p"), command, u"x").grayed = true;
    }
    ~StoryTest() override {
        TermSound();
        SettingsBlock = {};
        SystemConfig = {};
        CommandOptions = {};
        TextScript::ScenePlayMode = 0;
        SetTextSpeed(2);
        SetAutoWait(3);
    }

    // setup: words among skip1 (stop skipping at unread pages), readN (pages below N read),
    // speedN (text speed index), autoN (auto wait ms), voice (VOIs play a one-second voice),
    // debug, replay, and back (the VOI "BACK" steps back the first time it plays).
    std::string Play(const std::string& setup, const std::string& script, std::vector<Rule> rules = {}) {
        std::fill(std::begin(SeenFlags), std::end(SeenFlags), std::uint8_t{0});
        std::istringstream words(setup);
        SettingsBlock.text_skip1 = 0;
        SetTextSpeed(0);
        AutoWait = 0;
        CommandOptions.debug_level = 0;
        TextScript::ScenePlayMode = 0;
        quick_result_ = 5;
        saves_off_ = false;
        voice_.clear();
        step_back_.clear();
        for (std::string word; words >> word;) {
            const int n = std::isdigit(word.back()) ? std::stoi(word.substr(word.find_first_of("0123456789"))) : 0;
            if (word == "skip1") SettingsBlock.text_skip1 = 1;
            if (word.starts_with("read"))
                for (int page = 0; page < n; ++page) SetSeenFlag(page);
            if (word.starts_with("speed")) SetTextSpeed(n);
            if (word.starts_with("auto")) AutoWait = n;
            if (word == "voice") voice_ = one_second_;
            if (word == "back") step_back_ = u"BACK";
            if (word == "debug") CommandOptions.debug_level = 1;
            if (word == "replay") TextScript::ScenePlayMode = 1;
            if (word == "quick-1") quick_result_ = -1;
            if (word == "tagnames") {  // hero names that look like name tags themselves
                CopyField16(SystemConfig.PlayerName1, u"#2");
                CopyField16(SystemConfig.PlayerName2, u"湊");
            }
            if (word == "off") saves_off_ = true;
        }
        rules_ = std::move(rules);
        next_rule_ = 0;
        log_.clear();
        limit_ = host.test_window().frames() + 20000;
        group = std::make_unique<StoryGroup>();
        group->SetMenu(&host.menu());
        group->SetServices(&services_);
        group->on_voice = [this](std::u16string_view name) {
            if (name == step_back_) {
                step_back_.clear();
                throw ScriptException{ScriptException::kGoBack};
            }
            Log("V:" + Utf16ToUtf8(name));
            if (!voice_.empty()) StartStream(nullptr, voice_, 3, 0, 4096, 0, 0);
        };
        reports_.boxes.clear();
        reports_.debug.clear();
        group->Compile(ScriptBytes(script), u"story.txt");
        if (const std::int32_t result = group->Run(-1)) Log("end" + std::to_string(result));
        for (const ScriptStateNode* node = group->head(); node; node = node->next())
            EXPECT_NE(node->code, kPairedMessageCode) << "a message's code is put back";
        EXPECT_TRUE(host.menu().IsGrayed(kMenuSave) && host.menu().IsGrayed(kMenuDebug));
        EXPECT_EQ(ChangeMask & kChangeRebuildViews, 0u);
        for (const auto& box : reports_.boxes) Log("X:" + Utf16ToUtf8(box.text));
        if (const std::size_t end = reports_.debug.find(u':'); end != std::u16string::npos)
            Log("R:" + Utf16ToUtf8(reports_.debug.substr(0, end)));
        Log("read:" + std::to_string(std::popcount(SeenFlags[0])));
        log_.pop_back();
        return log_;
    }

    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
        if (kind == "picture") return;  // the scene commands' own tests follow pictures
        const std::vector<std::u16string> f(fields.begin(), fields.end());
        if (kind == "text")
            Log("T:" + (f[0].empty() ? "" : Narrow(f[0]) + ">") + Narrow(f[1]) +
                (SkipMode ? "/s" + std::to_string(SkipMode) : "") + (AutoMode ? "/a" : ""));
        else
            Log(std::string(1, kind == "page" ? 'P' : kind[0]) + ":" + Utf16ToUtf8(f[kind == "page" ? 1 : 0]));
    }

    void Log(const std::string& entry) {
        log_ += entry + " ";
        bool handled = false;
        for (; next_rule_ < rules_.size() && rules_[next_rule_].on == entry; ++next_rule_, handled = true) {
            const std::string& action = rules_[next_rule_].action;
            const std::size_t colon = action.find(':');
            const int delay = colon == std::string::npos ? 0 : std::stoi(action.substr(0, colon));
            later_.emplace(host.test_window().frames() + delay, action.substr(colon + 1));
        }
        if (!handled && entry.starts_with("P:")) later_.emplace(host.test_window().frames() + 3, "click 1 1");
        DoDue(host.test_window().frames());
    }

    void DoDue(int frame) {
        while (!later_.empty() && later_.begin()->first <= frame) {
            const std::string action = later_.begin()->second;
            later_.erase(later_.begin());
            Do(action, frame);
        }
    }

    void Do(const std::string& action, int frame) {
        auto& window = host.test_window();
        std::istringstream in(action);
        std::string verb;
        int x = 0, y = 0;
        in >> verb >> x >> y;
        if (verb == "click" || verb == "move") window.MoveCursor(x, y);
        if (verb == "click" || verb == "rclick") window.PressButton(verb == "click" ? 0 : 1);
        if (verb == "click" || verb == "rclick" || verb == "return" || verb == "escape")
            later_.emplace(frame + 2, "release " + verb);
        if (verb == "release") action == "release click" ? window.ReleaseButton(0) : window.ReleaseButton(1);
        if (verb == "return" || verb == "shift+") window.Press(verb == "return" ? 0x1C : 0x2A);
        if (verb == "shift-" || action == "release return") window.Release(verb == "shift-" ? 0x2A : 0x1C);
        if (verb == "escape" || action == "release escape")
            verb == "escape" ? window.Press(0x01) : window.Release(0x01);
        if (verb == "voice") Log(std::string("S:") + (IsStreamPlaying(GetChannelStreamId(3)) ? "on" : "off"));
        if (verb == "lines") Log("L:" + InkedLines());
        if (verb == "layout") Log("W:" + LayoutAgainstReference());
        if (verb == "mark") mark_ = host.clock.Milliseconds();
        if (verb == "lap") Log("ms:" + std::to_string((host.clock.Milliseconds() - mark_) / 100 * 100));
        if (verb == "rebuild") ChangeMask |= kChangeRebuildViews;
        if (verb == "font") {
            CopyField16(SettingsBlock.font_name, u"ＭＳ ゴシック");
            ChangeMask |= kChangeRebuildViews;
        }
        if (verb == "jump") group->RequestDebugJump(Utf8ToUtf16(action.substr(5)));
        if (verb == "menu")
            Log(std::string("M:") + "01"[!host.menu().IsGrayed(kMenuSave)] + "01"[!host.menu().IsGrayed(kMenuDebug)]);
        if (verb == "buttons") {
            std::string marks = "B:";
            for (int k = 0; k < MessageWindow::kButtonCount; ++k) {
                DxDraw::DxSprite& button = GameMessageWindow->Button(k);
                marks += !button.IsVisible() ? '-' : button.Blend().level == 255 ? '+' : 'o';
            }
            Log(marks);
        }
    }

    // Where the screen shows text: white, over the dark window and the black picture.
    bool Inked(int x, int y) { return (host.test_window().Pixel(x, y) & 0xC0C0C0) == 0xC0C0C0; }

    // The window's text area on the screen: four lines of 35 pixels from (8, 444), 768 wide;
    // '#' for a line with text, '-' for an empty one.
    std::string InkedLines() {
        std::string lines;
        for (int line = 0; line < 4; ++line) {
            bool ink = false;
            for (int y = 444 + 35 * line; y < 444 + 35 * (line + 1); ++y)
                for (int x = 8; x < 776; ++x) ink = ink || Inked(x, y);
            lines += ink ? '#' : '-';
        }
        return lines;
    }

    // The text view's place and size on the screen, then "same" when the screen from (8, 444)
    // shows the newest message as a 768 x 140 view in a 32-pixel font with 3 pixels between lines
    // draws it (a speaker's name on the first line, narration from the second) over the black
    // window, else how many pixels are off by more than a rounding.
    std::string LayoutAgainstReference() {
        TextScript::DxMessView2 reference(768, 140);
        reference.SetStyle(reference.GetStyle() | DxDraw::kTextAntiAliased);
        reference.SetFont(32, 3, FieldText(SettingsBlock.font_name));
        // The backlog holds the text with its names in: drawn as it stands, never expanded again.
        const std::u16string& text = group->backlog().Newest()->text;
        std::vector<TextScript::TextElement> shown;
        for (const char16_t unit : (text.starts_with(u'【') ? u"" : u"\n") + text)
            shown.push_back({TextScript::kElementChar, unit});
        shown.push_back({TextScript::kElementEnd, 0});
        reference.BeginText(0, 0xFFFFFF, 0, shown, nullptr, 0);
        int differ = 0;
        for (int y = 0; y < 140; ++y)
            for (int x = 0; x < 768; ++x) {
                const std::uint8_t* p = reference.GetPixelAddress(x, y);  // B, G, R, inverted alpha
                const int expected = p[1] * (255 - p[3]) / 255;
                differ +=
                    std::abs(expected - static_cast<int>(host.test_window().Pixel(8 + x, 444 + y) >> 8 & 0xFF)) > 24;
            }
        TextScript::DxMessView2& view = GameMessageWindow->View();
        const int left = static_cast<int>(GameMessageWindow->GetPosition().x + view.GetPosition().x);
        const int top = static_cast<int>(GameMessageWindow->GetPosition().y + view.GetPosition().y);
        return std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(view.GetWidth()) + "x" +
               std::to_string(view.GetHeight()) + (differ < 20 ? " same" : " " + std::to_string(differ) + "-differ");
    }

    void OnFrame(int frame) {
        audio_->Advance(17);
        DoDue(frame);
        const bool visible = GameMessageWindow && GameMessageWindow->IsVisible();
        if (GameMessageWindow && visible != window_visible_) Log(visible ? "show" : "hide");
        window_visible_ = visible;
        if (frame == limit_) PendingRequest = kRequestTitle;
    }

    testhost::TestHost host;
    ScopedRuntime runtime{host};
    std::unique_ptr<StoryGroup> group;

private:
    // The quick save and load of the save layer: each logs its call; the save answers whether it
    // stored (quick-1: no), the search the slot index of the newest quick save (quick-1: none);
    // "off": the session plays on without its save file.
    std::int32_t quick_result_ = 5;
    bool saves_off_ = false;
    GameCycleServices services_ = QuickServices();

    GameCycleServices QuickServices() {
        GameCycleServices services;
        services.auto_save = [this] {
            Log("Q:save");
            return std::int32_t{quick_result_ == -1 ? 0 : 1};
        };
        services.find_latest_auto_save = [this] {
            Log("Q:find");
            return quick_result_;
        };
        services.saves_off = [this] { return saves_off_; };
        return services;
    }

    ScopedGameEventSink sink_{this};
    testsupport::CaptureReports reports_;
    soundtest::TempFolder folder_;
    host::TestAudioDevice* audio_ = nullptr;
    std::u16string one_second_, voice_, step_back_;
    std::string log_;
    std::uint32_t mark_ = 0;
    std::vector<Rule> rules_;
    std::size_t next_rule_ = 0;
    std::multimap<int, std::string> later_;
    bool window_visible_ = false;
    int limit_ = 0;
};

TEST_F(StoryTest, PageWaitsSkipAutoAndTheWindowsButtons) {
    const std::string k5 = "A\n\nB\n\nC\n\nD\n\nE\n", k2 = "A\n\nB\n";  // messages on pages 0 to 4, 0 and 1
    const std::string kLong = "A\n\nBBBBBBBBBBBBBBBBBBBB\n\nC\n", kVoiced = "A\n\n\n.VOI b\nB\n\nC\n\nD\n";
    const std::string kLabels = "A\n.SED\n\nB\n\n.LAB THERE\nC\n";
    const std::string skip = "click 760 470", automatic = "click 760 500", next = "click 1 1";
    const std::string yes = "click 333 208", no = "click 430 208";  // the prompt's two answers
    const struct {
        std::string setup, script;
        std::vector<Rule> rules;
        std::string log;
    } cases[] = {
        // clang-format off
        // Page waits, skipping by the button and by Shift, and the read flags.
        {"", k5, {{"P:1", "return"}}, "show T:A P:0 T:B P:1 T:C P:2 T:D P:3 T:E read:4"},
        {"", k5, {{"P:0", skip}}, "show T:A P:0 T:B/s1 T:C/s1 T:D/s1 T:E/s1 read:4"},
        {"skip1 read3", k5, {{"P:0", "buttons"}, {"B:ooooo", skip}, {"P:2", "buttons"}, {"B:o-ooo", next}},
         "show T:A P:0 B:ooooo T:B/s1 T:C/s1 P:2 B:o-ooo T:D P:3 T:E read:4"},
        // A click on the hidden skip button goes on waiting.
        {"skip1 read1", k5, {{"P:0", "buttons"}, {"B:o-ooo", skip}, {"B:o-ooo", "30:menu"}, {"M:11", "return"}},
         "show T:A P:0 B:o-ooo M:11 T:B P:1 T:C P:2 T:D P:3 T:E read:4"},
        {"", k5, {{"P:0", skip}, {"T:C/s1", next}}, "show T:A P:0 T:B/s1 T:C/s1 P:2 T:D P:3 T:E read:4"},
        {"", k5, {{"P:0", "shift+"}, {"T:D/s2", "shift-"}}, "show T:A P:0 T:B/s2 T:C/s2 T:D/s2 P:3 T:E read:4"},
        {"", k5, {{"P:0", "rclick"}, {"hide", next}, {"show", "menu"}, {"M:11", next}},
         "show T:A P:0 hide show M:11 T:B P:1 T:C P:2 T:D P:3 T:E read:4"},
        // Escape hides the window as the right button does.
        {"", k5, {{"P:0", "escape"}, {"hide", next}, {"show", "menu"}, {"M:11", next}},
         "show T:A P:0 hide show M:11 T:B P:1 T:C P:2 T:D P:3 T:E read:4"},
        // After TOF a page end without a message of its own does not wait.
        {"", "A\n.TOF\n\nB\n\nC\n", {}, "show T:A T:B P:1 T:C read:2"},
        // The buttons' rectangles: backlog, skip, auto, save, load from y 440, 24 high, x 752 to 800.
        {"", k2, {{"P:0", "click 751 470"}}, "show T:A P:0 T:B read:1"},
        {"", k2, {{"P:0", "click 752 464"}}, "show T:A P:0 T:B/s1 read:1"},
        {"", k2, {{"P:0", "click 799 487"}}, "show T:A P:0 T:B/s1 read:1"},
        {"", k2, {{"P:0", "click 752 488"}}, "show T:A P:0 T:B/a read:1"},
        {"", k2, {{"P:0", "click 760 440"}, {"P:0", "3:" + next}}, "show T:A P:0 T:B R:BackLog read:1"},
        // The save button makes a quick save and shows its notice for two seconds (the page waits on);
        // the load button asks first, then loads the newest quick save, if there is one.
        {"", k2, {{"P:0", "click 760 512"}, {"Q:save", "130:" + next}},
         "show T:A P:0 Q:save n:セーブしました T:B read:1"},
        {"quick-1", k2, {{"P:0", "click 760 512"}, {"Q:save", "130:" + next}},
         "show T:A P:0 Q:save n:セーブできませんでした T:B read:1"},
        // Without the save file both buttons say why, and neither saves nor asks.
        {"off", k2, {{"P:0", "click 760 512"}, {"P:0", "130:" + next}}, "show T:A P:0 n:セーブファイルが使えません T:B read:1"},
        {"off", k2, {{"P:0", "click 760 559"}, {"P:0", "130:" + next}}, "show T:A P:0 n:セーブファイルが使えません T:B read:1"},
        {"", k2, {{"P:0", "click 760 559"}, {"P:0", "10:" + yes}}, "show T:A P:0 Q:find r:1 end7 read:1"},
        {"quick-1", k2, {{"P:0", "click 760 559"}, {"P:0", "10:" + yes}, {"Q:find", "3:" + next}},
         "show T:A P:0 Q:find T:B read:1"},
        {"", k2, {{"P:0", "click 760 559"}, {"P:0", "10:" + no}, {"P:0", "20:" + next}}, "show T:A P:0 T:B read:1"},
        {"", k2, {{"P:0", "click 760 560"}}, "show T:A P:0 T:B read:1"},
        {"", k2, {{"P:0", "move 770 500"}, {"P:0", "3:buttons"}, {"B:oo+oo", "move 770 540"}, {"B:oo+oo", "3:buttons"},
                  {"B:oooo+", next}}, "show T:A P:0 B:oo+oo B:oooo+ T:B read:1"},
        // A rebuild during the reveal (40 ms a character) starts the message again; skipping draws it at once.
        {"speed3", kLong, {{"T:BBBBBBBBBBBBBBBBBBBB", "mark"}, {"T:BBBBBBBBBBBBBBBBBBBB", "10:rebuild"}, {"T:C", "lap"}},
         "show T:A P:0 T:BBBBBBBBBBBBBBBBBBBB P:1 T:C ms:1300 read:2"},
        {"speed3", kLong, {{"P:0", skip}, {"T:BBBBBBBBBBBBBBBBBBBB/s1", "mark"}, {"T:C/s1", "lap"}},
         "show T:A P:0 T:BBBBBBBBBBBBBBBBBBBB/s1 T:C/s1 ms:100 read:2"},
        // Auto mode waits for the voice, then twice the auto wait (100 ms without one); a click in that wait stops it.
        {"auto600", kVoiced, {{"P:0", automatic}, {"T:B/a", "mark"}, {"T:C/a", "lap"}, {"T:C/a", "3:" + next}},
         "show T:A P:0 V:B T:B/a T:C/a ms:1200 P:2 T:D read:3"},
        {"auto0", kVoiced, {{"P:0", automatic}, {"T:B/a", "mark"}, {"T:C/a", "lap"}, {"T:C/a", "3:" + next}},
         "show T:A P:0 V:B T:B/a T:C/a ms:100 P:2 T:D read:3"},
        {"auto100 voice", kVoiced, {{"P:0", automatic}, {"T:B/a", "mark"}, {"T:C/a", "lap"}, {"T:C/a", "3:" + next}},
         "show T:A P:0 V:B T:B/a T:C/a ms:1000 P:2 T:D read:3"},
        // A left click while the voice plays stops auto mode and ends the voice wait; a right click does neither.
        {"auto100 voice", kVoiced, {{"P:0", automatic}, {"T:B/a", "mark"}, {"T:B/a", "10:click 1 1"}, {"T:C", "lap"}},
         "show T:A P:0 V:B T:B/a T:C ms:400 P:2 T:D read:3"},
        {"auto100 voice", kVoiced, {{"P:0", automatic}, {"T:B/a", "mark"}, {"T:B/a", "10:rclick"}, {"T:C/a", "lap"}},
         "show T:A P:0 V:B T:B/a T:C/a ms:1000 T:D/a read:3"},
        // The auto button is lit while auto mode runs.
        {"", k5, {{"P:0", automatic}, {"T:C/a", "buttons"}, {"B:oo+oo", next}},
         "show T:A P:0 T:B/a T:C/a B:oo+oo P:2 T:D P:3 T:E read:4"},
        // The reader going on stops the voice: it is silent while the next message is revealed.
        {"voice speed3", "\n.VOI a\nA\n\nBBBBBBBBBB\n", {{"T:BBBBBBBBBB", "3:voice"}},
         "V:A show T:A P:1 T:BBBBBBBBBB S:off read:2"},
        // The debug window's jump, a mistyped label, and SED inside and outside a replay.
        {"debug", kLabels, {{"P:0", "menu"}, {"M:11", "jump there"}, {"M:11", next}}, "show T:A P:0 M:11 j:there T:C read:2"},
        {"debug", kLabels, {{"P:0", "jump thre"}, {"P:0", next}},
         "show T:A P:0 T:B P:1 T:C X:ラベルが見つかりません。[thre] R:debug jump read:2"},
        {"", kLabels, {{"P:0", "jump there"}, {"P:0", next}}, "show T:A P:0 T:B P:1 T:C read:2"},
        {"replay", "A\n.SED\n\nB\n", {{"P:0", "menu"}, {"M:01", "buttons"}, {"B:ooo-o", next}}, "show T:A P:0 M:01 B:ooo-o read:0"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        EXPECT_EQ(Play(c.setup, c.script, c.rules), c.log);
    }
    // The reader going on stops the voice.
    EXPECT_EQ(Play("voice", "\n.VOI a\nA\n\nB\n", {{"T:A", "2:click 1 1"}}), "V:A show T:A P:1 T:B read:2");
    EXPECT_EQ(IsStreamPlaying(GetChannelStreamId(3)), 0);
}

TEST_F(StoryTest, VoicesPairWithMessagesAndTheBacklogKeepsTheLast60) {
    const struct {
        const char *setup, *script;
        std::string log;
        std::vector<std::pair<std::string, std::string>> backlog;
    } cases[] = {
        {"",
         ".VOI a1\nA\n.LAB x\n.VOI b1\nB\n.VOI c1\n.LAB y\n.VOI 00\nC\n.VOI d1\nD\n.LAB z\nE\n.VOI e1\n"
         ".LAB w\nF\n.LAB v\nG\n.VOI g1\nH\n",
         "V:A1 show T:A V:B1 V:C1 T:B V:00 T:C T:D V:E1 T:E T:F T:G T:H read:0",
         {{"A", "A1"}, {"B", "B1"}, {"C", ""}, {"D", "D1"}, {"E", "E1"}, {"F", ""}, {"G", "G1"}, {"H", "G1"}}},
        // The VOI unwinds with a step back: the page runs again and the message still plays it.
        {"back", ".VOI back\nA\n", "V:BACK show T:A read:0", {{"A", "BACK"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Play(c.setup, c.script), c.log);
        std::vector<std::pair<std::string, std::string>> backlog;
        for (const BacklogEntry& entry : group->backlog().entries())
            backlog.emplace_back(Narrow(entry.text), Utf16ToUtf8(entry.voice));
        EXPECT_EQ(backlog, c.backlog);
    }
    std::string script;
    for (int i = 1; i <= 61; ++i) script += "M" + std::to_string(i) + "\n.LAB X\n";
    Play("", script);
    const auto& entries = group->backlog().entries();
    ASSERT_EQ(entries.size(), 60u);
    EXPECT_EQ(Narrow(entries.front().text) + " " + Narrow(entries.back().text), "M2 M61");
}

TEST_F(StoryTest, NarrationStartsOnTheSecondLineOfTheTextArea) {
    const SystemConfigRecord names = SystemConfig;
    const ScopeExit restore([&names] { SystemConfig = names; });
    const std::string next = "click 1 1";
    const struct {
        std::string setup, script;
        std::vector<Rule> rules;
        std::string log;
    } cases[] = {
        // A speaker's name takes the first line; narration leaves it empty, revealed or drawn at
        // once while skipping.
        {"",
         "A\n\n【N】\nB\n\nC\n",
         {{"P:0", "1:lines"}, {"L:-#--", next}, {"P:1", "1:lines"}, {"L:##--", next}},
         "show T:A P:0 L:-#-- T:N>B P:1 L:##-- T:C read:2"},
        {"",
         "A\n\nB\n\nC\n",
         {{"P:0", "click 760 470"}, {"T:B/s1", "2:lines"}, {"L:-#--", next}},
         "show T:A P:0 T:B/s1 L:-#-- P:1 T:C read:2"},
        {"",
         "A\n\n【N】\nB\n\nC\n",
         {{"P:0", "click 760 470"}, {"T:N>B/s1", "2:lines"}, {"L:##--", next}},
         "show T:A P:0 T:N>B/s1 L:##-- P:1 T:C read:2"},
        // Another face chosen at a page wait: the page is drawn again where it stood, in that face.
        {"",
         "A\n\n【N】\nBBBBBBBBBBBBBBBBBBBBBBBB\n\nC\n",
         {{"P:1", "font"}, {"P:1", "3:layout"}, {"W:8,444,768x140 same", next}},
         "show T:A P:0 T:N>BBBBBBBBBBBBBBBBBBBBBBBB P:1 W:8,444,768x140 same T:C read:2"},
        {"",
         "A\n\nBBBBBBBBBBBBBBBBBBBBBBBB\n\nC\n",
         {{"P:1", "font"}, {"P:1", "3:layout"}, {"W:8,444,768x140 same", next}},
         "show T:A P:0 T:BBBBBBBBBBBBBBBBBBBBBBBB P:1 W:8,444,768x140 same T:C read:2"},
        // A hero name that reads like a name tag is drawn again as the name, not expanded twice.
        {"tagnames",
         "A\n\n【#1】\nは#1と#1\n\nC\n",
         {{"P:1", "font"}, {"P:1", "3:layout"}, {"W:8,444,768x140 same", next}},
         "show T:A P:0 T:#2>は#2と#2 P:1 W:8,444,768x140 same T:C read:2"},
        // A full line of 24 characters and three lines of narration fill the text area.
        {"",
         "XXXXXXXXXXXXXXXXXXXXXXXX\nAB\nCD\n\nE\n",
         {{"P:0", "1:layout"}, {"W:8,444,768x140 same", next}},
         "show T:XXXXXXXXXXXXXXXXXXXXXXXX\nAB\nCD P:0 W:8,444,768x140 same T:E read:1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        EXPECT_EQ(Play(c.setup, c.script, c.rules), c.log);
    }
}

TEST_F(StoryTest, TheExpandedTextStaysWithinWhatTheWindowShows) {
    CopyField16(SystemConfig.PlayerName1, u"湊");
    std::u16string tags;
    for (int i = 0; i < 600; ++i) tags += u"#1";
    const std::pair<std::u16string, std::size_t> cases[] = {
        {u"僕は#1。#3#", 7},
        {std::u16string(2000, u'あ'), 1023},
        {std::u16string(1022, u'a') + u"\U0001F600", 1022},  // never half a pair
        {std::u16string(1021, u'a') + u"\U0001F600", 1023},
        {tags, 341},  // each name costs its length and two, as in the window
    };
    for (const auto& [text, size] : cases) EXPECT_EQ(ExpandMessageText(text).size(), size);
    EXPECT_EQ(ExpandMessageText(u"僕は#1。#3#"), u"僕は湊。#3#");
}

}  // namespace
