// A fresh folder under the system's temporary folder for the life of a test, removed with all
// it holds at the end.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "lib/text.h"

namespace testsupport {

class TempFolder {
public:
    explicit TempFolder(const std::string& stem)
        : path_(std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A path inside the folder, as the program's text.
    std::u16string Path(const std::string& name = "") const { return Utf8ToUtf16((path_ / name).string()); }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
