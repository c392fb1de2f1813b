#include "screens/ending_slides.h"

#include <algorithm>

#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/screen_sprite.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "lib/text.h"
#include "sound/sound.h"

namespace {

using DxDraw::DxSprite;

constexpr std::int32_t kFadeStep = 16;  // 17 frames each way, the last step to 255 or 0 shortened
constexpr std::int32_t kLevelFull = 255;
constexpr std::uint32_t kHoldMs = 5000;
constexpr std::uint32_t kLastHoldMs = 20000;
constexpr std::uint32_t kHoldEndsOnDecide = 1;
constexpr int kMusicFadeSteps = 40;
constexpr std::uint32_t kMusicStepMs = 100;

void ShowLevel(DxSprite& sprite, std::int32_t level) {
    SetBlendLevel(sprite, DxDraw::kColumnFade, level);
    StepFrame();
}

void ShowSlide(DxSprite& sprite, bool last) {
    for (std::int32_t level = 0; level < kLevelFull; level += kFadeStep) ShowLevel(sprite, level);
    ShowLevel(sprite, kLevelFull);
    WaitMs(last ? kLastHoldMs : kHoldMs, kHoldEndsOnDecide);
    for (std::int32_t level = kLevelFull; level > 0; level -= kFadeStep) ShowLevel(sprite, level);
    ShowLevel(sprite, 0);
}

// From the music's volume down to 0 in equal steps, one every 100 ms, then stopped.
void FadeOutMusic() {
    const int stream = GetChannelStreamId(kMusicChannel);
    if (!IsStreamPlaying(stream)) return;
    // Music switched off plays at volume 0: a fade from the music's volume would make it heard.
    if (!SettingsBlock.enable_bgm) return StopMusic();
    double volume = ChannelVolume(kMusicChannel, true);
    const double step = volume / kMusicFadeSteps;
    for (int i = 0; i < kMusicFadeSteps; ++i) {
        std::uint32_t timer = 0;
        StartTimer(timer);
        do {
            StepFrame();
        } while (!TimerElapsed(timer, kMusicStepMs));
        volume = std::max(0.0, volume - step);
        SetStreamVolume(stream, VolumeToAttenuation(static_cast<int>(volume)));
    }
    StopMusic();
}

}  // namespace

void EndingSlides() {
    const std::int32_t count = SystemConfig.EndingSlideCount;
    // The picture is declared before the sprite that shows it, so the sprite goes first.
    ComPtr<DxDraw::DxSurface> picture;
    const OwnedView<DxSprite> sprite = NewScreenSprite(nullptr, DxDraw::kColumnFade);
    sprite->SetLevel(0);
    for (std::int32_t n = 1; n <= count; ++n) {
        // The next slide is loaded before the sprite lets go of the one it shows.
        ComPtr<DxDraw::DxSurface> next = LoadCgImage(ScriptArchive.Get(), FormatString(u"ed%02d", n), false, false);
        sprite->SetSurface(next.Get());
        sprite->SetSource(nullptr);
        picture = std::move(next);
        ShowSlide(*sprite, n == count);
    }
    if (count > 0) FadeOutMusic();
}
