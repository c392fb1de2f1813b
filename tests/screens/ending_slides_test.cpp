// The ending slides on the test host: the frames of each fade, the holds and a click that cuts
// one short, the music's fade in 40 steps of 100 ms, music switched off staying silent, and what
// goes wrong (a missing slide, a request).
#include "screens/ending_slides.h"

#include <algorithm>

#include "app/cg_image.h"
#include "app/screen_sprite.h"
#include "app/script_helpers.h"
#include "lib/error.h"
#include "screen_fixture.h"

namespace {

using namespace screentest;

constexpr std::uint32_t kSlides[] = {0xF08040, 0x40F080, 0x8040F0};

// Within one step of each channel: level 255 of the fade shows the slide as it is, give or take
// the table's rounding.
bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16})
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > 1) return false;
    return true;
}

class EndingSlidesTest : public ScreenTest {
protected:
    EndingSlidesTest() {
        for (int n = 1; n <= 3; ++n) FlatPicture("ed0" + std::to_string(n), kSlides[n - 1]);
        SystemConfig.EndingSlideCount = 3;
    }

    // Runs the slides, noting the middle pixel of every frame.
    void Run() {
        each_frame = [this](int) { pixels.push_back(Pixel(400, 300)); };
        EndingSlides();
        each_frame = nullptr;
        EXPECT_TRUE(ScreenEmpty()) << "no sprite of the slides is left";
    }
    // The pixels as runs: "S1:17" for 17 frames of slide 1 at some level, "S1=300" for frames
    // of slide 1 at full level, "B:5" for black.
    std::string Runs() const {
        std::string text;
        std::string last;
        int length = 0;
        for (std::uint32_t p : pixels) {
            std::string now = "B:";
            for (int n = 0; n < 3; ++n) {
                if (Near(p, kSlides[n])) now = "S" + std::to_string(n + 1) + "=";
                // Every level keeps the slide's hue: its red, green and blue in the same order.
                else if (p && (Channel(p, 16) > Channel(p, 8)) == (Channel(kSlides[n], 16) > Channel(kSlides[n], 8)) &&
                         (Channel(p, 8) > Channel(p, 0)) == (Channel(kSlides[n], 8) > Channel(kSlides[n], 0)))
                    now = "S" + std::to_string(n + 1) + ":";
            }
            if (now == last) {
                ++length;
                continue;
            }
            if (!last.empty()) text += last + std::to_string(length) + " ";
            last = now, length = 1;
        }
        return text + last + std::to_string(length);
    }

    // A left click every other frame from now on, which ends each hold in its first frames; `also`
    // runs in each frame too.
    void ClickOnAndOn(std::function<void(int)> also = [](int) {}) {
        each_frame = [this, also = std::move(also)](int frame) {
            frame % 2 ? window().ReleaseButton(kLeftButton) : window().PressButton(kLeftButton);
            also(frame);
        };
    }

    std::vector<std::uint32_t> pixels;
};

TEST_F(EndingSlidesTest, EachSlideRisesHoldsAndSinksAndAClickCutsAHoldShort) {
    // Slide 2's hold is cut short by a click 60 frames into it. Slides 1 and 2 hold 5 seconds
    // (300 frames), the last 20 (1200).
    const int slide2_hold = 17 + 300 + 17 + 17;
    At(slide2_hold + 60, [this] { window().PressButton(kLeftButton); });
    At(slide2_hold + 61, [this] { window().ReleaseButton(kLeftButton); });
    Run();
    // Each slide: level 0 (black), 15 rising levels, the full level, the hold, the full level
    // again as the sink begins, 15 sinking levels and 0.
    EXPECT_EQ(Runs(), "B:1 S1:15 S1=302 S1:15 B:2 S2:15 S2=63 S2:15 B:2 S3:15 S3=1202 S3:15 B:1");
}

TEST_F(EndingSlidesTest, TheFadesMixTheSlideOverWhatIsBelowInStepsOf16) {
    // Over black and over a picture of another colour beneath the slides: each level mixes the
    // slide into what is below by level / 255, where a brightness would darken it towards black.
    SystemConfig.EndingSlideCount = 1;
    for (const std::uint32_t below : {0x000000u, 0x30C0A0u}) {
        SCOPED_TRACE(below);
        FlatPicture("below", below);
        const ComPtr<DxDraw::DxSurface> picture = LoadCgImage(ScriptArchive.Get(), u"below", false, false);
        const OwnedView<DxDraw::DxSprite> ground = NewScreenSprite(picture.Get());
        pixels.clear();
        each_frame = [this](int) { pixels.push_back(Pixel(400, 300)); };
        EndingSlides();
        each_frame = nullptr;
        ASSERT_EQ(pixels.size(), 17u + 1200u + 17u);
        for (int i = 0; i <= 16; ++i) {
            const int level = std::min(16 * i, 255);
            for (int shift : {0, 8, 16}) {
                const int mixed = (Channel(kSlides[0], shift) * level + Channel(below, shift) * (255 - level)) / 255;
                EXPECT_NEAR(Channel(pixels[i], shift), mixed, 2) << i << " " << shift;
                EXPECT_NEAR(Channel(pixels[pixels.size() - 1 - i], shift), mixed, 2) << i << " " << shift;
            }
        }
    }
}

