#include "dxdraw/dxsurface.h"

#include <algorithm>
#include <cstdlib>

#include "dxdraw/span_engine.h"
#include "lib/report.h"

namespace DxDraw {
namespace {

std::int32_t g_liveSurfaces = 0;

bool Is32Bit(const DxImage* image) { return image && image->HasPixels() && image->GetBitCount() == 32; }

}  // namespace

RECT ImageRect(const DxImage& image) {
    const std::int32_t h = image.GetHeight();
    return RECT{0, 0, image.GetWidth(), h < 0 ? -h : h};
}

bool DxSurface::Create(int width, int height) {
    const bool made = DxImage::Create(width, height);
    surfaceRect_ = made ? ImageRect(*this) : RECT{};
    dirtyRect_ = IntersectRect(dirtyRect_, surfaceRect_);
    return made;
}

int DxSurface::SetSize(int width, int height) { return Create(width, height) ? 1 : 0; }

ULONG DxSurface::AddRef() { return ++count_; }

ULONG DxSurface::Release() {
    if (count_ == 0) return 0;
    if (--count_ != 0) return count_;
    delete this;
    return 0;
}

void DxSurface::AddDirtyRect(const RECT* rect) {
    if (!rect) {
        dirtyRect_ = ImageRect(*this);
        return;
    }
    dirtyRect_ = IntersectRect(UnionRect(dirtyRect_, *rect), surfaceRect_);
}

ComPtr<DxSurface> DxSurface::Clone(int mode, const RECT* rect) {
    switch (mode) {
        case 0: return ComPtr<DxSurface>::Share(this);
        case 1: {
            ComPtr<DxSurface> copy = CreateSurface(static_cast<int>(GetDepth()));
            if (copy) copy->SetSize(GetWidth(), GetHeight());
            return copy;
        }
        case 2: {
            const RECT area = rect ? *rect : surfaceRect_;
            ComPtr<DxSurface> copy = CreateSurface(static_cast<int>(GetDepth()));
            if (copy && copy->SetSize(area.Width(), area.Height())) copy->Blit(0, 0, this, &area, nullptr, nullptr);
            return copy;
        }
        default: return nullptr;
    }
}

void DxSurface::StretchCopy(const RECT*, const DxImage*, const RECT*) {}

DxSurface32::DxSurface32() : DxSurface(32) { ++g_liveSurfaces; }

DxSurface32::~DxSurface32() { --g_liveSurfaces; }

std::int32_t DxSurface32::LiveCount() { return g_liveSurfaces; }

int DxSurface32::BlitSprite(int x, int y, const DxImage* src, const TEXANIM* source, const RECT* clip,
                            const BlendParams* params) {
    if (!source) return Blit(x, y, src, nullptr, clip, params);
    return Blit(x - source->hotX, y - source->hotY, src, &source->source, clip, params);
}

int DxSurface32::Blit(int x, int y, const DxImage* src, const RECT* srcRect, const RECT* clip,
                      const BlendParams* params) {
    if (!Is32Bit(src) || !Is32Bit(this)) return 0;
    const RECT srcFull = ImageRect(*src);
    const RECT from = srcRect ? *srcRect : srcFull;
    if (IsRectEmpty(IntersectRect(from, srcFull))) return 0;
    const BlendParams p = NormalizeBlendParams(params);

    // Source pixel (sx, sy) lands on (sx + dx, sy + dy).
    const std::int64_t dx = std::int64_t{x} - from.left;
    const std::int64_t dy = std::int64_t{y} - from.top;
    const auto placed = [&](const RECT& r) { return PlacedRect(r.left + dx, r.top + dy, r.Width(), r.Height()); };
    RECT d = IntersectRect(placed(from), placed(srcFull));
    const DxImage* rule = nullptr;
    if (ColumnReadsRule(p.flags)) {
        rule = p.maskImage;
        if (!Is32Bit(rule)) return 0;
        d = IntersectRect(d, placed(ImageRect(*rule)));
    }
    const POINT o = GetOrigin();
    d = IntersectRect(d, clip ? *clip : GetSurfaceRect());
    d = IntersectRect(d, GetSurfaceRect());
    d = IntersectRect(d, PlacedRect(-std::int64_t{o.x}, -std::int64_t{o.y}, GetWidth(), ImageRect(*this).bottom));
    if (IsRectEmpty(d)) return 1;

    const int sx = static_cast<int>(d.left - dx);
    const int sy = static_cast<int>(d.top - dy);
    SpanRect span;
    span.dst = GetPixelAddress(o.x + d.left, o.y + d.top);
    span.src = src->GetPixelAddress(sx, sy);
    span.width = d.Width();
    span.height = d.Height();
    span.dstPitch = static_cast<std::int32_t>(GetPitch());
    span.srcPitch = static_cast<std::int32_t>(src->GetPitch());
    if (rule) {
        span.aux = rule->GetPixelAddress(sx, sy);
        span.auxPitch = static_cast<std::int32_t>(rule->GetPitch());
    }
    switch (DispatchSpans(span, p)) {
        case DispatchResult::kUnsupported: return 0;
        case DispatchResult::kSkipped: return 1;
        case DispatchResult::kDrawn: break;
    }
    const RECT drawn = OffsetRect(d, o.x, o.y);
    AddDirtyRect(&drawn);
    return 1;
}

void DxSurface32::FillRectXYWH(int x, int y, int w, int h, std::uint32_t rgb, std::uint32_t alpha) {
    const RECT r = PlacedRect(x, y, w, h);
    FillRect(&r, rgb, alpha);
}

void DxSurface32::FillRect(const RECT* rect, std::uint32_t rgb, std::uint32_t alpha) {
    if (!Is32Bit(this)) return;
    const RECT r = IntersectRect(rect ? *rect : GetSurfaceRect(), GetSurfaceRect());
    if (IsRectEmpty(r)) return;
    const std::uint32_t value = (255 - (alpha & 255)) << 24 | (rgb & 0xFFFFFF);
    FillRectSpans(GetPixelAddress(r.left, r.top), r.Width(), static_cast<std::int32_t>(GetPitch()), value, r.Height());
    AddDirtyRect(rect ? &r : nullptr);
}

// The alpha byte is set, not OR-ed with the inverted alpha: with an OR a pixel could only ever
// grow more transparent, so FillAlpha(rect, 255) could not make a transparent area opaque again
// and the result would depend on what was drawn before. Setting the byte gives what callers ask
// for (every pixel at the given opacity, as FillRect takes it), and agrees with the OR wherever
// the two can agree (opaque pixels, or alpha 0 making everything transparent).
void DxSurface32::FillAlpha(const RECT* rect, std::uint8_t alpha) {
    if (!Is32Bit(this)) return;
    const RECT r = IntersectRect(rect ? *rect : GetSurfaceRect(), GetSurfaceRect());
    if (IsRectEmpty(r)) return;
    SetAlphaRectSpans(GetPixelAddress(r.left, r.top), r.Width(), static_cast<std::int32_t>(GetPitch()), 255u - alpha,
                      r.Height());
    AddDirtyRect(rect ? &r : nullptr);
}

ComPtr<DxSurface> CreateSurface(int depth) {
    if (depth == 32) return ComPtr<DxSurface>::Adopt(new DxSurface32());
    if (depth == 16) AssertFail("bpp != 16", "dxdraw/dxsurface", 1233);
    return nullptr;
}

void InitDxDraw() { SetupSpanEngine(); }

}  // namespace DxDraw
