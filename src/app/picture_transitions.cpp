#include "app/picture_transitions.h"

#include <algorithm>

#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/owned_view.h"
#include "app/scene_views.h"
#include "app/screen_sprite.h"
#include "app/settings.h"
#include "lib/scope_guard.h"

namespace {

using DxDraw::DxSprite;

constexpr std::uint32_t kFadeFlags = DxDraw::kColumnFade;
constexpr std::int32_t kLevelFull = 255;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kOpaque = 255;
constexpr std::uint32_t kSplashWaitMs = 5000;

void SetLevel(DxSprite& sprite, std::int32_t level) { SetBlendLevel(sprite, kFadeFlags, level); }

void ShowLevel(DxSprite& sprite, std::int32_t level) {
    SetLevel(sprite, level);
    StepFrame();
}

// Moves the level by step per frame from `from` until it reaches `to` (the last step clamped).
// With stop_on_click a left click puts the level at `to` at once.
void Fade(DxSprite& sprite, std::int32_t from, std::int32_t to, std::int32_t step, bool stop_on_click) {
    std::int32_t level = from;
    while (level != to) {
        level = from < to ? std::min(level + step, to) : std::max(level - step, to);
        ShowLevel(sprite, level);
        if (stop_on_click && (InputState.pressed & kInputMouseLeft)) {
            SetLevel(sprite, to);
            return;
        }
    }
}

bool HaveScenePicture() { return PictureSprite && PictureSprite->GetSurface() && PictureWorkSurface; }

// A sprite of the work surface just above the picture, invisible (level 0) at first.
OwnedView<DxSprite> NewWorkSprite() {
    OwnedView<DxSprite> sprite(new DxSprite(PictureWorkSurface.Get(), nullptr, kFadeFlags));
    sprite->SetLevel(0);
    if (ssGroup* parent = PictureSprite->GetParent()) parent->Add(sprite.get());
    return sprite;
}

}  // namespace

void ShowWorkSurface() {
    if (!HaveScenePicture()) return;
    DxDraw::BlendParams copy;
    copy.flags = DxDraw::kColumnCopy;
    PictureSprite->GetSurface()->Blit(0, 0, PictureWorkSurface.Get(), nullptr, nullptr, &copy);
    PictureSprite->SetBlendFlags(0);
    // The picture changed under a blend record that may not have.
    PictureSprite->Invalidate(DxDraw::kDirtyContents);
}

void FadeToBlack() {
    if (!HaveScenePicture()) return;
    PicturePending |= kPictureFilled;
    DxSprite& picture = *PictureSprite;
    // Unwound half-way, the picture is shown as it was rather than left half-faded.
    ScopeFail restore([&picture, before = picture.Blend()] { picture.SetBlend(before); });
    ShowLevel(picture, kLevelFull);
    Fade(picture, kLevelFull, 0, 2, false);
    ShowFilledPicture(kBlack);
    StepFrame();
}

void FadeToWhite() {
    if (!HaveScenePicture()) return;
    PicturePending |= kPictureFilled;
    PictureWorkSurface->FillRect(nullptr, kWhite, kOpaque);
    {
        OwnedView<DxSprite> cover = NewWorkSprite();
        Fade(*cover, 0, kLevelFull, 2, false);
    }
    ShowWorkSurface();
    StepFrame();
}

void CommitPicture() {
    if (!(PicturePending & kPictureComposed) || !HaveScenePicture()) return;
    const auto show = [] {
        ShowWorkSurface();
        PictureSprite->Show();
    };
    if (SettingsBlock.display_speed == 1 || SkipMode) {
        show();
    } else {
        OwnedView<DxSprite> cover = NewWorkSprite();
        // However the rise ends, the new picture is what stays, and the cover goes after it.
        ScopeExit shown(show);
        Fade(*cover, 0, kLevelFull, (PicturePending & kPictureFilled) ? 2 : 16, false);
    }
    StepFrame();
    PicturePending = 0;
}

void ShowFilledPicture(std::uint32_t rgb) {
    if (!HaveScenePicture()) return;
    PicturePending |= kPictureFilled;
    PictureWorkSurface->FillRect(nullptr, rgb, kOpaque);
    ShowWorkSurface();
}

void BrandSplash() {
    ComPtr<DxDraw::DxSurface> picture = LoadCgImage(ScriptArchive.Get(), u"brand", false, false);
    OwnedView<DxSprite> sprite = NewScreenSprite(picture.Get(), kFadeFlags);
    sprite->SetLevel(0);
    Fade(*sprite, 0, kLevelFull, 4, true);
    WaitMs(kSplashWaitMs, 1);
    Fade(*sprite, kLevelFull, 0, 4, true);
}
