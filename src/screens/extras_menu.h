// The extras menu, the title's fifth choice: three buttons of the title sheet in the title menu's
// column, where the title's first, second and last buttons stand, leading to the CG album and the
// scene replay, and back to the title.
#pragma once

namespace DxDraw {
class DxSurface;
class DxSprite;
}  // namespace DxDraw

// `sheet` is the title's picture sheet and `background` the title's background sprite, which
// stays behind the menu and is hidden while the album or the replay runs. Returns when the player
// chooses back or presses the right mouse button anywhere. After the album the title music plays
// again. A request from the window menu, here or inside the album or the replay, takes the
// buttons down, shows the background again and travels on as a ScriptException.
void RunExtras(DxDraw::DxSurface& sheet, DxDraw::DxSprite& background);
