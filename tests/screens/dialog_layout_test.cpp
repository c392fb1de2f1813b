// The game's dialogs as the window draws them (a hidden window on SDL's dummy video driver): every
// label fits its line in the dialog's face with room inside its button, and no control lies over
// another, crowds the one beside it or lies outside the dialog. The save dialog's thumbnail is
// grey from the first frame.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/player_names_dialog.h"
#include "app/settings.h"
#include "host/ui/host.h"
#include "host/ui/imgui_layer.h"
#include "host/video/sdl_window.h"
#include "lib/text.h"
#include "screens/debug_window.h"
#include "screens/save_load_dialog.h"
#include "screens/settings_dialogs.h"

// The layer finds its face through fontconfig, whose configuration stays until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// The dialog as it is laid out, before its class fills it from the save file or the globals.
template <class Base>
class AsLaidOut : public Base {
public:
    using Base::Base;
    void OnInit() override {}
};

// Controls side by side keep a few pixels between them, so that a radio button's or check box's
// label never runs into the next control's mark; controls one above the other may touch.
constexpr int kSideGap = 4;
bool Apart(const host::Rect& a, const host::Rect& b) {
    const bool same_rows = a.top < b.bottom && b.top < a.bottom;
    return !same_rows || std::max(a.left, b.left) - std::min(a.right, b.right) >= kSideGap;
}

TEST(DialogLayout, EveryLabelFitsItsLineAndNoControlCoversAnother) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::unique_ptr<host::Host> platform = host::OpenSdlHost(u"layout", true);
    auto& layer = static_cast<host::ImGuiLayer&>(platform->modal());
    SettingsBlockRecord block{};
    const std::vector<std::u16string> faces{u"ＭＳ 明朝"};

    std::vector<std::unique_ptr<host::Dialog>> dialogs;
    dialogs.push_back(std::make_unique<AsLaidOut<SaveLoadDialog>>(SaveLoadDialog::kSaveMode, -1));
    dialogs.push_back(std::make_unique<AsLaidOut<SaveLoadDialog>>(SaveLoadDialog::kLoadMode, -1));
    dialogs.push_back(std::make_unique<SystemSettingsDialog>(block, faces));
    dialogs.push_back(std::make_unique<SoundSettingsDialog>(block));
    dialogs.push_back(std::make_unique<AsLaidOut<PlayerNamesDialog>>());
    ScriptStateGroup_App group;
    dialogs.push_back(std::make_unique<AsLaidOut<DebugWindowDialog>>(group, layer));
    for (const auto& dialog : dialogs) {
        const std::string caption = Utf16ToUtf8(dialog->caption());
        SCOPED_TRACE(caption);
        std::vector<host::ImGuiLayer::LabelFit> fits;
        int frames = 0;
        std::uint32_t first_thumbnail = 0;
        layer.SetFrameHook([&] {
            if (layer.ModalDepth() == 0) return;  // the window drawn before the dialog's init
            if (++frames == 1 && layer.ModalButtonRects().count(SaveLoadDialog::kThumbnail)) {
                const SDL_Rect r = layer.ModalButtonRects().at(SaveLoadDialog::kThumbnail);
                const SDL_Rect middle{r.x + r.w / 2, r.y + r.h / 2, 1, 1};
                SDL_RenderReadPixels(static_cast<host::SdlWindow&>(platform->window()).renderer(), &middle,
                                     SDL_PIXELFORMAT_ARGB8888, &first_thumbnail, 4);
            }
            if (frames == 3) {
                fits = layer.LabelFits();
                dialog->End(-1);
            }
        });
        layer.RunDialog(*dialog);
        layer.SetFrameHook(nullptr);
        EXPECT_FALSE(fits.empty());
        for (const auto& fit : fits) {
            EXPECT_LE(fit.needed, fit.width) << Utf16ToUtf8(fit.text) << " does not fit its line";
            if (fit.button) {
                EXPECT_GE(fit.width - fit.text_width, 16) << Utf16ToUtf8(fit.text) << " fills its button";
            }
        }
        if (dialog->Find(SaveLoadDialog::kThumbnail)) {
            EXPECT_EQ(first_thumbnail & 0xFFFFFF, SaveLoadDialog::kEmptyThumbnail & 0xFFFFFF) << "grey at once";
        }

        const host::Rect whole{0, 0, dialog->width(), dialog->height()};
        auto& controls = dialog->controls();
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const host::Control& a = controls[i];
            if (!a.visible) continue;
            const std::string name = std::to_string(a.id) + " " + Utf16ToUtf8(a.text);
            EXPECT_TRUE(a.rect.left >= 0 && a.rect.top >= 0 && a.rect.right <= whole.right &&
                        a.rect.bottom <= whole.bottom)
                << name << " outside the dialog";
            for (std::size_t j = i + 1; j < controls.size(); ++j)
                if (controls[j].visible) {
                    EXPECT_TRUE(Apart(a.rect, controls[j].rect)) << name << " and " << controls[j].id;
                }
        }
    }
}

}  // namespace
