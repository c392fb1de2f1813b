// The whole sample game, played by the playthrough tool down every route to each ending with
// the input scripts of tests/playtest/routes. Each run is checked against the scenario's own
// text: what the stretches of the story it passes through name (pictures, music, voices,
// effects) must all be in the log, the choices, turns, jumps and ending must be the route's, and
// the screenshots of a message page, the festival's choice menu, the last turn selection and
// the ending slides must show the pictures of the data where they belong; after the slides the
// title comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <utility>

#include "playtest/playtest_run.h"
#include "playtest/scenario_names.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

const fs::path kRoutes = fs::path(PLAYTEST_SCRIPTS) / "routes";
const fs::path kScenario = SCENARIO_DIR;
const fs::path kData = fs::path(DEMO_DATA_DIR) / "script/data";
const fs::path kSystemPicture = SYSTEM_PICTURE;

struct Route {
    std::string name;  // routes/NAME.txt
    int seed;          // picks the festival's stall (2: the first, 6: the second, 1: the third)
    std::vector<std::string> stretches;
    std::vector<std::string> chosen, turns;
    std::string ending;
    std::vector<std::string> last_turn_buttons;  // the layout of the last turn selection
    std::vector<std::string> jumps;              // the labels jumped to, in order
};

// Every route starts with the prologue and the first day's hub, and meets the festival.
const std::vector<std::string> kOpening = {"", "PRSK", "TURNHUB", "TURNHUB/2"};
const std::vector<std::string> kFestival = {"DAY2", "FESTIVAL", "SC_FEST", "F_STALL", "F_SKY"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Route kRoutesTable[] = {
    {"shiori",
     2,
     Join({kOpening,
           kFestival,
           {"T_A", "A_HELP", "A_END", "T_C", "SC_BEACH", "T_D", "F_PRAISE", "STALL_1", "ROUTE_A", "RA_GO", "SC_LIGHT",
            "ENDING_A"}}),
     {"0", "0", "0"},
     {"1", "3", "6"},
     "0",
     {"AB", "CD"},
     {"T_A", "A_HELP", "A_END", "TURNHUB", "T_C", "TURNHUB", "DAY2", "T_D", "TURNHUB", "FESTIVAL", "F_PRAISE",
      "F_STALL", "STALL_1", "F_SKY", "ROUTE_A", "RA_GO", "ENDING_A"}},
    {"shiori_unanswered",
     6,
     Join({kOpening,
           kFestival,
           {"T_A", "A_WATCH", "A_END", "T_B", "SC_BOOK", "T_AB", "F_PRAISE", "STALL_2", "ROUTE_A", "RA_GO", "SC_LIGHT",
            "ENDING_N"}}),
     {"1", "0", "0"},
     {"1", "5", "5"},
     "1",
     {"AB", "C", "D"},
     {"T_A", "A_WATCH", "TURNHUB", "T_B", "TURNHUB", "DAY2", "T_AB", "TURNHUB", "FESTIVAL", "F_PRAISE", "F_STALL",
      "STALL_2", "F_SKY", "ROUTE_A", "RA_GO", "ENDING_N"}},
    {"chikage",
     1,
     Join({kOpening,
           kFestival,
           {"T_D", "T_B", "SC_BOOK", "SC_BOOK/1", "T_C", "SC_BEACH", "F_TEASE", "STALL_3", "ROUTE_B", "RB_STAY"}}),
     {"1", "0"},
     {"4", "2", "6"},
     "2",
     {"AB", "CD"},
     {"T_D", "TURNHUB", "T_B", "TURNHUB", "DAY2", "T_C", "TURNHUB", "FESTIVAL", "F_TEASE", "F_STALL", "STALL_3",
      "ROUTE_B", "RB_STAY"}},
    {"chikage_parting",
     6,
     Join({kOpening,
           kFestival,
           {"T_B", "SC_BOOK", "T_D", "T_A", "A_WATCH", "A_END", "F_QUIET", "STALL_2", "ROUTE_B", "RB_LEAVE",
            "ENDING_N"}}),
     {"1", "2", "1"},
     {"2", "4", "5"},
     "1",
     {"AB", "CD"},
     {"T_B", "TURNHUB", "T_D", "TURNHUB", "DAY2", "T_A", "A_WATCH", "TURNHUB", "FESTIVAL", "F_QUIET", "STALL_2",
      "F_SKY", "ROUTE_B", "RB_LEAVE", "ENDING_N"}},
    {"alone",
     2,
     Join({kOpening, kFestival, {"T_C", "SC_BEACH", "T_D", "T_CD", "F_QUIET", "STALL_1", "ROUTE_N", "ENDING_N"}}),
     {"2"},
     {"3", "6", "6"},
     "1",
     {"A", "B", "CD"},
     {"T_C", "TURNHUB", "T_D", "TURNHUB", "DAY2", "T_CD", "TURNHUB", "FESTIVAL", "F_QUIET", "STALL_1", "F_SKY",
      "ROUTE_N"}},
};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The named events of the log as the scenario reader writes them: the picture's layer dropped.
std::set<std::string> LoggedNames(const PlayRun& run) {
    std::set<std::string> names;
    for (const LogLine& line : run.log) {
        const auto& f = line.fields;
        if (line.kind == "picture" && f.size() == 2) names.insert(Upper("picture " + f[1]));
        if ((line.kind == "music" || line.kind == "voice") && f.size() == 1)
            names.insert(Upper(line.kind + " " + f[0]));
        if (line.kind == "effect" && f.size() == 2) names.insert(Upper("effect " + f[0] + " " + f[1]));
    }
    return names;
}

// What the choice events offered, told apart by the answer that follows: "chose" answers a choice
// menu, "turn" a turn selection.
struct Offers {
    std::vector<std::string> menus, turns;
};

Offers SplitOffers(const PlayRun& run) {
    Offers offers;
    std::string offered;
    for (const LogLine& line : run.log) {
        if (line.kind == "choice" && !line.fields.empty()) offered = line.fields[0];
        if (line.kind == "chose") offers.menus.push_back(std::exchange(offered, ""));
        if (line.kind == "turn") offers.turns.push_back(std::exchange(offered, ""));
    }
    return offers;
}

// The sample's turn-selection buttons: picture name and x range.
struct Button {
    std::string name;
    int left, right;
};
const std::map<std::string, Button> kButtons = {
    {"A", {"SEL_A_0", 36, 206}},  {"B", {"SEL_B_0", 222, 392}},  {"C", {"SEL_C_0", 408, 578}},
    {"D", {"SEL_D_0", 594, 764}}, {"AB", {"SEL_AB_0", 36, 392}}, {"CD", {"SEL_CD_0", 408, 764}},
};

void CheckTurnSelection(const Shot& shot, const std::vector<std::string>& layout) {
    const Shot ground = ReadShot(kData / "select/selbg.jpg");
    ASSERT_EQ(ground.width, 800);
    std::vector<std::pair<Button, Shot>> buttons;
    for (const std::string& name : layout) {
        const Button& button = kButtons.at(name);
        buttons.emplace_back(button, ReadShot(kData / "select" / (button.name + ".png")));
        ASSERT_EQ(buttons.back().second.width, button.right - button.left) << name;
    }
    const double match = Matching(shot, 0, 0, 800, 600, 3, [&](int x, int y) {
        for (const auto& [button, picture] : buttons)
            if (x >= button.left && x < button.right && y >= 197 && y < 497) {
                const std::uint32_t pixel = picture.At(x - button.left, y - 197);
                return Blend(pixel, ground.At(x, y), static_cast<int>(pixel >> 24));
            }
        return ground.At(x, y);
    });
    EXPECT_GT(match, 0.99) << "the selection background with the buttons of the layout";
}

// The third page of the prologue: the harbour town's picture above the message window.
void CheckMessagePage(const Shot& shot) {
    const Shot town = ReadShot(kData / "BG10000.jpg");
    ASSERT_EQ(town.width, 800);
    const auto picture = [&](int x, int y) { return town.At(x, y); };
    EXPECT_GT(Matching(shot, 0, 0, 800, 400, 3, picture), 0.99) << "the picture above the window";
    EXPECT_LT(Matching(shot, 0, 400, 800, 600, 3, picture), 0.2) << "the window's tinted ground and text";
}

// The festival's three items over the scene: the system panel at level 128 from (108, 148);
// its left part (no text there) checked against the scene shot just before the menu.
void CheckChoiceMenu(const Shot& before, const Shot& menu, const Shot& hover) {
    const Shot system = ReadShot(kSystemPicture);
    ASSERT_EQ(system.width, 800);
    EXPECT_GT(
        Matching(menu, 108, 148, 230, 272, 3,
                 [&](int x, int y) { return Blend(system.At(x - 108 + 72, y - 148 + 240), before.At(x, y), 128); }),
        0.99)
        << "the panel blended over the scene";
    EXPECT_GT(Matching(menu, 0, 0, 800, 140, 0, [&](int x, int y) { return before.At(x, y); }), 0.99)
        << "the scene above the panel as it was";
    // The pointed item (the second, y 190 to 230) turns red; the first stays white.
    const auto red_pixels = [](const Shot& shot, int top) {
        int count = 0;
        for (int y = top; y < top + 32; ++y)
            for (int x = 200; x < 600; ++x) {
                const std::uint32_t p = shot.At(x, y);
                count += Channel(p, 16) > 180 && Channel(p, 8) < 80 && Channel(p, 0) < 80;
            }
        return count;
    };
    EXPECT_GT(red_pixels(hover, 152 + 42), 50);
    EXPECT_EQ(red_pixels(hover, 152), 0);
    EXPECT_EQ(red_pixels(menu, 152 + 42), 0) << "nothing pointed at before the move";
}

// END and END2 (not END1): the three slides of config.xml, each shown whole once risen; after the
// last the music stops, and the next cycle starts the title's music and shows its menu.
void CheckEndingSlides(const PlayRun& run, const fs::path& shots) {
    for (int n = 1; n <= 3; ++n) {
        const Shot slide = ReadShot(kData / ("ed0" + std::to_string(n) + ".jpg"));
        ASSERT_EQ(slide.width, 800) << n;
        const auto picture = [&](int x, int y) { return slide.At(x, y); };
        EXPECT_GT(Matching(ReadShot(shots / ("slide" + std::to_string(n) + ".png")), 0, 0, 800, 600, 3, picture), 0.99)
            << "slide " << n;
    }
    std::string after_end;
    bool ended = false;
    for (const LogLine& line : run.log) {
        ended = ended || line.kind == "end";
        if (ended && line.kind != "end")
            after_end += line.kind + (line.fields.empty() ? "" : " " + line.fields[0]) + "|";
    }
    EXPECT_EQ(after_end.substr(0, after_end.find("title|") + 6), "music |music TITLE|title|");
}

void PrintTo(const Route& route, std::ostream* out) { *out << route.name; }

class Routes : public ::testing::TestWithParam<Route> {};

TEST_P(Routes, PlayToTheEnding) {
    const Route& route = GetParam();
    testsupport::TempFolder shots("playtest_route_" + route.name);
    // Instant text and pictures shown at once keep the runs short; nothing else changes.
    std::ofstream(shots.path() / "quibel.ini") << "[quibel]\nMessageWait=0\nDisplaySpeed=1\n";
    const std::string folder = "'" + shots.path().string() + "'";
    const PlayRun run =
        RunPlaytest(DEMO_DATA_DIR, kRoutes / (route.name + ".txt"),
                    "--settings " + folder + " --shots " + folder + " --seed " + std::to_string(route.seed));
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();

    const Scenario scenario = ReadScenario(kScenario);
    const std::set<std::string> logged = LoggedNames(run);
    for (const std::string& stretch : route.stretches) {
        ASSERT_TRUE(scenario.stretches.count(stretch)) << "no stretch " << stretch;
        for (const std::string& named : scenario.stretches.at(stretch))
            EXPECT_TRUE(logged.count(Upper(named))) << named << " of " << stretch << " is not in the log";
    }
    const Offers offers = SplitOffers(run);
    EXPECT_EQ(offers.menus.size(), route.chosen.size());
    for (const std::string& menu : offers.menus)
        EXPECT_TRUE(scenario.menus.count(menu)) << menu << " is not a menu of the scenario";
    EXPECT_EQ(FirstFields(run, "chose"), route.chosen);
    EXPECT_EQ(FirstFields(run, "turn"), route.turns);
    // A turn selection offers its caption, then its buttons from the left: all four the first
    // time, the layout of the shot the last time. The routes' scripts wait for them by `until choice`.
    ASSERT_EQ(offers.turns.size(), route.turns.size());
    for (std::size_t i = 0; i < offers.turns.size(); ++i)
        EXPECT_TRUE(offers.turns[i].starts_with("ターン " + std::to_string(i + 1) + "|")) << offers.turns[i];
    EXPECT_EQ(offers.turns.front(), "ターン 1|A|B|C|D");
    std::string last_layout;
    for (const std::string& button : route.last_turn_buttons) last_layout += "|" + button;
    EXPECT_EQ(offers.turns.back(), "ターン 3" + last_layout);
    EXPECT_EQ(FirstFields(run, "jump"), route.jumps);
    EXPECT_EQ(FirstFields(run, "end"), std::vector<std::string>{route.ending});

    CheckMessagePage(ReadShot(shots.path() / "page.png"));
    CheckChoiceMenu(ReadShot(shots.path() / "before_choice.png"), ReadShot(shots.path() / "choice.png"),
                    ReadShot(shots.path() / "choice_hover.png"));
    CheckTurnSelection(ReadShot(shots.path() / "turn.png"), route.last_turn_buttons);
    if (route.ending != "1") CheckEndingSlides(run, shots.path());
}

TEST(RouteTable, TheRoutesTogetherPassEveryStretchThatNamesSomething) {
    std::set<std::string> passed;
    for (const Route& route : kRoutesTable) passed.insert(route.stretches.begin(), route.stretches.end());
    int named = 0;
    const Scenario scenario = ReadScenario(kScenario);
    EXPECT_EQ(scenario.menus.size(), 4u) << "the lighthouse, the festival and the two routes' menus";
    for (const auto& [stretch, names] : scenario.stretches) {
        if (names.empty()) continue;
        ++named;
        EXPECT_TRUE(passed.count(stretch)) << "no route passes " << stretch;
    }
    EXPECT_GT(named, 20) << "the scenario was read";
}

INSTANTIATE_TEST_SUITE_P(SampleGame, Routes, ::testing::ValuesIn(kRoutesTable),
                         [](const ::testing::TestParamInfo<Route>& info) { return info.param.name; });

}  // namespace
