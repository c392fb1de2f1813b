// Whole-file reads, files for writing and path rebuilding.
//
// Paths are the program's UTF-16 text; on disk they are UTF-8. Handles are POSIX file
// descriptors owned by FileHandle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The whole file, read once into its final buffer; nothing when it is not a regular file, is
// larger than max_size, or cannot be read to its end. errno then says why: as OpenRegularFile
// leaves it, EFBIG for a file above max_size, EIO for one that ends early.
std::optional<std::vector<std::uint8_t>> LoadDiskFile(std::u16string_view path);
std::optional<std::vector<std::uint8_t>> LoadNativeFile(const std::string& native_path,
                                                        std::size_t max_size = SIZE_MAX);
// The same as text.
std::optional<std::string> LoadNativeText(const std::string& native_path, std::size_t max_size = SIZE_MAX);
// Reads the whole file into the caller's buffer and returns its size; nothing when the file
// cannot be opened, is larger than the buffer, or cannot be read to its end.
std::optional<std::size_t> LoadDiskFile(std::u16string_view path, std::span<std::uint8_t> buffer);

// An open file descriptor, closed when the handle goes.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int descriptor) : descriptor_(descriptor) {}
    FileHandle(FileHandle&& other) noexcept : descriptor_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    bool valid() const { return descriptor_ >= 0; }
    int get() const { return descriptor_; }
    int release() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }

    // Writes every byte; false when the file cannot take them all.
    bool Write(const void* data, std::size_t size) const;

private:
    int descriptor_ = -1;
};

// Every reader opens files this way: without blocking (a named pipe would otherwise wait for a
// writer), and only a regular file is kept. Invalid for anything else, with errno set (EISDIR
// for a folder, EINVAL for a pipe, socket or device). native_path is the file system's own
// bytes, which need not be UTF-8 (a command-line argument is passed on as it is).
FileHandle OpenRegularFile(const std::string& native_path);

// Why a file could not be read, from the errno that OpenRegularFile or a whole-file load left,
// as the words that follow the file's name in a message: "was not found", "is a folder", "is not
// a regular file", "is larger than N bytes" (N = max_size, for EFBIG), "cannot be read (...)".
std::u16string DescribeReadError(int error, std::uint64_t max_size = SIZE_MAX);

// The folder of `path` with its final '/', "." for a bare name.
std::u16string FolderOf(std::u16string_view path);
// Makes what was renamed, linked or created in the folder of `path` reach the disk with the
// folder; nothing when the folder cannot be opened.
void SyncFolderOf(std::u16string_view path);

// Creates the file (or empties an existing one) for writing; invalid when that fails.
FileHandle CreateFileForWrite(std::u16string_view path);

enum SeekOrigin : int { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };
// Moves the file position; the new position, or -1 on failure.
std::int64_t SeekFile64(const FileHandle& file, std::int64_t offset, SeekOrigin origin);

// Splits `path` into drive, directory (with its final '/'), name and extension (with its '.'),
// takes each given (non-null) part in place of the path's own and joins them again. A given
// directory gains a final '/' and a given extension a leading '.' when it lacks one. Linux paths
// have no drive, so the path's own drive is always empty; a given one is put in front as it is.
std::u16string RebuildPath(std::u16string_view path, const char16_t* drive, const char16_t* directory,
                           const char16_t* name, const char16_t* extension);
