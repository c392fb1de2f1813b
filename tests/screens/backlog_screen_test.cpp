// The backlog screen on the test host: where its lines stand, its faces, scrolling by wheel,
// keys, buttons and the knob, the voice replay on channel 3, and the ways out (leaving, a
// request, a font change).
#include "screens/backlog_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/backlog_history.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/message_window.h"
#include "app/owned_view.h"
#include "app/runtime.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "app/system_image.h"
#include "dxdraw/screen_surface.h"
#include "host/audio/test_audio_device.h"
#include "host/testhost/test_host.h"
#include "lib/text.h"
#include "lib/text_field.h"
#include "lib/xml.h"
#include "media/picture_writers.h"
#include "media/sound_writers.h"
#include "sound/sound.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace {

constexpr std::uint8_t kUpKey = 0xC8, kDownKey = 0xD0, kEscapeKey = 0x01, kShiftKey = 0x2A;
constexpr int kLeft = 0, kRight = 1;
// Faces 0, 1 and 2 of the picture; "c" is written in lower case, X names a face the picture does
// not have, Y's number does not parse and Z has no face at all.
constexpr std::string_view kConfig =
    "<config><system><backlog><face chr=\"A\" number=\"0\"/><face chr=\"B\" number=\"1\"/>"
    "<face chr=\" c\" number=\"2\"/><face chr=\"X\" number=\"3\"/><face chr=\"Y\" number=\"y\"/>"
    "</backlog></system></config>";
constexpr std::uint32_t kFaceColours[] = {0xFF0000, 0x00FF00, 0x0000FF};
constexpr std::uint32_t kTrack = 0x808000, kTrackEnd = 0x00FFFF, kKnob = 0xFF00FF;

// "A00", "A01", ...: one voiced line each, two display lines with the empty one.
BacklogHistory Voiced(int count) {
    BacklogHistory history;
    for (int i = 0; i < count; ++i) {
        const std::u16string number = Utf8ToUtf16((i < 10 ? "0" : "") + std::to_string(i));
        history.Append({u"line " + number, u"A" + number});
    }
    return history;
}

