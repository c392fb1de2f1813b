#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <string>

#include "lib/diskfile.h"
#include "lib/text.h"
#include "sound/stream_reader.h"

std::int64_t ResolveSeek(std::uint64_t size, std::uint64_t current, std::int64_t offset, int origin) {
    std::int64_t base;
    switch (origin) {
        case kStreamSeekSet: base = 0; break;
        case kStreamSeekCur: base = static_cast<std::int64_t>(current); break;
        case kStreamSeekEnd: base = static_cast<std::int64_t>(size); break;
        default: return -1;
    }
    std::int64_t target;
    if (__builtin_add_overflow(base, offset, &target)) return -1;
    if (target < 0 || static_cast<std::uint64_t>(target) > size) return -1;
    return target;
}

CStreamFileReader::~CStreamFileReader() { Close(); }

int CStreamFileReader::Open(std::u16string_view path) {
    Close();
    std::u16string unix_path(path);
    for (char16_t& c : unix_path)
        if (c == u'\\') c = u'/';
    const int file = OpenRegularFile(Utf16ToUtf8(unix_path)).release();
    if (file < 0) return 0;
    struct stat info {};
    if (::fstat(file, &info) != 0) {
        ::close(file);
        return 0;
    }
    ::posix_fadvise(file, 0, 0, POSIX_FADV_SEQUENTIAL);
    file_ = file;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return 1;
}

int CStreamFileReader::Close() {
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    size_ = 0;
    return 1;
}

std::uint32_t CStreamFileReader::Read(void* buffer, std::uint32_t bytes) {
    if (file_ < 0) return 0;
    auto* out = static_cast<char*>(buffer);
    std::uint32_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::read(file_, out + done, bytes - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

std::int64_t CStreamFileReader::Seek(std::int64_t offset, int origin) {
    if (file_ < 0) return -1;
    const std::int64_t current = Tell();
    if (current < 0) return -1;
    const std::int64_t target = ResolveSeek(size_, static_cast<std::uint64_t>(current), offset, origin);
    if (target < 0) return -1;
    return ::lseek(file_, target, SEEK_SET) == target ? target : -1;
}

std::int64_t CStreamFileReader::Tell() {
    if (file_ < 0) return -1;
    return ::lseek(file_, 0, SEEK_CUR);
}
