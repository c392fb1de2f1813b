#include "app/cycle_stand_ins.h"

#include <algorithm>
#include <optional>

#include "lib/error.h"

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

ComPtr<IArchive> ScriptArchive;
std::uint8_t SeenFlags[kSeenFlagBytes] = {};
std::int32_t RequestedLoadSlot = 0;

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
}

void ResetGameData() {
    ScriptArchive.Reset();
    std::fill(std::begin(SeenFlags), std::end(SeenFlags), std::uint8_t{0});
    RequestedLoadSlot = 0;
}

std::string LoadScriptFile(std::u16string_view name) {
    std::optional<std::string> text;
    if (ScriptArchive) text = LoadArchiveText(*ScriptArchive, name);
    if (!text) ThrowError(u"script/scr_gui", __LINE__, 0, 0, u"Script: file not found '%s'", name);
    return std::move(*text);
}
