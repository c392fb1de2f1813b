// The message window on the test host: the reveal's frames per character, name tags,
// surrogates, attributes, the page cursor and its ends, the open and hide animations, and that
// a request arriving during any wait leaves nothing open or half-animated behind.
#include "app/message_window.h"

#include <vector>

#include "app/system_config.h"
#include "archive/archive.h"
#include "host/audio/test_audio_device.h"
#include "sound/sound.h"
#include "sound/tone.h"
#include "stage_fixture.h"

namespace {

using TextScript::DxMessWindow;
using TextScript::TextElement;

using stagetest::CursorColour;

struct Event {
    int frame, code;
    bool down;
};

class MessageWindowTest : public stagetest::StageTest {
protected:
    MessageWindowTest() {
        MakeSystemImage();
        window = new MessageWindow(800, 200, 8, 24, 44, 16);
        window->SetPosition(0, 400);
        runtime.screen().Add(window);
        window->View().SetFont(24, 3, u"");
    }
    ~MessageWindowTest() override { SystemConfig = {}; }

    // Events at frame 0 are seen held by a frame step before the test starts.
    void Play(const std::vector<Event>& events) {
        for (const Event& e : events) {
            if (e.frame == 0)
                Input(e.code, e.down), StepFrame();
            else
                At(e.frame, [this, e] { Input(e.code, e.down); });
        }
    }
    void Release(const std::vector<Event>& events) {
        for (const Event& e : events) Input(e.code, false);
        StepFrame();
    }
    std::uint32_t Colour(int x, int y) { return host.test_window().Pixel(x, y) & 0xFFFFFF; }
    int Children() {
        int n = 0;
        window->ForEachChild([&](ssView*) { ++n; });
        return n;
    }

    MessageWindow* window;
};

TEST_F(MessageWindowTest, TheRevealWaitsPerCharacterAsItsWaitAndTheKeysSay) {
    struct Case {
        const char* name;
        std::int32_t wait;
        std::vector<Event> events;
        int frames, callbacks;
    } cases[] = {
        {"no wait", 0, {}, 0, 0},
        {"50 ms", 50, {}, 9, 3},
        {"200 ms", 200, {}, 36, 3},
        {"400 ms", 400, {}, 72, 3},
        {"Control held", 400, {{0, 0x1D, true}}, 0, 3},
        {"right Control held", 400, {{0, 0x9D, true}}, 0, 3},
        {"a decide press ends one wait", 200, {{2, 0x1C, true}, {4, 0x1C, false}}, 3 + 24, 3},
        {"a held skip key ends each wait", 200, {{0, 0x2A, true}}, 3, 3},
    };
    static int calls;
    for (const Case& c : cases) {
        Play(c.events);
        calls = 0;
        const int start = Frames();
        window->View().DrawText(
            0, 0xFFFFFF, c.wait, u"あいう", [](std::uintptr_t) { ++calls; }, 0);
        EXPECT_EQ(Frames() - start, c.frames) << c.name;
        EXPECT_EQ(calls, c.callbacks) << c.name;
        EXPECT_EQ(window->View().GetTextCounter(), 3u) << c.name;
        Release(c.events);
    }
}

TEST_F(MessageWindowTest, NameTagsExpandWithinTheCapacity) {
    const std::u16string a1022(1022, u'a');
    const std::u16string pair = u"\U00020BB7";
    struct Case {
        const char* name;
        std::u16string first, last, text, expected;
    } cases[] = {
        {"both names", u"湊", u"遠野", u"#1と#2。", u"湊と遠野。"},
        {"other tags stay", u"x", u"y", u"#3 ## #", u"#3 ## #"},
        {"an empty name costs 2", u"", u"", u"#1" + a1022, a1022.substr(0, 1021)},
        {"the text is cut at 1023", u"", u"", a1022 + u"bcd", a1022 + u"b"},
        {"never half a pair at the cut", u"", u"", a1022 + pair, a1022},
        {"a name is cut too", std::u16string(63, u'n'), u"", std::u16string(1000, u'a') + u"#1",
         std::u16string(1000, u'a') + std::u16string(23, u'n')},
        {"a name cut inside a pair", u"nn" + pair, u"", std::u16string(1020, u'a') + u"#1",
         std::u16string(1020, u'a') + u"nn"},
    };
    for (const Case& c : cases) {
        SystemConfig = {};
        std::copy(c.first.begin(), c.first.end(), SystemConfig.PlayerName1);
        std::copy(c.last.begin(), c.last.end(), SystemConfig.PlayerName2);
        std::vector<TextElement> elements(TextScript::kTextElementCapacity, TextElement{7, 7});
        const std::size_t count = TextScript::ExpandNameTags(c.text, elements);
        std::u16string got;
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(elements[i].kind, TextScript::kElementChar) << c.name;
            got += static_cast<char16_t>(elements[i].value);
        }
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(elements[count], TextElement{}) << c.name << ": the list is ended";
    }
}

