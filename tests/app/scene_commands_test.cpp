// The picture and sound commands on a scene stage over the test host: what the route runs cannot
// see (composition, positions, refusals, fades in frames, channels, volumes, records and replay).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/picture_commands.h"
#include "app/picture_transitions.h"
#include "app/runtime.h"
#include "app/scene_replay.h"
#include "app/scene_stage.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "dxdraw/screen_surface.h"
#include "host/audio/test_audio_device.h"
#include "host/testhost/test_host.h"
#include "lib/text.h"
#include "media/picture_writers.h"
#include "media/sound_writers.h"
#include "script/history.h"
#include "sound/sound.h"
#include "sound/stream_channel.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace {

// '*' stands before B, so B takes its x; the second layer's code is written in lower case.
constexpr std::string_view kConfig =
    "<config><system><name first=\"a\" last=\"b\"/><title menu=\"0,0\"/><ending credit=\"0\"/>"
    "<chr><pos name=\"A\" x=\"170\"/><pos name=\"*\" x=\"200\"/><pos name=\"B\" x=\"230\"/></chr>"
    "<chl><pos name=\"a\" x=\"0\"/><pos name=\"*\" x=\"430\"/></chl></system></config>";
// Backgrounds and the face part's backdrop cover the screen; overlays and parts are 8 x 8.
const char* const kBackgrounds[] = {"ABC0000", "ABC000000", "H010000"};
const char* const kParts[] = {"ABC0100", "ABC0002", "ABC000100", "A000100", "A000200", "A000003", "B000100", "C000100"};

// A colour of each picture's own, never black or white.
std::uint32_t ColourOf(const std::string& name) { return (std::hash<std::string>{}(name)&0xF0F0F0) | 0x080808; }

std::vector<std::uint8_t> SolidPng(const std::string& name, int size) {
    const std::uint32_t rgb = ColourOf(name);
    media::PngPicture png;
    png.width = png.height = size;
    std::vector<std::uint8_t> row;
    for (int x = 0; x < size; ++x)
        row.insert(row.end(), {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
    png.rows.assign(size, row);
    return media::EncodePng(png);
}

std::uint32_t Pixel(const DxDraw::DxImage& image, int x, int y) {
    std::uint32_t pixel;
    std::memcpy(&pixel, image.GetPixelAddress(x, y), sizeof pixel);
    return pixel & 0xFFFFFF;
}

// "kind field field" per event.
struct EventLog : GameEventSink {
    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
        text += kind;
        for (std::u16string_view field : fields) text += " " + Utf16ToUtf8(field);
        text += "\n";
    }
    std::string text;
};

class SceneCommands : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = std::make_unique<host::TestAudioDevice>();
        device_ = device.get();
        SoundParams params;
        ASSERT_EQ(InitSound(&params, std::move(device)), S_OK);
        const std::vector<std::uint8_t> ogg = media::EncodeOggVorbis(std::vector<std::int16_t>(44100), 44100, 1, 0.1f);
        for (const char* name : {"bgm/M1", "bgm/M2", "voice/V1", "voice/V2", "se/E1", "se/E2"})
            media::WriteFile(sounds.path() / (std::string(name) + ".ogg"), ogg);
        for (const char* name : kBackgrounds)
            media::WriteFile(pictures.path() / (name + std::string(".png")), SolidPng(name, 800));
        for (const char* name : kParts)
            media::WriteFile(pictures.path() / (name + std::string(".png")), SolidPng(name, 8));
        media::WriteFile(pictures.path() / "config.xml", std::vector<std::uint8_t>(kConfig.begin(), kConfig.end()));
        ScriptArchive = OpenDirArchive(pictures.Path());
        SoundArchive = OpenDirArchive(sounds.Path());
        LoadSystemConfig(*ScriptArchive);
        SettingsBlock.display_speed = 1;
        stage = std::make_unique<SceneStage>(runtime.screen());
    }
    void TearDown() override {
        stage.reset();
        TermSound();
        SettingsBlock = {};
        SystemConfig = {};
        ResetSceneState();
        ResetGameData();
    }

    // Compiles the commands ('|' between two) into the game's group and runs them.
    static void Run(const std::string& script) {
        ScriptStateGroup_App group;
        std::string source = ".";
        for (char c : script) source += c == '|' ? std::string("\n.") : std::string(1, c);
        group.Compile(Utf16ToCp932(Utf8ToUtf16(source + "\n")), u"t.txt");
        for (TextScript::ScriptStateNode* node = group.head(); node;) node = node->Execute();
    }
    // The picture sprite once the next transition has shown what waits.
    static std::vector<std::uint32_t> Shown() {
        CommitPicture();
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < host::kGameHeight; y += 3)
            for (int x = 0; x < host::kGameWidth; x += 3) pixels.push_back(Pixel(*PictureSprite->GetSurface(), x, y));
        return pixels;
    }
    static std::string Records() {
        std::string text;
        for (const SceneStateRecord* r : {&CurrentPicture, &CurrentChl, &CurrentBgm, &CurrentS1, &CurrentS2})
            text += std::to_string(r->mode) + " " + Utf16ToUtf8(SceneName(*r)) + "|";
        return text;
    }
    // Per channel: "-" silent, else the music's or voice's name or "fx", "+loop" when looping.
    static std::string Sounds() {
        std::string text;
        for (int channel = 0; channel < 4; ++channel) {
            const bool effect = channel == 1 || channel == 2, loop = GetStreamChannel(channel).flags & kStreamLoop;
            if (!IsStreamPlaying(GetChannelStreamId(channel)))
                text += "- ";
            else
                text += (effect ? "fx" : Utf16ToUtf8(ChannelState[channel].name)) + (loop ? "+loop " : " ");
        }
        return text;
    }
    std::string Boxes() {
        std::string text;
        for (const auto& box : reports.boxes) text += Utf16ToUtf8(box.text) + "\n";
        reports.boxes.clear();
        return text;
    }

    testhost::TestHost host;
    ScopedRuntime runtime{host};
    testsupport::TempFolder pictures{"scene_pictures"}, sounds{"scene_sounds"};
    testsupport::CaptureReports reports;
    host::TestAudioDevice* device_ = nullptr;
    std::unique_ptr<SceneStage> stage;
    EventLog events;
    ScopedGameEventSink sink{&events};
};

