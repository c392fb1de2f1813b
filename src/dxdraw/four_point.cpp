// Four-point drawing: a triangle or convex quadrilateral of a source image mapped onto one of
// the surface, affine in the source coordinates, nearest source pixel, one plain span call
// per pixel.
#include "dxdraw/four_point.h"

#include <algorithm>
#include <cmath>

#include "dxdraw/dxsurface.h"
#include "dxdraw/span_engine.h"

namespace DxDraw {

void EdgeWalker::Setup(std::int32_t fromX, std::int32_t fromY, std::int32_t toX, std::int32_t toY) {
    x0 = fromX;
    y0 = fromY;
    x1 = toX;
    y1 = toY;
    flags = 0;
    slopeDyDx = slopeDxDy = 0;
    if (x1 != x0)
        slopeDyDx = static_cast<double>(y1 - y0) / (x1 - x0);
    else
        flags |= kVertical;
    if (y1 != y0)
        slopeDxDy = static_cast<double>(x1 - x0) / (y1 - y0);
    else
        flags |= kHorizontal;
}

std::int32_t EdgeWalker::XAt(std::int32_t y) const {
    if (slopeDyDx == 0) return x0;
    return x0 + static_cast<std::int32_t>(std::trunc((y - y0) * slopeDxDy));
}

namespace {

// One destination edge with the source points at its two ends.
struct MappedEdge {
    EdgeWalker walker;
    ScreenPoint from, to;        // destination
    ScreenPoint srcFrom, srcTo;  // source

    MappedEdge(ScreenPoint a, ScreenPoint b, ScreenPoint sa, ScreenPoint sb) : from(a), to(b), srcFrom(sa), srcTo(sb) {
        walker.Setup(a.x, a.y, b.x, b.y);
    }
    bool Horizontal() const { return from.y == to.y; }
    // The source point on this edge at row y, linear in y.
    void SourceAt(std::int32_t y, double& u, double& v) const {
        const double t = from.y == to.y ? 0.0 : static_cast<double>(y - from.y) / (to.y - from.y);
        u = srcFrom.x + (srcTo.x - srcFrom.x) * t;
        v = srcFrom.y + (srcTo.y - srcFrom.y) * t;
    }
};

class FourPointDraw {
public:
    FourPointDraw(DxSurface32& dst, const DxImage& src, const DxImage* rule, SpanFunc span, const BlendParams& params,
                  const RECT& clip)
        : dst_(dst), src_(src), rule_(rule), span_(span), params_(params), clip_(clip), origin_(dst.GetOrigin()) {}

    // Rows first..last inclusive between two edges.
    void Rows(std::int32_t first, std::int32_t last, const MappedEdge& a, const MappedEdge& b) const {
        for (std::int32_t y = std::max(first, clip_.top); y <= last && y < clip_.bottom; ++y) Row(y, a, b);
    }

private:
    void Row(std::int32_t y, const MappedEdge& a, const MappedEdge& b) const {
        const std::int32_t xa = a.walker.XAt(y);
        const std::int32_t xb = b.walker.XAt(y);
        double ua, va, ub, vb;
        a.SourceAt(y, ua, va);
        b.SourceAt(y, ub, vb);
        std::int64_t du = -1, dv = -1;
        if (xa != xb) {
            du = static_cast<std::int64_t>((ub - ua) * 65536.0 / (xb - xa));
            dv = static_cast<std::int64_t>((vb - va) * 65536.0 / (xb - xa));
        }
        const auto u0 = static_cast<std::int64_t>(ua * 65536.0);
        const auto v0 = static_cast<std::int64_t>(va * 65536.0);
        const std::int32_t lo = std::max(std::min(xa, xb), clip_.left);
        const std::int32_t hi = std::min(std::max(xa, xb), clip_.right - 1);
        for (std::int32_t x = lo; x <= hi; ++x) {
            // Walking from xa towards xb, the k-th pixel has moved k steps (right to left: negated).
            const std::int64_t k = x - xa;
            const std::int64_t u = u0 + (xa == xb ? 0 : k * du);
            const std::int64_t v = v0 + (xa == xb ? 0 : k * dv);
            Pixel(x, y, u >> 16, v >> 16);
        }
    }

    // The nearest pixel of the image: coordinates outside it are pulled to its edge.
    static const std::uint8_t* PixelAt(const DxImage& image, std::int64_t x, std::int64_t y) {
        const RECT r = ImageRect(image);
        return image.GetPixelAddress(static_cast<int>(std::clamp<std::int64_t>(x, 0, r.right - 1)),
                                     static_cast<int>(std::clamp<std::int64_t>(y, 0, r.bottom - 1)));
    }

    void Pixel(std::int32_t x, std::int32_t y, std::int64_t u, std::int64_t v) const {
        std::uint8_t* target = dst_.GetPixelAddress(origin_.x + x, origin_.y + y);
        const std::uint8_t* aux = rule_ ? PixelAt(*rule_, u, v) : nullptr;
        span_(target, PixelAt(src_, u, v), aux, 1, &params_, 0, 0, 0, 1);
    }

