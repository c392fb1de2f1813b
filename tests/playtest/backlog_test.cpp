// The backlog on the sample game: opened from the page wait's button, scrolled by the knob, the
// wheel and a key, a face clicked for its voice, left with Escape for the same page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

struct Area {
    int left, top, right, bottom;
};

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>(pixel >> shift & 0xFF); }

// Pixels of the area for which the test holds.
template <class Test>
int Count(const Area& area, Test test) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) count += test(x, y);
    return count;
}

bool Bright(std::uint32_t pixel) {
    return Channel(pixel, 16) > 100 || Channel(pixel, 8) > 100 || Channel(pixel, 0) > 100;
}

bool White(std::uint32_t pixel) {
    return Channel(pixel, 16) > 200 && Channel(pixel, 8) > 200 && Channel(pixel, 0) > 200;
}

// Whether the shot shows the system sheet's opaque pixels of `source` at `at`; how many it checked.
int SheetPartShown(const Shot& shot, const Shot& sheet, const Area& source, int at_x, int at_y) {
    return Count(source, [&](int x, int y) {
        const std::uint32_t cell = sheet.At(x, y);
        if (cell >> 24 != 0xFF) return false;
        const std::uint32_t seen = shot.At(at_x + x - source.left, at_y + y - source.top);
        for (int shift : {0, 8, 16})
            if (std::abs(Channel(seen, shift) - Channel(cell, shift)) > 3) return false;
        return true;
    });
}

TEST(Backlog, ItOpensAtTheEndScrollsReplaysAFacesVoiceAndLeavesForTheSamePage) {
    testsupport::TempFolder shots("playtest_backlog");
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "backlog.txt",
                                    "--shots '" + shots.path().string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();

    // The girl's first voice again while the backlog is open on page 12, then the story goes on.
    const std::vector<std::string> voices = FirstFields(run, "voice");
    ASSERT_GE(voices.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(voices.begin(), voices.begin() + 4),
              (std::vector<std::string>{"A0001", "A0002", "A0003", "A0001"}));
    const std::vector<LogLine> pages = run.Of("page");
    ASSERT_GE(pages.size(), 14u);
    const int replayed = run.Of("voice").at(3).frame;
    EXPECT_GT(replayed, pages.at(11).frame);
    EXPECT_LT(replayed, pages.at(12).frame);
    EXPECT_EQ(pages.at(12).fields.at(1), "13") << "the same page waited on";

    const Shot page = ReadShot(shots.path() / "page.png"), open = ReadShot(shots.path() / "backlog.png"),
               top = ReadShot(shots.path() / "top.png"), left = ReadShot(shots.path() / "left.png");
    const Shot sheet = ReadShot(SYSTEM_PICTURE);
    for (const Shot* shot : {&page, &open, &top, &left}) ASSERT_EQ(shot->width, 800);
    ASSERT_EQ(sheet.height, 808);

    // The dark layer: the picture right of the track at a quarter of its light.
    EXPECT_EQ(Count({730, 0, 800, 400},
                    [&](int x, int y) {
                        for (int shift : {0, 8, 16})
                            if (std::abs(Channel(open.At(x, y), shift) - Channel(page.At(x, y), shift) / 4) > 2)
                                return true;
                        return false;
                    }),
              0);
    // White text right of the faces, and nothing bright left of the text but the faces: the girl's
    // first words on row 8 at the end, none in the rows above.
    EXPECT_GT(Count({124, 0, 688, 600}, [&](int x, int y) { return White(open.At(x, y)); }), 2000);
    EXPECT_GT(Count({24, 192, 72, 240}, [&](int x, int y) { return Bright(open.At(x, y)); }), 500);
    EXPECT_EQ(Count({0, 0, 124, 192}, [&](int x, int y) { return Bright(open.At(x, y)); }), 0);
    EXPECT_EQ(Count({0, 0, 124, 552}, [&](int x, int y) { return Bright(top.At(x, y)); }), 0);
    // The track to the sheet's last row, the knob at the bottom on opening and at the top after
    // the drag.
    const Area track{0, 240, 32, 808}, knob{32, 240, 56, 272};
    const int opaque = Count(track, [&](int x, int y) { return sheet.At(x, y) >> 24 == 0xFF; });
    ASSERT_GT(opaque, 100);
    EXPECT_EQ(SheetPartShown(open, sheet, track, 688, 16), opaque);
    EXPECT_EQ(SheetPartShown(open, sheet, {0, 790, 32, 808}, 688, 566),
              Count({0, 790, 32, 808}, [&](int x, int y) { return sheet.At(x, y) >> 24 == 0xFF; }));
    const int knob_opaque = Count(knob, [&](int x, int y) { return sheet.At(x, y) >> 24 == 0xFF; });
    ASSERT_GT(knob_opaque, 100);
    EXPECT_EQ(SheetPartShown(open, sheet, knob, 692, 532), knob_opaque);
    EXPECT_EQ(SheetPartShown(top, sheet, knob, 692, 36), knob_opaque);
    // After leaving, the page's text as it was left (the buttons and the blinking cursor right of
    // it light and blink by the pointer and the clock).
    EXPECT_EQ(Count({0, 400, 752, 600}, [&](int x, int y) { return left.At(x, y) != page.At(x, y); }), 0);
}

}  // namespace