TEST_F(SceneCommands, NamingFormsComposeTheirPicturesInOrderAtTheirPositions) {
    struct Case {
        const char* script;
        const char* loaded;  // pictures loaded, in order
        const char* box;     // the missing picture's message
        const char* records;
        int x = -1;  // where the last part stands, its left and right neighbours black
        const char* part = "";
    } cases[] = {
        {"GRP ABC0102", "ABC0000 ABC0100 ABC0002 ", "", "2 ABC0102|0 |"},
        {"GRP ABC000100", "ABC000000 ABC000100 ", "", "2 ABC000100|0 |"},
        {"GRP ABC3000", "ABC0000 ", "GRP:画像ファイル ABC3000 がありません。\n", "2 ABC3000|0 |"},
        {"GRP AB", "", "", "2 AB|0 |"},  // no picture name: nothing drawn, nothing shown
        {"GRP ABC00000", "", "", "2 ABC00000|0 |"},
        {"CHR A010203", "H010000 A000200 A000003 ", "", "3 A010203|0 |"},
        {"CHR A000000", "", "", "3 A000000|0 |"},
        {"CHR A0102", "", "CHR:画像ファイル A0102 がありません。\n", "3 A0102|0 |"},
        {"CHR A01020304", "H010000 A000200 A000003 ", "", "3 A01020304|0 |"},  // the first seven characters
        {"CHR 1010203", "H010000 ",
         "CHR:画像ファイル 1000200 がありません。\nCHR:画像ファイル 1000003 がありません。\n", "3 1010203|0 |"},
        {"CHL AX10203", "A000200 A000003 ", "CHL:画像ファイル HX10000 がありません。\n", "0 |1 AX10203|"},
        {"CHL D090000", "", "CHL:画像ファイル H090000 がありません。\n", "0 |1 D090000|"},
        {"CHR A000100", "A000100 ", "", "3 A000100|0 |", 170, "A000100"},
        {"CHR B000100", "B000100 ", "", "3 B000100|0 |", 200, "B000100"},
        {"CHR C000100", "C000100 ", "", "3 C000100|0 |", 200, "C000100"},
        {"CHL A000100", "A000100 ", "", "0 |1 A000100|", 0, "A000100"},
        {"CHL B000100", "B000100 ", "", "0 |1 B000100|", 430, "B000100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ResetSceneState();
        PictureWorkSurface->FillRect(nullptr, 0, 255);
        while (auto* seen = TextScript::ImageHistory().head()) delete TextScript::ImageHistory().Unlink(seen);
        Run(c.script);
        std::string loaded;
        for (auto* node = TextScript::ImageHistory().head(); node; node = node->next())
            loaded += Utf16ToUtf8(node->title) + " ";
        EXPECT_EQ(loaded, c.loaded);
        EXPECT_EQ(Boxes(), c.box);
        EXPECT_EQ(Records().substr(0, std::strlen(c.records)), c.records);
        EXPECT_EQ(PicturePending & kPictureComposed, kPictureComposed);
        if (c.x < 0) continue;
        EXPECT_EQ(Pixel(*PictureWorkSurface, c.x, 0), ColourOf(c.part));
        EXPECT_EQ(Pixel(*PictureWorkSurface, c.x + 8, 0) | (c.x ? Pixel(*PictureWorkSurface, c.x - 1, 0) : 0), 0u);
    }
    // Each prefix once, case ignored, whatever the name's length.
    EXPECT_EQ(SeenCgList, (std::vector<std::u16string>{u"ABC", u"AB"}));
    // The face part's backdrop stands at the left edge, under the other parts.
    Run("CHR A010100");
    EXPECT_EQ(Pixel(*PictureWorkSurface, 0, 0), ColourOf("H010000"));
    EXPECT_EQ(Pixel(*PictureWorkSurface, 170, 0), ColourOf("A000100"));
}

TEST_F(SceneCommands, BlackAndWhiteFadeOrShowAtOnce) {
    const struct {
        std::uint8_t speed;
        std::uint32_t skip;
        const char* name;
        bool fades;
    } cases[] = {{0, 0, "BLACK", true}, {1, 0, "BLACK", false}, {0, 1, "BLACK", false},
                 {0, 0, "WHITE", true}, {1, 0, "WHITE", false}, {0, 2, "WHITE", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.speed) + " " + std::to_string(c.skip));
        const bool white = c.name[0] == 'W';
        Run("GRP ABC0000|CHL A000100");
        CommitPicture();
        SettingsBlock.display_speed = c.speed;
        SkipMode = c.skip;
        const int before = host.test_window().frames();
        Run(std::string("GRP ") + c.name);
        const int frames = host.test_window().frames() - before;
        EXPECT_TRUE(c.fades ? frames > 100 : frames == 1) << frames;
        EXPECT_EQ(Pixel(*PictureSprite->GetSurface(), 400, 300), white ? 0xFFFFFFu : 0u);
        EXPECT_EQ(PictureSprite->Blend().flags, 0u);
        EXPECT_EQ(PicturePending & kPictureFilled, kPictureFilled);
        SettingsBlock.display_speed = 1;
        SkipMode = 0;
    }
}

