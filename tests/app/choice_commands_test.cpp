// Choices, the turn selection, endings, flashes, scene names and TOF through the game cycle on the
// test host: what the route runs cannot see (hit edges, timings in frames, refusals, requests).
#include "app/choice_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/app_script.h"
#include "app/ending_commands.h"
#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/menu_commands.h"
#include "app/message_window.h"
#include "app/runtime.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/system_image.h"
#include "app/win_app.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"
#include "lib/error.h"
#include "lib/text.h"
#include "lib/text_field.h"
#include "media/picture_writers.h"
#include "script/variables.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace {

constexpr std::uint32_t kYellow = 0xFFFF00, kMagenta = 0xFF00FF, kGreen = 0x008000, kBlue = 0x0000FF;

class ChoiceCommands : public ::testing::Test, public GameEventSink {
protected:
    ChoiceCommands() : runtime(host) {
        SystemImage = DxDraw::CreateSurface(32);
        SystemImage->SetSize(800, 600);
        SystemImage->FillRect(nullptr, 0x000000, 255);
        Picture("turnbg.bmp", 800, 600, kBlue);
        Picture("select/selbg.bmp", 800, 600, kGreen);
        for (const char* name : {"A", "B", "C", "D", "AB", "CD"}) {
            const int width = std::string(name).size() == 1 ? 170 : 356;
            Picture(std::string("select/SEL_") + name + "_0.bmp", width, 300, kYellow);
            Picture(std::string("select/SEL_") + name + "_1.bmp", width, 300, kMagenta);
        }
        // Jump entry n goes to Tn; a judge table sends 5 to T9 while A010 is 2.
        std::string table;
        for (int i = 0; i < 20; ++i) table += "T" + std::to_string(i) + "\n";
        Write("iv.txt", table + "#5\nT9\nA010 == 2\n");
        ScriptArchive = OpenDirArchive(folder.Path());
        window().on_frame = [this](int frame) {
            for (auto [it, end] = script.equal_range(frame); it != end; ++it) it->second();
            if (every_frame) every_frame();
        };
    }
    ~ChoiceCommands() override { SettingsBlock = {}, ChangeMask = 0, CommandOptions = {}; }

    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view>) override {
        if (on_event) on_event(kind);
    }

    testhost::TestWindow& window() { return host.test_window(); }
    void Write(const std::string& name, const std::string& text) {
        media::WriteFile(folder.path() / name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    void Picture(const std::string& name, int width, int height, std::uint32_t rgb) {
        std::vector<std::uint8_t> pixels;
        for (int i = 0; i < width * height; ++i)
            pixels.insert(pixels.end(), {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
        media::WriteFile(folder.path() / name, media::EncodeBmp24(width, height, pixels));
    }
    // The action runs `frame` frames after now; the frame step reads its input in the next.
    void At(int frame, std::function<void()> action) { script.emplace(window().frames() + frame, std::move(action)); }
    void Click(int frame, POINT at) {
        At(frame, [=, this] { window().MoveCursor(at.x, at.y), window().PressButton(0); });
        At(frame + 1, [this] { window().ReleaseButton(0); });
    }
    std::uint32_t ViewCount() {
        std::uint32_t count = 0;
        runtime.root().HandleMessage(kMsgCount, reinterpret_cast<std::uintptr_t>(&count), 0);
        return count;
    }
    std::uint32_t Pixel(int x, int y) { return window().Pixel(x, y) & 0xFFFFFF; }
    // One game cycle of the story (UTF-8, stored as CP932): its result, or "!" and the error's
    // line and message.
    std::string Play(const std::string& story) {
        const std::string bytes = Utf16ToCp932(Utf8ToUtf16(story));
        Write("start.txt", bytes);
        // A click that misses would leave a menu waiting for good: the title request ends it.
        At(2000, [this] { PendingRequest = kRequestTitle; });
        std::string outcome;
        try {
            const ScopedGameEventSink sink(this);
            outcome = std::to_string(RunSession(u"start.txt", 0, services));
        } catch (const ExceptionHandle& error) {
            outcome = "!" + std::to_string(error.line) + " " + Utf16ToUtf8(error.message);
        }
        EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr) << "no view is left on the screen";
        script.clear(), every_frame = nullptr, on_event = nullptr;
        return outcome;
    }

    testsupport::TempFolder folder{"choice_commands"};
    testhost::TestHost host;
    ScopedRuntime runtime;
    GameCycleServices services = DefaultGameCycleServices();
    std::multimap<int, std::function<void()>> script;
    std::function<void()> every_frame;
    std::function<void(std::string_view)> on_event;
    std::vector<int> slides;  // the frame of each run of the ending slides
};

// The variable R after a run (-1 when absent).
int R() { return TextScript::EvaluateOperand(u"R", -1); }

// Each label n sets R to n and ends the story.
std::string Targets(int count, const std::string& prefix) {
    std::string text;
    for (int n = 0; n < count; ++n)
        text += "\n.LAB " + prefix + std::to_string(n) + "\n.PST R = " + std::to_string(n) + "\n.JMP FIN\n";
    return text + "\n.LAB FIN\n";
}

TEST_F(ChoiceCommands, MenusOfOneToThreeLinesLightThePointedLineAndJumpToTheClickedOne) {
    // Pointer positions and the colours of the lines there (R red, W white); a short line is hit
    // from x 192 to 607, a line of 416 pixels and more where its text lies (here 176 to 623). A
    // held probe comes with the left button pressed before the move: a held button picks nothing.
    struct Probe {
        POINT at;
        std::string colours;
        bool held = false;
    };
    struct Case {
        std::vector<std::string> lines;
        std::vector<Probe> probes;
        POINT click;
        int chosen;
    };
    const std::string kShort = "はい", kLong = "ああああああああああああああ";
    const Case cases[] = {
        {{kShort},
         {{{192, 148}, "R"},
          {{191, 160}, "W"},
          {{400, 160}, "R", true},
          {{607, 187}, "R"},
          {{608, 160}, "W"},
          {{400, 188}, "W"}},
         {400, 160},
         0},
        {{kShort, kLong},
         {{{176, 200}, "WR"},
          {{175, 200}, "WW"},
          {{180, 160}, "WW"},
          {{623, 229}, "WR"},
          {{624, 200}, "WW"},
          {{300, 189}, "WW"}},
         {300, 200},
         1},
        {{kShort, kShort, kLong}, {{{400, 168}, "RWW"}, {{400, 210}, "WRW"}, {{400, 252}, "WWR"}}, {400, 252}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.size());
        std::string story, seen;
        for (std::size_t i = 0; i < c.lines.size(); ++i)
            story += ".SEL L" + std::to_string(i) + " " + c.lines[i] + "\n";
        on_event = [&](std::string_view kind) {
            if (kind != "choice") return;
            for (std::size_t p = 0; p < c.probes.size(); ++p) {
                const Probe probe = c.probes[p];
                if (probe.held) At(4 * int(p), [this] { window().PressButton(0); });
                At(1 + 4 * int(p), [=, this] { window().MoveCursor(probe.at.x, probe.at.y); });
                At(3 + 4 * int(p), [&, this] {
                    window().ReleaseButton(0);
                    for (int line = 0; line < int(c.lines.size()); ++line) {
                        int red = 0, white = 0;
                        for (int y = 152 + 42 * line; y < 184 + 42 * line; ++y)
                            for (int x = 40; x < 760; ++x) {
                                red += (Pixel(x, y) & 0xC0C0C0) == 0xC00000;
                                white += (Pixel(x, y) & 0xC0C0C0) == 0xC0C0C0;
                            }
                        seen += red && !white ? 'R' : (white && !red ? 'W' : '-');
                    }
                    seen += GameMessageWindow->IsVisible() ? " " : "(hidden) ";
                });
            }
            Click(1 + 4 * int(c.probes.size()), c.click);
        };
        bool shown_at_end = true;
        every_frame = [&] {
            if (GameMessageWindow) shown_at_end = GameMessageWindow->IsVisible();
        };
        // The flash after TOF only turns a frame, in which the window's state is read.
        EXPECT_EQ(Play(story + Targets(3, "L") + ".TOF\n.FLS 0\n"), "0");
        std::string expected;
        for (const Probe& probe : c.probes) expected += probe.colours + " ";
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(R(), c.chosen);
        EXPECT_FALSE(shown_at_end) << "TOF closed the window the menu showed";
    }
}

TEST_F(ChoiceCommands, AChoiceCancelsSkipOrElseAutoOnlyWhenTheSettingsSaySo) {
    struct Case {
        std::uint8_t cancel;
        std::uint32_t skip, autoMode;
        std::string after;  // skip, auto, then the two buttons' levels
    };
    const Case cases[] = {
        {1, 1, 1, "0 1 128 255"},
        {1, 0, 1, "0 0 255 128"},
        {1, 2, 0, "0 0 128 255"},
        {0, 1, 1, "1 1 255 255"},
    };
    for (const Case& c : cases) {
        SettingsBlock.text_skip2 = c.cancel;
        std::string after;
        At(2, [&] {
            SkipMode = c.skip, AutoMode = c.autoMode;
            GameMessageWindow->Button(1).SetLevel(255);
            GameMessageWindow->Button(2).SetLevel(255);
        });
        on_event = [&](std::string_view kind) {
            if (kind != "choice") return;
            after = std::to_string(SkipMode) + " " + std::to_string(AutoMode) + " " +
                    std::to_string(GameMessageWindow->Button(1).Blend().level) + " " +
                    std::to_string(GameMessageWindow->Button(2).Blend().level);
            Click(2, {400, 160});
        };
        EXPECT_EQ(Play(".FLS 1\n.SEL L0 はい\n" + Targets(1, "L")), "0");
        EXPECT_EQ(after, c.after);
    }
}

TEST_F(ChoiceCommands, MoreThanThreeChoicesOrAMissingLabelAreScriptErrorsOfTheirLine) {
    EXPECT_EQ(Play(".PST R = 0\n.SEL L0 あ\n.SEL L1 い\n.SEL L2 う\n.SEL L3 え\n" + Targets(4, "L")),
              "!3 選択肢は3個までです。");
    on_event = [&](std::string_view kind) {
        if (kind == "choice") Click(2, {400, 160});
    };
    EXPECT_EQ(Play("\n.SEL NOWHERE あ\n" + Targets(1, "L")), "!3 ラベルが見つかりません。[NOWHERE]");
}

TEST_F(ChoiceCommands, ARequestDuringAWaitTakesTheWaitsViewsWithIt) {
    // A step back or back-to-title request during the menu, the caption, the buttons and the
    // flash (once a screen point shows the wait): whatever follows, no view is left on the screen.
    bool offered = false;
    const std::pair<std::string, std::function<bool()>> cases[] = {
        {".SEL L0 はい\n" + Targets(1, "L"), [&] { return offered; }},
        {".SSL MAP\n", [this] { return Pixel(10, 300) && Pixel(10, 300) < 0x100; }},
        {".SSL MAP\n", [this] { return Pixel(10, 10) == kGreen; }},
        {".FLS 3\n", [this] { return Pixel(400, 300) == 0xFFFFFF; }},
    };
    for (const std::int32_t request : {kRequestGoBack, kRequestTitle})
        for (const auto& [story, ready] : cases) {
            SCOPED_TRACE(story.substr(0, 4) + std::to_string(request));
            bool posted = false;
            offered = false;
            on_event = [&](std::string_view kind) { offered = kind == "choice"; };
            every_frame = [&, this] {
                if (!posted && ready()) posted = true, At(2, [&] { PendingRequest = request; });
            };
            Play(story);
            EXPECT_TRUE(posted);
        }
}

TEST_F(ChoiceCommands, TheTurnSelectionGroupsItsButtonsByTheVisitsAndJumpsThroughTheTables) {
    // Colours along y 347 at the four buttons and the three gaps between them (Y normal picture,
    // M pointed, g the selection background), with the pointer on `point`, then the jump's target.
    struct Case {
        int a, b, c, d;
        POINT point;
        std::string row;
        int r;  // the jump's target, -1 for none
    };
    const Case cases[] = {
        {0, 0, 0, 0, {36, 197}, "MgYgYgY", 1},  {0, 0, 0, 0, {764, 496}, "YgYgYgY", -1},
        {0, 0, 0, 0, {763, 496}, "YgYgYgM", 4}, {1, 0, 0, 0, {214, 300}, "MMMgYgY", 5},
        {0, 0, 0, 3, {500, 300}, "YgYgMMM", 6}, {0, 2, 1, 0, {400, 300}, "YYYgYYY", -1},
        {2, 0, 1, 1, {391, 300}, "MMMgYYY", 9}, {0, 0, 0, 0, {600, 300}, "YgYgYgM", 4},
        {0, 1, 0, 0, {500, 300}, "YYYgMgY", 3},
    };
    const int kSampleX[] = {121, 214, 307, 400, 493, 586, 679};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.a) + std::to_string(c.b) + std::to_string(c.c) + std::to_string(c.d));
        std::string row;
        bool started = false;
        every_frame = [&, this] {
            if (started || Pixel(10, 10) != kGreen) return;
            started = true;
            At(1, [=, this] { window().MoveCursor(c.point.x, c.point.y); });
            At(4, [&, this] {
                for (int x : kSampleX) {
                    const std::uint32_t p = Pixel(x, 347);
                    row += p == kYellow ? 'Y' : p == kMagenta ? 'M' : p == kGreen ? 'g' : '?';
                }
                window().PressButton(0);
            });
            At(5, [this] { window().ReleaseButton(0); });
            At(8, [this] { PendingRequest = kRequestTitle; });  // a click beside the buttons chooses none
        };
        const std::string story = ".PST A010 = " + std::to_string(c.a) + "\n.PST B010 = " + std::to_string(c.b) +
                                  "\n.PST C010 = " + std::to_string(c.c) + "\n.PST D010 = " + std::to_string(c.d) +
                                  "\n.SSL MAP\n" + Targets(10, "T");
        EXPECT_EQ(Play(story), c.r < 0 ? "1" : "0");
        EXPECT_EQ(row, c.row);
        EXPECT_EQ(R(), c.r);
    }
}

