#include "screens/manual_screen.h"

#include <array>

#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/screen_sprite.h"
#include "lib/text.h"
#include "screens/picture_buttons.h"

namespace {

enum Button : std::int32_t { kPrevious, kNext, kClose };
constexpr std::int32_t kPageCount = 4;

// Each button's image is 50 x 50 (the hover image 56 to the right of the normal one); its hit
// square is the 48 x 48 at its top left.
constexpr PictureButton ManualButton(std::int32_t sheet_top, std::int32_t x) {
    return {SheetImage(0, sheet_top, 50, 50), SheetImage(56, sheet_top, 50, 50), {x, 533}, {x, 533, x + 48, 533 + 48}};
}
constexpr std::array<PictureButton, 3> kButtons{ManualButton(56, 561), ManualButton(0, 635), ManualButton(112, 709)};

ComPtr<DxDraw::DxSurface> LoadPage(std::int32_t page) {
    return LoadCgImage(ScriptArchive.Get(), FormatString(u"title/rm_base%d", page + 1), false, false);
}

// Waits on the page shown: the page to show next, or -1 to close.
std::int32_t TurnPage(PictureButtons& buttons, std::int32_t page) {
    buttons.Reset();
    for (;;) {
        StepFrame();
        buttons.Update();
        if (InputState.pressed & kInputMouseRight) return -1;
        switch (buttons.Clicked()) {
            case kPrevious: return (page + kPageCount - 1) % kPageCount;
            case kNext: return (page + 1) % kPageCount;
            case kClose: return -1;
            default: break;
        }
    }
}

}  // namespace

void ManualScreen() {
    // The pictures are declared before the sprites that show them, so the sprites go first.
    ComPtr<DxDraw::DxSurface> parts = LoadCgImage(ScriptArchive.Get(), u"title/rm_parts", false, false);
    ComPtr<DxDraw::DxSurface> picture;
    const OwnedView<DxDraw::DxSprite> page_sprite = NewScreenSprite(nullptr, DxDraw::kColumnCopy);
    PictureButtons buttons(*parts.Get(), kButtons, DxDraw::BLEND_SOURCE_ALPHA);
    for (std::int32_t page = 0; page >= 0; page = TurnPage(buttons, page)) {
        // The next page is loaded before the sprite lets go of the one it shows.
        ComPtr<DxDraw::DxSurface> next = LoadPage(page);
        page_sprite->SetSurface(next.Get());
        page_sprite->SetSource(nullptr);
        picture = std::move(next);
    }
}
