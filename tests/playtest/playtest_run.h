// Runs the playthrough tool for a test and reads back what it wrote: the exit code, the event
// log as records, stderr, and the screenshots as pixels.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace playtest_test {

struct LogLine {
    int frame = 0;
    std::string kind;
    std::vector<std::string> fields;
};

struct PlayRun {
    int status = -1;  // the exit code; -1 when the tool did not exit normally
    std::vector<LogLine> log;
    std::string errors;
    // The lines of one kind, in order.
    std::vector<LogLine> Of(const std::string& kind) const;
    // The log's kinds in order, joined by blanks (for a readable failure).
    std::string Kinds() const;
};

// The first field of each line of one kind, in order ("" for a line without fields).
std::vector<std::string> FirstFields(const PlayRun& run, const std::string& kind);

// The page number of each page wait, in order.
std::vector<int> PageNumbers(const PlayRun& run);

// That a run on damaged save data played on to its end: exit 0, no error, no timeout, and F12 at
// the last page wait.
void ExpectPlayedOnToTheEnd(const PlayRun& run);

// What a command line prints on stdout and stderr together (the project's tools, for a test).
std::string CommandOutput(const std::string& command);

// playtest DATA_DIR SCRIPT --check-frames ARGUMENTS, under a deadline of two minutes: every run
// also checks that each drawn frame shows the view tree as it stands. `on_line` sees each line of
// the log as the tool writes it, while the run goes on. `wrapper` goes before the command in the
// shell: limits ("ulimit -f 8;") or a command that runs it ("setpriv ...").
PlayRun RunPlaytest(const std::string& data_dir, const std::filesystem::path& script, const std::string& arguments = "",
                    const std::function<void(const LogLine&)>& on_line = {}, const std::string& wrapper = "");

// A screenshot or a picture of the data as 0xAARRGGBB words, row by row; empty when it cannot
// be read. PNG files (screenshots, pictures with alpha) and JPEG files (opaque) are read.
struct Shot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Shot ReadShot(const std::filesystem::path& path);

// A colour channel of a pixel (shift 0 blue, 8 green, 16 red).
inline int Channel(std::uint32_t pixel, int shift) { return static_cast<int>(pixel >> shift & 0xFF); }

// Whether the colours differ by at most `tolerance` in each channel.
bool Near(std::uint32_t a, std::uint32_t b, int tolerance);

// `over` drawn over `under` at an alpha level of 0-255.
std::uint32_t Blend(std::uint32_t over, std::uint32_t under, int level);

// The share of the rectangle's pixels where the shot matches `expected(x, y)`.
template <class Expected>
double Matching(const Shot& shot, int left, int top, int right, int bottom, int tolerance, Expected expected) {
    int match = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) match += Near(shot.At(x, y), expected(x, y), tolerance);
    return static_cast<double>(match) / ((right - left) * (bottom - top));
}

}  // namespace playtest_test
