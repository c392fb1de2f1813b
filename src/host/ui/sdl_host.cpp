#include "host/ui/host.h"
#include "host/ui/imgui_layer.h"
#include "host/ui/report_sink.h"
#include "lib/text.h"

namespace host {
namespace {

class SdlHost final : public Host {
public:
    SdlHost(std::u16string_view title, bool hidden) : window_(Utf16ToUtf8(title), hidden), layer_(window_, menu_) {}
    Window& window() override { return window_; }
    ModalUi& modal() override { return layer_; }
    MenuModel& menu() override { return menu_; }

private:
    MenuModel menu_;
    SdlWindow window_;
    ImGuiLayer layer_;
    // While the window exists, the program's message boxes appear in it.
    ModalReportSink sink_{layer_};
    ScopedReportSink sink_scope_{&sink_};
};

}  // namespace

std::unique_ptr<Host> OpenSdlHost(std::u16string_view title, bool hidden) {
    return std::make_unique<SdlHost>(title, hidden);
}

}  // namespace host
