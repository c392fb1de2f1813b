// The title screen and the manual of the sample game through the playthrough tool: the menu where
// config.xml puts it, the hover image under the pointer, the manual's pages turned both ways round
// from the title and opened again from the window's menu during the story.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

const fs::path kData = fs::path(DEMO_DATA_DIR) / "script/data";

// config.xml's title menu; the sheet's buttons lie at x 0 from y 608 on a pitch of 48, each
// 248 x 40, their hover images 288 lower.
constexpr int kMenuX = 520, kMenuY = 300;

// What the title shows with button `hovered` lit (-1 none): the sheet's background, and the
// buttons' images (which carry the background they stand on) in their column.
void CheckTitle(const Shot& shot, int hovered) {
    const Shot sheet = ReadShot(kData / "title/title.png");
    ASSERT_EQ(sheet.width, 800);
    ASSERT_EQ(sheet.height, 1184);
    const auto expected = [&](int x, int y) {
        const int i = (y - kMenuY) / 48;
        if (x < kMenuX || x >= kMenuX + 248 || y < kMenuY || i >= 6 || (y - kMenuY) % 48 >= 40) return sheet.At(x, y);
        return sheet.At(x - kMenuX, 608 + 48 * i + (y - kMenuY) % 48 + (i == hovered ? 288 : 0));
    };
    EXPECT_GT(Matching(shot, 0, 0, 800, 600, 1, expected), 0.999) << "hovered " << hovered;
    // The hover image differs from the normal one: the lit button is told apart from the others.
    for (int i = 0; i < 6; ++i) {
        const auto normal = [&](int x, int y) { return sheet.At(x - kMenuX, 608 + 48 * i + y - kMenuY - 48 * i); };
        const double same = Matching(shot, kMenuX, kMenuY + 48 * i, kMenuX + 248, kMenuY + 48 * i + 40, 1, normal);
        if (i == hovered)
            EXPECT_LT(same, 0.5) << i;
        else
            EXPECT_GT(same, 0.999) << i;
    }
}

// A page of the manual ("title/rm_baseN") with its three buttons over it (source alpha), button
// `hovered` showing its hover image.
void CheckManual(const Shot& shot, int page, int hovered) {
    const Shot base = ReadShot(kData / ("title/rm_base" + std::to_string(page) + ".jpg"));
    const Shot parts = ReadShot(kData / "title/rm_parts.png");
    ASSERT_EQ(base.width, 800);
    ASSERT_EQ(base.height, 600);
    ASSERT_EQ(parts.width, 112);
    // Previous, next and close: their rows in the parts picture and their x on the screen.
    const int rows[] = {56, 0, 112}, lefts[] = {561, 635, 709};
    const auto expected = [&](int x, int y) {
        for (int b = 0; b < 3; ++b)
            if (x >= lefts[b] && x < lefts[b] + 50 && y >= 533 && y < 583) {
                const std::uint32_t part = parts.At(x - lefts[b] + (b == hovered ? 56 : 0), y - 533 + rows[b]);
                return Blend(part, base.At(x, y), static_cast<int>(part >> 24));
            }
        return base.At(x, y);
    };
    EXPECT_GT(Matching(shot, 0, 0, 800, 600, 3, expected), 0.99) << "page " << page << ", hovered " << hovered;
    for (int b = 0; b < 3; ++b)
        EXPECT_GT(Matching(shot, lefts[b], 533, lefts[b] + 50, 583, 3, expected), 0.99)
            << "button " << b << " on page " << page << ", hovered " << hovered;
}

TEST(Title, TheMenuAndTheManualFromTheTitleAndFromTheWindowsMenu) {
    testsupport::TempFolder shots("playtest_title");
    const PlayRun run =
        RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "title.txt", "--shots '" + shots.path().string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout", "grayed"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();

    // The title's music, its menu, the menu again once the manual closed, and the music stopped
    // by the new game before the story's first page.
    const std::string kinds = run.Kinds();
    EXPECT_EQ(kinds.substr(0, kinds.find("picture")), "music title title music ");
    ASSERT_GE(run.log.size(), 4u);
    EXPECT_EQ(run.log[0].fields, std::vector<std::string>{"TITLE"});
    EXPECT_EQ(run.log[3].fields, std::vector<std::string>{""});
    EXPECT_EQ(run.Of("page").size(), 1u);

    const auto shot = [&](const char* name) { return ReadShot(shots.path() / (std::string(name) + ".png")); };
    CheckTitle(shot("title"), -1);
    CheckTitle(shot("title_hover"), 2);
    CheckTitle(shot("title_again"), 5);
    // Opened with the pointer away from its buttons, each turn leaves the pointer on the button
    // clicked; previous from page 1 gives page 4, next from page 4 page 1.
    CheckManual(shot("manual1"), 1, -1);
    CheckManual(shot("manual2"), 2, 1);
    CheckManual(shot("manual4"), 4, 0);
    CheckManual(shot("manual1_again"), 1, 1);
    CheckManual(shot("manual_menu"), 1, -1);
    // The right click closed it over the story's first page (black above the window) without
    // reaching the page: the window still shows.
    const Shot page = shot("page"), again = shot("page_again");
    EXPECT_GT(Matching(again, 0, 0, 800, 400, 0, [](int, int) { return 0u; }), 0.999);
    EXPECT_GT(Matching(again, 0, 400, 740, 600, 0, [&](int x, int y) { return page.At(x, y); }), 0.99);
}

}  // namespace