class BacklogScreenTest : public ::testing::Test, public GameEventSink {
protected:
    void SetUp() override {
        const SoundParams params;
        ASSERT_EQ(InitSound(&params, std::make_unique<host::TestAudioDevice>()), S_OK);
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < 48; ++y)
            for (std::uint32_t colour : kFaceColours)
                for (int x = 0; x < 48; ++x)
                    rgb.insert(rgb.end(),
                               {std::uint8_t(colour >> 16), std::uint8_t(colour >> 8), std::uint8_t(colour)});
        media::WriteFile(pictures.path() / "title" / "backlogface.bmp", media::EncodeBmp24(144, 48, rgb));
        media::WriteFile(pictures.path() / "config.xml", std::vector<std::uint8_t>(kConfig.begin(), kConfig.end()));
        const std::vector<std::uint8_t> ogg = media::EncodeOggVorbis(std::vector<std::int16_t>(44100), 44100, 1, 0.1f);
        for (int i = 0; i <= 30; ++i) {
            const std::string name = i < 30 ? (i < 10 ? "A0" : "A") + std::to_string(i) : "B00";
            media::WriteFile(sounds.path() / "voice" / (name + ".ogg"), ogg);
        }
        ScriptArchive = OpenDirArchive(pictures.Path());
        SoundArchive = OpenDirArchive(sounds.Path());
        SystemImage = DxDraw::CreateSurface(32);
        SystemImage->SetSize(800, 808);
        SystemImage->FillRect(nullptr, 0x000000, 255);
        const RECT track{0, 240, 32, 807}, end{0, 807, 32, 808}, knob{32, 240, 56, 272};
        SystemImage->FillRect(&track, kTrack, 255);
        SystemImage->FillRect(&end, kTrackEnd, 255);
        SystemImage->FillRect(&knob, kKnob, 255);
        window().on_frame = [this](int frame) {
            for (auto [it, last] = script.equal_range(frame); it != last; ++it) it->second();
            // A screen that misses its way out would wait for good: the title request ends it.
            if (frame % 1000 == 0) PendingRequest = kRequestTitle;
        };
    }
    void TearDown() override {
        TermSound();
        SettingsBlock = {}, ChangeMask = 0, SkipMode = 0;
    }
    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
        if (kind == "voice") voices.push_back(Utf16ToUtf8(*fields.begin()));
    }

    testhost::TestWindow& window() { return host.test_window(); }
    void At(int frame, std::function<void()> action) { script.emplace(window().frames() + frame, std::move(action)); }
    // Held two frames: the input's auto-repeat takes a step only once a 60th of a second has
    // passed, which one frame in three falls short of.
    void Key(int frame, std::uint8_t code) {
        At(frame, [=, this] { window().Press(code); });
        At(frame + 2, [=, this] { window().Release(code); });
    }
    void Click(int frame, int x, int y, int button = kLeft) {
        At(frame, [=, this] { window().MoveCursor(x, y), window().PressButton(button); });
        At(frame + 2, [=, this] { window().ReleaseButton(button); });
    }
    // The left button down on one point, moved to another and let go.
    void Drag(int frame, int x, int y, int to_y) {
        At(frame, [=, this] { window().MoveCursor(x, y), window().PressButton(kLeft); });
        At(frame + 2, [=, this] { window().MoveCursor(x, to_y); });
        At(frame + 4, [=, this] { window().ReleaseButton(kLeft); });
    }
    std::uint32_t ViewCount() {
        std::uint32_t count = 0;
        runtime.root().HandleMessage(kMsgCount, reinterpret_cast<std::uintptr_t>(&count), 0);
        return count;
    }
    std::uint32_t Pixel(int x, int y) { return window().Pixel(x, y) & 0xFFFFFF; }
    bool VoicePlaying() { return IsStreamPlaying(GetChannelStreamId(kVoiceChannel)); }
    // Runs the screen until Escape at frame `end`, the actions scheduled before.
    void Show(const BacklogHistory& history, int end) {
        Key(end, kEscapeKey);
        BackLog(history);
        script.clear();
    }
    // The first line shown after the actions: faces stand beside even lines, so a click at y 10
    // hits only an even top line's face and one at y 30 the face of the top line or the next.
    int TopAfter(const BacklogHistory& history, std::function<void()> actions) {
        actions();
        Click(20, 40, 10);
        Click(23, 40, 30);
        voices.clear();
        Show(history, 26);
        if (voices.empty()) return -1;
        const int entry = std::stoi(voices.back().substr(1));
        return voices.size() == 2 ? 2 * entry : 2 * entry - 1;
    }

    testsupport::TempFolder pictures{"backlog_pictures"}, sounds{"backlog_sounds"};
    testhost::TestHost host;
    ScopedRuntime runtime{host};
    testsupport::CaptureReports reports;
    ScopedGameEventSink sink{this};
    std::multimap<int, std::function<void()>> script;
    std::vector<std::string> voices;
};

TEST(BacklogLayout, MessagesAreCutAt46CharactersAndLineFeedsWithAnEmptyLineAfterEach) {
    const std::u16string hundred(100, u'あ');
    struct Case {
        std::vector<BacklogEntry> entries;
        std::vector<std::size_t> lengths;  // of the display lines
        std::vector<std::size_t> voiced;   // the first line of each voiced message
    } cases[] = {
        {{{hundred, u""}}, {46, 46, 8, 0}, {}},
        {{{u"ab\ncd", u"A1"}, {u"e", u""}, {u"f", u"B2"}}, {2, 2, 0, 1, 0, 1, 0}, {0, 5}},
        {{{u"ab\n\ncd\n", u""}}, {2, 0, 2, 0}, {}},
        {{{hundred.substr(0, 46) + u"\nx", u"C"}}, {46, 1, 0}, {0}},
        {{{u"", u"A"}}, {0}, {0}},
    };
    for (const Case& c : cases) {
        BacklogHistory history;
        for (const BacklogEntry& entry : c.entries) history.Append(entry);
        const BacklogLayout layout = LayOutBacklog(history);
        std::vector<std::size_t> lengths, voiced;
        for (std::u16string_view line : layout.lines) lengths.push_back(line.size());
        for (const BacklogLayout::VoiceArea& area : layout.voices) voiced.push_back(area.line);
        EXPECT_EQ(lengths, c.lengths) << c.entries.size();
        EXPECT_EQ(voiced, c.voiced) << c.entries.size();
    }
}

