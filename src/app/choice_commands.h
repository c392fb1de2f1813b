// The story commands that stop the story until the player picks something: the choice menu (SEL)
// and the turn selection (SSL). Both cancel a running skip (or auto-advance) when the settings ask
// for it, and both perform a pending debug jump instead of their own when the debug option is on.
#pragma once

namespace TextScript {
class ScriptStateNode;
}
class ScriptStateNode_App;

// SEL (argument 0 the label, argument 1 the text): this node and the SEL nodes right after it
// form one menu of one to three lines over the scene; the line under the pointer is red, and a
// left click on a line chooses it. Returns the page node before the chosen line's label. A run of
// more than three SEL nodes, or a label that does not exist, raises a script error naming this
// node's line.
TextScript::ScriptStateNode* ExecuteSel(ScriptStateNode_App& node);

// SSL: the turn caption ("ターン" and TURN + 1) on "turnbg", then up to four picture buttons
// grouped by A010, B010, C010 and D010. Returns the node the jump tables give for the chosen
// button's number (1 to 6). The picture is black afterwards, and the scene state says so.
TextScript::ScriptStateNode* ExecuteSsl(ScriptStateNode_App& node);
