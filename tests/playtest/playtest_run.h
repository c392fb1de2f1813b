// Runs the playthrough tool for a test and reads back what it wrote: the exit code, the event
// log as records, stderr, and the screenshots as pixels.
#pragma once

#include <cstdint>
#include <filesystem>
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

// playtest DATA_DIR SCRIPT ARGUMENTS, under a deadline of two minutes.
PlayRun RunPlaytest(const std::string& data_dir, const std::filesystem::path& script,
                    const std::string& arguments = "");

// A screenshot or a picture of the data as 0xAARRGGBB words, row by row; empty when it cannot
// be read. PNG files (screenshots, pictures with alpha) and JPEG files (opaque) are read.
struct Shot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Shot ReadShot(const std::filesystem::path& path);

}  // namespace playtest_test
