#include "lib/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include "lib/text.h"

InstanceLock::InstanceLock(std::u16string_view path) {
    const std::string native = Utf16ToUtf8(path);
    FileHandle file(::open(native.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid()) {
        error_ = native + ": " + std::strerror(errno);
        return;
    }
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        // Only a lock that another process holds means the game runs; any other failure (no
        // locks on that file system) says nothing about another instance.
        const bool taken = errno == EWOULDBLOCK;
        error_ = taken ? native + " is held by another instance" : native + ": " + std::strerror(errno);
        state_ = taken ? State::kRunning : State::kFailed;
        return;
    }
    file_ = std::move(file);
    state_ = State::kHeld;
}
