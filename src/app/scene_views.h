// The scene's views and the picture state the story commands share while a game cycle runs.
//
// The game cycle builds the views when the story starts and destroys them when it ends; the
// picture commands, the transitions and the message window reach them through these records.
// The view tree owns every view (Destroy detaches and deletes); the records only point at them.
// Outside a game cycle every record is empty. The runtime's start-up and teardown (app/runtime.h)
// empty them through ResetSceneViews.
#pragma once

#include <cstdint>

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

// What the next transition has to show.
enum : std::uint32_t {
    kPictureFilled = 1,    // a fade to black or white (or a plain fill) was made
    kPictureComposed = 2,  // a new picture waits on PictureWorkSurface
};
extern std::uint32_t PicturePending;

// The story's message window on layer 23.
extern MessageWindow* GameMessageWindow;

// Skipping: 0 off, 1 by the skip button, 2 while a Shift key is held. The interpreter sets it;
// the transitions show pictures at once while it is on.
extern std::uint32_t SkipMode;
// Auto-advance: 1 while the auto button's mode is on.
extern std::uint32_t AutoMode;
// 1 after a message was drawn: the next page end waits for the reader.
extern std::uint32_t MessagePending;

// Empties every record above (the views themselves belong to the tree and are not touched).
void ResetSceneViews();
