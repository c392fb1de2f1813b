// The first frame a program shows, watched from another X client: the start-up benchmark and the
// frame benchmark both time the game (and the bare window) from the spawn to it. Needs an X server
// without a window manager or a compositor, where the screen shows exactly what the windows draw.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "x_client.h"

namespace framebench {

// A program to start: its label in the tables, its arguments and what it adds to the environment.
struct Contender {
    std::string label;
    std::vector<std::string> argv;
    std::vector<std::string> environment;
};

class FirstFrameWatch {
public:
    // Reads the screen as it is before any window: what an unpainted window shows.
    explicit FirstFrameWatch(const progtest::XClient& x);

    // Starts the contender into `process` (its stderr in `errors`) and waits for its first frame:
    // the milliseconds from the spawn, or -1 when it showed nothing within the deadline (what it
    // wrote to stderr is printed then). The process runs on either way.
    double Start(const Contender& contender, const std::string& errors, std::optional<progtest::ChildProcess>& process);

private:
    // Whether the window shows a frame: most of a spot of the picture neither black nor what the
    // screen showed there before any window.
    bool FrameShown(progtest::WindowId window) const;

    const progtest::XClient& x_;
    const progtest::Pixels background_;
};

// Asks the program to end (SIGTERM, which the game and SDL turn into a quit in order), and kills
// it when it has not ended within the deadline: the next program must not meet its lock.
void EndInOrder(progtest::ChildProcess& process);

// The median of a non-empty series.
double Median(std::vector<double> samples);

}  // namespace framebench