TEST(BacklogLayout, FacesWithoutAKeyOrWithANumberOutsideThePictureAreLeftOut) {
    const std::unique_ptr<XmlNode> root = ParseXml(kConfig);
    ASSERT_TRUE(root);
    EXPECT_EQ(ReadBacklogFaces(*root, 3), (std::vector<BacklogFace>{{u'A', 0}, {u'B', 1}, {u'C', 2}}));
    EXPECT_EQ(ReadBacklogFaces(*root, 2), (std::vector<BacklogFace>{{u'A', 0}, {u'B', 1}}));
    EXPECT_EQ(ReadBacklogFaces(*root, 4).size(), 4u);
    const std::unique_ptr<XmlNode> odd = ParseXml(
        "<c><system><backlog><face chr=\"\" number=\"0\"/><face number=\"0\"/><face chr=\"b\" number=\"-1\"/>"
        "<face chr=\"dd\" number=\" 1x\"/></backlog></system></c>");
    ASSERT_TRUE(odd);
    EXPECT_EQ(ReadBacklogFaces(*odd, 3), (std::vector<BacklogFace>{{u'D', 1}}));
    EXPECT_TRUE(ReadBacklogFaces(*ParseXml("<c><system/></c>"), 3).empty());
}

TEST_F(BacklogScreenTest, ItOpensAtTheEndAndScrollsByWheelKeysButtonsAndKnobAndNotAt25LinesOrFewer) {
    const BacklogHistory long_list = Voiced(20);  // 40 lines
    BacklogHistory short_list = Voiced(12);
    short_list.Append({u"", u""});  // 25 lines
    struct Case {
        const BacklogHistory& history;
        std::function<void()> actions;
        int top;
    } cases[] = {
        {long_list, [] {}, 15},
        {long_list, [this] { At(2, [this] { window().TurnWheel(120); }); }, 14},
        {long_list, [this] { At(2, [this] { window().TurnWheel(120); }), At(4, [this] { window().TurnWheel(120); }); },
         13},
        {long_list, [this] { At(2, [this] { window().TurnWheel(-120); }); }, 15},
        {long_list, [this] { Key(2, kUpKey); }, 14},
        {long_list, [this] { Key(2, kUpKey), Key(5, kDownKey); }, 15},
        {long_list, [this] { Click(2, 700, 20); }, 14},
        {long_list, [this] { Click(2, 700, 20), Click(5, 700, 570); }, 15},
        // The knob stands at 532; grabbed 8 below its top, its top follows the pointer.
        {long_list, [this] { Drag(2, 700, 540, 0); }, 0},
        {long_list, [this] { Drag(2, 700, 540, 292); }, 7},
        // Line 7 is shown for knob tops 268 to 300 (every 496 / 15 pixels a line): grabbed 8
        // below its top with the pointer at 308, or 31 below with the pointer at 299, the top
        // stands at either end, so a grab one pixel off in either direction crosses a line.
        {long_list, [this] { Drag(2, 700, 540, 308); }, 7},
        {long_list, [this] { Drag(2, 700, 563, 299); }, 7},
        // One line up, the knob's top is at 36 + 14 / 15 x 496.
        {long_list, [this] { At(2, [this] { window().TurnWheel(120); }), Drag(4, 700, 506, 44); }, 0},
        {short_list, [] {}, 0},
        {short_list, [this] { At(2, [this] { window().TurnWheel(-120); }), Key(4, kDownKey); }, 0},
        {short_list, [this] { At(2, [this] { window().TurnWheel(120); }), Key(4, kUpKey); }, 0},
        // Where the knob would stand at the bottom: no knob, so no line before the first.
        {short_list, [this] { Drag(2, 700, 540, 580); }, 0},
    };
    int i = 0;
    for (const Case& c : cases) EXPECT_EQ(TopAfter(c.history, c.actions), c.top) << "case " << i++;
    std::uint32_t knob = 0;
    At(3, [&] { knob = Pixel(704, 548); });
    Show(short_list, 5);
    EXPECT_EQ(knob, kTrack) << "no knob with 25 lines";
}

