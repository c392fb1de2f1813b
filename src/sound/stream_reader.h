// Byte sources of the sound streams: a disk file or an entry of a resource archive.
#pragma once

#include <cstdint>
#include <string_view>

#include "lib/combase.h"

class IArchive;
class IArchiveFile;

// Seek origins of IStreamReader::Seek.
enum : int { kStreamSeekSet = 0, kStreamSeekCur = 1, kStreamSeekEnd = 2 };

// Only IUnknown answers QueryInterface on readers and controls.
class IStreamReader : public IUnknown {
public:
    static constexpr const IID& kIid = IID_IUnknown;
    virtual int Open(std::u16string_view path) = 0;  // 1 or 0
    virtual int Close() = 0;
    // Returns the bytes read; 0 at the end or on failure.
    virtual std::uint32_t Read(void* buffer, std::uint32_t bytes) = 0;
    // Positions are the usual file ones: the end is the size, and kStreamSeekEnd counts from
    // it. Returns the new position, or -1 (position unchanged) when it would fall outside
    // [0, size] or the source cannot seek.
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
    virtual std::int64_t Tell() = 0;  // -1 on failure
    virtual std::uint64_t GetSize() = 0;

protected:
    ~IStreamReader() = default;
};

class CStreamFileReader final : public CComImpl<IStreamReader> {
public:
    CStreamFileReader() = default;
    ~CStreamFileReader() override;

    // `path` is a disk path; '\' separators are taken as '/'.
    int Open(std::u16string_view path) override;
    int Close() override;
    std::uint32_t Read(void* buffer, std::uint32_t bytes) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t Tell() override;
    std::uint64_t GetSize() override { return size_; }

private:
    int file_ = -1;
    std::uint64_t size_ = 0;
};

// Reads one entry of an archive through the entry's own file, keeping the position itself:
// the entry cannot stand at its own end, and its end-relative seeks count from the last byte,
// while the decoder expects ordinary file positions.
class CStreamArchiveReader final : public CComImpl<IStreamReader> {
public:
    explicit CStreamArchiveReader(IArchive* archive);
    ~CStreamArchiveReader() override;

    int Open(std::u16string_view path) override;
    int Close() override;
    std::uint32_t Read(void* buffer, std::uint32_t bytes) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t Tell() override;
    std::uint64_t GetSize() override;

private:
    ComPtr<IArchive> archive_;
    ComPtr<IArchiveFile> entry_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// The new position of a seek on a source of `size` bytes at `current`, or -1 when it falls
// outside [0, size] or the origin is unknown.
std::int64_t ResolveSeek(std::uint64_t size, std::uint64_t current, std::int64_t offset, int origin);
