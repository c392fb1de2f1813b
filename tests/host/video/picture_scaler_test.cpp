// Putting the picture into window pixels: any set of changed parts must leave exactly the pixels a
// whole draw leaves, at every scale, and nothing outside the area (or the reported rectangle).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <random>
#include <vector>

#include "host/video/picture_scaler.h"

namespace {

using host::Rect;

constexpr std::uint32_t kUntouched = 0xDEADBEEFu;

struct Canvas {
    Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, kUntouched) {}
    host::PixelPlane plane() { return {pixels.data(), width * 4, width, height}; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    int width, height;
    std::vector<std::uint32_t> pixels;
};

// Every third coordinate, and every one near the edges of a range: where mapping faults show.
std::vector<int> Probes(int size, int begin, int end) {
    std::vector<int> out;
    for (int i = 0; i < size; ++i)
        if (i % 3 == 0 || std::abs(i - begin) <= 2 || std::abs(i - end) <= 2) out.push_back(i);
    return out;
}

std::vector<std::uint32_t> NumberedPicture() {
    std::vector<std::uint32_t> picture(host::kGameWidth * host::kGameHeight);
    std::iota(picture.begin(), picture.end(), 0u);
    return picture;
}

TEST(PictureScaler, OneToOneCopiesAndEnlargingRepeatsPixels) {
    const auto picture = NumberedPicture();
    host::PictureScaler scaler;
    Canvas same(820, 640);
    Rect written = scaler.Scale(picture.data(), 800 * 4, same.plane(), Rect{10, 30, 810, 630}, Rect{0, 0, 800, 600});
    EXPECT_EQ(written, (Rect{10, 30, 810, 630}));
    EXPECT_EQ(same.at(10, 30), 0u);
    EXPECT_EQ(same.at(809, 629), 599u * 800 + 799);
    EXPECT_EQ(same.at(9, 30), kUntouched);
    EXPECT_EQ(same.at(10, 29), kUntouched);

    Canvas twice(1600, 1200);
    scaler.Scale(picture.data(), 800 * 4, twice.plane(), Rect{0, 0, 1600, 1200}, Rect{0, 0, 800, 600});
    for (int y : {0, 1, 2, 3, 1198, 1199})
        for (int x : {0, 1, 2, 3, 1598, 1599})
            EXPECT_EQ(twice.at(x, y), static_cast<std::uint32_t>((y / 2) * 800 + x / 2));

    // A picture stored bottom row first: a negative pitch from the top row.
    std::vector<std::uint32_t> bottom_up(picture.size());
    for (int y = 0; y < 600; ++y) std::copy_n(picture.begin() + y * 800, 800, bottom_up.begin() + (599 - y) * 800);
    Canvas upright(800, 600);
    scaler.Scale(bottom_up.data() + 599 * 800, -800 * 4, upright.plane(), Rect{0, 0, 800, 600}, Rect{0, 0, 800, 600});
    EXPECT_EQ(upright.pixels, picture);
}

TEST(PictureScaler, PartsDrawnOneByOneEqualTheWholeDraw) {
    const auto picture = NumberedPicture();
    host::PictureScaler scaler;  // one for every scale: its column table follows the area's width
    std::mt19937 random(1234);
    // Smaller, equal, larger and odd scales, letterboxed, and an area running off the target.
    const Rect areas[] = {
        {0, 0, 640, 480}, {5, 7, 805, 607}, {0, 20, 1440, 1100}, {3, 1, 1016, 762}, {-50, -40, 900, 700}};
    for (const Rect& area : areas) {
        Canvas whole(1450, 1110), parts(1450, 1110);
        Rect all = scaler.Scale(picture.data(), 800 * 4, whole.plane(), area, Rect{-5, -5, 900, 700});
        EXPECT_EQ(all, host::Intersect(area, Rect{0, 0, 1450, 1110}));

        // Random parts covering the picture (plus some off it), each writing only inside what it reports.
        for (int y = 0; y < 600; y += 75)
            for (int x = 0; x < 800; x += 100) {
                Rect part{x - static_cast<int>(random() % 3), y - static_cast<int>(random() % 3),
                          x + 100 + static_cast<int>(random() % 5), y + 75 + static_cast<int>(random() % 5)};
                Canvas alone(1450, 1110);
                Rect written = scaler.Scale(picture.data(), 800 * 4, alone.plane(), area, part);
                scaler.Scale(picture.data(), 800 * 4, parts.plane(), area, part);
                const Rect shown = host::Intersect(part, Rect{0, 0, 800, 600});
                for (int ty : Probes(alone.height, written.top, written.bottom))
                    for (int tx : Probes(alone.width, written.left, written.right)) {
                        // Written exactly where the pixel's sample lies in the part, and inside the report.
                        bool in_area = tx >= area.left && tx < area.right && ty >= area.top && ty < area.bottom;
                        int sx = in_area ? (tx - area.left) * 800 / area.width() : -1;
                        int sy = in_area ? (ty - area.top) * 600 / area.height() : -1;
                        bool sampled =
                            in_area && sx >= shown.left && sx < shown.right && sy >= shown.top && sy < shown.bottom;
                        bool reported =
                            tx >= written.left && tx < written.right && ty >= written.top && ty < written.bottom;
                        ASSERT_EQ(alone.at(tx, ty) != kUntouched, sampled) << tx << "," << ty;
                        ASSERT_TRUE(!sampled || reported) << tx << "," << ty;
                    }
            }
        EXPECT_EQ(parts.pixels, whole.pixels)
            << "area " << area.left << "," << area.top << " " << area.width() << "x" << area.height();
    }
}

TEST(PictureScaler, NothingOutsideThePictureOrTheTarget) {
    const auto picture = NumberedPicture();
    host::PictureScaler scaler;
    Canvas canvas(100, 100);
    // {area, part}: a part off the picture, a part off the target, an empty area.
    for (auto [area, part] : {std::pair{Rect{0, 0, 800, 600}, Rect{800, 0, 900, 600}},
                              {Rect{0, 0, 800, 600}, Rect{200, 200, 300, 300}},
                              {Rect{}, Rect{0, 0, 800, 600}}})
        EXPECT_TRUE(scaler.Scale(picture.data(), 800 * 4, canvas.plane(), area, part).empty());
    for (std::uint32_t p : canvas.pixels) ASSERT_EQ(p, kUntouched);
}

}  // namespace