TEST_F(BacklogScreenTest, TheTextStandsAt124) {
    // The first line as the backlog shows it, and as a text view of its own shows it at the
    // screen's left edge with the same font and style: the same pixels, 124 to the right (up
    // to the scroll track at 688).
    const auto band = [this](int left) {
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 24; ++y)
            for (int x = left; x < left + 564; ++x) pixels.push_back(Pixel(x, y));
        return pixels;
    };
    std::vector<std::uint32_t> shown;
    At(3, [&] { shown = band(124); });
    Show(Voiced(1), 5);
    const OwnedView<TextScript::DxMessView2> reference(new TextScript::DxMessView2(576, 600));
    reference->SetStyle(DxDraw::kTextAntiAliased | DxDraw::kTextProportional);
    reference->SetFont(24, 0, FieldText(SettingsBlock.font_name));
    ScreenSurface->Add(reference.get());
    reference->Clear(0);
    reference->DrawText(0, 0xFFFFFF, 0, u"line 00", nullptr, 0);
    reference->Invalidate(DxDraw::kDirtyContents);
    StepFrame();
    const std::vector<std::uint32_t> drawn = band(0);
    EXPECT_NE(std::count(drawn.begin(), drawn.end(), 0u), static_cast<std::ptrdiff_t>(drawn.size())) << "a text";
    EXPECT_EQ(shown, drawn);
}

TEST_F(BacklogScreenTest, FacesShowThroughTheDarkLayerBesideTheTrackToItsLastRowAndTheKnob) {
    BacklogHistory history = Voiced(13);  // 26 lines
    for (const char16_t* voice : {u"B00", u"C00", u"X00", u"Z00", u"B00"}) history.Append({u"face", voice});
    std::vector<std::uint32_t> seen;
    At(3, [&] {
        // The entries after the first 13 stand on lines 26, 28, ...; the top line is 11.
        for (int k = 0; k < 4; ++k) seen.push_back(Pixel(48, (26 + 2 * k - 11) * 24 + 24));
        for (POINT at : {POINT{700, 300}, POINT{700, 583}, POINT{700, 584}, POINT{704, 548}})
            seen.push_back(Pixel(at.x, at.y));
        window().TurnWheel(120);
        ChangeMask |= kChangeRebuildViews;  // draws everything again
    });
    At(6, [&] { seen.push_back(Pixel(48, 590)); });
    Show(history, 7);
    // B's and C's faces through the layer at 192 of 256, none for X and Z; the track to the
    // sheet's last row and no further, the knob at the bottom; one line up, the last message
    // starts on the last row, where no face fits.
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0x00BF00, 0x0000BF, 0, 0, kTrack, kTrackEnd, 0, kKnob, 0}));
    // X's face lies outside the picture and Z has none: the assertion once for the opening.
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_NE(reports.boxes[0].text.find(u"Assert(BackLog);\nFile script/scr_gui, line 3277."), std::u16string::npos);
    EXPECT_NE(reports.boxes[0].text.find(u"ボイス番号が規定外です"), std::u16string::npos);
}

