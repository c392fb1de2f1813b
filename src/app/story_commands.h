// The story commands the interpreter runs itself: the message, the page end with its wait for
// the reader (skip and auto modes, the window's buttons), and the scene end of a replay.
//
// Each takes the node and returns the node to run next (null ends the run). Every wait passes a
// ScriptException on after taking down what it made (the page cursor, the voice).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_script.h"

// A message's code while the VOI beside it runs: not a message, so that the VOI plays.
inline constexpr std::uint8_t kPairedMessageCode = 255;

// The message: opens the window when hidden, plays the voice paired with it, appends it to the
// backlog and shows it (at once while skipping, else revealed at the text speed). A rebuild of
// the views during the reveal draws the message again from its start.
TextScript::ScriptStateNode* RunMessage(ScriptStateNode_App& node);

// The page end (and SED, which acts only during a scene replay and then ends the run): marks the
// page read, waits for the reader after a message unless skipping or auto-advancing, and makes
// the debug window's jump.
TextScript::ScriptStateNode* RunPageEnd(ScriptStateNode_App& node);

// The debug window's jump, when the debug option is on and a jump was asked for: the picture goes
// black and the page before the label is returned. Null when none is pending, or when the label is
// missing (reported in a box and a trace; the story goes on).
TextScript::ScriptStateNode* TakeDebugJump(ScriptStateNode_App& node);

// The text as the window shows it: "#1" and "#2" become the hero names, cut as the window's
// expansion cuts it (never more than it can show, never half a surrogate pair).
std::u16string ExpandMessageText(std::u16string_view text);
