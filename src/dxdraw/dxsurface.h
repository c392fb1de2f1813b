// Drawing surfaces: images that other images are drawn onto through the span engine.
//
// A surface is reference-counted (born with one reference; the Release that brings the count
// to 0 deletes it) and records the rectangle it changed since its dirty rectangle was last
// cleared, so that sprites showing it redraw only that area. Every drawing operation clips to
// the source, the rule image, the clip rectangle and this surface, so a stray rectangle can
// never read or write outside the pixels.
#pragma once

#include <cstdint>

#include "dxdraw/blend_params.h"
#include "dxdraw/dximage.h"
#include "dxdraw/matrix.h"
#include "dxdraw/rect.h"
#include "dxdraw/texanim.h"
#include "lib/combase.h"

namespace DxDraw {

class DxSurface : public DxImage {
public:
    explicit DxSurface(std::uint32_t depth) : DxImage(depth) {}
    ~DxSurface() override = default;

    // Makes new pixels and keeps the surface rectangle (0, 0, width, |height|) in step; the
    // rectangle is empty when no pixels could be made.
    bool Create(int width, int height) override;
    // Create; 1 when the pixels were made, else 0.
    int SetSize(int width, int height);

    virtual ULONG AddRef();
    // A count of 0 stays 0; the Release that reaches 0 deletes the surface.
    virtual ULONG Release();
    ULONG ReferenceCount() const { return count_; }

    // Mode 0: this surface with one more reference; 1: a new surface of the same size (pixels
    // not copied); 2: a new surface holding a copy of rect (the whole surface when null);
    // any other mode: null.
    virtual ComPtr<DxSurface> Clone(int mode, const RECT* rect);

    // Blit of the source rectangle of a sprite record, placed by its hot spot.
    virtual int BlitSprite(int x, int y, const DxImage* src, const TEXANIM* source, const RECT* clip,
                           const BlendParams* params) = 0;
    // Combines srcRect of src (the whole source when null) placed at (x, y) into this surface
    // through the span engine. 0 when there is no 32-bit source, srcRect misses the source or
    // the operation has no span routine (nothing drawn); 1 otherwise, also when the clipped
    // rectangle is empty.
    virtual int Blit(int x, int y, const DxImage* src, const RECT* srcRect, const RECT* clip,
                     const BlendParams* params) = 0;
    // Maps a convex quadrilateral (triangle) of src onto one of this surface, pixel by pixel,
    // through the plain span table. 1 done, 0 when the operation has no routine.
    virtual int DrawQuad(const ScreenPoint dstPoints[4], const DxImage* src, const ScreenPoint srcPoints[4],
                         const RECT* clip, const BlendParams* params) = 0;
    virtual int DrawTriangle(const ScreenPoint dstPoints[3], const DxImage* src, const ScreenPoint srcPoints[3],
                             const RECT* clip, const BlendParams* params) = 0;
    virtual void StretchCopy(const RECT* dstRect, const DxImage* src, const RECT* srcRect);
    // Fills with rgb at opacity alpha (255 opaque); a null rectangle fills the whole surface.
    virtual void FillRectXYWH(int x, int y, int w, int h, std::uint32_t rgb, std::uint32_t alpha) = 0;
    virtual void FillRect(const RECT* rect, std::uint32_t rgb, std::uint32_t alpha) = 0;
    // Sets the opacity of every pixel of the rectangle to alpha, keeping the colours.
    virtual void FillAlpha(const RECT* rect, std::uint8_t alpha) = 0;

    const RECT& GetSurfaceRect() const { return surfaceRect_; }
    const RECT& GetDirtyRect() const { return dirtyRect_; }
    void ClearDirtyRect() { dirtyRect_ = RECT{}; }
    // Null: the whole image; else the union with rect, kept inside the surface.
    void AddDirtyRect(const RECT* rect);

    // Added to the destination positions of Blit and of the four-point drawing.
    POINT GetOrigin() const { return origin_; }
    void SetOrigin(int x, int y) { origin_ = POINT{x, y}; }

private:
    ULONG count_ = 1;
    RECT surfaceRect_;
    RECT dirtyRect_;
    POINT origin_;
};

class DxSurface32 : public DxSurface {
public:
    DxSurface32();
    ~DxSurface32() override;

    // Surfaces alive in the process.
    static std::int32_t LiveCount();

    int BlitSprite(int x, int y, const DxImage* src, const TEXANIM* source, const RECT* clip,
                   const BlendParams* params) override;
    int Blit(int x, int y, const DxImage* src, const RECT* srcRect, const RECT* clip,
             const BlendParams* params) override;
    int DrawQuad(const ScreenPoint dstPoints[4], const DxImage* src, const ScreenPoint srcPoints[4], const RECT* clip,
                 const BlendParams* params) override;
    int DrawTriangle(const ScreenPoint dstPoints[3], const DxImage* src, const ScreenPoint srcPoints[3],
                     const RECT* clip, const BlendParams* params) override;
    void StretchCopy(const RECT* dstRect, const DxImage* src, const RECT* srcRect) override;
    void FillRectXYWH(int x, int y, int w, int h, std::uint32_t rgb, std::uint32_t alpha) override;
    void FillRect(const RECT* rect, std::uint32_t rgb, std::uint32_t alpha) override;
    void FillAlpha(const RECT* rect, std::uint8_t alpha) override;
};

// 32: a new DxSurface32 (one reference, no pixels until SetSize); 16: the assertion
// "bpp != 16" and null; any other depth: null.
ComPtr<DxSurface> CreateSurface(int depth);

// A new 32-bit surface newWidth wide and as high as srcRect (clipped to src): shrinking
// averages the source columns that fall on each new column, enlarging repeats the nearest.
ComPtr<DxSurface> ScaleSurfaceX(int newWidth, const DxImage* src, const RECT* srcRect);
// The same along rows.
ComPtr<DxSurface> ScaleSurfaceY(int newHeight, const DxImage* src, const RECT* srcRect);

// The drawing layer's start-up: the span engine's processor choice.
void InitDxDraw();

// The whole picture of an image: (0, 0, width, |height|).
RECT ImageRect(const DxImage& image);

}  // namespace DxDraw
