// The settings dialogs as their openers run them on the test host: the player's moves come from
// the scripted modal, the screen-mode switch goes through the game window's procedure, and the
// sound settings are heard on the hand-driven audio device (a silent looping stream on each
// channel, the test voice and effect in a sound folder).
#include "screens/settings_dialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/menu_commands.h"
#include "app/message_window.h"
#include "app/runtime.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/sound_commands.h"
#include "app/win_app.h"
#include "host/audio/test_audio_device.h"
#include "host/testhost/test_host.h"
#include "lib/text_field.h"
#include "media/picture_writers.h"
#include "media/sound_writers.h"
#include "sound/sound.h"
#include "sound/sound_system.h"
#include "sound/stream_channel.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace {

using Sys = SystemSettingsDialog;
using Snd = SoundSettingsDialog;

// The last two fill the 32 units of the settings' field: the one that leaves no room for the
// terminator cannot be stored whole.
const std::vector<std::u16string> kFaces{u"ＭＳ 明朝", u"ＭＳ ゴシック",          u"IPA明朝 Ex",
                                         u"IPA明朝",   std::u16string(32, u'長'), std::u16string(31, u'短')};

class SettingsDialogsTest : public ::testing::Test {
protected:
    SettingsDialogsTest() {
        FontFaces = kFaces;
        SettingsBlock = {};
        ChangeMask = 0;
    }
    ~SettingsDialogsTest() override {
        SettingsBlock = {};
        ChangeMask = 0;
        ResetGameData();
    }

    // Runs the opener with the player's moves in its dialog.
    void Run(void (*open)(host::ModalUi&), std::function<void(host::Dialog&)> moves) {
        modal().OnNextDialog(std::move(moves));
        open(modal());
    }
    testhost::ScriptedModal& modal() { return host.scripted_modal(); }

    testhost::TestHost host;
    WinApp app{host.modal(), host.menu()};
    ScopedRuntime runtime{host, [this] {
                              RuntimeOptions options;
                              options.frame = &app;
                              return options;
                          }()};
};

