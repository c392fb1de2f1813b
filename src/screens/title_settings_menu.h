// The title screen's settings menu: four picture buttons from the title sheet that open the
// system settings, the sound settings and the hero-name dialog, and lead back to the title.
#pragma once

namespace host {
class ModalUi;
}
namespace DxDraw {
class DxSurface;
}

// Shows the four buttons under TitleMenuPos on the screen view, the one under the pointer in its
// hover picture, until "back" is clicked or the right button pressed; a left click on one of the
// others opens its dialog on `modal` and comes back. The buttons are gone from the screen
// however the menu ends, a ScriptException from a frame step included (it goes on to the caller).
void TitleSettingsMenu(host::ModalUi& modal, DxDraw::DxSurface& sheet);
