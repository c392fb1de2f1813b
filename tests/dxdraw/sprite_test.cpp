// Sprites: source records, bounds, the dirty-rectangle refinement for surface changes,
// rendering through the blend record, surface ownership and the surface-sprite's counting.
#include <gtest/gtest.h>

#include <vector>

#include "dxdraw/dxsprite.h"
#include "lib/combase.h"
#include "surface_test_util.h"

namespace {

using DxDraw::DxSprite;
using DxDraw::DxSurface;
using surface_test::DirtyPass;
using surface_test::PixelAt;
using surface_test::Plain;

class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override { DxDraw::CreateMatrixStack(128); }
    void TearDown() override { DxDraw::FreeMatrixStack(); }
    DxDraw::DxDrawGroup root;
};

TEST_F(SpriteTest, SourceRecordsAndTheHotSpot) {
    ComPtr<DxSurface> surface = Plain(40, 30, 0x336699);
    DxSprite whole(surface.Get());
    EXPECT_EQ(whole.Source().width, 40);
    EXPECT_EQ(whole.Source().source, (RECT{0, 0, 40, 30}));
    EXPECT_EQ(whole.Blend().level, 32u);

    TEXANIM record{20, 10, 10, 20, {5, 5, 25, 15}};
    DxSprite sprite(surface.Get(), &record), bare(nullptr, &record);
    root.Add(&sprite);
    sprite.SetPosition(100, 100);
    EXPECT_EQ(DirtyPass(root), (std::vector<RECT>{{90, 80, 110, 90}}));
    TEXANIM out{};
    sprite.GetSource(&out);
    EXPECT_EQ(out.source, record.source);

    root.Add(&bare);
    DirtyPass(root);
    bare.SetSource(nullptr);  // the whole surface, but there is none: nothing changes
    EXPECT_EQ(bare.Source().width, 20);
    EXPECT_EQ(bare.GetDirtyFlags(), 0u);
    record.width = 4;
    bare.SetSource(&record);
    EXPECT_EQ(bare.Source().width, 4);
    EXPECT_EQ(bare.GetDirtyFlags(), DxDraw::kDirtyContents) << "a new record marks the whole sprite";
    root.Remove(&bare);
    root.Remove(&sprite);
}

TEST_F(SpriteTest, OnlyTheChangedPartOfTheSurfaceIsRepainted) {
    ComPtr<DxSurface> surface = Plain(100, 100, 0x336699);
    TEXANIM record{50, 50, 0, 0, {50, 50, 100, 100}};
    DxSprite sprite(surface.Get(), &record);
    root.Add(&sprite);
    sprite.SetPosition(200, 300);
    DirtyPass(root);

    surface->FillRect(nullptr, 0, 255);  // everything: clipped to the source rectangle
    surface->ClearDirtyRect();
    const RECT change{60, 70, 70, 80};
    surface->FillRect(&change, 0xFFFFFF, 255);
    EXPECT_EQ(DirtyPass(root), (std::vector<RECT>{{210, 320, 220, 330}}));
    EXPECT_TRUE(IsRectEmpty(surface->GetDirtyRect())) << "the commit clears the surface's record";

    const RECT outside{0, 0, 10, 10};
    surface->FillRect(&outside, 0xFFFFFF, 255);
    EXPECT_TRUE(DirtyPass(root).empty());

    surface->FillRect(&change, 0, 255);
    sprite.SetPosition(0, 0);
    EXPECT_EQ(DirtyPass(root), (std::vector<RECT>{{200, 300, 250, 350}, {0, 0, 50, 50}}));
    sprite.Hide();
    EXPECT_EQ(DirtyPass(root), (std::vector<RECT>{{0, 0, 50, 50}})) << "hidden: no new rectangle";
    root.Remove(&sprite);
}

TEST_F(SpriteTest, AHiddenSpriteAddsNoNewRectangle) {
    ComPtr<DxSurface> surface = Plain(50, 50, 0x336699);
    DxSprite sprite(surface.Get());
    root.Add(&sprite);
    DirtyPass(root);
    // Hidden and moved: only the place it leaves; then nothing, whatever changes while hidden.
    sprite.Hide();
    sprite.SetPosition(100, 100);
    EXPECT_EQ(DirtyPass(root), (std::vector<RECT>{{0, 0, 50, 50}}));
    const RECT change{10, 10, 20, 20};
    surface->FillRect(&change, 0xFFFFFF, 255);
    sprite.SetPosition(200, 200);
    EXPECT_TRUE(DirtyPass(root).empty());
    sprite.Show();
    EXPECT_EQ(DirtyPass(root), (std::vector<RECT>{{200, 200, 250, 250}}));
    root.Remove(&sprite);
}

