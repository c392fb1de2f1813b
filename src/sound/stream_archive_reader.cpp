#include <algorithm>

#include "archive/archive.h"
#include "sound/stream_reader.h"

CStreamArchiveReader::CStreamArchiveReader(IArchive* archive)
    : archive_(archive ? archive->Duplicate() : ComPtr<IArchive>()) {}

CStreamArchiveReader::~CStreamArchiveReader() { Close(); }

int CStreamArchiveReader::Open(std::u16string_view path) {
    Close();
    if (!archive_) return 0;
    entry_ = archive_->OpenFile(path);
    if (!entry_) return 0;
    size_ = entry_->GetSize();
    position_ = 0;
    return 1;
}

int CStreamArchiveReader::Close() {
    entry_.Reset();
    size_ = 0;
    position_ = 0;
    return 1;
}

std::uint32_t CStreamArchiveReader::Read(void* buffer, std::uint32_t bytes) {
    if (!entry_ || position_ >= size_) return 0;
    // The entry is moved to our position first: an earlier seek to the end left it elsewhere.
    if (entry_->Tell() != position_ && entry_->Seek(static_cast<std::int64_t>(position_), IArchiveFile::kSeekSet) < 0)
        return 0;
    const std::uint64_t count = std::min<std::uint64_t>(bytes, size_ - position_);
    const std::uint64_t got = std::min(entry_->Read(buffer, count), count);
    position_ += got;
    return static_cast<std::uint32_t>(got);
}

std::int64_t CStreamArchiveReader::Seek(std::int64_t offset, int origin) {
    if (!entry_) return -1;
    const std::int64_t target = ResolveSeek(size_, position_, offset, origin);
    if (target < 0) return -1;
    // The entry's own position cannot be its size; such a seek is only remembered here, and
    // reads from there give nothing.
    if (static_cast<std::uint64_t>(target) < size_ && entry_->Seek(target, IArchiveFile::kSeekSet) != target) return -1;
    position_ = static_cast<std::uint64_t>(target);
    return target;
}

std::int64_t CStreamArchiveReader::Tell() { return entry_ ? static_cast<std::int64_t>(position_) : -1; }

std::uint64_t CStreamArchiveReader::GetSize() { return size_; }