TEST_F(SettingsDialogsTest, TheSystemSettingsApplyWhatChangedAndMarkIt) {
    struct Case {
        const char* name;
        std::function<void(host::Dialog&)> moves;
        std::function<void(SettingsBlockRecord&)> expected;  // on the start block
        std::uint32_t change_mask;
        bool full_screen;
        bool start_full = false, full_screen_works = true;
    } cases[] = {
        {"the font alone", [](host::Dialog& d) { d.Choose(Sys::kFontCombo, 3), d.Accept(); },
         [](SettingsBlockRecord& b) { CopyField16(b.font_name, u"IPA明朝"); }, 0x10, false},
        {"speed and both skips",
         [](host::Dialog& d) {
             d.Click(Sys::kFastSpeedRadio), d.Click(Sys::kSkipUnreadCheck), d.Click(Sys::kSkipChoiceCheck), d.Accept();
         },
         [](SettingsBlockRecord& b) { b.display_speed = 1, b.text_skip1 = 0, b.text_skip2 = 0; }, 0x2 | 0x4 | 0x8,
         false},
        {"the second skip", [](host::Dialog& d) { d.Click(Sys::kSkipChoiceCheck), d.Accept(); },
         [](SettingsBlockRecord& b) { b.text_skip2 = 0; }, 0x8, false},
        {"full screen", [](host::Dialog& d) { d.Click(Sys::kFullScreenRadio), d.Accept(); },
         [](SettingsBlockRecord& b) { b.full_screen = 1; }, 0, true},
        {"nothing", [](host::Dialog& d) { d.Accept(); }, [](SettingsBlockRecord&) {}, 0, false},
        {"cancelled",
         [](host::Dialog& d) {
             d.Click(Sys::kFullScreenRadio), d.Click(Sys::kDefaultButton), d.Choose(Sys::kFontCombo, 1), d.Cancel();
         },
         [](SettingsBlockRecord&) {}, 0, false},
        // The block says what the display shows when the dialog opens (Alt+Return switched it), and
        // leaving full screen goes through the procedure too.
        {"leaving full screen",
         [](host::Dialog& d) {
             EXPECT_EQ(d.Check(Sys::kFullScreenRadio), 1);
             d.Click(Sys::kWindowRadio), d.Accept();
         },
         [](SettingsBlockRecord& b) { b.full_screen = 0; }, 0, false, true},
        // A display that refuses full screen leaves the window, and the block says so.
        {"full screen refused", [](host::Dialog& d) { d.Click(Sys::kFullScreenRadio), d.Accept(); },
         [](SettingsBlockRecord&) {}, 0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (host.window().IsFullScreen()) app.SwitchScreenMode();
        host.test_window().full_screen_works = c.full_screen_works;
        SettingsBlock = {};
        if (c.start_full) app.SwitchScreenMode();
        ChangeMask = 0;
        SettingsBlockRecord expected = SettingsBlock;
        c.expected(expected);
        Run(OpenSystemSettings, c.moves);
        EXPECT_EQ(SettingsBlock, expected);
        EXPECT_EQ(ChangeMask, c.change_mask);
        EXPECT_EQ(host.window().IsFullScreen(), c.full_screen);
    }
}

TEST_F(SettingsDialogsTest, TheColourSlidersStandUpsideDownAndDefaultRebuildsTheMessageBackground) {
    GameMessageWindow = new MessageWindow(800, 200, 8, 24, 44, 16);
    const std::uint8_t start[4] = {64, 64, 240, 160};
    std::copy(std::begin(start), std::end(start), std::begin(SettingsBlock.base_color));
    const auto swatch = [](host::Dialog& d) {
        const host::Control& c = *d.Find(Sys::kSwatch);
        EXPECT_EQ(c.pixels.size(), static_cast<std::size_t>(c.picture_width * c.picture_height));
        return c.pixels.empty() ? 0u : c.pixels[c.pixels.size() / 2];
    };
    Run(OpenSystemSettings, [&](host::Dialog& d) {
        const int positions[] = {255 - 64, 255 - 64, 255 - 240, 255 - 160};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d.SliderPosition(Sys::kRedSlider + i), positions[i]) << i;
        EXPECT_TRUE(d.Find(Sys::kRedSlider)->vertical);
        EXPECT_EQ(swatch(d), 0xFF4040F0u);
        d.Slide(Sys::kRedSlider, 0);  // to the top: the brightest red
        d.Slide(Sys::kRedSlider + 2, 255);
        EXPECT_EQ(swatch(d), 0xFFFF4000u);
        d.Click(Sys::kDefaultButton);
        const int defaults[] = {255 - 32, 255 - 32, 255 - 240, 255 - 160};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d.SliderPosition(Sys::kRedSlider + i), defaults[i]) << i;
        EXPECT_EQ(swatch(d), 0xFF2020F0u);
        d.Accept();
    });
    const std::uint8_t expected[4] = {32, 32, 240, 160};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), std::begin(SettingsBlock.base_color)));
    EXPECT_EQ(ChangeMask, 0u);
    EXPECT_EQ(GameMessageWindow->Background().Blend().flags, 0x10002u) << "the background was rebuilt";
    EXPECT_EQ(GameMessageWindow->Background().Blend().level, 160u);
    // Only a change of colour rebuilds it.
    GameMessageWindow->Background().SetBlendFlags(0);
    Run(OpenSystemSettings,
        [](host::Dialog& d) { d.Slide(Sys::kOpacitySlider, 255), d.Slide(Sys::kOpacitySlider, 95), d.Accept(); });
    EXPECT_EQ(GameMessageWindow->Background().Blend().flags, 0u);
    Run(OpenSystemSettings, [](host::Dialog& d) { d.Slide(Sys::kOpacitySlider, 255), d.Accept(); });
    EXPECT_EQ(SettingsBlock.base_color[3], 0);
    EXPECT_EQ(GameMessageWindow->Background().Blend().level, 0u);
    GameMessageWindow->Destroy();
    GameMessageWindow = nullptr;
}

