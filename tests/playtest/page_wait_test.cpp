// The story's page wait on the sample game as the reader sees it: the page cursor blinking at the
// window's lower right, Escape hiding the window until a click, and each voiced message's voice
// played once.
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

constexpr int kCursorShots = 30;  // one a frame from the first page wait on
// The page cursor: the system picture's 24 x 24 cell at (752, 408), shown at (752, 560).
constexpr int kCellX = 752, kCellY = 408, kCursorX = 752, kCursorY = 560, kCursorSize = 24;

bool InCursor(int x, int y) {
    return x >= kCursorX && x < kCursorX + kCursorSize && y >= kCursorY && y < kCursorY + kCursorSize;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > 3) return false;
    return true;
}

// Pixels where the two shots differ, outside the cursor's square or inside it.
int Differ(const Shot& a, const Shot& b, bool inside) {
    int differ = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            differ += InCursor(x, y) == inside && (a.At(x, y) & 0xFFFFFF) != (b.At(x, y) & 0xFFFFFF);
    return differ;
}

// Whether `on` shows the cell's opaque pixels in the cursor's square and `off`'s pixels where the
// cell is clear.
bool ShowsCursorOver(const Shot& on, const Shot& off, const Shot& system) {
    int opaque = 0;
    for (int y = 0; y < kCursorSize; ++y)
        for (int x = 0; x < kCursorSize; ++x) {
            const std::uint32_t cell = system.At(kCellX + x, kCellY + y);
            const std::uint32_t seen = on.At(kCursorX + x, kCursorY + y);
            if (cell >> 24 == 0xFF && !Near(seen, cell)) return false;
            if (cell >> 24 == 0 && !Near(seen, off.At(kCursorX + x, kCursorY + y))) return false;
            opaque += cell >> 24 == 0xFF;
        }
    return opaque > 20;
}

TEST(PageWait, TheCursorBlinksEvery200MsEscapeHidesTheWindowAndEachVoicePlaysOnce) {
    testsupport::TempFolder shots("playtest_page_wait");
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "page_wait.txt",
                                    "--shots '" + shots.path().string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();

    // The voice before the girl's first words and the one written with '@' before her next.
    const std::vector<std::string> voices = FirstFields(run, "voice");
    EXPECT_EQ(voices, (std::vector<std::string>{"A0001", "A0002"}));

    // The first page's frames: the cursor's square alternates between two pictures, one of them
    // the other with the cursor's cell over it; nothing else changes.
    const Shot system = ReadShot(SYSTEM_PICTURE);
    ASSERT_EQ(system.width, 800);
    std::vector<Shot> frames;
    for (int i = 1; i <= kCursorShots; ++i) {
        frames.push_back(
            ReadShot(shots.path() / ("cursor" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".png")));
        ASSERT_EQ(frames.back().width, 800) << i;
    }
    std::size_t other = 1;
    while (other < frames.size() && Differ(frames[0], frames[other], true) == 0) ++other;
    ASSERT_LT(other, frames.size()) << "the cursor never changed";
    const bool first_on = ShowsCursorOver(frames[0], frames[other], system);
    const Shot& on = first_on ? frames[0] : frames[other];
    const Shot& off = first_on ? frames[other] : frames[0];
    ASSERT_TRUE(ShowsCursorOver(on, off, system)) << "the cursor's cell at (752, 560)";
    std::vector<int> runs;
    bool last = !first_on;
    for (const Shot& frame : frames) {
        EXPECT_EQ(Differ(frame, frames[0], false), 0);
        const bool shown = ShowsCursorOver(frame, off, system);
        EXPECT_TRUE(shown || ShowsCursorOver(on, frame, system)) << "the cursor shown or hidden";
        if (runs.empty() || shown != last) runs.push_back(0);
        ++runs.back();
        last = shown;
    }
    ASSERT_GE(runs.size(), 3u) << "a whole run of frames between two changes";
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) EXPECT_EQ(runs[i], 12) << "200 ms at 60 frames a second";

    // Escape hides the window; after the click it is back with the same page, still waiting.
    const Shot hidden = ReadShot(shots.path() / "hidden.png");
    int lit = 0;
    for (int y = 400; y < 600; ++y)
        for (int x = 0; x < 800; ++x) lit += (hidden.At(x, y) & 0xFFFFFF) != 0;
    EXPECT_EQ(lit, 0);
    EXPECT_EQ(Differ(ReadShot(shots.path() / "shown.png"), frames[0], false), 0);
}

}  // namespace

namespace {

// Whether the two shots agree over one of the window's five buttons (48 x 24 at x 752, from
// y 440 down).
bool SameButton(const Shot& a, const Shot& b, int button) {
    for (int y = 440 + 24 * button; y < 464 + 24 * button; ++y)
        for (int x = 752; x < 800; ++x)
            if (a.At(x, y) != b.At(x, y)) return false;
    return true;
}

TEST(PageWait, AButtonLightsUnderThePointerOrWhileItsModeRunsAndDimsAfterwards) {
    testsupport::TempFolder shots("playtest_page_buttons");
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "page_buttons.txt",
                                    "--shots '" + shots.path().string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();
    const auto shot = [&](const std::string& name) { return ReadShot(shots.path() / (name + ".png")); };
    const Shot away = shot("away");
    ASSERT_EQ(away.width, 800);

    // Over button k only button k changes (lit), except the hidden skip button.
    const auto lights = [](const Shot& over, const Shot& away, int k) {
        for (int other = 0; other < 5; ++other) {
            EXPECT_EQ(SameButton(over, away, other), other != k || k == 1) << "over " << k << ", button " << other;
        }
    };
    for (int k = 0; k < 5; ++k) lights(shot("over" + std::to_string(k)), away, k);
    // Every button dim again once the pointer has left, also 履歴 after its backlog; and so on
    // the next page, where 履歴 lights again under the pointer.
    for (const char* name : {"left", "after_backlog"}) {
        const Shot later = shot(name);
        for (int k = 0; k < 5; ++k) EXPECT_TRUE(SameButton(later, away, k)) << name << ", button " << k;
    }
    lights(shot("next_over0"), shot("next_page"), 0);
    // オート lit while auto mode ran, dim once the click ended it.
    lights(shot("auto_on"), shot("auto_ended"), 2);
    // スキップ dim at the choice that ended skipping, as at the page after it.
    const Shot at_choice = shot("skip_at_choice"), after_choice = shot("after_choice");
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(SameButton(at_choice, after_choice, k)) << "at the choice, button " << k;
}

}  // namespace
