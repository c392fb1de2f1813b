#include "app/game_cycle.h"

#include <string>

#include "app/app_script.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/picture_commands.h"
#include "app/prompts.h"
#include "app/scene_state.h"
#include "app/script_helpers.h"
#include "host/ui/menu.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/scope_guard.h"
#include "script/variables.h"

ScriptStateGroup_App* CurrentScript = nullptr;
std::int32_t ResumePage = -1;
std::uint32_t SkipPrologue = 0;

namespace {

constexpr std::u16string_view kJumpTableName = u"iv.txt";
constexpr std::u16string_view kPrologueEndLabel = u"PRSK";
// A story that sets REPR marks the last page number as read, which the extras read as "finished".
constexpr std::u16string_view kFinishedVariable = u"REPR";

void Enable(const GameCycleServices& services, int command) {
    if (services.menu) services.menu->Gray(command, false);
}

void CompileScripts(ScriptStateGroup_App& group, std::u16string_view script_name) {
    const std::string table = LoadScriptFile(kJumpTableName);
    // A script's nodes take many times its text: memory may run out here as well as in the load.
    CatchOutOfMemory(u"app/game_cycle", __LINE__, kJumpTableName,
                     [&] { TextScript::ParseJumpTable(group, table, kJumpTableName); });
    const std::string source = LoadScriptFile(script_name);
    CatchOutOfMemory(u"app/game_cycle", __LINE__, script_name, [&] { group.Compile(source, script_name); });
}

// Where a new game starts: the head, or the page before label PRSK when the title asked to skip
// the prologue. A script without that label starts at its head.
std::int32_t NewGamePage(const ScriptStateGroup_App& group) {
    if (!SkipPrologue) return -1;
    SkipPrologue = 0;
    const TextScript::ScriptStateNode* page = nullptr;
    try {
        page = TextScript::FindLabelNode(group, kPrologueEndLabel);
    } catch (const TextScript::ScriptError2& error) {
        TextScript::RaiseRuntimeReport(group.file_name(), error.line, error.text);
    }
    if (!page) {
        DebugPrintf(u"%s: no label %s, the story starts at its head\n", group.file_name(), kPrologueEndLabel);
        return -1;
    }
    return static_cast<std::int32_t>(page->number);
}

// The load of the slot the title or a load request chose. One that fails (a damaged slot, a file
// another program holds) is shown and the player goes back to the title, where a load from the
// title started; the game ends only for the quiet quit.
bool LoadChosenSlot(const GameCycleServices& services, std::int32_t number) {
    try {
        services.load_slot(number);
        return true;
    } catch (const ExceptionHandle& error) {
        if (error.type == 1) throw;
        ShowLoadFailure(std::u16string_view(error.message));
        return false;
    }
}

// The title, the new game or the load, and the story.
std::int32_t PlayCycle(ScriptStateGroup_App& group, std::int32_t mode, const GameCycleServices& services) {
    if (mode < 2) {
        const std::int32_t choice = services.run_title(services);
        if (choice == -1) return 1;
        if (choice == 0) return 0;
        if (choice == 1) mode = 0;
        if (choice >= 2) mode = choice;
    }
    ClearSceneStateModes();
    Enable(services, kMenuBackToTitle);
    Enable(services, kMenuLoad);
    if (mode >= 2) {
        if (!LoadChosenSlot(services, mode - 1)) return 1;
        // A load is refused as a whole when the story has no page to resume at, like any other
        // that fails; the run would only end the program with its runtime error. (-1, the head,
        // is where any story starts.)
        if (ResumePage != -1 && !group.CanResumeAt(ResumePage)) {
            ShowLoadFailure(UnresumableSlotReason(mode - 1));
            return 1;
        }
    } else {
        ResumePage = NewGamePage(group);
    }
    TextScript::ScenePlayMode = 0;
    const std::int32_t result = group.Run(ResumePage);
    if (TextScript::EvaluateOperand(kFinishedVariable, 0) != 0) SetSeenFlag(kSeenPageCount - 1);
    return result;
}

// The save on an error's way out: the error already travelling is the one the player sees, so a
// failing save is only traced.
void SaveAfterError(const GameCycleServices& services, ScriptStateGroup_App& group) noexcept {
    try {
        services.save_global(group);
    } catch (const ExceptionHandle& error) {
        DebugPrintf(u"%s(%d): %s\n", std::u16string_view(error.file), error.line, std::u16string_view(error.message));
    }
}

}  // namespace

GameCycleServices DefaultGameCycleServices() {
    return {
        .run_title =
            [](const GameCycleServices&) {
                PostGameEvent("title");
                return std::int32_t{1};
            },
        .load_slot = [](std::int32_t number) { DebugPrintf(u"LoadSlot(%d): save slots are not kept yet\n", number); },
        .load_global = [](ScriptStateGroup_App&) { DebugPrintf(u"LoadGlobalData: global records are not kept yet\n"); },
        .save_global = [](ScriptStateGroup_App&) { DebugPrintf(u"SaveGlobalData: global records are not kept yet\n"); },
        .auto_save =
            [] {
                DebugPrintf(u"AutoSave: quick saves are not kept yet\n");
                return std::int32_t{0};
            },
        .find_latest_auto_save =
            [] {
                DebugPrintf(u"FindLatestAutoSave: quick saves are not kept yet\n");
                return std::int32_t{-1};
            },
        .saves_off = {},         // never off
        .save_load_dialog = {},  // the title opens the dialog itself
        .backlog = {},           // the page wait traces that there is none
        .ending_slides = {},
    };
}

std::int32_t RunSession(std::u16string_view script_name, std::int32_t mode, const GameCycleServices& services) {
    ScriptStateGroup_App group;
    CurrentScript = &group;
    group.SetMenu(services.menu);
    group.SetServices(&services);
    const ScopeExit forget_group([] { CurrentScript = nullptr; });
    CompileScripts(group, script_name);

    group.ClearSceneNames();
    TextScript::ClearVariableTable(TextScript::LiveVariables());
    ClearSceneStateModes();
    SeenCgList.clear();
    services.load_global(group);
    Enable(services, kMenuBackToTitle);
    SkipPrologue = 0;

    // From here the global records are saved however the cycle ends (before the scene names go,
    // which they include).
    const ScopeExit end_cycle([&group] {
        group.ClearSceneNames();
        ClearSceneStateModes();
        SeenCgList.clear();
    });
    const ScopeFail save_on_error([&services, &group] { SaveAfterError(services, group); });
    std::int32_t result = 0;
    try {
        result = PlayCycle(group, mode, services);
    } catch (const ScriptException& request) {
        // A request that passes the title, the load or the story's first steps.
        result = CycleResultOfRequest(request, 1);
    } catch (const ExceptionHandle& error) {
        if (error.type != 1) throw;  // the quiet quit ends the program like the story's end
        result = 0;
    }
    services.save_global(group);
    return result;
}

void ResetGameCycle() {
    CurrentScript = nullptr;
    ResumePage = -1;
    SkipPrologue = 0;
    TextScript::ScenePlayMode = 0;
    ResetSceneState();
}
