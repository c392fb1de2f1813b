// What the sample game's scenario names, read straight from its UTF-8 sources (demo/scenario):
// the pictures, music, voices and effects of each stretch of the story, so that a route's run
// can be checked against the stretches it passes through.
//
// A stretch starts at the head of the story, at each label, and after each conditional jump
// (the part that runs only when the jump is not taken): "" is the head, "T_A" a label,
// "SC_BOOK/1" what follows the first conditional jump after SC_BOOK.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace playtest_test {

// Log kind and the name as the log gives it ("picture BG10000", "music BGM01", "voice A0001",
// "effect 1 WAVES"); stopping music and silent voices name nothing.
using NamedEvents = std::set<std::string>;

struct Scenario {
    std::map<std::string, NamedEvents> stretches;
    // Each choice menu as the log gives it: the texts of a run of choice lines joined by '|'.
    std::set<std::string> menus;
};

Scenario ReadScenario(const std::filesystem::path& scenario_folder);

}  // namespace playtest_test
