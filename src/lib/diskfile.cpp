#include "lib/diskfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "lib/text.h"

namespace {

// The size of an open regular file, or nothing.
std::optional<std::size_t> RegularFileSize(const FileHandle& file) {
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return std::nullopt;
    return static_cast<std::size_t>(info.st_size);
}

// Reads exactly `size` bytes; false on an error or an early end of file (errno EIO then, since
// the file shrank under the reader).
bool ReadExactly(const FileHandle& file, std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(file.get(), data, size);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) errno = EIO;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The whole file in a container of bytes, resized once to the file's size.
template <class Bytes>
std::optional<Bytes> LoadWhole(const std::string& native_path, std::size_t max_size) {
    const FileHandle file = OpenRegularFile(native_path);
    if (!file.valid()) return std::nullopt;
    const std::optional<std::size_t> size = RegularFileSize(file);
    if (!size) return std::nullopt;
    if (*size > max_size) {
        errno = EFBIG;
        return std::nullopt;
    }
    Bytes bytes(*size, 0);
    if (!ReadExactly(file, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size())) return std::nullopt;
    return bytes;
}

}  // namespace

FileHandle OpenRegularFile(const std::string& native_path) {
    FileHandle file(::open(native_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return file;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) return FileHandle();
    if (!S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        file = FileHandle();
        errno = error;
        return file;
    }
    // Reads of a regular file never wait anyway; the flag goes so that nothing later sees it.
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return FileHandle();
    return file;
}

std::u16string DescribeReadError(int error, std::uint64_t max_size) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return u"was not found";
        case EISDIR: return u"is a folder";
        case EINVAL: return u"is not a regular file";  // what OpenRegularFile says of pipes and devices
        case EFBIG: return u"is larger than " + Utf8ToUtf16(std::to_string(max_size)) + u" bytes";
        case EACCES:
        case EPERM: return u"cannot be read (permission denied)";
        default: return u"cannot be read (" + Utf8ToUtf16(std::generic_category().message(error)) + u")";
    }
}

std::optional<std::vector<std::uint8_t>> LoadDiskFile(std::u16string_view path) {
    return LoadNativeFile(Utf16ToUtf8(path));
}

std::optional<std::vector<std::uint8_t>> LoadNativeFile(const std::string& native_path, std::size_t max_size) {
    return LoadWhole<std::vector<std::uint8_t>>(native_path, max_size);
}

std::optional<std::string> LoadNativeText(const std::string& native_path, std::size_t max_size) {
    return LoadWhole<std::string>(native_path, max_size);
}

std::optional<std::size_t> LoadDiskFile(std::u16string_view path, std::span<std::uint8_t> buffer) {
    const FileHandle file = OpenRegularFile(Utf16ToUtf8(path));
    if (!file.valid()) return std::nullopt;
    const std::optional<std::size_t> size = RegularFileSize(file);
    if (!size || *size > buffer.size()) return std::nullopt;
    if (!ReadExactly(file, buffer.data(), *size)) return std::nullopt;
    return size;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (valid()) ::close(descriptor_);
        descriptor_ = other.release();
    }
    return *this;
}

std::u16string FolderOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? std::u16string(u".") : std::u16string(path.substr(0, slash + 1));
}

void SyncFolderOf(std::u16string_view path) {
    const FileHandle folder(::open(Utf16ToUtf8(FolderOf(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
}

FileHandle::~FileHandle() {
    if (valid()) ::close(descriptor_);
}

bool FileHandle::Write(const void* data, std::size_t size) const {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t put = ::write(descriptor_, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

FileHandle CreateFileForWrite(std::u16string_view path) {
    return FileHandle(::open(Utf16ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

std::int64_t SeekFile64(const FileHandle& file, std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == kSeekBegin ? SEEK_SET : origin == kSeekCurrent ? SEEK_CUR : SEEK_END;
    const off_t position = ::lseek(file.get(), static_cast<off_t>(offset), whence);
    return position < 0 ? -1 : static_cast<std::int64_t>(position);
}

std::u16string RebuildPath(std::u16string_view path, const char16_t* drive, const char16_t* directory,
                           const char16_t* name, const char16_t* extension) {
    const std::size_t slash = path.rfind(u'/');
    const std::size_t name_start = slash == std::u16string_view::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos || dot < name_start) dot = path.size();

    std::u16string result = drive ? std::u16string(drive) : std::u16string();
    if (directory) {
        result += directory;
        if (!result.empty() && result.back() != u'/' && *directory) result.push_back(u'/');
    } else {
        result += path.substr(0, name_start);
    }
    result += name ? std::u16string_view(name) : path.substr(name_start, dot - name_start);
    if (extension) {
        if (*extension && *extension != u'.') result.push_back(u'.');
        result += extension;
    } else {
        result += path.substr(dot);
    }
    return result;
}
