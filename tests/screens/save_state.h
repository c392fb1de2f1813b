// What a save copies and a load restores, put back to a fresh start between the save tests: the
// scene state, the game data, the seen pictures, both variable tables and the page.
#pragma once

#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/picture_commands.h"
#include "app/scene_state.h"
#include "script/script_node.h"
#include "script/variables.h"

inline void ResetSaveState() {
    ResetSceneState();
    ResetGameData();
    SeenCgList.clear();
    TextScript::ClearVariableTable(TextScript::LiveVariables());
    TextScript::ClearVariableTable(TextScript::VariableSnapshot());
    TextScript::CurrentPage = 0;
    ResumePage = -1;
}
