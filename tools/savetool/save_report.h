// What savetool tells about a save file: the slot list, one slot in full and the global records,
// each as lines of UTF-8 text. The file is read through the game's own save database (its session,
// row operations and record decoders), so the tool sees exactly what a load would see.
//
// The file is only read: it must exist (SQLite would create a missing one), and a file that the
// game's connection would change on opening (a hot journal to roll back, a write-ahead log to
// leave) is refused instead. Every refusal and every damaged record is a SaveRefusal with a
// message for the user; nothing is printed from a file that failed half-way.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace savetool {

class SaveRefusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Report { kList, kShow, kGlobals };

// Opens the file at `path` (UTF-8) as the game does, checks that it holds the save tables, and
// returns the report's lines. `number` is the slot number of kShow. With `data_folder` (the game's
// data folder, UTF-8), the slots are checked against the story it holds as a load checks them: a
// slot whose page the story has not is unreadable; without it the pages are not checked. Throws
// SaveRefusal for a file, record or story that cannot be read.
std::string ReadSaveReport(const std::string& path, Report report, std::int32_t number = 0,
                           const std::string& data_folder = {});

}  // namespace savetool
