#include "app/ending_commands.h"

#include <algorithm>

#include "app/app_script.h"
#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_events.h"
#include "app/message_window.h"
#include "app/owned_view.h"
#include "app/picture_commands.h"
#include "app/picture_transitions.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/screen_sprite.h"
#include "dxdraw/screen_surface.h"
#include "lib/report.h"
#include "script/variables.h"

namespace {

using DxDraw::DxSurfaceSprite32;
using TextScript::ScriptStateNode;

constexpr int kCoverLayer = 23;
constexpr std::int32_t kScreenWidth = 800, kScreenHeight = 600;
constexpr std::uint32_t kOpaque = 255;
constexpr std::int32_t kEndingFadeStep = 5;
constexpr std::uint32_t kEndingPauseMs = 3000;
constexpr std::uint32_t kFlashMs = 100;

OwnedView<DxSurfaceSprite32> NewFilledSprite(std::uint32_t rgb) {
    OwnedView<DxSurfaceSprite32> sprite(new DxSurfaceSprite32(kScreenWidth, kScreenHeight));
    sprite->FillRect(nullptr, rgb, kOpaque);
    return sprite;
}

void RunEndingSlides(const ScriptStateGroup_App& group) {
    const GameCycleServices* services = group.services();
    if (services && services->ending_slides)
        services->ending_slides();
    else
        DebugPrintf(u"EndingSlides: no ending slides are installed\n");
}

}  // namespace

void ExecuteEnding(ScriptStateNode_App& node) {
    // The black cover stays over the scene until the scene's views are taken down.
    if (DxDraw::DxDrawGroup* layer = SceneLayers[kCoverLayer]) {
        OwnedView<DxSurfaceSprite32> cover = NewFilledSprite(0x000000);
        DxSurfaceSprite32& sprite = *cover;
        if (layer->Add(cover.get())) cover.release();
        for (std::int32_t level = 0; level <= 255; level += kEndingFadeStep) {
            SetBlendLevel(sprite, DxDraw::kColumnFade, level);
            StepFrame();
        }
    }
    if (GameMessageWindow) GameMessageWindow->Hide();
    MessagePending = 0;
    StepFrame();
    WaitMs(kEndingPauseMs, 0);
    const char16_t* number = node.code == ScriptStateNode::kEnd1   ? u"1"
                             : node.code == ScriptStateNode::kEnd2 ? u"2"
                                                                   : u"0";
    PostGameEvent("ending", {number});
    if (node.code != ScriptStateNode::kEnd1) RunEndingSlides(node.AppGroup());
    throw ScriptException{ScriptException::kBackToTitle};
}

TextScript::ScriptStateNode* ExecuteFlash(ScriptStateNode_App& node) {
    const std::int32_t count = TextScript::EvaluateOperand(node.Arg(0), 0);
    {
        OwnedView<DxSurfaceSprite32> flash = NewFilledSprite(0xFFFFFF);
        flash->Hide();
        if (ScreenSurface) ScreenSurface->Add(flash.get());
        for (std::int32_t i = 0; i < count; ++i) {
            flash->Show();
            WaitMs(kFlashMs, 0);
            if (i + 1 == count) break;
            flash->Hide();
            WaitMs(kFlashMs, 0);
        }
        // The flash ends on white: the picture under the sheet is white before the sheet goes.
        ShowPlainPicture(true);
        CurrentPicture.mode = 1;
        CurrentChl.mode = 0;
    }
    StepFrame();
    return node.next();
}

TextScript::ScriptStateNode* ExecuteSceneName(ScriptStateNode_App& node) {
    auto& group = static_cast<ScriptStateGroup_App&>(*node.group());
    if (!group.ContainsAppName(node.Arg(0))) group.AddSceneName(node.Arg(0));
    return node.next();
}

TextScript::ScriptStateNode* ExecuteWindowOff(ScriptStateNode_App& node) {
    if (MessageWindow* window = GameMessageWindow; window && window->IsVisible()) TextScript::HideWindowNow(*window);
    MessagePending = 0;
    return node.next();
}
