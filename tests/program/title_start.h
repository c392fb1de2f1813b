// The sample game's title seen from another X client: the program tests that need the story click
// "new game" there first.
#pragma once

#include <chrono>

#include "x_client.h"

namespace progtest {

// Puts the pointer on "new game", the title menu's second button, until it lights (it does once
// the menu waits for a click; the pointer is put there again while the window may still be
// settling), then clicks it. False when the button did not light before the deadline.
bool StartNewGame(XClient& x, WindowId window, std::chrono::milliseconds deadline);

// Whether "new game" shows its hover image in the window lying at `window` (its whole box on the
// screen, menu bar included). It stays lit while the title asks whether to skip the prologue, and
// dims with the title's fade out.
bool NewGameLit(const XClient& x, const Box& window);

}  // namespace progtest
