// Recipes of the sample game's pictures.
//
// The story is set in a small harbour town at the end of summer, so the palette runs from the
// blues of sea and sky to the warm oranges of dusk and lamplight; the screens use the night
// navy with cream text and a coral accent.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "canvas.h"
#include "typeface.h"

namespace mkdemo {

namespace palette {
inline const Color kNight = Rgb(0x1B2440);
inline const Color kDeepSea = Rgb(0x23506B);
inline const Color kSea = Rgb(0x3B7EA1);
inline const Color kSky = Rgb(0x8EC9E8);
inline const Color kHaze = Rgb(0xDCEFF4);
inline const Color kSand = Rgb(0xE8D3A8);
inline const Color kDusk = Rgb(0xF2A65A);
inline const Color kCoral = Rgb(0xE98A7E);
inline const Color kCream = Rgb(0xFDF6E3);
inline const Color kInk = Rgb(0x2A2633);
}  // namespace palette

// Both typefaces, opened once for the whole run.
struct Fonts {
    Typeface gothic{Typeface::Family::Gothic};
    Typeface mincho{Typeface::Family::Mincho};
};

// Backgrounds: scene 1 town by day, 2 lighthouse cape at dusk, 3 library, 4 night beach.
Canvas SceneBackground(int scene);
// Overlay layers of a background (with alpha): scene and the digit position (1-based) it serves.
Canvas SceneOverlay(int scene, int position);
// Event pictures: base picture of event n, and its overlay layer at a digit position.
Canvas EventBase(int event);
Canvas EventOverlay(int event, int position);

// Character sprites, 400 x 600 with alpha. Characters 'A', 'B', 'C'; poses 1, 2; faces 1 to 4.
constexpr int kFigureWidth = 400;
Canvas CharacterBody(char who, int pose);
Canvas CharacterFace(char who, int face);
// The backlog's face icons, 48 x 48 each, left to right in face-number order.
Canvas BacklogFaces(const std::string& order);

// Screens.
Canvas SystemSheet(Fonts& fonts);
Canvas TitleSheet(Fonts& fonts);
Canvas BrandSplash(Fonts& fonts);
Canvas EndingSlide(Fonts& fonts, int n);
Canvas ManualPage(Fonts& fonts, int page);
Canvas ManualButtons(Fonts& fonts);
Canvas TurnBackground(Fonts& fonts);
Canvas SelectBackground(Fonts& fonts);
// A turn-selection button: places "A".."D", "AB", "CD"; hover is the pointed-at picture.
Canvas SelectButton(Fonts& fonts, const std::string& place, bool hover);

// Album and replay pages share a look: a caption, the three buttons of their page.
struct PageButtons {
    int x, y, w, h;      // screen rectangle
    int nx, ny, hx, hy;  // normal and hover image positions in the page picture
};
struct AlbumLayout {
    int thumbW = 140, thumbH = 105, thumbPitchX = 144, thumbPitchY = 109;
    PageButtons exit{}, prev{}, next{};
};
AlbumLayout AlbumButtons();
// A page picture; it is 800 wide and taller than the screen: the hover images lie below row 600.
// A frame stands around each thumbnail place given (top left corners on the screen), and nowhere else.
Canvas AlbumPage(Fonts& fonts, const std::string& caption, int page, int pages,
                 const std::vector<std::pair<int, int>>& places);
// Thumbnail sheet rows: each row the normal image at x 0 and the hover image at x thumbPitchX.
Canvas ThumbnailSheet(Fonts& fonts, const std::vector<Canvas>& pictures, const std::vector<std::string>& titles);
// Save thumbnail of a picture prefix.
Canvas SaveThumbnail(const Canvas& picture);

}  // namespace mkdemo
