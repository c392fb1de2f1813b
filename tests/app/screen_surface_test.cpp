// The screen view: changed rectangles gathered, redrawn into the back image and handed to the
// window; frame skip; and repaint on expose.
#include <gtest/gtest.h>

#include "dxdraw/draw_view.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"
#include "support/capture_reports.h"

namespace {

using DxDraw::DxScreenSurface32;
using DxDraw::DxSprite;

constexpr std::uint32_t kRed = 0xFF0000;

class ScreenSurfaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DxDraw::CreateMatrixStack(128); }
    static void TearDownTestSuite() { DxDraw::FreeMatrixStack(); }

    ScreenSurfaceTest() {
        screen = new DxScreenSurface32();
        screen->SetSize(800, 600);
        screen->SetWindow(&window());
        root.Add(screen);
        surface = DxDraw::CreateSurface(32);
        surface->SetSize(10, 10);
        surface->FillRect(nullptr, kRed, 255);
        a = AddSprite(0, 0);
        b = AddSprite(790, 590);
    }
    ~ScreenSurfaceTest() override { screen->Destroy(); }

    DxSprite* AddSprite(int x, int y) {
        auto* sprite = new DxSprite(surface.Get());
        sprite->SetPosition(x, y);
        screen->Add(sprite);
        return sprite;
    }
    void Frame() {
        DrawRequest request;
        root.Render(&request);
    }
    testhost::TestWindow& window() { return host.test_window(); }
    std::uint32_t Colour(int x, int y) { return window().Pixel(x, y) & 0xFFFFFF; }
    const std::vector<host::Rect>& LastPresent() { return window().presents().back(); }

    testhost::TestHost host;
    DrawGroup root;
    DxScreenSurface32* screen;
    ComPtr<DxDraw::DxSurface> surface;
    DxSprite* a;
    DxSprite* b;
};

TEST_F(ScreenSurfaceTest, UnionModeCoversAllChangesWithOneRectangle) {
    Frame();
    ASSERT_EQ(window().presents().size(), 1u);
    EXPECT_EQ(LastPresent(), (std::vector<host::Rect>{{0, 0, 800, 600}})) << "opposite corners: one rectangle";
    EXPECT_EQ(Colour(5, 5), kRed);
    EXPECT_EQ(Colour(795, 595), kRed);
    EXPECT_EQ(Colour(400, 300), 0u);
    ComPtr<DxDraw::DxSurface> copy = screen->CopyScreen();  // the copy holds the current picture
    ASSERT_TRUE(copy);
    EXPECT_EQ(*reinterpret_cast<const std::uint32_t*>(copy->GetPixelAddress(5, 5)) & 0xFFFFFF, kRed);

    a->SetPosition(100, 100);
    Frame();
    EXPECT_EQ(LastPresent(), (std::vector<host::Rect>{{0, 0, 110, 110}})) << "old and new place of the one that moved";
    EXPECT_EQ(Colour(5, 5), 0u);
    EXPECT_EQ(Colour(105, 105), kRed);

    Frame();
    EXPECT_EQ(window().presents().size(), 2u) << "nothing changed, nothing shown";
}

TEST_F(ScreenSurfaceTest, SeparateModeKeepsRectanglesApartAndClipsToTheScreen) {
    screen->SetListMode(DirtyRectList::kSeparateMode);
    screen->GetDirtyList().Reset(DirtyRectList::kSeparateMode);
    Frame();
    EXPECT_EQ(LastPresent(), (std::vector<host::Rect>{{0, 0, 10, 10}, {790, 590, 800, 600}}));
    b->SetPosition(795, 595);
    Frame();
    EXPECT_EQ(LastPresent(), (std::vector<host::Rect>{{790, 590, 800, 600}, {795, 595, 800, 600}}))
        << "the new place (795,595)-(805,605) is clipped to the screen before it is drawn";
    EXPECT_EQ(Colour(799, 599), kRed);
    EXPECT_EQ(Colour(792, 592), 0u);
}

TEST_F(ScreenSurfaceTest, FrameSkipDrawsEverySecondCallAndCarriesChanges) {
    screen->SetFrameSkipValue(1);
    screen->SetFrameSkipCounter(0);
    Frame();
    EXPECT_EQ(window().presents().size(), 1u);
    EXPECT_EQ(screen->GetFrameSkipCounter(), 1);
    a->SetPosition(200, 200);
    Frame();  // skipped
    EXPECT_EQ(window().presents().size(), 1u);
    EXPECT_EQ(screen->GetFrameSkipCounter(), 0);
    Frame();  // drawn, with the change of the skipped frame
    ASSERT_EQ(window().presents().size(), 2u);
    EXPECT_EQ(Colour(205, 205), kRed);
    EXPECT_EQ(Colour(5, 5), 0u);
}

TEST_F(ScreenSurfaceTest, PaintRepaintsFromTheTreeWithoutCommitting) {
    Frame();
    a->SetPosition(300, 300);
    ASSERT_NE(a->GetDirtyFlags(), 0u);
    DxDraw::DxFrame frame;
    frame.Create(&window());
    frame.SetScreenView(screen);
    const host::WindowMessage paint{host::kMsgPaint, 0, 0, {0, 0, 50, 50}};
    frame.WindowProc(paint);
    EXPECT_EQ(window().presents().size(), 1u) << "without a display device the paint waits for the start-up";

    DirectDrawDevice device;
    ASSERT_EQ(InitDirectDraw(device, &window(), 800, 600, 24, false, nullptr, 0), 0);
    frame.SetDevice(&device);
    frame.WindowProc(paint);
    ASSERT_EQ(window().presents().size(), 2u);
    EXPECT_EQ(LastPresent(), (std::vector<host::Rect>{{0, 0, 310, 310}}));
    EXPECT_NE(a->GetDirtyFlags(), 0u) << "the views are not committed by a repaint";
    EXPECT_EQ(Colour(305, 305), kRed);
}

}  // namespace
