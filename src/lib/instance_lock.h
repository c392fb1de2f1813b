// One instance of the program at a time: an exclusive lock on a file in the settings folder,
// held for the program's life. The kernel lets go of it when the process ends in any way, so a
// crash never leaves a stale lock behind.
#pragma once

#include <string>
#include <string_view>

#include "lib/diskfile.h"

class InstanceLock {
public:
    enum class State {
        kHeld,     // this process holds the lock
        kRunning,  // another process holds it: the game already runs
        kFailed,   // the file cannot be opened or locked at all (error() says why)
    };

    // Creates the lock file when missing and tries to take the lock without waiting.
    explicit InstanceLock(std::u16string_view path);

    State state() const { return state_; }
    bool held() const { return state_ == State::kHeld; }
    // Why the lock is not held: the file and the reason.
    const std::string& error() const { return error_; }

private:
    FileHandle file_;
    State state_ = State::kFailed;
    std::string error_;
};