TEST_F(ChoiceCommands, ChoicesOfferSaveAndDebugWhileTheyWaitExceptSaveInAReplay) {
    BuildMainMenu(host.menu(), 1);
    services.menu = &host.menu();
    host.menu().Gray(kMenuSave, true);
    host.menu().Gray(kMenuDebugWindow, true);
    // The save and debug items as they change ('x' gray, '-' offered), and each click's frame.
    std::vector<std::string> states{"xx"};
    every_frame = [this, &states] {
        const std::string now{"-x"[host.menu().IsGrayed(kMenuSave)], "-x"[host.menu().IsGrayed(kMenuDebugWindow)]};
        if (now != states.back()) states.push_back(now);
        // The menu's first line and the first turn button, each clicked every 20 frames.
        if (window().frames() % 20 == 0) Click(1, {400, 160});
        if (window().frames() % 20 == 10) Click(1, {100, 300});
    };
    const struct {
        std::string story;
        bool replay;
        std::vector<std::string> states;
        int r;  // the jump's target; -2 not checked
    } cases[] = {
        {".SEL L0 はい\n" + Targets(1, "L"), false, {"xx", "--", "xx"}, 0},
        {".SSL MAP\n" + Targets(2, "T"), false, {"xx", "--", "xx"}, 1},
        // In a replay (from the first frame of the message on) the page end and the menu offer
        // the debug window only.
        {"あ\n\n.SEL L0 はい\n" + Targets(1, "L"), true, {"xx", "x-", "xx"}, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story.substr(0, 8));
        states = {"xx"};
        const std::function<void()> each_frame = every_frame;
        if (c.replay) every_frame = [each_frame] { TextScript::ScenePlayMode = 1, each_frame(); };
        EXPECT_EQ(Play(c.story), "0");
        every_frame = each_frame;
        EXPECT_EQ(states, c.states);
        if (c.r != -2) {
            EXPECT_EQ(R(), c.r);  // a replay keeps no variables
        }
    }
    TextScript::ScenePlayMode = 0;
}

