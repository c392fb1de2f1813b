#include "app/app_script.h"

#include <algorithm>

#include "app/choice_commands.h"
#include "app/ending_commands.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/menu_commands.h"
#include "app/message_window.h"
#include "app/picture_commands.h"
#include "app/scene_replay.h"
#include "app/scene_stage.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "app/story_commands.h"
#include "host/ui/menu.h"
#include "lib/error.h"
#include "lib/scope_guard.h"
#include "lib/text_field.h"
#include "script/pools.h"
#include "script/text_fold.h"

namespace {

static_assert(sizeof(ScriptStateNode_App) <= TextScript::kStateNodeBlockSize,
              "application nodes take their blocks from the story-node pool");

}  // namespace

std::int32_t CycleResultOfRequest(const ScriptException& request, std::int32_t otherwise) {
    switch (request.code) {
        case ScriptException::kBackToTitle: return 1;
        case ScriptException::kLoadSlot: return RequestedLoadSlot + 2;
        default: return otherwise;
    }
}

TextScript::ScriptStateNode* ScriptStateNode_App::Execute() {
    try {
        return Dispatch();
    } catch (TextScript::ScriptErrorLine& error) {
        error.line = line;
        throw;
    }
}

TextScript::ScriptStateNode* ScriptStateNode_App::Dispatch() {
    switch (code) {
        case kMessage: return RunMessage(*this);
        case kSed:
        case kPage: return RunPageEnd(*this);
        case kGrp: return ExecuteGrp(*this);
        case kChr:
        case kChl: return ExecuteCharacter(*this);
        case kWav: return ExecuteWav(*this);
        case kVoi: return ExecuteVoi(*this);
        case kS1a:
        case kS1b:
        case kS1m:
        case kS2a:
        case kS2b:
        case kS2m: return ExecuteEffectSlot(*this);
        case kSel: return ExecuteSel(*this);
        case kSfs: return ExecuteSceneName(*this);
        case kTof: return ExecuteWindowOff(*this);
        case kSsl: return ExecuteSsl(*this);
        case kEnd:
        case kEnd1:
        case kEnd2: ExecuteEnding(*this);  // ends the run with a script exception
        case kFls: return ExecuteFlash(*this);
        default: return TextScript::ScriptStateNode::Execute();
    }
}

ScriptStateGroup_App& ScriptStateNode_App::AppGroup() const {
    auto* app = dynamic_cast<ScriptStateGroup_App*>(group());
    if (!app) ThrowError(u"app/app_script", __LINE__, 0, 0, u"a story node outside the game's script group");
    return *app;
}

void* ScriptStateNode_App::operator new(std::size_t size) {
    void* block = TextScript::StateNodePool().Alloc(size);
    if (!block) TextScript::RaisePoolExhausted(u"ScriptStateNode_App");
    return block;
}

void ScriptStateNode_App::operator delete(void* block) noexcept {
    if (block) TextScript::StateNodePool().Free(block);
}

std::unique_ptr<TextScript::ScriptStateNode> ScriptStateGroup_App::CreateNode() {
    return std::make_unique<ScriptStateNode_App>(this);
}

std::int32_t ScriptStateGroup_App::Run(std::int32_t page) {
    SkipMode = 0;
    AutoMode = 0;
    MessagePending = 0;
    debug_jump_request_ = 0;
    if (!ScreenSurface) ThrowError(u"app/app_script", __LINE__, 0, 0, u"Run: the runtime has no screen");
    std::int32_t result = 0;
    {
        const SceneStage stage(*ScreenSurface);
        ApplyTextBackground(SettingsBlock);
        ReplaySceneState();
        switch (TextScript::ScriptStateGroup::Run(page)) {
            case 1: result = 1; break;
            case 2: result = RequestedLoadSlot + 2; break;
            default: result = 0; break;
        }
    }
    // One frame shows the scene gone. The views are already down, so a request that arrives in
    // this frame only changes where the cycle goes next.
    try {
        StepFrame();
    } catch (const ScriptException& request) {
        result = CycleResultOfRequest(request, result);
    }
    return result;
}

std::intptr_t ScriptStateGroup_App::Notify(std::uint32_t message, std::intptr_t) {
    if (message != kNotifyGoBack) return 0;
    if (MessageWindow* window = GameMessageWindow) {
        // At once: the step back resumes the page with the window closed, not half-way closing.
        const ScopeExit restore([window, mode = window->GetOpenMode()] { window->SetOpenMode(mode); });
        window->SetOpenMode(TextScript::DxMessWindow::kOpenAtOnce);
        TextScript::HideWindowNow(*window);
    }
    StopAllSounds();
    ForgetChannelNames();
    return 1;
}

void ScriptStateGroup_App::Jumped(std::u16string_view label) const { PostGameEvent("jump", {label}); }

void ScriptStateGroup_App::StepFrame() { ::StepFrame(); }

std::uint32_t ScriptStateGroup_App::HeldInput() { return InputState.held; }

void ScriptStateGroup_App::AddSceneName(std::u16string_view name) {
    std::u16string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), TextScript::FoldAscii);
    scene_names_.push_back(std::move(upper));
}

bool ScriptStateGroup_App::ContainsAppName(std::u16string_view name) const {
    return std::any_of(scene_names_.begin(), scene_names_.end(),
                       [name](const std::u16string& entry) { return TextScript::EqualIgnoringCase(entry, name); });
}

void ScriptStateGroup_App::EnableMenuItem(int command, bool enabled) {
    if (menu_) menu_->Gray(command, !enabled);
}

StoryMenuOffer::StoryMenuOffer(ScriptStateGroup_App& group) : group_(group) {
    group_.EnableMenuItem(kMenuDebugWindow, true);
    if (!TextScript::ScenePlayMode) group_.EnableMenuItem(kMenuSave, true);
}

StoryMenuOffer::~StoryMenuOffer() {
    group_.EnableMenuItem(kMenuSave, false);
    group_.EnableMenuItem(kMenuDebugWindow, false);
}

void ScriptStateGroup_App::RequestDebugJump(std::u16string_view label) {
    CopyField16(debug_jump_label_, label);
    debug_jump_request_ = 1;
}
