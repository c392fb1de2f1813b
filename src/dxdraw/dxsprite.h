// Sprites: the drawable leaves of the view tree that show a rectangle of a 32-bit surface at
// their position, blended by their own blend record.
//
// When only the contents of a sprite's surface changed, the sprite reports only the changed
// part of the surface (as the surface recorded it) instead of its whole rectangle.
#pragma once

#include <cstdint>

#include "dxdraw/blend_params.h"
#include "dxdraw/dxdraw_view.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/texanim.h"

namespace DxDraw {

class DxSprite : public DxDrawView {
public:
    // The source is copied from the record; without one but with a surface it covers the whole
    // surface with the hot spot at (0, 0). The blend record has the given flags and level 32.
    DxSprite(DxSurface* surface = nullptr, const TEXANIM* source = nullptr, std::uint32_t flags = 0);
    // Releases the surface when the sprite owns it.
    ~DxSprite() override;

    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    void Render(DrawRequest* request) override;
    // The position through the working matrix, less the hot spot, and the source's size.
    void GetBounds(std::uintptr_t context, RECT* out) override;

    // Shows another surface (dirty with kDirtyContents). An owned surface that is replaced is
    // released; giving the sprite the surface it already shows changes nothing but the flags.
    void SetSurface(DxSurface* surface);
    DxSurface* GetSurface() const { return surface_; }
    // Whether the sprite releases its surface when it is replaced or the sprite goes. Owners
    // set it after handing over a reference they no longer keep.
    void SetOwnsSurface(bool owns) { ownsSurface_ = owns ? 1 : 0; }
    bool OwnsSurface() const { return ownsSurface_ != 0; }
    // A record is copied whole; null takes the whole current surface (and does nothing without
    // one). Either way the sprite becomes dirty with kDirtyContents.
    void SetSource(const TEXANIM* source);
    void GetSource(TEXANIM* out) const;
    const TEXANIM& Source() const { return source_; }
    // The blend record changes only through these, so that every change of how the sprite is
    // drawn reaches the screen: each makes the sprite dirty with kDirtyContents, unless the record
    // already holds the value.
    const BlendParams& Blend() const { return blend_; }
    void SetLevel(std::uint32_t level);
    void SetBlendFlags(std::uint32_t flags);
    void SetBlend(const BlendParams& blend);

    // For counted holders (release_deleter): the node's Destroy.
    ULONG Release() { return Destroy(); }

protected:
    // Adds rect, or only the changed part of the surface within it when that is all that changed.
    void AddDirtyPart(DirtyRectList* list, const RECT& rect) const override;

    DxSurface* surface_;
    TEXANIM source_;
    std::uint32_t ownsSurface_ = 0;

private:
    BlendParams blend_;
};

// A sprite that is at the same time the surface it shows: views whose contents are drawn in
// place (text). The surface's reference count governs the pair: Destroy and Release delete it
// only when no one else holds the surface, else they detach it and drop one reference.
class DxSurfaceSprite32 : public DxSprite, public DxSurface32 {
public:
    // A transparent black surface of this size, shown whole, all of it dirty.
    DxSurfaceSprite32(int width, int height);
    ~DxSurfaceSprite32() override;

    std::uint32_t Destroy() override;
    ULONG Release() override;
};

}  // namespace DxDraw