TEST_F(SettingsDialogsTest, TheSlidersStepAsTrackbarsDoAColourSliderUpwardsBrighter) {
    struct Case {
        void (*open)(host::ModalUi&);
        int slider;
        host::SliderStep step;
        std::uint8_t SettingsBlockRecord::*field;  // null: the opacity
        int start, value;
    } cases[] = {
        {OpenSystemSettings, Sys::kOpacitySlider, host::SliderStep::LineUp, nullptr, 160, 161},
        {OpenSystemSettings, Sys::kOpacitySlider, host::SliderStep::LineDown, nullptr, 160, 159},
        {OpenSystemSettings, Sys::kOpacitySlider, host::SliderStep::PageUp, nullptr, 160, 176},
        {OpenSystemSettings, Sys::kOpacitySlider, host::SliderStep::PageDown, nullptr, 10, 0},
        {OpenSystemSettings, Sys::kOpacitySlider, host::SliderStep::Top, nullptr, 160, 255},
        {OpenSystemSettings, Sys::kOpacitySlider, host::SliderStep::Bottom, nullptr, 160, 0},
        {OpenSoundSettings, Snd::kMainSlider + 2, host::SliderStep::LineUp, &SettingsBlockRecord::voice_volume, 80, 79},
        {OpenSoundSettings, Snd::kMainSlider + 2, host::SliderStep::LineDown, &SettingsBlockRecord::voice_volume, 80,
         81},
        {OpenSoundSettings, Snd::kMainSlider + 2, host::SliderStep::PageDown, &SettingsBlockRecord::voice_volume, 80,
         90},
        {OpenSoundSettings, Snd::kMainSlider + 2, host::SliderStep::PageDown, &SettingsBlockRecord::voice_volume, 95,
         100},
        {OpenSoundSettings, Snd::kSeSlider, host::SliderStep::PageUp, &SettingsBlockRecord::se_volume, 30, 20},
        {OpenSoundSettings, Snd::kSeSlider, host::SliderStep::Top, &SettingsBlockRecord::se_volume, 30, 0},
        {OpenSoundSettings, Snd::kSeSlider, host::SliderStep::Bottom, &SettingsBlockRecord::se_volume, 30, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slider);
        SettingsBlock = {};
        std::uint8_t& field = c.field ? SettingsBlock.*c.field : SettingsBlock.base_color[3];
        field = static_cast<std::uint8_t>(c.start);
        Run(c.open, [&](host::Dialog& d) { d.StepSlider(c.slider, c.step), d.Accept(); });
        EXPECT_EQ(field, c.value) << static_cast<int>(c.step);
    }
}

TEST_F(SettingsDialogsTest, TheFontIsFoundByItsWholeNameAmongTheFacesThatFit) {
    struct Case {
        std::u16string face;
        int selection;
        std::u16string stored;  // after OK
    } cases[] = {
        {u"IPA明朝", 3, u"IPA明朝"},
        {u"IPA明朝 Ex", 2, u"IPA明朝 Ex"},
        {u"IPA", 0, u"ＭＳ 明朝"},  // a prefix only: not there
        {u"ＭＳ ゴシック", 1, u"ＭＳ ゴシック"},
        {std::u16string(31, u'短'), 4, std::u16string(31, u'短')},
    };
    for (const Case& c : cases) {
        CopyField16(SettingsBlock.font_name, c.face);
        Run(OpenSystemSettings, [&](host::Dialog& d) {
            EXPECT_EQ(d.Find(Sys::kFontCombo)->items.size(), 5u) << "the face as long as the field is left out";
            EXPECT_EQ(d.Selection(Sys::kFontCombo), c.selection);
            d.Accept();
        });
        EXPECT_EQ(std::u16string(SettingsBlock.font_name), c.stored);
    }
    // Without the default among the faces nothing is selected, and OK stores the default.
    FontFaces = {u"IPA明朝"};
    CopyField16(SettingsBlock.font_name, u"other");
    Run(OpenSystemSettings, [](host::Dialog& d) {
        EXPECT_EQ(d.Selection(Sys::kFontCombo), -1);
        d.Accept();
    });
    EXPECT_EQ(std::u16string(SettingsBlock.font_name), u"ＭＳ 明朝");
    EXPECT_EQ(ChangeMask, 0x10u);
}

