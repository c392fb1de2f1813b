// Sprites: source records, bounds, the dirty-rectangle refinement for surface changes,
// rendering through the blend record, surface ownership and the surface-sprite's counting.
#include <gtest/gtest.h>

#include <vector>

#include "dxdraw/dirty_rect_list.h"
#include "dxdraw/dxsprite.h"
#include "lib/combase.h"

namespace {

using DxDraw::DxSprite;
using DxDraw::DxSurface;
using DxDraw::DxSurfaceSprite32;

class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override { DxDraw::CreateMatrixStack(128); }
    void TearDown() override { DxDraw::FreeMatrixStack(); }

    static ComPtr<DxSurface> Surface(int w, int h, std::uint32_t rgb = 0x336699) {
        ComPtr<DxSurface> s = DxDraw::CreateSurface(32);
        s->SetSize(w, h);
        s->FillRect(nullptr, rgb, 255);
        s->ClearDirtyRect();
        return s;
    }

    std::vector<RECT> DirtyPass() {
        DirtyRectList list(500);
        list.Reset(DirtyRectList::kSeparateMode);
        root.HandleMessage(kMsgDirtyPass, 0, reinterpret_cast<std::uintptr_t>(&list));
        root.HandleMessage(kMsgCommit, 0, 0);
        std::vector<RECT> rects;
        for (int i = 0; i < list.Count(); ++i) rects.push_back(list[i]);
        return rects;
    }

    DxDraw::DxDrawGroup root;
};

TEST_F(SpriteTest, SourceDefaultsAndHotSpot) {
    ComPtr<DxSurface> surface = Surface(40, 30);
    DxSprite whole(surface.Get());
    EXPECT_EQ(whole.Source().width, 40);
    EXPECT_EQ(whole.Source().source, (RECT{0, 0, 40, 30}));
    EXPECT_EQ(whole.Blend().level, 32u);

    TEXANIM record{};
    record.width = 20;
    record.height = 10;
    record.hotX = 10;
    record.hotY = 20;
    record.source = RECT{5, 5, 25, 15};
    DxSprite sprite(surface.Get(), &record);
    root.Add(&sprite);
    sprite.SetPosition(100, 100);
    EXPECT_EQ(DirtyPass(), (std::vector<RECT>{{90, 80, 110, 90}}));

    TEXANIM out{};
    sprite.GetSource(&out);
    EXPECT_EQ(out.source, record.source);
    root.Remove(&sprite);
}

TEST_F(SpriteTest, SetSourceWithARecordMarksTheSpriteAndWithoutASurfaceDoesNothing) {
    TEXANIM record{};
    record.width = 3;
    DxSprite sprite(nullptr, &record);
    root.Add(&sprite);
    DirtyPass();
    sprite.SetSource(nullptr);
    EXPECT_EQ(sprite.Source().width, 3);
    EXPECT_EQ(sprite.GetDirtyFlags(), 0u);
    record.width = 4;
    sprite.SetSource(&record);
    EXPECT_EQ(sprite.Source().width, 4);
    EXPECT_EQ(sprite.GetDirtyFlags(), DxDraw::kDirtyContents) << "a new record marks the whole sprite";
    root.Remove(&sprite);
}

TEST_F(SpriteTest, OnlyTheChangedPartOfTheSurfaceIsRepainted) {
    ComPtr<DxSurface> surface = Surface(100, 100);
    TEXANIM record{};
    record.width = 50;
    record.height = 50;
    record.source = RECT{50, 50, 100, 100};
    DxSprite sprite(surface.Get(), &record);
    root.Add(&sprite);
    sprite.SetPosition(200, 300);
    DirtyPass();

    surface->FillRect(nullptr, 0, 255);  // everything: clipped to the source rectangle
    surface->ClearDirtyRect();
    const RECT change{60, 70, 70, 80};
    surface->FillRect(&change, 0xFFFFFF, 255);
    EXPECT_EQ(DirtyPass(), (std::vector<RECT>{{210, 320, 220, 330}}));
    EXPECT_TRUE(IsRectEmpty(surface->GetDirtyRect())) << "the commit clears the surface's record";

    const RECT outside{0, 0, 10, 10};
    surface->FillRect(&outside, 0xFFFFFF, 255);
    EXPECT_TRUE(DirtyPass().empty());

    surface->FillRect(&change, 0, 255);
    sprite.SetPosition(0, 0);
    EXPECT_EQ(DirtyPass(), (std::vector<RECT>{{200, 300, 250, 350}, {0, 0, 50, 50}}));

    sprite.Hide();
    EXPECT_EQ(DirtyPass(), (std::vector<RECT>{{0, 0, 50, 50}})) << "hidden: no new rectangle";
    root.Remove(&sprite);
}

