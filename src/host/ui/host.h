// Everything the engine asks of the platform in one place: the window, the modal layer and the
// menu model. The real host opens an SDL window with the ImGui layer; the test host
// (host/testhost) scripts all three.
#pragma once

#include <memory>
#include <string>

#include "host/ui/dialog.h"
#include "host/ui/menu.h"
#include "host/video/window.h"

namespace host {

class Host {
public:
    virtual ~Host() = default;
    virtual Window& window() = 0;
    virtual ModalUi& modal() = 0;
    virtual MenuModel& menu() = 0;
};

// Opens the game window with its menu bar and modal layer, and routes the program's message
// boxes to it for as long as it lives. The menu model may be filled in afterwards. Throws
// std::runtime_error when no window can be opened.
std::unique_ptr<Host> OpenSdlHost(std::u16string_view title, bool hidden = false);

}  // namespace host
