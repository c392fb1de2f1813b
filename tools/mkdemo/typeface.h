// Text for the sample game's pictures (button labels, captions, manual pages), drawn with
// FreeType from the installed IPA Japanese faces.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "canvas.h"

namespace mkdemo {

// fontconfig's configuration, held while typefaces are looked up and freed with its caches
// afterwards, once no thread looks up faces any more.
class FontLookup {
public:
    FontLookup();
    ~FontLookup();
    FontLookup(const FontLookup&) = delete;
    FontLookup& operator=(const FontLookup&) = delete;
};

class Typeface {
public:
    enum class Family { Gothic, Mincho };
    explicit Typeface(Family family);
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    // Advance width of a UTF-8 line in pixels.
    int Measure(std::string_view utf8, int pixelSize);
    // Coverage of a UTF-8 line; its height is the pixel size plus room for descenders, and the
    // baseline lies at 0.8 of the pixel size below the top.
    Mask Render(std::string_view utf8, int pixelSize);

private:
    struct Library;
    std::unique_ptr<Library> ft_;
};

enum class Align { Left, Centre, Right };

struct TextStyle {
    int size = 24;
    Color color = Rgb(0xFFFFFF);
    Align align = Align::Left;
    // A soft dark halo behind the letters keeps them readable over pictures.
    float shadow = 0.0f;
    Color shadowColor = Rgb(0x000000);
    int shadowRadius = 2;
};

// Draws one line with its top-left (or top-centre, top-right) at (x, y).
void DrawText(Canvas& canvas, Typeface& face, std::string_view utf8, int x, int y, const TextStyle& style);

}  // namespace mkdemo
