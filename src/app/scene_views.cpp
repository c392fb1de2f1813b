#include "app/scene_views.h"

#include <algorithm>

DxDraw::DxDrawGroup* SceneBaseGroup = nullptr;
DxDraw::DxDrawGroup* SceneLayers[kSceneLayerCount] = {};
DxDraw::DxDrawGroup* SceneCoverGroup = nullptr;
DxDraw::DxSurfaceSprite32* BlackCoverSprite = nullptr;
DxDraw::DxSurfaceSprite32* WhiteCoverSprite = nullptr;
DxDraw::DxSprite* PictureSprite = nullptr;
ComPtr<DxDraw::DxSurface> PictureWorkSurface;
std::uint32_t PicturePending = 0;
MessageWindow* GameMessageWindow = nullptr;
std::uint32_t SkipMode = 0;
std::uint32_t AutoMode = 0;
std::uint32_t MessagePending = 0;

void ResetSceneViews() {
    SceneBaseGroup = nullptr;
    std::fill(std::begin(SceneLayers), std::end(SceneLayers), nullptr);
    SceneCoverGroup = nullptr;
    BlackCoverSprite = nullptr;
    WhiteCoverSprite = nullptr;
    PictureSprite = nullptr;
    PictureWorkSurface.Reset();
    PicturePending = 0;
    GameMessageWindow = nullptr;
    SkipMode = 0;
    AutoMode = 0;
    MessagePending = 0;
}
