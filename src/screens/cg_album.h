// The CG album: the event pictures the player has seen, on pages of thumbnails laid out by the
// element "cgalbum" of config.xml ("title/cg_p%d" page pictures, the "title/cg_thumb1" sheet).
// A thumbnail is seen when its "flag" is in the seen-picture list; choosing one shows the
// pictures that its text names, full screen, one after another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Plays the album music and runs the album until the player leaves it (the music goes on). A
// request from the window menu takes everything of the album down and travels on.
void RunCgAlbum();

// Composes the picture `name` on an 800x600 screen of its own: a prefix of three characters and
// four or six codes, the base picture and the layer of each non-zero code drawn over it with
// their alpha ("EV10102": EV10000, then EV10100 and EV10002); a name of another length draws
// nothing. A missing file is named in a box and skipped. Shows it over everything until the left
// button (1: the next picture) or the right button (0: leave) goes down.
std::int32_t LoadCgModeImage(std::u16string_view name);

// The pieces of `text` between commas, empty ones included, into `out` (emptied first): a text
// without commas, the empty one too, is one piece.
void SplitCommaList(std::vector<std::u16string>& out, std::u16string_view text);
