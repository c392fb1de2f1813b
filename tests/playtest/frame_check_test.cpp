// The check of --check-frames on a small tree under the screen view: a change that reached the
// screen leaves nothing, each change made behind a view's back is found where it shows.
#include "tools/playtest/frame_check.h"

#include <gtest/gtest.h>

#include "dxdraw/dxsprite.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"

namespace {

using DxDraw::DxSprite;
using playtest::StaleArea;

ComPtr<DxDraw::DxSurface> Filled(int width, int height, std::uint32_t rgb) {
    ComPtr<DxDraw::DxSurface> surface = DxDraw::CreateSurface(32);
    surface->SetSize(width, height);
    surface->FillRect(nullptr, rgb, 255);
    return surface;
}

class FrameCheckTest : public ::testing::Test {
protected:
    FrameCheckTest() {
        DxDraw::CreateMatrixStack(128);
        screen = new DxDraw::DxScreenSurface32();
        root.Add(screen);
        screen->SetSize(800, 600);
        screen->SetWindow(&window);
        screen->SetAfterFrame([this] { stale = check.Compare(*screen, window.ShownPixels()); });
        for (DxSprite* sprite : {&background, &button}) screen->Add(sprite);
        button.SetBlendFlags(DxDraw::kColumnFade);
        button.SetLevel(128);
        button.SetPosition(752, 452);
    }
    ~FrameCheckTest() override {
        for (DxSprite* sprite : {&background, &button}) screen->Remove(sprite);
        screen->Destroy();
        DxDraw::FreeMatrixStack();
    }
    StaleArea Frame() {
        DrawRequest request;
        screen->Render(&request);
        return stale;
    }

    testhost::TestClock clock;
    testhost::TestWindow window{clock};
    DxDraw::DxDrawGroup root;
    DxDraw::DxScreenSurface32* screen;
    ComPtr<DxDraw::DxSurface> back = Filled(800, 600, 0x204060), face = Filled(48, 24, 0xFFFFFF);
    DxSprite background{back.Get()}, button{face.Get()};
    playtest::FrameCheck check;
    StaleArea stale;
};

TEST_F(FrameCheckTest, AChangeBehindAViewsBackIsFoundWhereItShows) {
    const struct {
        const char* name;
        void (*behind_back)(DxSprite&);  // the change, its notice lost or never given
        void (*through_setter)(DxSprite&);
        RECT stale;
    } cases[] = {
        {"a level whose invalidation was lost",
         [](DxSprite& s) { s.SetLevel(255), s.HandleMessage(kMsgCommit, 0, 0); },
         [](DxSprite& s) { s.SetLevel(255); },
         {752, 452, 800, 476}},
        {"a move",
         [](DxSprite& s) { s.DrawView::SetPosition(700, 440); },
         [](DxSprite& s) { s.SetPosition(700, 440); },
         {700, 440, 800, 476}},
        {"a picture drawn without a record",
         [](DxSprite& s) { s.GetSurface()->FillRect(nullptr, 0xFF0000, 255), s.GetSurface()->ClearDirtyRect(); },
         [](DxSprite& s) { s.GetSurface()->FillRect(nullptr, 0xFF0000, 255); },
         {752, 452, 800, 476}},
        {"hidden",
         [](DxSprite& s) { s.ssView::SetFlags(ssView::kFlagVisible, false); },
         [](DxSprite& s) { s.Hide(); },
         {752, 452, 800, 476}},
    };
    for (const auto& c : cases)
        for (const bool noticed : {true, false}) {
            // The button as the constructor made it, drawn.
            face->FillRect(nullptr, 0xFFFFFF, 255);
            button.Show();
            button.SetLevel(128);
            button.SetPosition(752, 452);
            Frame();
            EXPECT_EQ(Frame(), StaleArea{}) << c.name << ": a frame as drawn";
            (noticed ? c.through_setter : c.behind_back)(button);
            const StaleArea found = Frame();
            if (noticed) {
                EXPECT_EQ(found, StaleArea{}) << c.name << ": through the view";
                continue;
            }
            EXPECT_EQ(found.rect, c.stale) << c.name;
            EXPECT_GT(found.pixels, 0) << c.name;
            EXPECT_EQ(Frame(), found) << c.name << ": it stays until the view changes again";
        }
}

}  // namespace
