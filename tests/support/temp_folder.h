// A fresh folder under the system's temporary folder for the life of a test (its name is the stem
// and a unique suffix), removed with all it holds at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "lib/text.h"

namespace testsupport {

class TempFolder {
public:
    explicit TempFolder(const std::string& stem = "qb_test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (stem + "_XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder " + pattern);
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // A path inside the folder, as the program's text.
    std::u16string Path(const std::string& name = "") const { return Utf8ToUtf16((path_ / name).string()); }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
