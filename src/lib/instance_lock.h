// One instance of the program at a time: an exclusive lock on a file in the settings folder,
// held for the program's life. The kernel lets go of it when the process ends in any way, so a
// crash never leaves a stale lock behind.
#pragma once

#include <string>
#include <string_view>

#include "lib/diskfile.h"

class InstanceLock {
public:
    // Creates the lock file when missing and tries to take the lock without waiting.
    explicit InstanceLock(std::u16string_view path);

    // False when another process holds the lock, or the file cannot be opened (then error()
    // says why).
    bool held() const { return file_.valid(); }
    const std::string& error() const { return error_; }

private:
    FileHandle file_;
    std::string error_;
};
