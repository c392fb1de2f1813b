#include "archive/posix_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "lib/diskfile.h"

namespace archive_detail {

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

UniqueFd OpenForReading(const std::string& native_path) { return UniqueFd(OpenRegularFile(native_path).release()); }

UniqueFd DuplicateFd(int fd) { return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0)); }

std::optional<std::uint64_t> FileSize(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t ReadFully(int fd, void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, out + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t ReadFullyAt(int fd, void* buffer, std::size_t count, std::uint64_t offset) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

MappedView::~MappedView() {
    if (address_) ::munmap(address_, length_);
}

MappedView MappedView::Map(int fd, std::uint64_t aligned_offset, std::size_t length) {
    MappedView view;
    if (length == 0) return view;
    void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(aligned_offset));
    if (address == MAP_FAILED) return view;
    view.address_ = address;
    view.length_ = length;
    return view;
}

std::uint64_t PageSize() {
    static const std::uint64_t size = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace archive_detail