TEST_F(SpriteTest, RenderBlitsTheSourceInsideTheClip) {
    ComPtr<DxSurface> target = Plain(64, 64, 0);
    ComPtr<DxSurface> picture = Plain(16, 16, 0x112233);
    DxSprite sprite(picture.Get());
    root.Add(&sprite);
    sprite.SetPosition(10, 10);
    DirtyPass(root);

    DrawRequest request;
    request.target = static_cast<DxDraw::DxSurface32*>(target.Get());
    request.clip = RECT{0, 0, 20, 64};
    root.Render(&request);
    EXPECT_EQ(PixelAt(*target, 10, 10), 0x00112233u);
    EXPECT_EQ(PixelAt(*target, 19, 25), 0x00112233u);
    EXPECT_EQ(PixelAt(*target, 20, 25), 0x00000000u) << "outside the clip";
    EXPECT_EQ(PixelAt(*target, 9, 10), 0x00000000u);

    // The sprite's own blend record: a fade at half level over blue, each byte s/2 + d/2.
    sprite.SetBlendFlags(DxDraw::BlendIndex(DxDraw::kColumnFade, 0));
    sprite.SetLevel(128);
    target->FillRect(nullptr, 0x0000FF, 255);
    request.clip = RECT{0, 0, 64, 64};
    root.Render(&request);
    EXPECT_EQ(PixelAt(*target, 12, 12), 0x00081198u);
    EXPECT_EQ(PixelAt(*target, 9, 12), 0x000000FFu);

    sprite.Hide();  // draws nothing
    target->FillRect(nullptr, 0x0000FF, 255);
    root.Render(&request);
    EXPECT_EQ(PixelAt(*target, 12, 12), 0x000000FFu);
    root.Remove(&sprite);
}

TEST_F(SpriteTest, HitTestThroughTheGroup) {
    ComPtr<DxSurface> picture = Plain(20, 10, 0);
    TEXANIM record{20, 10, 5, 5, {0, 0, 20, 10}};
    DxSprite sprite(picture.Get(), &record);
    DxDraw::DxDrawGroup group;
    group.SetPosition(100, 0);
    group.Add(&sprite);
    sprite.SetPosition(50, 50);
    ssView* hit = nullptr;
    const auto hitTest = [&](POINT* p) {
        return group.HandleMessage(kMsgHitTest, reinterpret_cast<std::uintptr_t>(p),
                                   reinterpret_cast<std::uintptr_t>(&hit));
    };
    POINT inside{100 + 45, 45};  // the drawn corner: position less the hot spot
    EXPECT_EQ(hitTest(&inside), 1u);
    EXPECT_EQ(hit, static_cast<ssView*>(&sprite));
    EXPECT_EQ(inside, (POINT{0, 0}));
    POINT outside{100 + 44, 45};
    EXPECT_EQ(hitTest(&outside), 0u);
    EXPECT_EQ(hit, nullptr);
    EXPECT_EQ(outside, (POINT{144, 45})) << "restored";
    group.Remove(&sprite);
}

TEST_F(SpriteTest, SurfaceOwnership) {
    ComPtr<DxSurface> surface = Plain(8, 8, 0);
    {
        DxSprite sprite(surface.Get());
        surface->AddRef();  // the sprite's own reference
        sprite.SetOwnsSurface(true);
        sprite.SetSurface(surface.Get());  // the same surface: kept, still owned
        EXPECT_EQ(surface->ReferenceCount(), 2u);
        EXPECT_TRUE(sprite.OwnsSurface());
        EXPECT_EQ(sprite.GetDirtyFlags() & DxDraw::kDirtyContents, DxDraw::kDirtyContents);
    }
    EXPECT_EQ(surface->ReferenceCount(), 1u) << "an owned surface is released with the sprite";

    ComPtr<DxSurface> other = Plain(4, 4, 0);
    DxSprite sprite(surface.Get());
    surface->AddRef();
    sprite.SetOwnsSurface(true);
    sprite.SetSurface(other.Get());
    EXPECT_EQ(surface->ReferenceCount(), 1u);
    EXPECT_FALSE(sprite.OwnsSurface());
}

