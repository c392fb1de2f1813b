// The game program started for a test of what its window shows: the sample game in a window, its
// settings (and lock) in the test's own folder and its stderr in a file there, watched and driven
// from another X client.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "support/temp_folder.h"
#include "x_client.h"

namespace progtest {

// Generous for a loaded machine and a sanitizer build: every wait polls and ends as soon as it can.
inline constexpr std::chrono::milliseconds kProgramDeadline = std::chrono::seconds(90);
// The game picture below the window's menu bar.
inline constexpr int kGameWidth = 800, kGameHeight = 600;

std::string ReadText(const std::filesystem::path& path);

// Polls every 20 ms until `done` holds; false when the timeout passes first.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kProgramDeadline);

class GameProgramTest : public ::testing::Test {
protected:
    explicit GameProgramTest(const std::string& folder_name);

    // The game on the sample data in a window, with `options` after it; its window once shown,
    // with the keyboard given to it. False when no window showed.
    bool StartGame(const std::vector<std::string>& options = {});
    // As the free WaitUntil, and false at once when the game has ended.
    bool AwaitGame(const std::function<bool()>& done);
    std::string Errors() const { return ReadText(folder / "errors.txt"); }
    // The rectangle of the game picture, in game pixels, as the screen shows it.
    Pixels Game(const Box& box) const;

    XClient x;
    testsupport::TempFolder folder;
    const std::filesystem::path settings;
    std::unique_ptr<ChildProcess> game;
    WindowId window = 0;
};

}  // namespace progtest