// The view against the text record drawing the expected characters on a bare surface.
TEST_F(MessageWindowTest, SurrogatesJoinOnlyInOrderAndLoneHalvesDrawTheReplacement) {
    struct Case {
        const char* name;
        std::vector<std::vector<char16_t>> lists;
        std::u32string expected;
    } cases[] = {
        {"a pair", {{0xD800, 0xDC41}}, U"\U00010041"},
        {"a high before a letter", {{0xD842, u'A'}}, U"\uFFFDA"},
        {"a lone low", {{0xDFB7, u'B'}}, U"\uFFFDB"},
        {"two highs", {{0xD842, 0xD842, 0xDFB7}}, U"\uFFFD\U00020BB7"},
        {"a high at the end", {{u'C', 0xD842}}, U"C\uFFFD"},
        {"no pair across two texts", {{0xD842}, {0xDFB7}}, U"\uFFFD\uFFFD"},
    };
    TextScript::DxMessView2& view = window->View();
    for (const Case& c : cases) {
        view.Clear(0);
        view.SetPen(0, 0);
        for (const auto& units : c.lists) {
            std::vector<TextElement> list;
            for (char16_t u : units) list.push_back({TextScript::kElementChar, u});
            list.push_back({});
            view.ApplyElements(0, list);
        }
        ComPtr<DxDraw::DxSurface> expected = DxDraw::CreateSurface(32);
        expected->SetSize(768, 140);
        expected->FillRect(nullptr, 0, 0);
        DxDraw::TextData text = view.Text();
        text.pen_ = {};
        for (char32_t ch : c.expected) DxDraw::PutChar(*expected, text, ch);
        EXPECT_EQ(view.GetPen(), text.pen_) << c.name;
        EXPECT_EQ(std::memcmp(view.GetBits(), expected->GetBits(), expected->GetImageSize()), 0) << c.name;
    }
}

TEST_F(MessageWindowTest, ElementsSetTheAttributes) {
    TextScript::DxMessView2& view = window->View();
    view.DrawText(0, 0x112233, 0, u"", nullptr, 0);
    EXPECT_EQ(view.GetColor(), 0x332211u) << "the record keeps red in the low byte";
    EXPECT_EQ(view.GetStyle(), 0x3u) << "bold and shadow; the message command adds the anti-aliasing";
    const std::vector<TextElement> list = {{4, 0xABCDEF}, {5, 0}, {9, 1}, {8, 0}, {2, 123}, {6, 0}, {3, 5}, {}, {5, 1}};
    view.ApplyElements(0, list);
    EXPECT_EQ(view.GetColor(), 0xABCDEFu);
    EXPECT_EQ(view.GetStyle(), 0x4u) << "the element after the end is not run";
    EXPECT_EQ(view.GetCharWait(), 123);
    EXPECT_FALSE(view.IsWaitEnabled());
    EXPECT_EQ(view.GetCellSize(), (POINT{24, 27}));
}

