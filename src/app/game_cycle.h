// One game cycle: compile "iv.txt" and the start script into the game's script group, show the
// title, start a new game or load a slot, run the story and take everything down again. The
// start-up calls RunSession with the previous cycle's result until it is 0.
//
// Cycle results: 0 end the program, 1 show the title, n >= 2 load slot n - 2 (zero-based)
// without the title.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "app/menu_commands.h"

class BacklogHistory;
class ScriptStateGroup_App;
namespace host {
class MenuModel;
class ModalUi;
}  // namespace host

// The screens and save data the cycle calls, which live in a layer above the runtime and are
// installed by the program's start-up. DefaultGameCycleServices gives what the runtime can do
// without them.
struct GameCycleServices {
    // The title screen: -1 back to the title (cycle result 1), 0 end the program, 1 new game,
    // n >= 2 load as by cycle mode n; another negative value keeps the mode. It is handed these
    // services (the window's modal layer for the load dialog).
    std::function<std::int32_t(const GameCycleServices&)> run_title;
    // Restores the game from save slot `number` (1-based): scene state, variables, ResumePage.
    std::function<void(std::int32_t number)> load_slot;
    // Reads and writes the records kept across cycles (read pages, scene names, seen pictures).
    std::function<void(ScriptStateGroup_App&)> load_global;
    std::function<void(ScriptStateGroup_App&)> save_global;
    // The page wait's save button: a quick save into the ring of quick saves; 1 when it was
    // stored, 0 when not (the player is told that the save failed).
    std::function<std::int32_t()> auto_save;
    // The page wait's load button: the slot index (number - 1) of the newest quick save, -1 for none
    // (or when it cannot be loaded: the player has been told why).
    std::function<std::int32_t()> find_latest_auto_save;
    // True once the session plays on without its save file (the player chose so at the start): the
    // page wait's save and load buttons and the title's load say why instead. Missing: never.
    std::function<bool()> saves_off;
    bool SavesOff() const { return saves_off && saves_off(); }
    // The save/load dialog (mode 0 save, 1 load) as the menu opens it, a file that fails met with
    // the player's choices: the slot index saved or to be loaded, or -1. Missing: the title's load
    // opens the dialog without them.
    std::function<std::int32_t(host::ModalUi& modal, int mode)> save_load_dialog;
    // The page wait's backlog button: the backlog screen over the page; missing, a trace says so.
    std::function<void(const BacklogHistory&)> backlog;
    // The ending slides of END and END2; missing, a trace says that none are shown.
    std::function<void()> ending_slides;
    // The window's menu, whose back-to-title and load items a cycle enables; may be null.
    host::MenuModel* menu = nullptr;
    // The window's modal layer, on which the screens run their dialogs; may be null.
    host::ModalUi* modal = nullptr;
};

// The title stand-in shows nothing: it tells the game events that the title was reached and
// answers "new game". The save services write a trace that their records are not kept; the
// backlog and the ending slides are left out (their callers trace that they are missing).
GameCycleServices DefaultGameCycleServices();

// The group of the running cycle, null outside one.
extern ScriptStateGroup_App* CurrentScript;
// The page the story starts at; -1 from the head.
extern std::int32_t ResumePage;
// Set by the title when the player skips the prologue: the story starts at label PRSK.
extern std::uint32_t SkipPrologue;

// One game cycle (see above). A compile error of either script raises the error exception with the
// script's name and line. A back-to-title or load request that passes the title, the load or the
// story becomes result 1 or RequestedLoadSlot + 2; the quiet quit becomes 0; a load that fails is
// shown in a box and the cycle ends with result 1 (the title); any other error exception travels on. The global records
// are saved on every way out once the cycle has begun.
std::int32_t RunSession(std::u16string_view script_name, std::int32_t mode,
                        const GameCycleServices& services = DefaultGameCycleServices());

// Puts the records above back to their start values (the runtime's start-up and teardown).
void ResetGameCycle();
