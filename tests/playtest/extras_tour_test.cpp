// The extras reached from the title, across two runs of the sample game on one settings folder.
// The first plays Shiori's route (routes/shiori.txt) to its ending and then, back on the title
// (extras_tour_first.txt), opens the CG album and a picture in full view, replays the festival
// scene and leaves it by the menu's relabelled back-to-title item, lowers the music in the sound
// settings and quits. The second (extras_tour_second.txt) finds the same pictures and scenes
// unlocked, and a new game asks to skip the prologue the first run read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "playtest/playtest_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

const fs::path kScripts = PLAYTEST_SCRIPTS;
const fs::path kData = fs::path(DEMO_DATA_DIR) / "script/data";

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The share of the whole screen where two shots agree.
double Same(const Shot& a, const Shot& b) {
    if (a.pixels.empty() || a.width != b.width || a.height != b.height) return 0;
    return Matching(a, 0, 0, a.width, a.height, 0, [&b](int x, int y) { return b.At(x, y); });
}

std::size_t IndexOf(const PlayRun& run, const std::string& kind, const std::string& field, std::size_t from = 0) {
    for (std::size_t i = from; i < run.log.size(); ++i)
        if (run.log[i].kind == kind && !run.log[i].fields.empty() && run.log[i].fields.back() == field) return i;
    return run.log.size();
}

int FirstPage(const PlayRun& run) {
    const std::vector<LogLine> pages = run.Of("page");
    return pages.empty() ? -1 : std::stoi(pages.front().fields.at(1));
}

TEST(ExtrasTour, AlbumReplayAndSettingsFromTheTitleAndWhatTheNextStartKeeps) {
    testsupport::TempFolder folder("extras_tour");
    const fs::path settings = folder / "settings", shots = folder / "shots";
    fs::create_directories(shots);
    const fs::path first_script = folder / "first.txt";
    std::ofstream(first_script, std::ios::binary)
        << ReadText(kScripts / "routes/shiori.txt") << ReadText(kScripts / "extras_tour_first.txt");
    const std::string arguments = "--settings '" + settings.string() + "' --shots '" + shots.string() + "' --seed 2";

    const PlayRun first = RunPlaytest(DEMO_DATA_DIR, first_script, arguments);
    ASSERT_EQ(first.status, 0) << first.errors;
    const std::size_t ending = IndexOf(first, "end", "0");
    ASSERT_LT(ending, first.log.size()) << first.Kinds();
    // The album plays its own music; leaving it brings the title's back.
    const std::size_t album = IndexOf(first, "music", "CGMODE", ending);
    ASSERT_LT(album, first.log.size()) << first.Kinds();
    EXPECT_LT(IndexOf(first, "music", "TITLE", album), first.log.size());
    // The festival scene from its label, on its own picture, until the menu's item ends it.
    const std::size_t scene = IndexOf(first, "picture", "EV5000000", album);
    EXPECT_LT(scene, IndexOf(first, "request", "0", scene)) << first.Kinds();
    EXPECT_LT(IndexOf(first, "dialog", "サウンド設定", scene), first.log.size()) << first.Kinds();
    EXPECT_TRUE(first.Of("grayed").empty()) << "the relabelled item was not found";
    EXPECT_NE(ReadText(settings / "quibel.ini").find("BgmVolume=30\n"), std::string::npos);

    // The full view of the first thumbnail is its first picture, a base without layers.
    const Shot full_view = ReadShot(shots / "full_view.png");
    EXPECT_GT(Same(full_view, ReadShot(kData / "EV10000.jpg")), 0.99);
    // The replay's page comes back as it was after the scene.
    const Shot replay = ReadShot(shots / "replay.png");
    EXPECT_GT(Same(replay, ReadShot(shots / "replay_again.png")), 0.999);
    EXPECT_LT(Same(replay, ReadShot(shots / "replay_page.png")), 0.5);

    fs::copy_file(shots / "album.png", folder / "album_first.png");
    fs::copy_file(shots / "replay.png", folder / "replay_first.png");
    const PlayRun second = RunPlaytest(DEMO_DATA_DIR, kScripts / "extras_tour_second.txt", arguments);
    ASSERT_EQ(second.status, 0) << second.errors;
    EXPECT_GT(Same(ReadShot(shots / "album.png"), ReadShot(folder / "album_first.png")), 0.999);
    EXPECT_GT(Same(ReadShot(shots / "replay.png"), ReadShot(folder / "replay_first.png")), 0.999);
    // The prologue was read: the question is asked, and yes starts after it.
    const Shot question = ReadShot(shots / "question.png");
    ASSERT_FALSE(question.pixels.empty());
    EXPECT_GT(Matching(question, 304, 200, 330, 220, 60, [](int, int) { return 0xFFFFFFFFu; }), 0.05)
        << "no question panel over the title";
    EXPECT_GT(FirstPage(second), FirstPage(first));
    EXPECT_NE(ReadText(settings / "quibel.ini").find("BgmVolume=30\n"), std::string::npos);
}

}  // namespace