TEST_F(EndingSlidesTest, AfterTheLastSlideTheMusicFadesIn40StepsOf100MsAndStops) {
    StartSound({"M1"});
    for (const std::uint8_t percent : {100, 40}) {
        SCOPED_TRACE(int(percent));
        SettingsBlock.bgm_volume = percent;
        SystemConfig.EndingSlideCount = 1;
        PlayStreamSound(kMusicChannel, u"M1", false);
        // Every slide's hold cut short at once, so that the music plays on throughout.
        std::vector<std::pair<int, std::int32_t>> changes;  // frame, attenuation
        ClickOnAndOn([&](int frame) {
            const std::int32_t now = MusicAttenuation();
            if (changes.empty() || changes.back().second != now) changes.emplace_back(frame, now);
        });
        const int start = Frames();
        EndingSlides();
        each_frame = nullptr;
        window().ReleaseButton(kLeftButton);
        // The model: v = percent x 255 / 100 / 10, lowered by v / 40 every 100 ms (6 frames).
        const double v = percent * 255 / 100 / 10;
        std::vector<std::int32_t> expected{VolumeToAttenuation(static_cast<int>(v))};
        for (int k = 1; k <= 40; ++k) {
            const std::int32_t a = VolumeToAttenuation(static_cast<int>(std::max(0.0, v - k * (v / 40.0))));
            if (a != expected.back()) expected.push_back(a);
        }
        std::vector<std::int32_t> seen;
        for (const auto& [frame, attenuation] : changes) seen.push_back(attenuation);
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(MusicAttenuation(), 1) << "stopped after the 40th step";
        // From the end of the slide's fade to the stop: 40 steps of 100 ms, each 6 frames or (as
        // the milliseconds fall) 7.
        ASSERT_GE(changes.size(), 3u);
        EXPECT_NEAR(Frames() - start, 17 + 2 + 17 + 240, 8) << "rise, a cut hold, sink, 40 x 6 frames";
        for (std::size_t i = 2; i < changes.size(); ++i) {
            const int apart = changes[i].first - changes[i - 1].first;
            EXPECT_TRUE(apart % 6 == 0 || apart % 7 == 0) << "every 100 ms: " << i << " " << apart;
        }
        EXPECT_NE(events.find("music |"), std::string::npos);
        events.clear();
    }
}

TEST_F(EndingSlidesTest, MusicSwitchedOffStaysSilentAndStops) {
    StartSound({"M1"});
    SettingsBlock.enable_bgm = 0;
    SystemConfig.EndingSlideCount = 1;
    PlayStreamSound(kMusicChannel, u"M1", false);
    device_->Advance(100);
    ASSERT_NE(MusicAttenuation(), 1) << "the music's stream plays, at volume 0";
    device_->ClearCapture();
    int loudest = 0;
    ClickOnAndOn([&](int) {
        for (std::int16_t sample : device_->captured()) loudest = std::max(loudest, std::abs(int(sample)));
        device_->ClearCapture();
    });
    EndingSlides();
    each_frame = nullptr;
    EXPECT_EQ(loudest, 0) << "nothing became audible";
    EXPECT_EQ(MusicAttenuation(), 1) << "stopped";
    EXPECT_NE(events.find("music |"), std::string::npos);
}

TEST_F(EndingSlidesTest, WithoutSlidesOrWithoutMusicNothingElseHappens) {
    StartSound({"M1"});
    // No slides: nothing is shown and the music plays on.
    SystemConfig.EndingSlideCount = 0;
    PlayStreamSound(kMusicChannel, u"M1", false);
    const std::int32_t playing = MusicAttenuation();
    const int start = Frames();
    Run();
    EXPECT_EQ(Frames(), start);
    EXPECT_EQ(MusicAttenuation(), playing);
    // No music: the slides end after the last one's fade.
    StopChannel(kMusicChannel);
    SystemConfig.EndingSlideCount = 1;
    events.clear();
    ClickOnAndOn();
    const int before = Frames();
    EndingSlides();
    each_frame = nullptr;
    EXPECT_NEAR(Frames() - before, 17 + 1 + 17, 1) << "the rise, a hold cut short, the sink";
    EXPECT_EQ(events, "") << "no music was stopped";
}

TEST_F(EndingSlidesTest, AMissingSlideIsTheLoadersErrorAndARequestPassesOn) {
    std::filesystem::remove(pictures / "ed02.png");
    try {
        EndingSlides();
        ADD_FAILURE() << "no error";
    } catch (const ExceptionHandle& error) {
        const std::u16string_view message(error.message);
        EXPECT_NE(message.find(u"file not found"), std::u16string_view::npos);
        EXPECT_NE(message.find(u"ed02"), std::u16string_view::npos);
    }
    EXPECT_TRUE(ScreenEmpty());
    for (const int frame : {5, 100}) {  // while the first slide rises, and during its hold
        At(frame, [] { PendingRequest = kRequestTitle; });
        try {
            EndingSlides();
            ADD_FAILURE() << "the slides ended without the request";
        } catch (const ScriptException& request) {
            EXPECT_EQ(request.code, ScriptException::kBackToTitle);
        }
        EXPECT_TRUE(ScreenEmpty());
    }
}

}  // namespace
