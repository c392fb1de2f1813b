// POSIX descriptors and memory maps held by RAII, with the few reads the archives need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace archive_detail {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    ~UniqueFd();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Opens an existing regular file for reading without ever waiting (see OpenRegularFile); empty
// for anything else.
UniqueFd OpenForReading(const std::string& native_path);
// A second descriptor on the same open file (cheaper than opening the path again); reads go
// through pread, so the shared file offset does not matter.
UniqueFd DuplicateFd(int fd);
// The size of an open file; nullopt when the system call fails.
std::optional<std::uint64_t> FileSize(int fd);
// Reads count bytes at the current position, going on after short reads; returns the bytes
// read (fewer only at the end of the file or on an error).
std::size_t ReadFully(int fd, void* buffer, std::size_t count);
// The same at an absolute offset, leaving the position alone.
std::size_t ReadFullyAt(int fd, void* buffer, std::size_t count, std::uint64_t offset);

// One read-only view of a file, unmapped when it goes.
class MappedView {
public:
    MappedView() = default;
    MappedView(MappedView&& o) noexcept
        : address_(std::exchange(o.address_, nullptr)), length_(std::exchange(o.length_, 0)) {}
    MappedView& operator=(MappedView o) noexcept {
        std::swap(address_, o.address_);
        std::swap(length_, o.length_);
        return *this;
    }
    ~MappedView();

    // Maps length bytes from a page-aligned offset; empty on failure.
    static MappedView Map(int fd, std::uint64_t aligned_offset, std::size_t length);
    const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(address_); }
    explicit operator bool() const { return address_ != nullptr; }

private:
    void* address_ = nullptr;
    std::size_t length_ = 0;
};

std::uint64_t PageSize();

}  // namespace archive_detail
