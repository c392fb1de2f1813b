#include "screens/thumbnail_pages.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/screen_sprite.h"
#include "app/system_config.h"
#include "lib/error.h"
#include "lib/text.h"
#include "lib/xml.h"
#include "screens/picture_buttons.h"

namespace {

constexpr std::u16string_view kSource = u"screens/thumbnail_pages";
constexpr std::size_t kButtonNumbers = 8;

// A picture part of the given size at (x, y); a size beyond the record's 16 bits is cut, which
// only narrows what is drawn (a blit never reads outside its surface).
TEXANIM Part(std::int64_t x, std::int64_t y, std::int32_t width, std::int32_t height) {
    TEXANIM part;
    part.width = static_cast<std::uint16_t>(std::clamp(width, 0, 0xFFFF));
    part.height = static_cast<std::uint16_t>(std::clamp(height, 0, 0xFFFF));
    part.source = PlacedRect(x, y, width, height);
    return part;
}

ComPtr<DxDraw::DxSurface> LoadPagePicture(std::u16string_view element, std::size_t page, std::u16string_view name) {
    ComPtr<DxDraw::DxSurface> picture = LoadCgImage(ScriptArchive.Get(), name, true, false);
    if (!picture)
        ThrowError(kSource, __LINE__, 0, 0, u"config.xml: page %d of \"%s\" has no picture \"%s\".",
                   static_cast<int>(page + 1), element, name);
    return picture;
}

}  // namespace

// One page's objects. The pictures come first so that they are released after every sprite on them.
struct ThumbnailPages::Page {
    ComPtr<DxDraw::DxSurface> picture, sheet;
    OwnedView<DxDraw::DxSprite> backdrop;
    std::optional<PictureButtons> items;  // the three buttons, then the thumbnails
    std::vector<bool> seen;
};

ThumbnailPages::ThumbnailPages(const Pictures& pictures) : pictures_(pictures) {
    document_ = LoadConfigDocument(*ScriptArchive);
    const std::u16string_view name = pictures_.element;
    const std::u16string at = std::u16string(name) + u"@";
    const XmlNode& layout = ConfigElement(*document_, name, name);
    ScanConfigNumbers(ConfigAttribute(layout, u"width", at + u"width"), {&width_, 1});
    ScanConfigNumbers(ConfigAttribute(layout, u"height", at + u"height"), {&height_, 1});
    ScanConfigNumbers(ConfigAttribute(layout, u"thumbsize", at + u"thumbsize"), thumbSize_);
    static constexpr std::u16string_view kButtonNames[kButtonCount] = {u"exit", u"prev", u"next"};
    for (int b = 0; b < kButtonCount; ++b) {
        const std::u16string path = at + std::u16string(kButtonNames[b]);
        std::int32_t n[kButtonNumbers] = {};
        if (ScanConfigNumbers(ConfigAttribute(layout, kButtonNames[b], path), n) != kButtonNumbers)
            ThrowError(kSource, __LINE__, 0, 0, u"config.xml: \"%s\" does not hold eight numbers.", path);
        const RECT hit = PlacedRect(n[0], n[1], n[2], n[3]);
        buttons_[b] = {Part(n[4], n[5], n[2], n[3]), Part(n[6], n[7], n[2], n[3]), POINT{hit.left, hit.top}, hit};
    }

    const std::u16string cg_path = std::u16string(name) + u"/page/cg";
    static_cast<void>(ConfigElement(layout, u"page", std::u16string(name) + u"/page"));  // at least one
    for (const XmlNode* page : layout.FindChildren(u"page")) {
        firstRows_.push_back(lockedRow_);
        lockedRow_ += page->children.size();
        std::vector<Thumbnail>& thumbnails = pages_.emplace_back();
        for (const XmlNode* cg : page->FindChildren(u"cg")) {
            std::int32_t at_xy[2] = {};
            ScanConfigNumbers(ConfigAttribute(*cg, u"pos", cg_path + u"@pos"), at_xy);
            thumbnails.push_back({cg, POINT{at_xy[0], at_xy[1]}, ConfigAttribute(*cg, u"flag", cg_path + u"@flag")});
        }
    }
}

ThumbnailPages::~ThumbnailPages() = default;

void ThumbnailPages::BuildPage(std::size_t index) {
    page_.reset();  // the sprites of the page before go first, then its pictures
    PageBuilding();
    current_ = index;
    const std::vector<Thumbnail>& thumbnails = pages_[index];
    const std::int64_t pitch = thumbSize_[1];
    auto page = std::make_unique<Page>();

    page->picture =
        LoadPagePicture(pictures_.element, index, FormatString(pictures_.page_picture, static_cast<int>(index + 1)));
    page->sheet = LoadPagePicture(pictures_.element, index, pictures_.thumbnail_sheet);
    // The whole picture, taller than the screen: what lies below the screen holds the buttons' images.
    page->backdrop = NewScreenSprite(page->picture.Get());

    // The pointer finds the buttons before the thumbnails, but they draw over them.
    std::vector<PictureButton> items(std::begin(buttons_), std::end(buttons_));
    std::vector<OwnedView<DxDraw::DxSprite>> sprites(kButtonCount);
    const TEXANIM locked = Part(0, static_cast<std::int64_t>(lockedRow_) * pitch, width_, height_);
    for (std::size_t i = 0; i < thumbnails.size(); ++i) {
        const std::int64_t row = static_cast<std::int64_t>(firstRows_[index] + i);
        const POINT at = thumbnails[i].at;
        page->seen.push_back(IsSeen(thumbnails[i].flag));
        // A locked thumbnail keeps its locked image under the pointer.
        const TEXANIM normal = page->seen[i] ? Part(0, row * pitch, width_, height_) : locked;
        const TEXANIM hover = page->seen[i] ? Part(thumbSize_[0], row * pitch, width_, height_) : locked;
        items.push_back({normal, hover, at, PlacedRect(at.x, at.y, width_, height_)});
        sprites.push_back(NewScreenSprite(page->sheet.Get(), 0, nullptr, at));
    }
    for (int b = 0; b < kButtonCount; ++b)
        sprites[b] = NewScreenSprite(page->picture.Get(), 0, nullptr, buttons_[b].at);
    page->items.emplace(std::move(items), std::move(sprites));
    if (index == 0) (*page->items)[kPrevButton].Hide();
    if (index + 1 == pages_.size()) (*page->items)[kNextButton].Hide();
    page_ = std::move(page);
}

void ThumbnailPages::HidePage() {
    if (!page_) return;
    page_->items->Hide();
    page_->backdrop->Hide();
}

void ThumbnailPages::Run() {
    BuildPage(0);
    for (;;) {
        StepFrame();
        page_->items->Update();
        if (InputState.pressed & kInputMouseRight) return;
        const int s = page_->items->Clicked();
        if (s == kExitButton) return;
        if (s == kPrevButton && current_ > 0) {
            BuildPage(current_ - 1);
        } else if (s == kNextButton && current_ + 1 < pages_.size()) {
            BuildPage(current_ + 1);
        } else if (s >= kButtonCount && page_->seen[static_cast<std::size_t>(s - kButtonCount)]) {
            const Thumbnail& chosen = pages_[current_][static_cast<std::size_t>(s - kButtonCount)];
            if (Open(*chosen.cg, chosen.flag)) BuildPage(current_);
        }
    }
}
