// The title screen that every game cycle not begun by a load shows first: the title music, the
// background and six buttons of the sheet "title/title" rising from black, the menu that runs the
// manual, the load dialog, the settings and the extras over the background, and the fade back to
// black before the game cycle acts on the choice.
#pragma once

#include <cstdint>
#include <functional>

#include "screens/picture_buttons.h"

struct GameCycleServices;
namespace DxDraw {
class DxSprite;
class DxSurface;
}  // namespace DxDraw
namespace host {
class ModalUi;
}

// The title's sub-screens that live beside it. Each runs with the background on screen and the
// six buttons hidden, and draws its own buttons from the title's sheet. A missing one leaves its
// button doing nothing but a trace.
struct TitleScreens {
    // The settings menu (system settings, sound settings, the hero's name).
    std::function<void(host::ModalUi& modal, DxDraw::DxSurface& sheet)> settings;
    // The extras menu (CG album, scene replay), which may hide the background while they run.
    std::function<void(DxDraw::DxSurface& sheet, DxDraw::DxSprite& background)> extras;
};

// The sheet's layout, shared with the screens that draw from it: button i's normal image at
// (0, kTitleButtonsTop + 48 i), its hover image kTitleHoverOffset lower, each 248 x 40.
inline constexpr std::int32_t kTitleButtonWidth = 248;
inline constexpr std::int32_t kTitleButtonHeight = 40;
inline constexpr std::int32_t kTitleButtonPitch = 48;
inline constexpr std::int32_t kTitleButtonsTop = 608;
inline constexpr std::int32_t kTitleHoverOffset = 288;

// The button in row `row` of the title menu's column (the rows kTitleButtonPitch apart from
// TitleMenuPos), cut from the sheet's column of buttons whose left edge is `sheet_left`: its
// normal image kTitleButtonPitch * row below kTitleButtonsTop, its hover image kTitleHoverOffset
// lower. The title and the menus that stand on it share the column's rows.
PictureButton TitleMenuButton(std::int32_t sheet_left, std::int32_t row);

// The title as the game cycle runs it: 0 quit, 1 new game (SkipPrologue set to 1 or 0), n >= 2
// load slot index n - 2, -1 show the title again. A back-to-title request (code 0) that arrives
// while the title runs, its fades included, gives -1; a load request (code 1) RequestedLoadSlot +
// 2; another request -1. Whichever way it ends, no sprite of the title is left and the title
// music (channel 0) is stopped. The load dialog runs on the services' modal layer (none: the
// load button only traces). Each time the menu begins to wait for a click it posts the game
// event "title".
std::int32_t RunTitle(const GameCycleServices& services, const TitleScreens& screens);