// The sound settings with sound on the hand-driven device.
class SoundSettingsTest : public SettingsDialogsTest {
protected:
    void SetUp() override {
        auto device = std::make_unique<host::TestAudioDevice>();
        SoundParams params;
        ASSERT_EQ(InitSound(&params, std::move(device)), S_OK);
        const std::vector<std::uint8_t> silence =
            media::EncodeOggVorbis(std::vector<std::int16_t>(44100), 44100, 1, 0.1f);
        for (const char* name : {"s.ogg", "voice/V_TEST.ogg", "se/INS02.ogg"})
            media::WriteFile(folder.path() / name, silence);
        SoundArchive = OpenDirArchive(folder.Path());
        for (int channel = 0; channel < 4; ++channel)
            ASSERT_GE(StartStream(SoundArchive.Get(), u"s.ogg", channel, 1, 4096, 0, 0), 0);
        streams = Streams();
        // Music on at 50, the voice off at 80, effects on at 30, the master at 60.
        SettingsBlock.bgm_volume = 50, SettingsBlock.voice_volume = 80, SettingsBlock.se_volume = 30;
        SettingsBlock.main_volume = 60, SettingsBlock.enable_voice = 0;
        ApplySoundVolumes(SettingsBlock);
    }
    void TearDown() override {
        TermSound();
        ResetSoundCommands();
        ResetSceneState();
    }

    static std::vector<int> Streams() {
        std::vector<int> ids;
        for (int channel = 0; channel < 4; ++channel) ids.push_back(GetChannelStreamId(channel));
        return ids;
    }
    // A channel's volume as an attenuation; 1 (no attenuation is positive) without a stream.
    static int Volume(int channel) {
        std::int32_t volume = 1;
        if (const auto& buffer = GetStreamChannel(channel).buffer) buffer->GetVolume(&volume);
        return volume;
    }
    // The master and the four channels' volumes, as attenuations.
    static std::vector<int> Heard() {
        std::vector<int> heard{GetSoundMixer()->master_volume()};
        for (int channel = 0; channel < 4; ++channel) heard.push_back(Volume(channel));
        return heard;
    }
    static std::vector<int> Expected(int master, int bgm, int se, int voice) {
        return {VolumeToAttenuation(master), VolumeToAttenuation(bgm), VolumeToAttenuation(se), VolumeToAttenuation(se),
                VolumeToAttenuation(voice)};
    }

    testsupport::TempFolder folder{"settings_sound"};
    testsupport::CaptureReports reports;
    std::vector<int> streams;
};

TEST_F(SoundSettingsTest, VolumesArePreviewedThenTakenBackOrKeptAndASwitchedOffChannelStaysSilent) {
    const std::vector<int> start = Expected(153, 12, 7, 0);
    ASSERT_EQ(Heard(), start);
    struct Case {
        const char* name;
        std::function<void(host::Dialog&)> moves;
        std::vector<int> while_open, after;
    } cases[] = {
        {"moved and cancelled",
         [](host::Dialog& d) {
             d.Slide(Snd::kMainSlider, 100), d.Slide(Snd::kMainSlider + 1, 100), d.Slide(Snd::kMainSlider + 2, 100);
             d.Slide(Snd::kSeSlider, 0);
         },
         Expected(255, 25, 0, 0), start},
        {"the voice switched on in the dialog, then cancelled",
         [](host::Dialog& d) { d.Click(Snd::kVoiceOnRadio), d.Slide(Snd::kMainSlider + 2, 100); },
         Expected(153, 12, 7, 255), start},
        {"switched off and on, then OK",
         [](host::Dialog& d) {
             d.Click(Snd::kVoiceOnRadio), d.Click(Snd::kBgmOffRadio), d.Slide(Snd::kMainSlider + 1, 100);
             d.Slide(Snd::kMainSlider + 2, 40);
         },
         Expected(153, 0, 7, 102), Expected(153, 0, 7, 102)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsBlockRecord before = SettingsBlock;
        const bool ok = c.after != start;
        Run(OpenSoundSettings, [&](host::Dialog& d) {
            c.moves(d);
            EXPECT_EQ(Heard(), c.while_open);
            ok ? d.Accept() : d.Cancel();
        });
        EXPECT_EQ(Heard(), c.after);
        if (!ok) {
            EXPECT_EQ(SettingsBlock, before);
        }
    }
    EXPECT_EQ(std::tuple(+SettingsBlock.enable_voice, +SettingsBlock.enable_bgm, +SettingsBlock.bgm_volume,
                         +SettingsBlock.voice_volume),
              std::tuple(1, 0, 100, 40));
    // The far left is silence.
    Run(OpenSoundSettings, [](host::Dialog& d) { d.Slide(Snd::kMainSlider + 2, 0), d.Accept(); });
    EXPECT_EQ(SettingsBlock.voice_volume, 0);
    EXPECT_EQ(Heard(), Expected(153, 0, 7, 0));
    EXPECT_EQ(Streams(), streams) << "the streams went on playing";
}

TEST_F(SoundSettingsTest, EachSliderOpensAtItsOwnChannelsVolume) {
    Run(OpenSoundSettings, [](host::Dialog& d) {
        const int volumes[] = {60, 50, 80, 30};  // master, music, voice, effects
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d.SliderPosition(Snd::kMainSlider + i), volumes[i]) << i;
        d.Cancel();
    });
}

