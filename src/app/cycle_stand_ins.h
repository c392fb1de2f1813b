// Records the game cycle shares with the script-side helpers and the picture commands, kept here
// until those land with their own homes (the scene's views and picture state, the archives, the
// page-read flags and the load request). Names and meanings are the ones those parts use, so that
// this file folds into theirs without touching its users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/dxsurface.h"
#include "lib/combase.h"

class MessageWindow;

inline constexpr int kSceneLayerCount = 24;

// Drawn under everything else: the layer groups, index 0 lowest.
extern DxDraw::DxDrawGroup* SceneBaseGroup;
extern DxDraw::DxDrawGroup* SceneLayers[kSceneLayerCount];
// Drawn above every layer: the black and white cover sprites.
extern DxDraw::DxDrawGroup* SceneCoverGroup;
extern DxDraw::DxSurfaceSprite32* BlackCoverSprite;
extern DxDraw::DxSurfaceSprite32* WhiteCoverSprite;
// The 800 x 600 sprite on layer 0 that shows the current picture, and the surface the next
// picture is composed on before a transition shows it.
extern DxDraw::DxSprite* PictureSprite;
extern ComPtr<DxDraw::DxSurface> PictureWorkSurface;
enum : std::uint32_t { kPictureFilled = 1, kPictureComposed = 2 };
extern std::uint32_t PicturePending;
// The story's message window on layer 23.
extern MessageWindow* GameMessageWindow;
// Skipping: 0 off, 1 by the skip button, 2 while a Shift key is held.
extern std::uint32_t SkipMode;
void ResetSceneViews();

// The archive the scripts and their pictures are read from.
extern ComPtr<IArchive> ScriptArchive;
// One bit per page number n (0 to 16383): bit 0x80 >> (n mod 8) of byte n / 8.
inline constexpr std::size_t kSeenFlagBytes = 2048;
extern std::uint8_t SeenFlags[kSeenFlagBytes];
// The zero-based slot a load request asks for; a load unwind ends the game cycle with it.
extern std::int32_t RequestedLoadSlot;
void ResetGameData();

// The whole entry of the script archive (CP932 text). A missing or unreadable entry raises the
// error exception "Script: file not found '%s'".
std::string LoadScriptFile(std::u16string_view name);