TEST_F(ChoiceCommands, AFontChangeDrawsEveryLineWhiteAgain) {
    // "R" or "W" for the menu's line under the pointer: red while pointed, white after the font
    // changed, until the pointer moves on.
    std::string seen;
    const auto look = [this, &seen] {
        int red = 0;
        for (int x = 40; x < 760; ++x) red += (Pixel(x, 168) & 0xC0C0C0) == 0xC00000;
        seen += red ? "R" : "W";
    };
    on_event = [&](std::string_view kind) {
        if (kind != "choice") return;
        At(1, [this] { window().MoveCursor(400, 160); });
        At(4, look);
        At(5, [] { ChangeMask |= kChangeRebuildViews; });
        At(8, look);
        Click(10, {400, 160});
    };
    EXPECT_EQ(Play(".SEL L0 はい\n" + Targets(1, "L")), "0");
    EXPECT_EQ(seen, "RW");
}

// Where a caption of 8 columns is drawn in white: one character per pixel, '#' for text.
std::string CaptionMask(const std::function<bool(int x, int y)>& is_text) {
    std::string mask;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x) mask += is_text(x, y) ? '#' : '.';
    return mask;
}

TEST_F(ChoiceCommands, TheTurnCaptionFadesInOverTurnbgAndShowsTheNextTurn) {
    // "turnbg" fades in by steps of 15 and stays two seconds; the caption over it, 8 columns wide
    // in the middle at y 284, is "ターン" with the next turn's number, as a view of the settings'
    // face draws it.
    const std::pair<int, std::u16string> cases[] = {{0, u"ターン 1"}, {2, u"ターン 3"}, {11, u"ターン12"}};
    for (const auto& [turn, caption] : cases) {
        TextScript::DxMessView2 reference(128, 32);
        reference.SetStyle(reference.GetStyle() | DxDraw::kTextAntiAliased);
        reference.SetFont(32, 0, FieldText(SettingsBlock.font_name));
        reference.DrawText(0, 0xFFFFFF, 0, caption, nullptr, 0);
        const std::string expected = CaptionMask([&](int x, int y) {
            const std::uint8_t* p = reference.GetPixelAddress(x, y);
            return p[3] < 64 && (p[0] & p[1] & p[2]) >= 0xC0;
        });
        std::vector<std::uint32_t> blue;
        int frames_up = 0, wrong = -1;
        every_frame = [&, this] {
            const std::uint32_t b = Pixel(10, 300) & 0xFF;
            if (b && Pixel(10, 300) == b) blue.push_back(b);
            if (b < 0xF0 || frames_up++) return;
            const std::string seen =
                CaptionMask([this](int x, int y) { return (Pixel(336 + x, 284 + y) & 0xC0C0C0) == 0xC0C0C0; });
            wrong = 0;
            for (std::size_t i = 0; i < seen.size(); ++i) wrong += seen[i] != expected[i];
        };
        At(400, [this] { PendingRequest = kRequestTitle; });
        EXPECT_EQ(Play(".PST TURN = " + std::to_string(turn) + "\n.SSL MAP\n"), "1");
        ASSERT_GE(blue.size(), 3u);
        EXPECT_NEAR(int(blue[0]), 15, 2);
        EXPECT_NEAR(int(blue[1]), 30, 2);
        EXPECT_NEAR(frames_up, 121, 2) << "two seconds at full level";
        EXPECT_GT(std::count(expected.begin(), expected.end(), '#'), 100);
        EXPECT_LT(wrong, 20) << Utf16ToUtf8(caption);
    }
}

