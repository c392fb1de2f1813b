#include "playtest/scenario_names.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace playtest_test {

Scenario ReadScenario(const std::filesystem::path& scenario_folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(scenario_folder))
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());  // joined in name order, as the builder does

    Scenario scenario;
    std::string label, stretch, menu;
    int jumps = 0;
    for (const auto& file : files) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::istringstream words(line);
            std::string command, name;
            words >> command >> name;
            if (command == ".SEL") {
                std::string text;
                std::getline(words >> std::ws, text);
                menu += (menu.empty() ? "" : "|") + text;
                continue;
            }
            if (!menu.empty()) scenario.menus.insert(std::exchange(menu, ""));
            if (command == ".LAB") {
                label = stretch = name;
                jumps = 0;
            } else if (command == ".PJP") {
                stretch = label + "/" + std::to_string(++jumps);
            }
            NamedEvents& named = scenario.stretches[stretch];
            if (command == ".GRP" || command == ".CHR" || command == ".CHL") named.insert("picture " + name);
            if (command == ".WAV" && name != "00") named.insert("music " + name);
            if (command == ".VOI" && name != "00") named.insert("voice " + name);
            if (command.size() > 1 && command[0] == '@') named.insert("voice " + command.substr(1));
            if (command == ".S1A" || command == ".S1B") named.insert("effect 1 " + name);
            if (command == ".S2A" || command == ".S2B") named.insert("effect 2 " + name);
        }
    }
    return scenario;
}

}  // namespace playtest_test
