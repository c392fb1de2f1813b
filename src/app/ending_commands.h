// The remaining story commands: the three endings (END, END1, END2), the white flash (FLS), the
// scene name that unlocks a scene for replay (SFS) and the command that hides the message window
// (TOF).
#pragma once

namespace TextScript {
class ScriptStateNode;
}
class ScriptStateNode_App;

// END, END1 and END2: the scene fades to black over everything, the window goes, three seconds
// pass, END and END2 show the ending slides (the cycle's services hold them; without them a trace
// says that none are shown), and the run ends with ScriptException 0 (back to the
// title). Never returns.
[[noreturn]] void ExecuteEnding(ScriptStateNode_App& node);

// FLS (argument 0 the count, a number or a variable): the screen flashes white that many times,
// 100 ms on and 100 ms off, and the picture is white afterwards, in the scene state too.
TextScript::ScriptStateNode* ExecuteFlash(ScriptStateNode_App& node);

// SFS (argument 0 the scene name): the name joins the group's scene names unless it is there in
// any letter case.
TextScript::ScriptStateNode* ExecuteSceneName(ScriptStateNode_App& node);

// TOF: the message window closes (by its hide animation) when it is open; no page wait follows
// until the next message.
TextScript::ScriptStateNode* ExecuteWindowOff(ScriptStateNode_App& node);