TEST_F(SpriteTest, RenderBlitsTheSourceInsideTheClip) {
    ComPtr<DxSurface> target = Surface(64, 64, 0x000000);
    ComPtr<DxSurface> picture = Surface(16, 16, 0x112233);
    DxSprite sprite(picture.Get());
    root.Add(&sprite);
    sprite.SetPosition(10, 10);
    DirtyPass();

    DrawRequest request;
    request.target = static_cast<DxDraw::DxSurface32*>(target.Get());
    request.clip = RECT{0, 0, 20, 64};
    root.Render(&request);
    const auto pixel = [&](int x, int y) {
        return *reinterpret_cast<const std::uint32_t*>(target->GetPixelAddress(x, y));
    };
    EXPECT_EQ(pixel(10, 10), 0x00112233u);
    EXPECT_EQ(pixel(19, 25), 0x00112233u);
    EXPECT_EQ(pixel(20, 25), 0x00000000u) << "outside the clip";
    EXPECT_EQ(pixel(9, 10), 0x00000000u);

    // The sprite's own blend record: a fade at half level over blue, each byte s/2 + d/2.
    sprite.Blend().flags = DxDraw::BlendIndex(DxDraw::kColumnFade, 0);
    sprite.Blend().level = 128;
    target->FillRect(nullptr, 0x0000FF, 255);
    request.clip = RECT{0, 0, 64, 64};
    root.Render(&request);
    EXPECT_EQ(pixel(12, 12), 0x00081198u);
    EXPECT_EQ(pixel(9, 12), 0x000000FFu);

    // A hidden sprite draws nothing.
    sprite.Hide();
    target->FillRect(nullptr, 0x0000FF, 255);
    root.Render(&request);
    EXPECT_EQ(pixel(12, 12), 0x000000FFu);
    root.Remove(&sprite);
}

TEST_F(SpriteTest, HitTestThroughTheGroup) {
    ComPtr<DxSurface> picture = Surface(20, 10);
    TEXANIM record{};
    record.width = 20;
    record.height = 10;
    record.hotX = 5;
    record.hotY = 5;
    record.source = RECT{0, 0, 20, 10};
    DxSprite sprite(picture.Get(), &record);
    DxDraw::DxDrawGroup group;
    group.SetPosition(100, 0);
    group.Add(&sprite);
    sprite.SetPosition(50, 50);

    POINT inside{100 + 45, 45};  // the drawn corner: position less the hot spot
    ssView* hit = nullptr;
    EXPECT_EQ(group.HandleMessage(kMsgHitTest, reinterpret_cast<std::uintptr_t>(&inside),
                                  reinterpret_cast<std::uintptr_t>(&hit)),
              1u);
    EXPECT_EQ(hit, static_cast<ssView*>(&sprite));
    EXPECT_EQ(inside, (POINT{0, 0}));

    POINT outside{100 + 44, 45};
    EXPECT_EQ(group.HandleMessage(kMsgHitTest, reinterpret_cast<std::uintptr_t>(&outside),
                                  reinterpret_cast<std::uintptr_t>(&hit)),
              0u);
    EXPECT_EQ(hit, nullptr);
    EXPECT_EQ(outside, (POINT{144, 45})) << "restored";
    group.Remove(&sprite);
}

TEST_F(SpriteTest, SurfaceOwnership) {
    ComPtr<DxSurface> surface = Surface(8, 8);
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

    ComPtr<DxSurface> other = Surface(4, 4);
    DxSprite sprite(surface.Get());
    surface->AddRef();
    sprite.SetOwnsSurface(true);
    sprite.SetSurface(other.Get());
    EXPECT_EQ(surface->ReferenceCount(), 1u);
    EXPECT_FALSE(sprite.OwnsSurface());
}

TEST_F(SpriteTest, SurfaceSpriteIsDeletedOnlyByItsLastHolder) {
    const std::int32_t before = DxDraw::DxSurface32::LiveCount();
    auto* view = new DxSurfaceSprite32(30, 20);
    EXPECT_EQ(*reinterpret_cast<const std::uint32_t*>(view->GetPixelAddress(3, 3)), 0xFF000000u);
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