TEST_F(MessageWindowTest, ThePageCursorEndsAsTheKeysSayAndBlinksItsFrames) {
    struct Case {
        const char* name;
        std::int32_t kind, auto_wait;
        std::vector<Event> events;
        int frames;
        std::uint32_t result;
    } cases[] = {
        {"Return", 0, 0, {{20, 0x1C, true}}, 22, 0x10},
        {"skip bits are masked without auto-wait", 0, 0, {{3, 0x2A, true}, {3, 0x1C, true}}, 5, 0x10},
        {"the right button alone does not end it", 1, 0, {{3, 0x101, true}, {30, 0x100, true}}, 32, 0x1000},
        {"a held skip key without auto-wait", 0, 0, {{3, 0x2A, true}, {10, 0x01, true}}, 12, 0x20},
        {"a held skip key with auto-wait", 0, 100, {{3, 0x2A, true}}, 11, 0x10000},
        // The right button is a skip key: with auto-wait its press is no reader's press.
        {"a right click with auto-wait", 0, 100, {{3, 0x101, true}, {5, 0x101, false}}, 11, 0x2000},
    };
    for (const Case& c : cases) {
        window->View().SetAutoWait(c.auto_wait);
        const int start = Frames();
        Play(c.events);
        std::vector<std::uint32_t> seen;
        each_frame = [&](int) {
            const std::uint32_t colour = Colour(780, 590);
            if (seen.empty() || seen.back() != colour) seen.push_back(colour);
        };
        EXPECT_EQ(window->View().WaitForReader(c.kind, -1), c.result) << c.name;
        EXPECT_EQ(Frames() - start, c.frames) << c.name;
        if (c.frames >= 30) {
            // Frame 0 shows until the first change after 100 ms; then one change every 100 ms.
            ASSERT_GE(seen.size(), 4u);
            for (int k = 0; k < 3; ++k) EXPECT_EQ(seen[static_cast<std::size_t>(k)], CursorColour(c.kind, k));
        }
        each_frame = nullptr;
        Release(c.events);
        EXPECT_EQ(window->View().CursorTaskCount(), 0u);
        EXPECT_EQ(Children(), 2 + MessageWindow::kButtonCount) << c.name << ": the cursor sprite is gone";
    }
}

TEST_F(MessageWindowTest, AVoiceThatEndsEndsTheWaitAndOneCutShortIsStopped) {
    auto device = std::make_unique<host::TestAudioDevice>(44100);
    host::TestAudioDevice* audio = device.get();
    SoundParams params;
    ASSERT_EQ(InitSound(&params, std::move(device)), S_OK);
    soundtest::TempFolder folder;
    const auto file = [&](double seconds) {
        const auto pcm = soundtest::Sine(500, seconds, 44100, 2, 0.5);
        return Utf8ToUtf16(
            folder.Write(std::to_string(seconds) + ".ogg", soundtest::EncodeOggVorbis(pcm, 44100, 2)).string());
    };
    each_frame = [audio](int) { audio->Advance(20); };
    const int short_voice = StartStream(nullptr, file(0.3), 3, 0, 4096, 0, 0);
    ASSERT_GE(short_voice, 0);
    EXPECT_EQ(window->View().WaitForReader(0, 3), 0u);
    const int long_voice = StartStream(nullptr, file(5.0), 3, 0, 4096, 0, 0);
    ASSERT_GE(long_voice, 0);
    Play({{3, 0x1C, true}});
    EXPECT_EQ(window->View().WaitForReader(0, 3), 0x10u);
    audio->Advance(20);
    EXPECT_EQ(IsStreamPlaying(long_voice), 0) << "the reader went on: the voice is stopped";
    TermSound();
}

