#include "game_program.h"

#include <fstream>
#include <iterator>
#include <thread>

namespace progtest {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

GameProgramTest::GameProgramTest(const std::string& folder_name) : folder(folder_name), settings(folder / "settings") {
    std::filesystem::create_directories(settings);
}

bool GameProgramTest::StartGame(const std::vector<std::string>& options) {
    std::vector<std::string> command = {QUIBEL_PROGRAM, DEMO_DATA_DIR, "-W"};
    command.insert(command.end(), options.begin(), options.end());
    game = std::make_unique<ChildProcess>(command, std::vector<std::string>{"QUIBEL_SETTINGS_DIR=" + settings.string()},
                                          (folder / "errors.txt").string());
    if (!AwaitGame([&] { return (window = x.FindWindow(game->pid())) != 0; })) return false;
    x.Focus(window);
    return true;
}

bool GameProgramTest::AwaitGame(const std::function<bool()>& done) {
    bool reached = false;
    WaitUntil([&] { return (reached = done()) || !game->Running(); });
    return reached;
}

Pixels GameProgramTest::Game(const Box& box) const {
    const Box frame = x.Geometry(window);
    return x.Grab(Box{frame.x + box.x, frame.y + frame.height - kGameHeight + box.y, box.width, box.height});
}

}  // namespace progtest
