#include "screens/cg_album.h"

#include "app/frame_step.h"
#include "app/picture_commands.h"
#include "app/screen_sprite.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "host/video/window.h"
#include "lib/error.h"
#include "lib/xml.h"
#include "screens/thumbnail_pages.h"

namespace {

// Room for the pieces of a thumbnail's list, which names a handful of pictures.
constexpr std::size_t kUsualPieces = 20;

class CgAlbum final : public ThumbnailPages {
public:
    CgAlbum() : ThumbnailPages({u"cgalbum", u"title/cg_p%d", u"title/cg_thumb1"}) {}

private:
    bool IsSeen(std::u16string_view flag) override { return IsCgSeen(flag); }

    // The pictures of the thumbnail's list in turn, from the first again after the last, until
    // the player leaves the full view.
    bool Open(const XmlNode& cg, std::u16string_view) override {
        HidePage();
        std::vector<std::u16string> names;
        SplitCommaList(names, cg.GetText());
        for (std::size_t i = 0; LoadCgModeImage(names[i]) != 0; i = (i + 1) % names.size()) {}
        return true;
    }
};

}  // namespace

void RunCgAlbum() {
    CgAlbum album;
    PlayStreamSound(kMusicChannel, SystemConfig.CgModeBgmName, false);
    album.Run();
}

std::int32_t LoadCgModeImage(std::u16string_view name) {
    ComPtr<DxDraw::DxSurface> picture = DxDraw::CreateSurface(32);
    if (!picture || !picture->SetSize(host::kGameWidth, host::kGameHeight))
        ThrowError(u"screens/cg_album", __LINE__, 0, 0, u"Out of memory while composing %s.", name);
    DrawGrpLayers(*picture, name, u"CG-MODE");
    const OwnedView<DxDraw::DxSprite> sprite = NewScreenSprite(picture.Get());
    StepFrame();
    for (;;) {
        if (InputState.pressed & kInputMouseLeft) return 1;
        if (InputState.pressed & kInputMouseRight) return 0;
        StepFrame();
    }
}

void SplitCommaList(std::vector<std::u16string>& out, std::u16string_view text) {
    out.clear();
    out.reserve(kUsualPieces);
    for (std::size_t begin = 0;;) {
        const std::size_t comma = text.find(u',', begin);
        out.emplace_back(
            text.substr(begin, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - begin));
        if (comma == std::u16string_view::npos) return;
        begin = comma + 1;
    }
}
