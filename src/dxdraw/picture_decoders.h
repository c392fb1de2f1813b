// Decoders that turn a picture file held in memory into a packed DIB (see dib.h).
//
// PNG, JPEG and TIFF are decoded by their libraries; these are the glue. Every decoder returns
// an empty buffer for data it cannot read, and never reads outside the span it is given.
// Library errors are reported as the system reports them (PNG and JPEG errors in a message
// box, PNG warnings in a message box, JPEG warnings and TIFF messages to the debugger output).
#pragma once

#include <cstdint>
#include <span>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"

// PNG of every colour type and depth: palette pictures stay palette DIBs of 8 bits (1, 2 and 4
// bits are widened), grey ones get a grey palette, RGB gives 24 bits, anything with alpha or
// a transparency chunk 32 bits (B, G, R, A with ordinary alpha).
DxDraw::DibBuffer DecodePngToDib(std::span<const std::uint8_t> data);
// The same picture straight into an image, as DecodeJpegToImage below.
bool DecodePngToImage(DxDraw::DxImage& image, std::span<const std::uint8_t> data);
// JPEG (colour or greyscale) into a 24-bit DIB; CMYK pictures are refused.
DxDraw::DibBuffer DecodeJpegToDib(std::span<const std::uint8_t> data);
// The same picture straight into an image (what LoadFromDib of the DIB above gives): a 32-bit
// image is decoded into directly, without the DIB; a 16-bit one goes through the DIB. False
// for other depths and undecodable data; a picture that fails part-way leaves no pixels.
bool DecodeJpegToImage(DxDraw::DxImage& image, std::span<const std::uint8_t> data);
// TIFF into a DIB: palette and grey pictures of 1, 4 and 8 bits keep their depth, 8-bit RGB
// and RGBA give 24 and 32 bits; every other layout is converted to 32 bits by the library.
DxDraw::DibBuffer LoadTiffAsDib(std::span<const std::uint8_t> data);
// The engine's raw 16-bit picture record ("HBM"), stored or zlib-compressed, into a 16-bit
// image. False (the image left without pixels) when the record is short or corrupt.
bool LoadRawImage16(DxDraw::DxImage& image, std::span<const std::uint8_t> record);