    DxSurface32& dst_;
    const DxImage& src_;
    const DxImage* rule_;
    SpanFunc span_;
    const BlendParams& params_;
    RECT clip_;
    POINT origin_;
};

bool Is32Bit(const DxImage* image) { return image && image->HasPixels() && image->GetBitCount() == 32; }

// The shared start of both drawings: the routine, the rule image and the clip. False when the
// operation has no plain routine or its images are missing.
struct Preparation {
    BlendParams params;
    SpanFunc span = nullptr;
    const DxImage* rule = nullptr;
    RECT clip;
};

bool Prepare(const DxSurface32& dst, const DxImage* src, const RECT* clip, const BlendParams* params,
             Preparation& out) {
    if (!Is32Bit(src) || !Is32Bit(&dst)) return false;
    out.params = NormalizeBlendParams(params);
    const std::uint32_t index = out.params.flags & BLEND_INDEX_MASK;
    if (index >= 64 || !PlainSpanTable[index]) return false;
    out.span = PlainSpanTable[index];
    if (ColumnReadsRule(out.params.flags)) {
        out.rule = out.params.maskImage;
        if (!Is32Bit(out.rule)) return false;
    }
    const POINT o = dst.GetOrigin();
    const RECT& surface = dst.GetSurfaceRect();
    out.clip = IntersectRect(clip ? *clip : surface, surface);
    out.clip = IntersectRect(out.clip, OffsetRect(surface, -o.x, -o.y));
    return true;
}

template <std::size_t N>
void AddBoundingBox(DxSurface32& dst, const ScreenPoint (&points)[N], const RECT& clip) {
    RECT box{points[0].x, points[0].y, points[0].x + 1, points[0].y + 1};
    for (const ScreenPoint& p : points) {
        box.left = std::min<std::int32_t>(box.left, p.x);
        box.top = std::min<std::int32_t>(box.top, p.y);
        box.right = std::max<std::int32_t>(box.right, p.x + 1);
        box.bottom = std::max<std::int32_t>(box.bottom, p.y + 1);
    }
    const POINT o = dst.GetOrigin();
    const RECT drawn = OffsetRect(IntersectRect(box, clip), o.x, o.y);
    dst.AddDirtyRect(&drawn);
}

}  // namespace

int DxSurface32::DrawTriangle(const ScreenPoint dstPoints[3], const DxImage* src, const ScreenPoint srcPoints[3],
                              const RECT* clip, const BlendParams* params) {
    Preparation prep;
    if (!Prepare(*this, src, clip, params, prep)) return 0;
    // Sorted by y; equal rows keep the lower index first.
    int order[3] = {0, 1, 2};
    std::stable_sort(order, order + 3, [&](int a, int b) { return dstPoints[a].y < dstPoints[b].y; });
    const auto edge = [&](int a, int b) {
        return MappedEdge(dstPoints[order[a]], dstPoints[order[b]], srcPoints[order[a]], srcPoints[order[b]]);
    };
    const MappedEdge longEdge = edge(0, 2);
    const FourPointDraw draw(*this, *src, prep.rule, prep.span, prep.params, prep.clip);
    for (const MappedEdge& shortEdge : {edge(0, 1), edge(1, 2)}) {
        if (shortEdge.Horizontal() || longEdge.Horizontal()) continue;
        draw.Rows(shortEdge.from.y, shortEdge.to.y - 1, shortEdge, longEdge);
    }
    const ScreenPoint box[3] = {dstPoints[0], dstPoints[1], dstPoints[2]};
    AddBoundingBox(*this, box, prep.clip);
    return 1;
}

int DxSurface32::DrawQuad(const ScreenPoint dstPoints[4], const DxImage* src, const ScreenPoint srcPoints[4],
                          const RECT* clip, const BlendParams* params) {
    Preparation prep;
    if (!Prepare(*this, src, clip, params, prep)) return 0;
    int start = 0;
    for (int i = 1; i < 4; ++i)
        if (dstPoints[i].y < dstPoints[start].y) start = i;
    const auto edge = [&](int a, int b) { return MappedEdge(dstPoints[a], dstPoints[b], srcPoints[a], srcPoints[b]); };
    // Two chains leave the top point: one through the next points, one through the previous.
    int a0 = start, a1 = (start + 1) % 4;
    int b0 = start, b1 = (start + 3) % 4;
    std::int32_t y = dstPoints[start].y;
    const FourPointDraw draw(*this, *src, prep.rule, prep.span, prep.params, prep.clip);
    for (int segment = 0; segment < 3; ++segment) {
        const MappedEdge ea = edge(a0, a1);
        const MappedEdge eb = edge(b0, b1);
        const std::int32_t end = std::min(ea.to.y, eb.to.y);
        // The boundary row between two segments is drawn by both.
        if (!ea.Horizontal() && !eb.Horizontal()) draw.Rows(y, end, ea, eb);
        if (ea.to.y == end) {
            a0 = a1;
            a1 = (a1 + 1) % 4;
        } else {
            b0 = b1;
            b1 = (b1 + 3) % 4;
        }
        y = end;
    }
    const ScreenPoint box[4] = {dstPoints[0], dstPoints[1], dstPoints[2], dstPoints[3]};
    AddBoundingBox(*this, box, prep.clip);
    return 1;
}

}  // namespace DxDraw
