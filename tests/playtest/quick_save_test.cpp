// The page wait's quick save and quick load on the sample game (quick_save.txt): the load brings
// back the saved page, its picture and sound, and the variables as they were when it began.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

// The index of the first line at or after `from` of that kind whose first field is `field`
// (any field when empty); log.size() when none.
std::size_t Find(const PlayRun& run, std::size_t from, const std::string& kind, const std::string& field = "") {
    for (std::size_t i = from; i < run.log.size(); ++i)
        if (run.log[i].kind == kind && (field.empty() || (!run.log[i].fields.empty() && run.log[i].fields[0] == field)))
            return i;
    return run.log.size();
}

// The fields of the last line of that kind (and first field, unless empty) before `before`, joined
// by blanks; empty when none.
std::string LastBefore(const PlayRun& run, std::size_t before, const std::string& kind, const std::string& field) {
    for (std::size_t i = before; i-- > 0;) {
        const LogLine& line = run.log[i];
        if (line.kind != kind || (!field.empty() && (line.fields.empty() || line.fields[0] != field))) continue;
        std::string joined;
        for (const std::string& f : line.fields) joined += f + " ";
        return joined;
    }
    return "";
}

std::string Joined(const LogLine& line) {
    std::string joined;
    for (const std::string& f : line.fields) joined += f + " ";
    return joined;
}

TEST(QuickSave, AQuickLoadRestoresThePagePictureSoundAndVariablesOfTheQuickSave) {
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "quick_save.txt");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(run.Of("error").empty()) << run.errors;
    EXPECT_TRUE(run.Of("timeout").empty()) << run.Kinds();

    // The save: on the beach's first page, the second turn of the first day.
    const std::size_t beach = Find(run, 0, "jump", "T_C");
    ASSERT_LT(beach, run.log.size()) << run.Kinds();
    const std::size_t saved_page = Find(run, beach, "page");
    ASSERT_LT(saved_page, run.log.size());
    const std::string page = Joined(run.log[saved_page]);
    const std::string picture = LastBefore(run, saved_page, "picture", "bg");
    const std::string music = LastBefore(run, saved_page, "music", "");
    ASSERT_FALSE(picture.empty());

    // The load request comes on the second day, after the hub sent TURN 2 there.
    const std::size_t first_day2 = Find(run, saved_page, "jump", "DAY2");
    const std::size_t request = Find(run, saved_page, "request", "1");
    ASSERT_LT(first_day2, request) << run.Kinds();
    ASSERT_LT(request, run.log.size()) << run.Kinds();

    // What the load shows and plays before the story goes on at the saved page.
    const std::size_t resumed = Find(run, request, "page");
    ASSERT_LT(resumed, run.log.size());
    EXPECT_EQ(Joined(run.log[resumed]), page);
    EXPECT_EQ(LastBefore(run, resumed, "picture", "bg"), picture);
    EXPECT_LT(Find(run, request, "picture", "bg"), resumed);
    EXPECT_LT(Find(run, request, "music"), resumed);
    EXPECT_EQ(music, "BGM02 ");  // the beach plays no music of its own: what the lighthouse left
    EXPECT_EQ(Joined(run.log[Find(run, request, "music")]), music);
    EXPECT_EQ(LastBefore(run, resumed, "effect", "1"), "1 WAVES ");

    // The variables of the saved page: TURN 1 again, so the beach's end jumps to DAY2 once more,
    // and the first day's second turn selection does not come back.
    EXPECT_LT(Find(run, resumed, "jump", "DAY2"), run.log.size()) << run.Kinds();
    for (std::size_t i = request; i < run.log.size(); ++i) EXPECT_NE(run.log[i].kind, "choice") << i;
}

}  // namespace