TEST_F(BacklogScreenTest, AClickOnAFaceReplaysItsVoiceUnlessVoicesAreOffOrSkippedAndElsewhereStopsIt) {
    const BacklogHistory history = Voiced(3);
    struct Case {
        std::uint8_t voice_on;
        std::uint32_t skip;
        bool shift;
        int y;  // of the click at x 40
        std::vector<std::string> played;
    } cases[] = {
        {1, 0, false, 60, {"A01"}}, {0, 0, false, 60, {}},      {1, 1, false, 60, {}},
        {1, 0, true, 60, {}},       {1, 0, false, 30, {"A00"}}, {1, 0, false, 300, {}},
    };
    for (const Case& c : cases) {
        SettingsBlock.enable_voice = 1, SkipMode = 0;
        PlayStreamSound(kVoiceChannel, u"B00", false);
        ASSERT_TRUE(VoicePlaying());
        SettingsBlock.enable_voice = c.voice_on, SkipMode = c.skip;
        if (c.shift) At(1, [this] { window().Press(kShiftKey); });
        Click(3, 40, c.y);
        bool playing = false;
        At(6, [&] { playing = VoicePlaying(), window().Release(kShiftKey); });
        voices.clear();
        Show(history, 8);
        EXPECT_EQ(voices, c.played) << c.y;
        EXPECT_EQ(playing, !c.played.empty()) << c.y;
        EXPECT_EQ(Utf16ToUtf8(ChannelState[kVoiceChannel].name), c.played.empty() ? "B00" : c.played[0]);
        EXPECT_FALSE(VoicePlaying()) << "leaving stops the voice";
    }
}

TEST_F(BacklogScreenTest, ARightClickOrEscapeLeavesAndARequestUnwindsLeavingNoViewAndNoVoice) {
    const BacklogHistory history = Voiced(30);
    const std::uint32_t views = ViewCount();
    for (int way : {0, 1, 2}) {
        Click(2, 40, 30);  // a voice plays
        bool shown = false;
        At(4, [&] { shown = ViewCount() == views + 4 && VoicePlaying(); });
        if (way == 0) Click(6, 400, 300, kRight);
        if (way == 1) Key(6, kEscapeKey);
        if (way == 2) At(6, [] { PendingRequest = kRequestTitle; });
        const int start = window().frames();
        if (way == 2)
            EXPECT_THROW(BackLog(history), ScriptException);
        else
            BackLog(history);
        script.clear();
        EXPECT_TRUE(shown) << way;
        EXPECT_EQ(window().frames() - start, way == 2 ? 6 : 8) << "a frame after the one that left";
        EXPECT_EQ(ViewCount(), views) << way;
        EXPECT_FALSE(VoicePlaying()) << way;
    }
}

TEST_F(BacklogScreenTest, AFontChangeWhileOpenDrawsTheTextAnewAndRebuildsThePageAfterwards) {
    const BacklogHistory history = Voiced(3);
    std::vector<std::uint32_t> before, after;
    std::uint32_t mask_during = 1;
    const auto row = [this](std::vector<std::uint32_t>& out) {
        for (int x = 124; x < 400; ++x) out.push_back(Pixel(x, 12));
    };
    std::string rows;  // 'X' for each 24-pixel row with text, '.' for one without
    At(3, [&] {
        for (int y = 0; y < 8 * 24; y += 24) {
            int lit = 0;
            for (int x = 124; x < 688; ++x)
                for (int dy = 0; dy < 24; ++dy) lit += Pixel(x, y + dy) != 0;
            rows += lit ? 'X' : '.';
        }
    });
    At(3,
       [&] { row(before), CopyField16(SettingsBlock.font_name, u"ＭＳ ゴシック"), ChangeMask |= kChangeRebuildViews; });
    At(5, [&] { mask_during = ChangeMask, row(after); });
    Show(history, 7);
    EXPECT_EQ(rows, "X.X.X...");
    EXPECT_NE(before, after);
    EXPECT_EQ(mask_during, 0u);
    EXPECT_EQ(ChangeMask, kChangeRebuildViews);
}

}  // namespace
