// The sample game's title and the menus that stand on it, seen from another X client: the program
// tests that need the story, or a screen of the title, click its picture button there first.
#pragma once

#include <chrono>

#include "x_client.h"

namespace progtest {

// The rows of the title's column of 248 x 40 buttons, 48 pixels apart from the sample game's title
// menu position (520, 300): the title's six (manual, new game, load, settings, extras, quit); the
// extras menu puts the album in row 0 and the replay in row 1.
inline constexpr int kNewGameRow = 1, kExtrasRow = 4, kAlbumRow = 0;

// Puts the pointer on the button of `row` until it lights (it does once its menu waits for a
// click; the pointer is put there again while the window may still be settling), then clicks it,
// the button down for `hold` (0: a tap, down and up back to back). False when the button did not
// light before the deadline.
bool ClickMenuButton(XClient& x, WindowId window, int row, std::chrono::milliseconds deadline,
                     std::chrono::milliseconds hold = std::chrono::milliseconds(100));

// Whether the button of `row` shows its hover image. "new game" stays lit while the title asks
// whether to skip the prologue, and dims with the title's fade out.
bool MenuButtonLit(const XClient& x, WindowId window, int row);

// "new game" on the title.
inline bool StartNewGame(XClient& x, WindowId window, std::chrono::milliseconds deadline) {
    return ClickMenuButton(x, window, kNewGameRow, deadline);
}

}  // namespace progtest
