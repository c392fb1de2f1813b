// The in-game yes/no prompt and the short notice: a half-transparent panel from the system image
// with a line of text over it, shown above everything for the time of their own frames.
//
// Both draw with the font face of the settings block and draw anew when the settings changed
// the font during their frames (the rebuild bit of ChangeMask is taken while they run and given
// back when they end, so the views behind them still rebuild). A ScriptException from a frame
// step passes through; their views are gone from the tree before it does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Shows the question with the labels "はい" and "いいえ" and waits for a left click on one of
// them; the label under the pointer is drawn red. Keys and clicks elsewhere do nothing. True for
// "はい".
bool ConfirmYesNo(std::u16string_view question);

// Shows the text, waits until no key or button is held any more, then for the milliseconds (a
// decide key or click ends that wait early). The game event "notice" carries the text.
void ShowNotice(std::u16string_view text, std::uint32_t milliseconds);
// The notice after a save, for two seconds: whether the save was stored.
void ShowSaveNotice(bool stored);
// The notice, for two seconds, of a save or load refused because the session plays on without its
// save file.
void ShowSavesOffNotice();
// The box of a load that failed, with the reason; the player stays where they were.
void ShowLoadFailure(std::u16string_view reason);
// The reason a slot does not load when the story has no page it resumes at (a save made before
// the game's scripts changed).
std::u16string UnresumableSlotReason(std::int32_t number);
