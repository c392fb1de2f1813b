// Writing the sample game's pictures in the formats the engine reads.
#pragma once

#include <filesystem>

#include "canvas.h"

namespace mkdemo {

// PNG, RGBA with 8 bits per channel (alpha kept) or RGB when the picture is opaque.
void WritePng(const std::filesystem::path& path, const Canvas& canvas, bool withAlpha);
// Baseline JPEG of an opaque picture.
void WriteJpeg(const std::filesystem::path& path, const Canvas& canvas, int quality);
// Uncompressed 24-bit bottom-up BMP of an opaque picture.
void WriteBmp(const std::filesystem::path& path, const Canvas& canvas);

}  // namespace mkdemo