TEST_F(SceneCommands, MusicEffectsAndVolumesOnTheirChannels) {
    const struct {
        const char* script;
        const char* sounds;  // channels 0 to 3 afterwards
        const char* events;
    } steps[] = {
        {"WAV M1", "M1+loop - - - ", "music M1\n"},
        {"WAV M1", "M1+loop - - - ", ""},  // goes on
        {"WAV M2|VOI V1", "M2+loop - - V1 ", "music M2\nvoice V1\n"},
        {"VOI V2", "M2+loop - - V2 ", "voice V2\n"},
        {"VOI 00", "M2+loop - - - ", ""},
        {"S1A E1|S2B E2", "M2+loop fx fx+loop - ", "effect 1 E1\neffect 2 E2\n"},
        {"S1B E2|S2M", "M2+loop fx+loop - - ", "effect 1 E2\n"},
        {"S1M|WAV 00", "- - - - ", "music \n"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.script);
        events.text.clear();
        Run(s.script);
        device_->Advance(20);
        EXPECT_EQ(Sounds(), s.sounds);
        EXPECT_EQ(events.text, s.events);
    }
    PlayStreamSound(kMusicChannel, u"M1", false);
    PlayStreamSound(kMusicChannel, u"m1", false);  // a name differing in case only
    EXPECT_EQ(events.text, "music \nmusic M1\n");

    // Music at a tenth of its percentage, silent but recorded when off; voices at their percentage.
    const struct {
        std::uint8_t enable_bgm, bgm, voice;
        int music_volume, voice_volume;
    } volumes[] = {{1, 100, 100, 25, 255}, {1, 50, 40, 12, 102}, {0, 100, 100, 0, 255}};
    for (const auto& v : volumes) {
        SettingsBlock.enable_bgm = v.enable_bgm;
        SettingsBlock.bgm_volume = v.bgm;
        SettingsBlock.voice_volume = v.voice;
        for (ChannelStateRecord& record : ChannelState) record.state = 9;
        Run("WAV 00|WAV M2|VOI V1");
        EXPECT_EQ(ChannelState[kMusicChannel].state, 0u) << "set at each start";
        EXPECT_EQ(ChannelState[kVoiceChannel].state, 0u);
        EXPECT_EQ(ChannelState[kMusicChannel].volume, v.music_volume);
        EXPECT_EQ(ChannelState[kVoiceChannel].volume, v.voice_volume);
        std::int32_t attenuation = 1;
        ASSERT_NE(GetStreamChannel(kMusicChannel).buffer, nullptr);
        GetStreamChannel(kMusicChannel).buffer->GetVolume(&attenuation);
        EXPECT_EQ(attenuation, VolumeToAttenuation(v.music_volume));
        EXPECT_EQ(Records().substr(0, 10), "0 |0 |1 M2");
    }
    Run("WAV NOPE|VOI NOVOICE|S1A NOSE");
    for (const char16_t* name : {u"'bgm/NOPE.ogg'", u"'voice/NOVOICE.ogg'", u"'se/NOSE.ogg'"})
        EXPECT_NE(reports.debug.find(name), std::u16string::npos) << Utf16ToUtf8(name);
}

