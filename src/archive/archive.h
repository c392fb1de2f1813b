// The read-only file system every data file of the game is reached through.
//
// An archive is a ".saf" pack (versions 5 and 6, packs may nest) or a plain folder. Entries are
// named by relative path with '/' or '\' between folders, compared ignoring (ASCII) case.
// Objects are reference-counted in the COM manner: every factory returns a ComPtr that owns the
// creator's reference. Failures are empty results (null, false, nullopt), never exceptions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/combase.h"

inline constexpr IID IID_IArchive = {0x7A6DA752, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};
inline constexpr IID IID_IArchiveFile = {0x8F6DFE18, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};
inline constexpr IID IID_ICompressedFile = {
    0xB255EBC0, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};
inline constexpr IID IID_IMappingFile = {0xA46BF284, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};

class IArchiveFile;
class ICompressedFile;
class IMappingFile;

// One enumerated file of a pack.
struct ArchiveListEntry {
    static constexpr std::size_t kMaxPath = 259;
    std::u16string path;   // '/' between folders, at most kMaxPath units
    std::uint64_t size;    // stored size in bytes
    std::uint64_t offset;  // first sector x 2048, from the pack's base
};

class IArchive : public IUnknown {
public:
    static constexpr const IID& kIid = IID_IArchive;
    virtual bool Exists(std::u16string_view path) = 0;
    virtual ComPtr<IArchiveFile> OpenFile(std::u16string_view path) = 0;
    virtual ComPtr<IMappingFile> OpenMapping(std::u16string_view path) = 0;
    // The pack stored in that entry (read with the version its own header names).
    virtual ComPtr<IArchive> OpenArchive(std::u16string_view path) = 0;
    // Every file of a pack, depth first in index order; a folder archive lists nothing.
    virtual std::vector<ArchiveListEntry> Enumerate() = 0;
    virtual ComPtr<IArchive> Duplicate() = 0;
    virtual bool IsCompressed(std::u16string_view path) = 0;
    virtual ComPtr<ICompressedFile> OpenDecompressed(std::u16string_view path) = 0;

protected:
    ~IArchive() = default;
};

// An open entry: a window on a disk file with its own descriptor; positions are relative to the
// entry's first byte.
class IArchiveFile : public IUnknown {
public:
    static constexpr const IID& kIid = IID_IArchiveFile;
    enum : std::uint32_t { kSeekSet = 0, kSeekCur = 1, kSeekEnd = 2 };

    virtual std::uint64_t GetSize() = 0;
    // Origin kSeekEnd counts from the last byte (offset 0 lands on it). A position outside
    // [0, size) or a bad origin gives -1 and leaves the position unchanged.
    virtual std::int64_t Seek(std::int64_t offset, std::uint32_t origin) = 0;
    virtual std::uint64_t Tell() = 0;
    // Reads up to count bytes, never past the entry's end; returns the bytes read.
    virtual std::uint64_t Read(void* buffer, std::uint64_t count) = 0;
    // A new entry file on the same entry at the same position.
    virtual ComPtr<IArchiveFile> Clone() = 0;
    virtual int GetHandle() = 0;                 // the POSIX descriptor
    virtual std::uint64_t GetFilePointer() = 0;  // absolute position in the disk file

protected:
    ~IArchiveFile() = default;
};

// Where a whole-entry decoder puts its bytes.
class DecodeSink {
public:
    // Room for the bytes from `produced` on (a buffer may grow here); empty once it may hold
    // no more.
    virtual std::span<std::uint8_t> Room(std::uint64_t produced) = 0;

protected:
    ~DecodeSink() = default;
};

// A whole entry decoded at once.
class ICompressedFile : public IUnknown {
public:
    static constexpr const IID& kIid = IID_ICompressedFile;
    virtual std::uint64_t GetSize() = 0;        // decoded size
    virtual std::uint64_t GetStoredSize() = 0;  // stored size
    // Fills buffer (GetSize() bytes) and returns the bytes produced; anything but GetSize()
    // means the stored data is short, corrupt or decodes further. Never writes past GetSize()
    // bytes.
    virtual std::uint64_t ReadAll(void* buffer) = 0;
    // The same into a sink, asked for room as bytes arrive and never beyond GetSize(), so that a
    // growing buffer follows what the data really decodes to, not what the index declares.
    virtual std::uint64_t ReadAllInto(DecodeSink& sink) = 0;

protected:
    ~ICompressedFile() = default;
};

// An entry mapped into memory, one view at a time.
class IMappingFile : public IUnknown {
public:
    static constexpr const IID& kIid = IID_IMappingFile;
    virtual std::uint64_t GetSize() = 0;
    // Maps size bytes (0: to the entry's end) from offset; the previous view is unmapped.
    // Null when the range leaves the entry or the disk file, or is empty.
    virtual const void* Map(std::uint64_t offset, std::uint32_t size) = 0;
    virtual ComPtr<IMappingFile> Clone() = 0;

protected:
    ~IMappingFile() = default;
};

// A ".saf" file of version 5 or 6 (null for a missing or unreadable file or another version;
// another version also reports the unsupported-format assertion).
ComPtr<IArchive> OpenSafArchive(std::u16string_view path);
ComPtr<IArchive> OpenArchive5(std::u16string_view path);
ComPtr<IArchive> OpenArchive6(std::u16string_view path);
// A folder used as an archive; null when it does not exist.
ComPtr<IArchive> OpenDirArchive(std::u16string_view folder);
// The same two openers for a path in the file system's own bytes, which need not be UTF-8
// (a command-line argument is passed on as it is).
ComPtr<IArchive> OpenSafArchiveNative(const std::string& path);
ComPtr<IArchive> OpenDirArchiveNative(const std::string& folder);

// Whole loads refuse entries that declare more than this: no game file comes near it, and a
// damaged or hostile index must not make the program take gigabytes.
inline constexpr std::uint64_t kMaxEntryLoadBytes = std::uint64_t{512} << 20;

// The decoded bytes of an entry; nullopt when it is missing, short, corrupt, decodes further
// than its declared size, or declares more than kMaxEntryLoadBytes. The buffer grows as the
// bytes are decoded.
std::optional<std::vector<std::uint8_t>> LoadArchiveEntry(IArchive& archive, std::u16string_view name);
// The same into the caller's buffer; returns the decoded size, nullopt also when it does not fit.
std::optional<std::uint64_t> LoadArchiveEntry(IArchive& archive, std::u16string_view name,
                                              std::span<std::uint8_t> buffer);
// The decoded bytes as text (the string's own terminator stands right after them); nullopt also
// when the entry declares more than max_size bytes.
std::optional<std::string> LoadArchiveText(IArchive& archive, std::u16string_view name,
                                           std::uint64_t max_size = kMaxEntryLoadBytes);
// Why a whole load of `name` gave nothing, as the words that follow its name in a message (those
// of DescribeReadError): "was not found", "is a folder" or "is not a regular file" (a folder
// archive's entry), "cannot be read (...)", "is larger than N bytes" (N = max_size, the limit
// the load had), or "is damaged" (its data does not decode to its declared size).
std::u16string DescribeEntryError(IArchive& archive, std::u16string_view name,
                                  std::uint64_t max_size = kMaxEntryLoadBytes);
// Exists(name); the name is copied to out_name when given: for a bare name (no folder
// separator) only when the entry exists, otherwise always.
bool ProbeArchiveFile(IArchive& archive, std::u16string_view name, std::u16string* out_name = nullptr);
