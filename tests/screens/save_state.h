// What a save copies and a load restores, put back to a fresh start between the save tests: the
// scene state, the game data, the seen pictures, both variable tables and the page.
#pragma once

#include <string>

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

// A story of `pages` pages, numbered 1 to `pages`, compiled into the group: a load checks that the
// running story has the page a slot resumes at.
inline void CompilePages(TextScript::ScriptStateGroup& group, int pages) {
    std::string source;
    for (int i = 0; i < pages; ++i) source += ".PST A = 1\n\n";
    group.Compile(source, u"pages.txt");
}
