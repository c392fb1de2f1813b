#include "app/scene_stage.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/message_window.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "dxdraw/screen_surface.h"
#include "host/video/window.h"
#include "lib/error.h"
#include "lib/scope_guard.h"

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kOpaque = 255;
// The story's window: 800 x 200 at the bottom of the screen, its text inside these margins, in a
// font of this size and line spacing.
constexpr int kWindowHeight = 200;
constexpr int kWindowMargins[4] = {8, 24, 44, 16};  // left, right, top, bottom
constexpr int kWindowFontSize = 32;
constexpr int kWindowLineSpacing = 3;

// A game-sized 32-bit surface filled with one opaque colour.
ComPtr<DxDraw::DxSurface> FilledSurface(std::uint32_t rgb) {
    ComPtr<DxDraw::DxSurface> surface = DxDraw::CreateSurface(32);
    if (!surface || !surface->SetSize(host::kGameWidth, host::kGameHeight))
        ThrowError(u"app/scene_stage", __LINE__, 0, 0, u"scene: cannot create a %dx%d surface", host::kGameWidth,
                   host::kGameHeight);
    surface->FillRect(nullptr, rgb, kOpaque);
    return surface;
}

DxDraw::DxSurfaceSprite32* CoverSprite(DxDraw::DxDrawGroup& group, std::uint32_t rgb) {
    auto* sprite = new DxDraw::DxSurfaceSprite32(host::kGameWidth, host::kGameHeight);
    group.Add(sprite);  // the tree owns it from here
    sprite->FillRect(nullptr, rgb, kOpaque);
    sprite->Hide();
    return sprite;
}

template <class View>
void DestroyView(View*& view) {
    if (View* gone = std::exchange(view, nullptr)) gone->Destroy();
}

}  // namespace

SceneStage::SceneStage(DxDraw::DxScreenSurface& screen) {
    ScopeFail take_down([] { TearDown(); });
    SceneBaseGroup = new DxDraw::DxDrawGroup();
    screen.Add(SceneBaseGroup);
    for (DxDraw::DxDrawGroup*& layer : SceneLayers) {
        layer = new DxDraw::DxDrawGroup();
        SceneBaseGroup->Add(layer);
    }
    SceneCoverGroup = new DxDraw::DxDrawGroup();
    screen.Add(SceneCoverGroup);

    ComPtr<DxDraw::DxSurface> picture = FilledSurface(kBlack);
    PictureSprite = new DxDraw::DxSprite(picture.Get());
    SceneLayers[0]->Add(PictureSprite);
    PictureSprite->SetOwnsSurface(true);  // the sprite keeps the reference from here
    picture.Detach();

    PictureWorkSurface = FilledSurface(kBlack);
    PicturePending = kPictureFilled;
    BlackCoverSprite = CoverSprite(*SceneCoverGroup, kBlack);
    WhiteCoverSprite = CoverSprite(*SceneCoverGroup, kWhite);

    GameMessageWindow = new MessageWindow(host::kGameWidth, kWindowHeight, kWindowMargins[0], kWindowMargins[1],
                                          kWindowMargins[2], kWindowMargins[3]);
    SceneLayers[kSceneLayerCount - 1]->Add(GameMessageWindow);
    GameMessageWindow->SetPosition(0, host::kGameHeight - kWindowHeight);
    GameMessageWindow->View().SetFont(kWindowFontSize, kWindowLineSpacing, SettingsBlock.font_name);
    GameMessageWindow->Hide();
    GameMessageWindow->Words()[kWindowStartFlagWord] = 0;
    GameMessageWindow->Words()[kWindowSpeedFactorWord] = kStorySpeedFactor;
}

SceneStage::~SceneStage() { TearDown(); }

void SceneStage::TearDown() noexcept {
    DestroyView(GameMessageWindow);
    DestroyView(BlackCoverSprite);
    DestroyView(WhiteCoverSprite);
    PictureWorkSurface.Reset();
    if (PictureSprite) PictureSprite->SetSurface(nullptr);  // releases the picture it owns
    DestroyView(PictureSprite);
    DestroyView(SceneCoverGroup);
    DestroyView(SceneBaseGroup);  // with its layers
    std::fill(std::begin(SceneLayers), std::end(SceneLayers), nullptr);
    PicturePending = 0;
    StopAllSounds();
}
