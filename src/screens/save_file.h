// The save file as a file on the disk: whether it changed since the game last wrote it, whether
// another program holds it, and how a new file built beside it takes its name.
//
// A new file is built whole under a name of its own ("save.dat.new"), synced, and only then does
// it take the name: the old file (with its journals) is linked to the name it is kept under and
// the new one renamed over "save.dat". A crash at any point leaves "save.dat" either the old file
// as it was or the complete new one; a new file left by a crash is removed at the next start.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "lib/diskfile.h"

// What tells one file from another at a path: a file replaced, emptied or written by someone
// else differs in one of these from what the game noted after its own write.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified_ns = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path`, links followed; nothing when no file stands there.
std::optional<FileIdentity> IdentityOf(const std::u16string& path);

// Whether there is something at `path` that can be kept aside, and a folder to keep it in: a file
// (or a link to one) in a folder the player may write. A missing file, a link to nothing, or a
// folder that takes no new name cannot be moved.
bool CanKeepAside(const std::u16string& path);

// A lock over the bytes SQLite locks in a database file (and the shared-memory file of a
// write-ahead log), on a file description of its own: while it is held no other program's
// connection reads or writes the file, and none held it when it was taken. Released when it goes.
class SaveFileLock {
public:
    explicit SaveFileLock(const std::u16string& path);
    SaveFileLock(const SaveFileLock&) = delete;
    SaveFileLock& operator=(const SaveFileLock&) = delete;

    // False when another program holds the file now: it must not be moved.
    bool held() const { return held_; }

private:
    FileHandle database_;
    FileHandle sharedMemory_;
    bool held_ = false;
};

// A free name beside `path` for keeping a damaged file aside: "save.dat" becomes
// "save-YYYYMMDD-HHMMSS.dat" with the local time `when`, and "-2", "-3" ... before ".dat" when
// that name (or a journal of it) is taken.
std::u16string AsideName(const std::u16string& path, std::time_t when = std::time(nullptr));

// The name a new file is built under beside `path`.
std::u16string NewFileName(const std::u16string& path);
// Removes a new file built beside `path` (and its journal) that never took the name.
void RemoveNewFile(const std::u16string& path);

// Keeps the file at `path` and its journals under the name `aside`, then gives the new file
// `fresh` the name `path`, and syncs the folder. Call it with a SaveFileLock held and no
// connection open on either file. Empty on success, else what failed (nothing of `fresh` took
// the name then).
std::u16string SwapInNewFile(const std::u16string& path, const std::u16string& fresh, const std::u16string& aside);
