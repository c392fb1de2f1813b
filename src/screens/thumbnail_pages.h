// The page screen that the CG album and the scene replay share: pages of thumbnails laid out by one
// element of "config.xml", a back button and two page buttons drawn from each page's picture,
// hover images under the pointer, and a locked image on every thumbnail the player has not
// reached. What counts as reached, what a chosen thumbnail opens and what plays are each screen's
// own.
//
// The layout element carries "width" and "height" (every thumbnail's size; 140 and 105 when they
// do not parse), "thumbsize" (the x of the hover images in the thumbnail sheet and the sheet's row
// pitch) and "exit", "prev" and "next" (eight numbers each: screen x, y, width, height, then the
// normal and the hover image's x and y in the page picture). Its "page" children hold one "cg" per
// thumbnail, placed at "pos" and named by "flag". The thumbnails take the sheet's rows in document
// order over all pages (a page holding anything but "cg" elements takes a row for each child); the
// row after the last holds the locked image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dxdraw/rect.h"
#include "screens/picture_buttons.h"

struct XmlNode;

class ThumbnailPages {
public:
    struct Pictures {
        std::u16string_view element;          // the layout element of config.xml
        std::u16string_view page_picture;     // with "%d" for the page number, counted from 1
        std::u16string_view thumbnail_sheet;  // the picture of every thumbnail, row by row
    };
    enum : int { kExitButton = 0, kPrevButton = 1, kNextButton = 2, kButtonCount = 3 };

    // Reads the layout from the script archive's config.xml. A missing document, element (the
    // layout element, a page), attribute, or a button that does not hold eight numbers raises the
    // error exception naming config.xml and what is missing.
    explicit ThumbnailPages(const Pictures& pictures);
    virtual ~ThumbnailPages();
    ThumbnailPages(const ThumbnailPages&) = delete;
    ThumbnailPages& operator=(const ThumbnailPages&) = delete;

    // Shows the first page and lets the player choose until the back button or the right mouse
    // button leaves. The left button pages back and forth within the pages and opens seen
    // thumbnails; everything else is ignored. A page picture or thumbnail sheet that is missing
    // raises the error exception naming config.xml's page and the picture. The page's sprites and
    // pictures belong to the screen: however it is left (a menu request's ScriptException
    // included), they go with it.
    void Run();

protected:
    // Whether the player has reached what a thumbnail's "flag" names; asked at every page build.
    virtual bool IsSeen(std::u16string_view flag) = 0;
    // Called first in every page build.
    virtual void PageBuilding() {}
    // The player chose the seen thumbnail `cg` (its "flag" given); true when the page is to be
    // built again afterwards.
    virtual bool Open(const XmlNode& cg, std::u16string_view flag) = 0;
    // Hides the buttons, the thumbnails and the page picture until the next page build.
    void HidePage();

private:
    struct Thumbnail {
        const XmlNode* cg;
        POINT at;
        std::u16string_view flag;
    };
    struct Page;

    void BuildPage(std::size_t index);

    Pictures pictures_;
    std::unique_ptr<XmlNode> document_;
    std::vector<std::vector<Thumbnail>> pages_;
    std::vector<std::size_t> firstRows_;  // the sheet row of each page's first thumbnail
    std::size_t lockedRow_ = 0;
    std::int32_t width_ = 140, height_ = 105;
    std::int32_t thumbSize_[2] = {0, 0};  // hover image x, row pitch
    PictureButton buttons_[kButtonCount];
    std::size_t current_ = 0;
    std::unique_ptr<Page> page_;
};
