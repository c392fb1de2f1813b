#include "first_frame.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace framebench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kDeadline = 30s;  // a program that shows nothing by then has failed
// Where the watcher looks: a square of the picture (below the menu bar when there is one) that the
// splash's cream ground and the bare window's colour both fill.
constexpr int kSpotLeft = 40, kSpotTop = 40, kSpotSize = 64;

}  // namespace

FirstFrameWatch::FirstFrameWatch(const progtest::XClient& x) : x_(x), background_(x.Grab(x.Screen())) {}

double FirstFrameWatch::Start(const Contender& contender, const std::string& errors,
                              std::optional<progtest::ChildProcess>& process) {
    process.reset();
    const Clock::time_point start = Clock::now();
    try {
        process.emplace(contender.argv, contender.environment, errors);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return -1;
    }
    while (Clock::now() - start < kDeadline && process->Running()) {
        if (FrameShown(x_.FindWindow(process->pid())))
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::this_thread::sleep_for(1ms);
    }
    std::ifstream file(errors);
    std::fprintf(stderr, "%s showed nothing:\n%s\n", contender.label.c_str(),
                 std::string(std::istreambuf_iterator<char>(file), {}).c_str());
    return -1;
}

bool FirstFrameWatch::FrameShown(progtest::WindowId window) const {
    if (!window) return false;
    const progtest::Box frame = x_.Geometry(window);
    if (frame.width < 800 || frame.height < 600) return false;
    const progtest::Box spot{frame.x + kSpotLeft, frame.y + frame.height - 600 + kSpotTop, kSpotSize, kSpotSize};
    const progtest::Pixels shown = x_.Grab(spot);
    if (shown.rgb.size() != static_cast<std::size_t>(kSpotSize * kSpotSize)) return false;
    int drawn = 0;
    for (int y = 0; y < kSpotSize; ++y)
        for (int x = 0; x < kSpotSize; ++x) {
            const std::uint32_t p = shown.At(x, y);
            drawn += p != 0 && p != background_.At(spot.x + x, spot.y + y) ? 1 : 0;
        }
    return drawn * 2 > kSpotSize * kSpotSize;
}

void EndInOrder(progtest::ChildProcess& process) {
    process.Signal(SIGTERM);
    if (!process.Wait(kDeadline)) process.Kill();
}

double Median(std::vector<double> samples) {
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace framebench