TEST_F(ChoiceCommands, EndingsFadeToBlackWaitAndShowTheSlidesExceptEnd1) {
    struct Case {
        std::string command;
        bool installed;
        std::size_t slides;
    } cases[] = {{"END", true, 1}, {"END1", true, 0}, {"END2", true, 1}, {"END", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        slides.clear();
        testsupport::CaptureReports reports;
        std::vector<int> grey;  // the middle pixel's level while the cover fades over white
        every_frame = [&, this] {
            if (slides.empty()) grey.push_back(int(Pixel(400, 300) & 0xFF));
        };
        const int start = window().frames();
        services.ending_slides = nullptr;
        if (c.installed) services.ending_slides = [this] { slides.push_back(window().frames()); };
        EXPECT_EQ(Play(".FLS 0\n." + c.command + "\n.PST R = 1\n"), "1") << "back to the title";
        services.ending_slides = nullptr;
        EXPECT_EQ(R(), -1);
        ASSERT_EQ(slides.size(), c.slides);
        // The cover rises by 5 a frame over 52 frames, then a frame and three seconds pass.
        if (!slides.empty()) {
            EXPECT_NEAR(slides[0] - start, 1 + 52 + 1 + 180, 3);
        }
        ASSERT_GT(grey.size(), 60u);
        EXPECT_EQ(grey[1], 255);
        EXPECT_NEAR(grey[27], 255 - 130, 8);
        EXPECT_EQ(grey[60], 0);
        EXPECT_EQ(reports.debug.find(u"EndingSlides") != std::u16string::npos, !c.installed && c.command != "END1");
    }
}

TEST_F(ChoiceCommands, TheEndingsFadeCoversTheMessageWindow) {
    // The brightest pixel of the window's text area in each frame the window is up: the message's
    // white text, until the black cover has risen over it.
    std::vector<int> brightest;
    every_frame = [&, this] {
        if (!GameMessageWindow || !GameMessageWindow->IsVisible()) return;
        int most = 0;
        for (int y = 444; y < 584; ++y)
            for (int x = 8; x < 776; ++x) most = std::max(most, int(Pixel(x, y) >> 8 & 0xFF));
        brightest.push_back(most);
    };
    EXPECT_EQ(Play("あいうえお\n.END\n"), "1");
    ASSERT_GT(brightest.size(), 52u);
    EXPECT_GT(*std::max_element(brightest.begin(), brightest.end()), 200);
    EXPECT_LT(brightest.back(), 8) << "the window is under the cover";
}

TEST_F(ChoiceCommands, AChoiceRightAfterAPictureShowsThePicture) {
    constexpr std::uint32_t kBrown = 0x804020;
    Picture("ABC0000.bmp", 800, 600, kBrown);
    std::uint32_t seen = 0;
    on_event = [&](std::string_view kind) {
        if (kind != "choice") return;
        seen = Pixel(10, 10);
        Click(2, {400, 160});
    };
    EXPECT_EQ(Play(".GRP ABC0000\n.SEL L0 はい\n" + Targets(1, "L")), "0");
    EXPECT_EQ(seen, kBrown);
}

TEST_F(ChoiceCommands, TheTurnSelectionFadesToBlackFirstAndThePictureShowsAfterIt) {
    // The middle pixel's grey from the white picture until "turnbg" comes; then, once the story
    // goes on to a white picture after the selection, what the middle shows.
    std::vector<int> grey;
    std::optional<std::uint32_t> after;
    every_frame = [&, this] {
        const std::uint32_t p = Pixel(400, 300);
        if (R() == 1) {
            if (!after) after = p, PendingRequest = kRequestTitle;
            return;
        }
        const bool is_grey = (p & 0xFF) == (p >> 16) && (p & 0xFF) == (p >> 8 & 0xFF);
        if (after || (grey.empty() && p != 0xFFFFFF) || (!grey.empty() && grey.back() < 0)) return;
        grey.push_back(is_grey ? int(p & 0xFF) : -1);
    };
    on_event = [&](std::string_view kind) {
        if (kind == "choice") Click(2, {100, 300});
    };
    EXPECT_EQ(Play(".FLS 0\n.SSL MAP\n\n.LAB T1\n.GRP WHITE\n.PST R = 1\nあ\n\n"), "1");
    ASSERT_GT(grey.size(), 2u);
    grey.pop_back();  // the first frame of "turnbg"
    EXPECT_GT(grey.size(), 128u) << "from 255 to 0 by 2 a frame";
    EXPECT_EQ(grey.front(), 255);
    EXPECT_EQ(grey.back(), 0);
    int steepest = 0;
    for (std::size_t i = 1; i < grey.size(); ++i) steepest = std::max(steepest, grey[i - 1] - grey[i]);
    EXPECT_EQ(steepest, 2) << "down by 2 a frame";
    EXPECT_EQ(after, 0xFFFFFFu);
}

TEST_F(ChoiceCommands, FlashesLast100MsWithGapsAndLeaveThePictureWhite) {
    // The middle pixel per frame, run-length: W white, B black. Then the picture's scene state
    // as the story goes on, and after a turn selection.
    struct Case {
        std::string count;
        std::string runs;
        std::vector<int> modes;
    };
    const Case cases[] = {
        {"3", "W6 B6 W6 B6 W7", {0, 1, 0}}, {"XF", "W6 B6 W7", {0, 1, 0}}, {"0", "W1", {1, 0}}, {"XN", "W1", {1, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        std::string runs;
        char last = 0;
        int length = 0;
        std::vector<int> modes;
        every_frame = [&, this] {
            if (modes.empty() || modes.back() != CurrentPicture.mode) modes.push_back(CurrentPicture.mode);
            if (R() == 1) return;  // the flash is over
            const char now = Pixel(400, 300) == 0xFFFFFF ? 'W' : 'B';
            if (now == last) return void(++length);
            if (last) runs += last + std::to_string(length) + " ";
            last = now, length = 1;
        };
        // The turn selection's buttons: a request ends it, its picture is black.
        At(200, [this] { PendingRequest = kRequestTitle; });
        EXPECT_EQ(Play(".PST XF = 2\n.PST XN = 0\n.PST XN - 2\n.FLS " + c.count + "\n.PST R = 1\n.SSL MAP\n"), "1");
        runs += last + std::to_string(length);
        EXPECT_EQ(runs.substr(runs.find('W')), c.runs);
        EXPECT_EQ(modes, c.modes) << "black, white after the flash, black at the selection";
    }
}

TEST_F(ChoiceCommands, SceneNamesAreKeptOnceInUpperCase) {
    std::vector<std::u16string> names;
    services.save_global = [&](ScriptStateGroup_App& group) { names = group.scene_names(); };
    EXPECT_EQ(Play(".SFS sc_book\n.SFS SC_Book\n.SFS sc_beach\n.SFS SC_BOOK\n"), "0");
    EXPECT_EQ(names, (std::vector<std::u16string>{u"SC_BOOK", u"SC_BEACH"}));
}

}  // namespace
