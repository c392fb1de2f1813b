#include "screens/scene_play.h"

#include <string>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/menu_commands.h"
#include "app/scene_state.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "host/ui/menu.h"
#include "lib/report.h"
#include "lib/scope_guard.h"
#include "screens/thumbnail_pages.h"
#include "script/script_error.h"

namespace {

constexpr std::u16string_view kReplayMenuLabel = u"再生メニューに戻る(&X)";

host::MenuModel* WindowMenu(const ScriptStateGroup_App& group) {
    return group.services() ? group.services()->menu : nullptr;
}

// The page before the scene's label, or null with the player told why there is none.
const TextScript::ScriptStateNode* SceneStart(const ScriptStateGroup_App& group, std::u16string_view scene) {
    try {
        if (const TextScript::ScriptStateNode* page = TextScript::FindLabelNode(group, scene)) return page;
        MessageBoxPrintf(u"エラー", u"ラベルが見つかりません。[%s]", scene);
    } catch (const TextScript::ScriptError2& error) {
        MessageBoxPrintf(u"エラー", u"%s", std::u16string_view(error.text));
    }
    return nullptr;
}

// Plays the story again from the page before the scene's label with the scene-play mode on and
// the back-to-title item relabelled; both are put back however the run ends. The run's result.
std::int32_t Replay(ScriptStateGroup_App& group, const TextScript::ScriptStateNode& start) {
    host::MenuModel* menu = WindowMenu(group);
    group.EnableMenuItem(kMenuBackToTitle, true);
    group.EnableMenuItem(kMenuLoad, true);
    const host::MenuItem* item = menu ? menu->Find(kMenuBackToTitle) : nullptr;
    const std::u16string label = item ? item->label : std::u16string();
    const ScopeExit restore([menu = item ? menu : nullptr, &label] {
        TextScript::ScenePlayMode = 0;
        if (menu) menu->Relabel(kMenuBackToTitle, label);
    });
    if (item) menu->Relabel(kMenuBackToTitle, std::u16string(kReplayMenuLabel));
    TextScript::ScenePlayMode = 1;
    // The scene starts on black, with nothing of the game played before shown or heard again.
    ClearSceneStateModes();
    return group.Run(static_cast<std::int32_t>(start.number));
}

class ScenePlay final : public ThumbnailPages {
public:
    ScenePlay() : ThumbnailPages({u"sceneplay", u"title/s_p%d", u"title/s_thumb1"}) {}

private:
    bool IsSeen(std::u16string_view flag) override { return CurrentScript && CurrentScript->ContainsAppName(flag); }

    void PageBuilding() override { PlayStreamSound(kMusicChannel, SystemConfig.TitleBgmName, false); }

    bool Open(const XmlNode&, std::u16string_view scene) override {
        const TextScript::ScriptStateNode* start = SceneStart(*CurrentScript, scene);
        if (!start) return false;
        HidePage();
        // A load chosen during the replay ends the extras and the title with that slot.
        if (Replay(*CurrentScript, *start) >= 2) throw ScriptException{ScriptException::kLoadSlot};
        return true;
    }
};

}  // namespace

void RunScenePlay() { ScenePlay().Run(); }