TEST_F(SceneCommands, VoicesAreQuietWhileSkippingOrHeldAndLeftToABesideMessage) {
    const struct {
        std::uint32_t skip, held;
        std::uint8_t enable_voice;
        const char* script;
        const char* voice;  // playing afterwards
    } cases[] = {
        {0, 0, 1, "VOI V1", "V1"},
        {1, 0, 1, "VOI V1", "-"},
        {2, 0, 1, "VOI V1", "-"},
        {0, kInputLeftShift, 1, "VOI V1", "-"},
        {0, kInputRightShift, 1, "VOI V1", "-"},
        {0, kInputMouseRight, 1, "VOI V1", "-"},
        {0, 0, 0, "VOI V1", "-"},
        {0, 0, 1, "VOI V1\nそして", "V1"},
        {0, 0, 1, "PST A = 1\nそして\n.VOI V1", "V1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script + std::to_string(c.skip) + " " + std::to_string(c.held));
        PlayStreamSound(kVoiceChannel, u"V2", false);
        SkipMode = c.skip;
        InputState.held = c.held;
        SettingsBlock.enable_voice = c.enable_voice;
        events.text.clear();
        Run(c.script);
        device_->Advance(20);
        EXPECT_EQ(Sounds(), std::string("- - - ") + c.voice + " ");
        // Once: a voice beside a message is the message's to play.
        std::size_t played = 0;
        for (std::size_t at = events.text.find("voice V1\n"); at != std::string::npos;
             at = events.text.find("voice V1\n", at + 1))
            ++played;
        EXPECT_EQ(played, c.voice == std::string("V1") ? 1u : 0u);
        SkipMode = 0;
        InputState.held = 0;
        SettingsBlock.enable_voice = 1;
    }
}

TEST_F(SceneCommands, AStepBackStopsEveryChannel) {
    Run("WAV M1|S1B E1|S2B E2|VOI V1");
    device_->Advance(20);
    ASSERT_EQ(Sounds(), "M1+loop fx+loop fx+loop V1 ");
    ScriptStateGroup_App group;
    EXPECT_EQ(group.Notify(ScriptStateGroup_App::kNotifyGoBack, 0), 1);
    device_->Advance(20);
    EXPECT_EQ(Sounds(), "- - - - ");
}

TEST_F(SceneCommands, TheFirstPictureOfTheStageRisesAtTwoLevelsAFrameAndTheNextAtSixteen) {
    // Frames of each rise, the frame after it included: over the new stage's black as after a
    // fade (255 by 2), then from one picture to the next (255 by 16).
    SettingsBlock.display_speed = 0;
    std::vector<int> frames;
    for (int i = 0; i < 2; ++i) {
        Run("GRP ABC0000");
        const int before = host.test_window().frames();
        CommitPicture();
        frames.push_back(host.test_window().frames() - before);
    }
    EXPECT_EQ(frames, (std::vector<int>{128 + 1, 16 + 1}));
}

TEST_F(SceneCommands, RecordsFollowEveryCommandAndReplayTheSameScreenAndSounds) {
    const struct {
        const char* script;
        const char* records;
        const char* replayed;  // sounds after the replay
    } cases[] = {
        {"GRP ABC0102|CHL B000100|WAV M1|S1B E1|S2A E2", "2 ABC0102|1 B000100|1 M1|2 E1|1 E2|", "M1+loop fx+loop - - "},
        {"CHL B000100|GRP ABC0002|S1A E1|S2B E2", "2 ABC0002|0 B000100|0 |1 E1|2 E2|", "- - fx+loop - "},
        {"CHR A010203|CHL A000100|S2B E1|S2M", "3 A010203|1 A000100|0 |0 |0 E1|", "- - - - "},
        {"GRP ABC0000|CHL B000100|CHR A010100", "3 A010100|0 B000100|0 |0 |0 |", "- - - - "},
        {"WAV M2|GRP WHITE", "1 |0 |1 M2|0 |0 |", "M2+loop - - - "},
        {"WAV M2|WAV 00|GRP ABC0000|GRP BLACK", "0 ABC0000|0 |0 M2|0 |0 |", "- - - - "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        ResetSceneState();
        Run(c.script);
        EXPECT_EQ(Records(), c.records);
        const std::vector<std::uint32_t> shown = Shown();
        stage.reset();
        stage = std::make_unique<SceneStage>(runtime.screen());
        device_->Advance(20);
        ASSERT_EQ(Sounds(), "- - - - ");
        ReplaySceneState();
        device_->Advance(20);
        EXPECT_EQ(Sounds(), c.replayed);
        EXPECT_TRUE(Shown() == shown);
    }
}

TEST_F(SceneCommands, TheStorysRunReplaysALoadedSceneAndNamesAreCutWhole) {
    stage.reset();
    for (const auto& [name, text] :
         {std::pair{"iv.txt", std::string(40, '\n')}, {"start.txt", "\n.GRP ABC0102\n.GRP ABC0002\n"}})
        media::WriteFile(pictures.path() / name, std::vector<std::uint8_t>(text.begin(), text.end()));
    SeenCgList = {u"OLD"};
    GameCycleServices services = DefaultGameCycleServices();
    // The seen list is the cycle's own: empty when the global records are read, filled by the story.
    services.load_global = [](ScriptStateGroup_App&) { EXPECT_TRUE(SeenCgList.empty()); };
    services.save_global = [](ScriptStateGroup_App&) { EXPECT_EQ(SeenCgList, std::vector<std::u16string>{u"ABC"}); };
    services.load_slot = [](std::int32_t) {
        RecordScene(CurrentPicture, kSceneChr, u"A000100");
        RecordScene(CurrentChl, kSceneOn, u"B000100");
        RecordScene(CurrentBgm, kSceneOn, u"M1");
        RecordScene(CurrentS1, kEffectOnce, u"E1");
        RecordScene(CurrentS2, kEffectLooping, u"E2");
    };
    EXPECT_EQ(RunSession(u"start.txt", 2, services), 0);
    EXPECT_EQ(events.text,
              "music M1\neffect 2 E2\npicture chr A000100\npicture chl B000100\npicture bg ABC0102\n"
              "picture bg ABC0002\n");
    EXPECT_TRUE(SeenCgList.empty());
    EXPECT_EQ(Boxes(), "");

    // 30 bytes of CP932 and the terminator: a two-byte character that would not fit stays out.
    const struct {
        std::u16string name, kept;
    } names[] = {
        {u"x" + std::u16string(20, u'あ'), u"x" + std::u16string(14, u'あ')},
        {std::u16string(20, u'あ'), std::u16string(15, u'あ')},
        {std::u16string(40, u'z'), std::u16string(30, u'z')},
    };
    for (const auto& n : names) {
        RecordScene(CurrentBgm, kSceneOn, n.name);
        EXPECT_EQ(SceneName(CurrentBgm), n.kept);
    }
    // A slot's name without its terminator, with more text right after it.
    SceneStateRecord slot[2];
    std::memset(slot[0].name, 'q', sizeof slot[0].name);
    slot[1].mode = 'r';
    EXPECT_EQ(SceneName(slot[0]), std::u16string(31, u'q'));
}

}  // namespace