TEST_F(MessageWindowTest, OpenAndHideAnimateTheBackgroundAndPutItBack) {
    struct Case {
        const char* name;
        std::int32_t mode;
        bool open, shown;  // opens or hides; shown before
        int frames;
        std::uint32_t first_level;
        RECT first_source;  // the background stands where its cut begins
    } cases[] = {
        {"open at once", 0, true, false, 0, 128, {0, 0, 800, 200}},
        {"open fading", 1, true, false, 65, 0, {0, 0, 800, 200}},
        {"open sideways", 2, true, false, 51, 128, {399, 0, 401, 200}},
        {"open vertically", 3, true, false, 14, 128, {0, 99, 800, 101}},
        {"open when open", 1, true, true, 0, 0, {}},
        {"hide fading", 1, false, true, 64, 126, {0, 0, 800, 200}},
        {"hide sideways", 2, false, true, 50, 128, {8, 0, 792, 200}},
        {"hide vertically", 3, false, true, 13, 128, {0, 8, 800, 192}},
        {"hide when hidden", 2, false, false, 0, 0, {}},
        {"open unknown mode at once", 9, true, false, 0, 128, {0, 0, 800, 200}},
        {"hide unknown mode at once", 9, false, true, 0, 128, {0, 0, 800, 200}},
    };
    DxDraw::DxSurfaceSprite32& background = window->Background();
    for (const Case& c : cases) {
        c.shown ? window->Show() : window->Hide();
        window->SetOpenMode(c.mode);
        const int start = Frames();
        std::vector<std::pair<std::uint32_t, RECT>> seen;
        each_frame = [&](int) {
            seen.push_back({background.Blend().level, background.Source().source});
            EXPECT_EQ(background.GetPosition().x, static_cast<float>(seen.back().second.left)) << c.name;
            EXPECT_EQ(background.GetPosition().y, static_cast<float>(seen.back().second.top)) << c.name;
            EXPECT_FALSE(window->View().IsVisible() && Frames() - start < c.frames) << c.name;
        };
        TextScript::RunTaskToEnd(c.open ? TextScript::StartOpenTask(*window) : TextScript::StartHideTask(*window));
        EXPECT_EQ(Frames() - start, c.frames) << c.name;
        if (!seen.empty()) {
            EXPECT_EQ(seen[0].first, c.first_level) << c.name;
            EXPECT_EQ(seen[0].second, c.first_source) << c.name;
        }
        EXPECT_EQ(window->IsVisible(), c.open) << c.name;
        EXPECT_TRUE(window->View().IsVisible()) << c.name;
        EXPECT_EQ(background.Blend().level, 128u) << c.name;
        EXPECT_EQ(background.Source().source, (RECT{0, 0, 800, 200})) << c.name;
        EXPECT_EQ(background.Source().width, 800) << c.name;
        EXPECT_EQ(background.GetPosition().x + background.GetPosition().y, 0.0f) << c.name;
        each_frame = nullptr;
    }
    // An odd level: the fade stops on it, and the hide puts it back for the next opening.
    background.SetLevel(127);
    window->SetOpenMode(1);
    window->Show();
    for (const auto& [task, frames] : {std::pair{&TextScript::StartHideTask, 64}, {&TextScript::StartOpenTask, 65}}) {
        const int start = Frames();
        TextScript::RunTaskToEnd(task(*window));
        EXPECT_EQ(Frames() - start, frames);
        EXPECT_EQ(background.Blend().level, 127u);
    }
}

