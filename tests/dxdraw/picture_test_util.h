// Helpers shared by the picture tests: reading pixels of decoded images.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "dxdraw/dximage.h"

namespace picture_test {

// B, G, R and opacity (255 opaque) of a pixel of a 32-bit image.
struct Rgba {
    int b, g, r, a;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

inline Rgba PixelAt(const DxDraw::DxImage& image, int x, int y) {
    const std::uint8_t* p = image.GetPixelAddress(x, y);
    return Rgba{p[0], p[1], p[2], 255 - p[3]};
}

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string DataPath(const std::string& name) { return std::string(QB_TEST_DATA_DIR) + "/images/" + name; }

inline std::ostream& operator<<(std::ostream& os, const Rgba& p) {
    return os << "(b " << p.b << ", g " << p.g << ", r " << p.r << ", a " << p.a << ")";
}

}  // namespace picture_test