// The settings file may hold a volume above 100: its slider opens at its end and reads 100.
TEST_F(SettingsDialogsTest, AVolumeAbove100OpensItsSliderAtTheEnd) {
    SettingsBlock.main_volume = 150, SettingsBlock.bgm_volume = 101, SettingsBlock.voice_volume = 255;
    SettingsBlock.se_volume = 100;
    Run(OpenSoundSettings, [](host::Dialog& d) {
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d.SliderPosition(Snd::kMainSlider + i), 100) << i;
        d.Cancel();
    });
}

TEST_F(SoundSettingsTest, TheTestsPlayAtTheDialogsVolumeAndTheEffectAvoidsALoopingSlotOne) {
    struct Case {
        const char* name;
        int button;
        bool switched_on, slot1_loops;  // the tested channel's switch as the dialog shows it
        int channel;                    // where the test plays
        int heard;                      // its volume while the dialog is open
        int after_slide;                // once a slider has moved after the test
    } cases[] = {
        {"voice", Snd::kVoiceTestButton, true, false, 3, 255, 255},
        // A test is heard with its switch off; the next preview silences it again.
        {"voice switched off", Snd::kVoiceTestButton, false, false, 3, 255, 0},
        {"effect", Snd::kSeTestButton, true, false, 1, 25, 25},
        {"effect switched off", Snd::kSeTestButton, false, false, 1, 25, 0},
        {"effect while slot 1 loops", Snd::kSeTestButton, true, true, 2, 25, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CurrentS1.mode = c.slot1_loops ? kEffectLooping : kEffectOnce;
        const std::vector<int> before = Streams();
        Run(OpenSoundSettings, [&](host::Dialog& d) {
            const bool voice = c.button == Snd::kVoiceTestButton;
            d.Click(voice ? (c.switched_on ? Snd::kVoiceOnRadio : Snd::kVoiceOffRadio)
                          : (c.switched_on ? Snd::kSeOnRadio : Snd::kSeOffRadio));
            d.Slide(Snd::kMainSlider + 2, 100);
            d.Slide(Snd::kSeSlider, 100);
            d.Click(c.button);
            EXPECT_EQ(SettingsBlock.enable_voice, 0) << "the live switch is restored";
            EXPECT_EQ(Volume(c.channel), VolumeToAttenuation(c.heard));
            d.Slide(Snd::kMainSlider, 70);
            EXPECT_EQ(Volume(c.channel), VolumeToAttenuation(c.after_slide));
            d.Cancel();
        });
        const std::vector<int> after = Streams();
        for (int channel = 0; channel < 4; ++channel)
            EXPECT_EQ(after[channel] != before[channel], channel == c.channel) << channel;
        EXPECT_EQ(IsStreamPlaying(after[c.channel]), 1);
        if (c.channel == 3) {
            EXPECT_EQ(ChannelState[3].name, u"V_TEST");
        }
        // Cancelled: the live block again (the voice is off there).
        EXPECT_EQ(Volume(c.channel), VolumeToAttenuation(c.channel == 3 ? 0 : 7));
    }
    // OK right after a test keeps a channel switched off silent.
    CurrentS1.mode = kEffectOnce;
    Run(OpenSoundSettings, [](host::Dialog& d) {
        d.Click(Snd::kSeOffRadio), d.Slide(Snd::kSeSlider, 100), d.Click(Snd::kSeTestButton);
        EXPECT_EQ(Volume(1), VolumeToAttenuation(25));
        d.Accept();
    });
    EXPECT_EQ(Volume(1), VolumeToAttenuation(0));
}

}  // namespace
