// The manual on the test host: its pages turned both ways round, its three buttons drawn with
// their alpha over the page and lit under the pointer within their 48-pixel squares, the ways it
// closes, and a request that passes through it.
#include "screens/manual_screen.h"

#include "lib/error.h"
#include "screen_fixture.h"

namespace {

using namespace screentest;

// Page n's colour (1 to 4); the buttons' normal and hover colours by row of the parts picture.
std::uint32_t PageColour(int n) { return 0x200000u * static_cast<std::uint32_t>(n) + 0x10; }
constexpr std::uint32_t kNormal[] = {0x00C000, 0x00C010, 0x00C020};  // rows 0, 1, 2 (y 0, 56, 112)
constexpr std::uint32_t kHover[] = {0xC0C000, 0xC0C010, 0xC0C020};
// Buttons previous, next and close: their screen x (y 533) and their row in the parts picture.
constexpr int kLeft[] = {561, 635, 709};
constexpr int kRow[] = {1, 0, 2};

class ManualScreenTest : public ScreenTest {
protected:
    ManualScreenTest() {
        for (int n = 1; n <= 4; ++n) FlatPicture("title/rm_base" + std::to_string(n), PageColour(n));
        // Each 50 x 50 image: opaque but for a clear column at its left edge.
        Picture("title/rm_parts", 112, 168, [](int x, int y) -> std::uint32_t {
            const int row = y / 56, column = x / 56;
            if (y % 56 >= 50 || x % 56 >= 50 || x % 56 == 0) return 0;
            return 0xFF000000u | (column == 0 ? kNormal[row] : kHover[row]);
        });
    }

    // The page shown (1 to 4, 0 for another colour) and each button's look: N normal, H hover,
    // - anything else; e.g. "2 NHN".
    std::string Seen() {
        int page = 0;
        for (int n = 1; n <= 4; ++n)
            if (Pixel(10, 10) == PageColour(n)) page = n;
        std::string seen = std::to_string(page) + " ";
        for (int b = 0; b < 3; ++b) {
            const std::uint32_t p = Pixel(kLeft[b] + 25, 558);
            seen += p == kNormal[kRow[b]] ? 'N' : p == kHover[kRow[b]] ? 'H' : '-';
        }
        return seen;
    }
    void Run() {
        Deadline();
        ManualScreen();
        Deadline(false);
        EXPECT_TRUE(ScreenEmpty()) << "no sprite of the manual is left";
    }
};

TEST_F(ManualScreenTest, PreviousAndNextTurnThePagesRoundAndCloseEndsIt) {
    // Clicks on the buttons (0 previous, 1 next) and what each leaves on the screen.
    const struct {
        int button;
        std::string seen;
    } steps[] = {
        {1, "2 NHN"}, {1, "3 NHN"}, {1, "4 NHN"}, {1, "1 NHN"}, {0, "4 HNN"}, {0, "3 HNN"}, {1, "4 NHN"},
    };
    std::vector<std::string> seen, expected{"1 NNN"};
    At(3, [&] { seen.push_back(Seen()); });
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const int frame = 5 + 5 * int(i);
        Click(frame, kLeft[steps[i].button] + 20, 550);
        At(frame + 3, [&] { seen.push_back(Seen()); });
        expected.push_back(steps[i].seen);
    }
    Click(5 + 5 * int(std::size(steps)), kLeft[2] + 20, 550);
    const int start = Frames();
    Run();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Frames() - start, 5 + 5 * int(std::size(steps)) + 1) << "closed by the click on close";
}

TEST_F(ManualScreenTest, TheButtonsAreDrawnWithTheirAlphaAndLightWithinTheirHitSquares) {
    // Pointer positions and the buttons seen: the 50-pixel images have 48-pixel hit squares.
    const struct {
        int x, y;
        std::string seen;
    } probes[] = {
        {561, 533, "1 HNN"},      {561 + 47, 533 + 47, "1 HNN"}, {561 + 48, 550, "1 NNN"},     {635, 533 + 48, "1 NNN"},
        {635 + 10, 560, "1 NHN"}, {709 + 47, 533, "1 NNH"},      {709 + 20, 533 - 1, "1 NNN"}, {300, 300, "1 NNN"},
    };
    std::vector<std::string> seen, expected;
    std::string edges;
    for (std::size_t i = 0; i < std::size(probes); ++i) {
        Move(2 + 3 * int(i), probes[i].x, probes[i].y);
        At(4 + 3 * int(i), [&, i] {
            seen.push_back(Seen());
            expected.push_back(probes[i].seen);
        });
    }
    // The clear left column of each image shows the page; its opaque part covers it.
    At(4, [&] {
        for (int b = 0; b < 3; ++b)
            edges += std::to_string(Pixel(kLeft[b], 540) == PageColour(1)) +
                     std::to_string(Pixel(kLeft[b] + 1, 540) != PageColour(1)) +
                     std::to_string(Pixel(kLeft[b] + 50, 540) == PageColour(1)) + " ";
    });
    Click(4 + 3 * int(std::size(probes)), 400, 300, kRightButton);
    Run();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(edges, "111 111 111 ");
}

TEST_F(ManualScreenTest, ARightClickAnywhereClosesItAndOtherInputDoesNothing) {
    // A left click beside the buttons, Return and Escape leave it open; the right click closes it.
    Click(3, 300, 300);
    At(6, [this] { window().Press(0x1C), window().Press(0x01); });
    At(7, [this] { window().Release(0x1C), window().Release(0x01); });
    Click(10, 100, 100, kRightButton);
    const int start = Frames();
    Run();
    EXPECT_EQ(Frames() - start, 11);
}

TEST_F(ManualScreenTest, ARequestOrAMissingPageTakesItsViewsDownAndPassesOn) {
    // On the second page a request, or no request and that page's picture missing.
    const std::pair<std::int32_t, std::string> cases[] = {
        {kRequestTitle, "request 0"}, {kRequestLoad, "request 1"}, {kRequestNone, "file not found"}};
    for (const auto& [request, passed] : cases) {
        if (request == kRequestNone) std::filesystem::remove(pictures / "title/rm_base2.png");
        Click(3, kLeft[1] + 20, 550);
        At(8, [request] { PendingRequest = request; });
        std::string thrown = "nothing";
        try {
            Deadline();
            ManualScreen();
        } catch (const ScriptException& e) {
            thrown = "request " + std::to_string(e.code);
        } catch (const ExceptionHandle& error) {
            thrown = Utf16ToUtf8(error.message);
        }
        EXPECT_NE(thrown.find(passed), std::string::npos) << thrown;
        EXPECT_TRUE(ScreenEmpty());
    }
}

}  // namespace