TEST_F(SpriteTest, SurfaceSpriteIsDeletedOnlyByItsLastHolder) {
    const std::int32_t before = DxDraw::DxSurface32::LiveCount();
    auto* view = new DxDraw::DxSurfaceSprite32(30, 20);
    EXPECT_EQ(PixelAt(*view, 3, 3), 0xFF000000u);
    EXPECT_EQ(view->GetDirtyRect(), (RECT{0, 0, 30, 20}));
    EXPECT_EQ(view->GetSurface(), static_cast<DxSurface*>(view));
    EXPECT_EQ(DxDraw::DxSurface32::LiveCount(), before + 1);

    root.Add(view);
    view->AddRef();  // held as a surface elsewhere
    EXPECT_EQ(view->Destroy(), 1u);
    EXPECT_EQ(view->GetParent(), nullptr);
    EXPECT_EQ(DxDraw::DxSurface32::LiveCount(), before + 1);
    root.Add(view);
    { SharedHolder<DxSprite> holder(view); }
    EXPECT_EQ(DxDraw::DxSurface32::LiveCount(), before);
    EXPECT_EQ(root.GetFirstChild(), nullptr);
}

}  // namespace

namespace {

// Each change of how a sprite is drawn reaches the screen by making the sprite dirty; giving a
// setter the value already held changes nothing.
TEST_F(SpriteTest, EveryChangeOfWhatIsDrawnMakesTheSpriteDirty) {
    ComPtr<DxSurface> picture = Plain(16, 16, 0x112233);
    DxDraw::BlendParams masked;
    masked.channelMask = 0xFF00FF00;
    const struct {
        const char* name;
        void (*change)(DxSprite&, DxDraw::DxDrawGroup&, const DxDraw::BlendParams&);
        std::uint32_t flags;
    } cases[] = {
        {"level", [](DxSprite& s, auto&, auto&) { s.SetLevel(255); }, DxDraw::kDirtyContents},
        {"same level", [](DxSprite& s, auto&, auto&) { s.SetLevel(32); }, 0},
        {"flags", [](DxSprite& s, auto&, auto&) { s.SetBlendFlags(DxDraw::kColumnFade); }, DxDraw::kDirtyContents},
        {"same flags", [](DxSprite& s, auto&, auto&) { s.SetBlendFlags(0); }, 0},
        {"whole record", [](DxSprite& s, auto&, auto& b) { s.SetBlend(b); }, DxDraw::kDirtyContents},
        {"same record", [](DxSprite& s, auto&, auto&) { s.SetBlend(DxDraw::BlendParams(s.Blend())); }, 0},
        {"origin",
         [](DxSprite& s, auto&, auto&) {
             s.SetOrigin({3, 0, 0});
         },
         DxDraw::kDirtyPosition},
        {"position in 3D",
         [](DxSprite& s, auto&, auto&) {
             s.SetPosition3({0, 0, 5});
         },
         DxDraw::kDirtyPosition},
        {"orbit",
         [](DxSprite& s, auto&, auto&) {
             s.SetOrbit({0, 0, 0x4000});
         },
         DxDraw::kDirtyPosition},
        {"transform flags", [](DxSprite& s, auto&, auto&) { s.SetTransformFlags(DrawView::kApplyOrbit); },
         DxDraw::kDirtyPosition},
        {"same scale",
         [](DxSprite& s, auto&, auto&) {
             s.SetScale({1, 1, 1});
         },
         0},
        {"group's rotation",
         [](DxSprite&, auto& g, auto&) {
             g.SetRotation({0, 0, 0x4000});
         },
         DxDraw::kDirtyPosition},
        {"group's scale",
         [](DxSprite&, auto& g, auto&) {
             g.SetScale({2, 2, 1});
         },
         DxDraw::kDirtyPosition},
    };
    for (const auto& c : cases) {
        DxDraw::DxDrawGroup group;
        DxSprite sprite(picture.Get());
        root.Add(&group);
        group.Add(&sprite);
        DirtyPass(root);
        c.change(sprite, group, masked);
        EXPECT_EQ(sprite.GetDirtyFlags(), c.flags) << c.name;
        group.Remove(&sprite);
        root.Remove(&group);
    }
}

}  // namespace
