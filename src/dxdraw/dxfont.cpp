#include "dxdraw/dxfont.h"

#include <algorithm>
#include <cstring>

#include "dxdraw/dxsurface.h"
#include "lib/report.h"
#include "lib/text.h"

namespace {

constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007Au);
constexpr std::uint8_t kInkLevel = 15;
constexpr int kLargeScale = 4;

}  // namespace

HRESULT CopyWideBounded(char16_t* dst, std::size_t sizeBytes, const char16_t* src) {
    if (sizeBytes < 2 || !dst) return kInvalidArgument;
    const std::size_t room = sizeBytes / 2 - 1;
    std::size_t n = 0;
    while (src && src[n] && n < room) {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = 0;
    return (src && src[n]) ? kInsufficientBuffer : S_OK;
}

namespace DxDraw {

DxFont::DxFont(host::GlyphSource& glyphs) : glyphs_(&glyphs) {}

DxFont::~DxFont() = default;

void DxFont::Setup(std::u16string_view face, std::int32_t height) {
    desc_ = LogFont{};
    desc_.lfHeight = height;
    desc_.lfPitchAndFamily = 0;
    const std::u16string terminated(face);
    CopyWideBounded(desc_.lfFaceName, sizeof desc_.lfFaceName, terminated.c_str());
    Build();
}

void DxFont::Build() {
    if (beginCount_ != 0) AssertFail("m_nBeginCount == 0", "dxdraw/dxdraw", 684);
    DropFaces();

    const std::int32_t h = desc_.lfHeight;
    host::FontRequest request;
    request.face = Utf16ToUtf8(desc_.lfFaceName);
    request.height = h;
    normal_ = glyphs_->OpenFont(request);
    request.height = h * kLargeScale;
    large_ = glyphs_->OpenFont(request);

    auto canvas = std::make_unique<DxImage>(8);
    if (canvas->Create((h / 2 + h) * kLargeScale, kLargeScale * h)) canvas_ = std::move(canvas);
}

void DxFont::Destroy() {
    if (beginCount_ != 0) AssertFail("m_nBeginCount==0", "dxdraw/dxdraw", 640);
    DropFaces();
}

void DxFont::DropFaces() {
    normal_.reset();
    large_.reset();
    canvas_.reset();
    canvasChar_ = 0;
}

ULONG DxFont::Release() {
    if (count_ == 0) return 0;
    if (--count_ != 0) return count_;
    Destroy();
    delete this;
    return 0;
}

void DxFont::BeginDraw(TextDrawState& state, DxSurface* target, bool large) {
    state.large = large;
    state.target = target;
    ++beginCount_;
}

void DxFont::EndDraw(TextDrawState& state) {
    if (beginCount_ == 0) {
        AssertFail("m_nBeginCount", "dxdraw/dxdraw", 728);
        return;
    }
    if (--beginCount_ == 0) canvasChar_ = 0;
    state.target = nullptr;
}

void DxFont::RenderChar(const TextDrawState& state, char32_t ch) {
    if (!canvas_) return;
    if (ch == canvasChar_ && state.large == canvasLarge_) return;
    std::memset(canvas_->GetBits(), 0, canvas_->GetImageSize());
    host::GlyphFont* font = state.large ? large_.get() : normal_.get();
    if (font) {
        const host::GlyphCanvas canvas{canvas_->GetPixelAddress(0, 0), canvas_->GetWidth(), canvas_->GetHeight(),
                                       canvas_->GetPitch()};
        font->DrawChar(ch, canvas, kInkLevel);
    }
    canvasChar_ = ch;
    canvasLarge_ = state.large;
    ++renders_;
}

std::int32_t DxFont::ProportionalAdvance(char32_t ch, bool large) {
    host::GlyphFont* font = large ? large_.get() : normal_.get();
    if (!font) return 0;
    const std::int32_t extent = font->TextExtent(std::span<const char32_t>(&ch, 1));
    return large ? extent / kLargeScale : extent;
}

RECT DxFont::BlendGlyph(const TextDrawState& state, std::int32_t px, std::int32_t py, std::uint32_t colour,
                        GlyphSize size) {
    DxSurface* target = state.target;
    if (!target || !canvas_ || target->GetDepth() != 32 || !target->HasPixels()) return RECT{};
    const int scale = state.large ? kLargeScale : 1;
    // Never read past the canvas, however wide the advance.
    const std::int32_t width = std::min(size.advance, canvas_->GetWidth() / scale);
    const std::int32_t height = std::min(size.height, canvas_->GetHeight() / scale);
    const RECT area = IntersectRect(RECT{px, py, px + width, py + height}, ImageRect(*target));
    if (IsRectEmpty(area)) return RECT{};

    const unsigned blue = (colour >> 16) & 255, green = (colour >> 8) & 255, red = colour & 255;
    const std::ptrdiff_t canvasPitch = canvas_->GetPitch();
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        std::uint8_t* p = target->GetPixelAddress(area.left, y);
        for (std::int32_t x = area.left; x < area.right; ++x, p += 4) {
            const std::uint8_t* cell = canvas_->GetPixelAddress((x - px) * scale, (y - py) * scale);
            unsigned c = 0;
            if (scale == 1) {
                c = cell[0] * 16u;
            } else {
                for (int j = 0; j < kLargeScale; ++j, cell += canvasPitch)
                    for (int i = 0; i < kLargeScale; ++i) c += cell[i];
            }
            if (c == 0) continue;
            const unsigned k = 255 - c;
            const unsigned alpha = p[3];
            if (scale == 1) {
                p[0] = static_cast<std::uint8_t>((p[0] * k + c * blue) / 255);
                p[1] = static_cast<std::uint8_t>((p[1] * k + c * green) / 255);
                p[2] = static_cast<std::uint8_t>((p[2] * k + c * red) / 255);
            } else {
                const unsigned a = std::min(alpha + c, 255u);
                p[0] = static_cast<std::uint8_t>((p[0] * (255 - a) + a * blue) / 255);
                p[1] = static_cast<std::uint8_t>((p[1] * (255 - a) + a * green) / 255);
                p[2] = static_cast<std::uint8_t>((p[2] * (255 - a) + a * red) / 255);
            }
            p[3] = static_cast<std::uint8_t>(255 - (((255 - alpha) * k + c * 255) / 255));
        }
    }
    return area;
}

}  // namespace DxDraw