TEST_F(MessageWindowTest, ARequestDuringAnyWaitLeavesNothingOpenOrHalfDone) {
    struct Case {
        const char* name;
        bool shown_before;
        std::int32_t mode;
        std::function<void(MessageWindow&)> wait;
        bool shown_after;
    } cases[] = {
        {"fade out", true, 1, [](MessageWindow& w) { TextScript::HideWindowNow(w); }, false},
        {"slide open", false, 2, [](MessageWindow& w) { TextScript::RunTaskToEnd(TextScript::StartOpenTask(w)); },
         true},
        {"reveal", true, 0, [](MessageWindow& w) { w.View().DrawText(0, 0, 400, u"あいう", nullptr, 0); }, true},
        {"page wait", true, 0, [](MessageWindow& w) { w.View().WaitForReader(0, -1); }, true},
    };
    for (const Case& c : cases) {
        c.shown_before ? window->Show() : window->Hide();
        window->SetOpenMode(c.mode);
        const int request_at = Frames() + 5;
        At(5, [] { PendingRequest = kRequestTitle; });
        EXPECT_THROW(c.wait(*window), ScriptException) << c.name;
        EXPECT_EQ(Frames(), request_at) << c.name << ": the request ends the wait";
        EXPECT_EQ(window->IsVisible(), c.shown_after) << c.name;
        EXPECT_TRUE(window->View().IsVisible()) << c.name;
        EXPECT_EQ(window->Background().Blend().level, 128u) << c.name;
        EXPECT_EQ(window->Background().Source().source, (RECT{0, 0, 800, 200})) << c.name;
        EXPECT_EQ(window->View().Text().beginCount_, 0u) << c.name << ": the drawing scope is closed";
        EXPECT_EQ(window->Tasks().Size() + window->View().CursorTaskCount(), 0u) << c.name;
        EXPECT_EQ(Children(), 2 + MessageWindow::kButtonCount) << c.name;
    }
}

TEST_F(MessageWindowTest, TasksStillHangingGoWithTheirWindow) {
    window->SetOpenMode(1);
    AttachACT(4, TextScript::StartHideTask(*window));
    StepFrame();
    ACT* cursor = window->View().StartCursorTask(0, -1);
    window->Destroy();  // the hide task in the root and the cursor task are freed first
    EXPECT_EQ(GetACTRoot(4)->last_child, nullptr);
    EXPECT_EQ(TextScript::TaskPhase(cursor), -1);
    StepFrame();
}

TEST_F(MessageWindowTest, TheButtonsShowTheirPartsOfTheSheetAndHoldIt) {
    for (int k = 0; k < MessageWindow::kButtonCount; ++k) {
        const DxDraw::DxSprite& button = window->Button(k);
        EXPECT_EQ(button.Source().source, (RECT{752, 288 + 24 * k, 800, 312 + 24 * k}));
        EXPECT_EQ(std::pair(button.GetPosition().x, button.GetPosition().y), std::pair(752.0f, 40.0f + 24 * k));
        EXPECT_EQ(std::pair(button.Blend().flags, button.Blend().level), std::pair(0x10002u, 128u));
        EXPECT_EQ(window->ButtonRect(k), (RECT{752, 440 + 24 * k, 800, 464 + 24 * k}));
    }
    EXPECT_EQ(window->View().GetPosition().x + window->View().GetPosition().y, 8.0f + 44.0f);
    EXPECT_EQ(window->Words(), (std::array<std::int32_t, 4>{0, 1, 0, 0}));
    EXPECT_EQ(SystemImage->ReferenceCount(), 1u + MessageWindow::kButtonCount) << "each button holds the sheet";
    window->Destroy();
    EXPECT_EQ(SystemImage->ReferenceCount(), 1u) << "and lets go of it";
}

TEST(SystemImageSheet, TheSampleGamesSheetComesFromTheSystemArchiveOnly) {
    const std::string root = DEMO_DATA_DIR;
    ComPtr<IArchive> system = OpenSafArchive(Utf8ToUtf16(root + "/system.saf"));
    ComPtr<IArchive> script = OpenSafArchive(Utf8ToUtf16(root + "/script.saf"));
    ASSERT_TRUE(system && script);
    LoadSystemImage(*system);
    EXPECT_EQ(SystemImage->GetWidth() * 1000 + std::abs(SystemImage->GetHeight()), 800 * 1000 + 808);
    EXPECT_THROW(LoadSystemImage(*script), ExceptionHandleT<char16_t>) << "no sheet in the script archive";
    SystemImage.Reset();
}

}  // namespace
