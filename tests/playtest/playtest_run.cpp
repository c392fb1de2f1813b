#include "playtest/playtest_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

// After <cstdio>, which jpeglib.h needs.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

namespace playtest_test {

std::vector<std::string> FirstFields(const PlayRun& run, const std::string& kind) {
    std::vector<std::string> fields;
    for (const LogLine& line : run.Of(kind)) fields.push_back(line.fields.empty() ? "" : line.fields[0]);
    return fields;
}

std::vector<int> PageNumbers(const PlayRun& run) {
    std::vector<int> pages;
    for (const LogLine& line : run.Of("page")) pages.push_back(std::stoi(line.fields.at(1)));
    return pages;
}

void ExpectPlayedOnToTheEnd(const PlayRun& run) {
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(run.Of("error").empty()) << run.errors;
    EXPECT_TRUE(run.Of("timeout").empty()) << run.Kinds();
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back().kind, "page") << "F12 on the last page wait: " << run.Kinds();
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

std::vector<LogLine> PlayRun::Of(const std::string& kind) const {
    std::vector<LogLine> lines;
    for (const LogLine& line : log)
        if (line.kind == kind) lines.push_back(line);
    return lines;
}

std::string PlayRun::Kinds() const {
    std::string kinds;
    for (const LogLine& line : log) kinds += line.kind + " ";
    return kinds;
}

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        parts.push_back(line.substr(start, tab - start));
    parts.push_back(line.substr(start));
    return parts;
}

}  // namespace

PlayRun RunPlaytest(const std::string& data_dir, const std::filesystem::path& script, const std::string& arguments,
                    const std::function<void(const LogLine&)>& on_line, const std::string& wrapper) {
    const std::filesystem::path errors =
        std::filesystem::temp_directory_path() / ("playtest_stderr_" + std::to_string(::getpid()) + ".txt");
    const std::string command = wrapper + " timeout 120 '" PLAYTEST "' '" + data_dir + "' '" + script.string() +
                                "' --check-frames " + arguments + " 2>'" + errors.string() + "'";
    PlayRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    // Line by line as the tool writes them (it flushes each), so that a test can act meanwhile.
    char* buffer = nullptr;
    std::size_t capacity = 0;
    for (ssize_t length; (length = ::getline(&buffer, &capacity, pipe)) > 0;) {
        std::string line(buffer, static_cast<std::size_t>(length));
        if (line.back() == '\n') line.pop_back();
        std::vector<std::string> parts = SplitTabs(line);
        LogLine record;
        record.frame = std::atoi(parts[0].c_str());
        record.kind = parts.size() > 1 ? parts[1] : "";
        if (parts.size() > 2) record.fields.assign(parts.begin() + 2, parts.end());
        if (on_line) on_line(record);
        run.log.push_back(std::move(record));
    }
    std::free(buffer);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errors);
    run.errors.assign(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(errors);
    return run;
}

namespace {

Shot ReadPng(const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Shot shot;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return shot;
    image.format = PNG_FORMAT_ARGB;
    std::vector<std::uint8_t> argb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, argb.data(), 0, nullptr)) return shot;
    shot.width = static_cast<int>(image.width);
    shot.height = static_cast<int>(image.height);
    for (std::size_t i = 0; i + 3 < argb.size(); i += 4)
        shot.pixels.push_back(std::uint32_t{argb[i]} << 24 | std::uint32_t{argb[i + 1]} << 16 |
                              std::uint32_t{argb[i + 2]} << 8 | argb[i + 3]);
    return shot;
}

// The sample game's own pictures: a broken one ends the test program with libjpeg's message.
Shot ReadJpeg(const std::filesystem::path& path) {
    Shot shot;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return shot;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    shot.width = static_cast<int>(info.output_width);
    shot.height = static_cast<int>(info.output_height);
    std::vector<std::uint8_t> row(3 * info.output_width);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (std::size_t x = 0; x < info.output_width; ++x)
            shot.pixels.push_back(0xFF000000u | std::uint32_t{row[3 * x]} << 16 | std::uint32_t{row[3 * x + 1]} << 8 |
                                  row[3 * x + 2]);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return shot;
}

}  // namespace

Shot ReadShot(const std::filesystem::path& path) { return path.extension() == ".jpg" ? ReadJpeg(path) : ReadPng(path); }

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
    return true;
}

std::uint32_t Blend(std::uint32_t over, std::uint32_t under, int level) {
    std::uint32_t out = 0;
    for (int shift : {0, 8, 16})
        out |= static_cast<std::uint32_t>((Channel(over, shift) * level + Channel(under, shift) * (255 - level)) / 255)
               << shift;
    return out;
}

}  // namespace playtest_test
