// Set-up shared by the tests of the full-screen sequences (title, manual, ending slides): the
// test host at 60 Hz under a runtime, pictures of flat colours written into a script folder,
// music on a hand-driven audio device that follows the test clock, actions by frame, the game
// events as text and the screen's pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/runtime.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "archive/archive.h"
#include "dxdraw/screen_surface.h"
#include "host/audio/test_audio_device.h"
#include "host/testhost/test_host.h"
#include "lib/text.h"
#include "media/picture_writers.h"
#include "sound/sound.h"
#include "sound/stream_channel.h"
#include "sound/tone.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace screentest {

constexpr int kLeftButton = 0, kRightButton = 1;

// A colour channel of 0xRRGGBB (shift 0 blue, 8 green, 16 red).
inline int Channel(std::uint32_t rgb, int shift) { return static_cast<int>(rgb >> shift & 0xFF); }

class ScreenTest : public ::testing::Test, public GameEventSink {
protected:
    ScreenTest() {
        ScriptArchive = OpenDirArchive(pictures.Path());
        SoundArchive = OpenDirArchive(sounds.Path());
        window().on_frame = [this](int frame) {
            if (device_) {
                const std::uint32_t target = host.clock.Milliseconds() / 10 * 10;
                if (target > device_->NowMilliseconds()) device_->Advance(target - device_->NowMilliseconds());
            }
            for (auto [it, end] = script.equal_range(frame); it != end; ++it) it->second();
            if (each_frame) each_frame(frame);
            // A click that misses would leave a screen waiting for good: the title request ends it.
            if (deadline_ && frame >= deadline_) {
                PendingRequest = kRequestTitle;
                deadline_ = 0;
            }
        };
    }
    ~ScreenTest() override {
        window().on_frame = nullptr;
        TermSound();
        ResetSoundCommands();
        SettingsBlock = {};
        SystemConfig = {};
    }

    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
        events += kind;
        for (std::u16string_view field : fields) events += " " + Utf16ToUtf8(field);
        events += "|";
        if (on_event) on_event(kind);
    }

    testhost::TestWindow& window() { return host.test_window(); }
    int Frames() { return window().frames(); }
    // The action runs `frame` frames from now; the frame step reads its input in the next.
    void At(int frame, std::function<void()> action) { script.emplace(Frames() + frame, std::move(action)); }
    void Click(int frame, int x, int y, int button = kLeftButton) {
        At(frame, [=, this] { window().MoveCursor(x, y), window().PressButton(button); });
        At(frame + 1, [=, this] { window().ReleaseButton(button); });
    }
    void Move(int frame, int x, int y) {
        At(frame, [=, this] { window().MoveCursor(x, y); });
    }
    // Arms the request that ends a screen left waiting 3000 frames from now; 0 disarms it.
    void Deadline(bool armed = true) { deadline_ = armed ? Frames() + 3000 : 0; }
    std::uint32_t Pixel(int x, int y) { return window().Pixel(x, y) & 0xFFFFFF; }
    // Whether every view of the sequence is gone from the screen.
    bool ScreenEmpty() { return ScreenSurface->GetFirstChild() == nullptr; }

    // A PNG of `width` x `height` whose pixel (x, y) is colour(x, y) as 0xAARRGGBB.
    void Picture(const std::string& name, int width, int height,
                 const std::function<std::uint32_t(int x, int y)>& colour) {
        media::PngPicture picture;
        picture.width = width;
        picture.height = height;
        picture.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        for (int y = 0; y < height; ++y) {
            std::vector<std::uint8_t>& row = picture.rows.emplace_back();
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = colour(x, y);
                row.insert(row.end(),
                           {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), std::uint8_t(c >> 24)});
            }
        }
        std::filesystem::create_directories((pictures.path() / name).parent_path());
        media::WriteFile(pictures.path() / (name + ".png"), media::EncodePng(picture));
    }
    void FlatPicture(const std::string& name, std::uint32_t rgb) {
        Picture(name, 800, 600, [rgb](int, int) { return 0xFF000000u | rgb; });
    }

    // Sound on the hand-driven device, with "bgm/NAME.ogg" a loud tone of two seconds for each name.
    void StartSound(std::initializer_list<const char*> music) {
        auto device = std::make_unique<host::TestAudioDevice>();
        device_ = device.get();
        SoundParams params;
        ASSERT_EQ(InitSound(&params, std::move(device)), S_OK);
        const std::vector<std::int16_t> tone = soundtest::Sine(440, 2, 44100, 1, 0.8);
        const std::vector<std::uint8_t> ogg = soundtest::EncodeOggVorbis(tone, 44100, 1, 0.3f);
        std::filesystem::create_directories(sounds.path() / "bgm");
        for (const char* name : music) media::WriteFile(sounds.path() / "bgm" / (std::string(name) + ".ogg"), ogg);
    }
    // The music channel's stream volume as its attenuation; 1 when no stream plays there.
    static std::int32_t MusicAttenuation() {
        if (!IsStreamPlaying(GetChannelStreamId(kMusicChannel))) return 1;
        std::int32_t attenuation = 1;
        GetStreamChannel(kMusicChannel).buffer->GetVolume(&attenuation);
        return attenuation;
    }

    testsupport::TempFolder pictures{"screen_pictures"}, sounds{"screen_sounds"};
    testhost::TestHost host;
    ScopedRuntime runtime{host};
    testsupport::CaptureReports reports;
    ScopedGameEventSink sink{this};
    host::TestAudioDevice* device_ = nullptr;  // owned by the sound layer while it runs
    int deadline_ = 0;
    std::multimap<int, std::function<void()>> script;
    std::function<void(int)> each_frame;
    std::function<void(std::string_view)> on_event;
    std::string events;  // "kind field...|" per game event
};

}  // namespace screentest
