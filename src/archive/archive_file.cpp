#include "archive/archive_file.h"

#include <algorithm>
#include <limits>

CArchiveFile::CArchiveFile(ComPtr<IArchive> owner, std::u16string name, archive_detail::UniqueFd fd, std::uint64_t base,
                           std::uint64_t size)
    : owner_(std::move(owner)), name_(std::move(name)), fd_(std::move(fd)), base_(base), size_(size) {}

HRESULT CArchiveFile::QueryInterface(const IID& iid, void** out) {
    if (IsEqualGUID(iid, IID_IArchive) && owner_) {
        owner_->AddRef();
        *out = owner_.Get();
        return S_OK;
    }
    return CComImpl::QueryInterface(iid, out);
}

std::int64_t CArchiveFile::Seek(std::int64_t offset, std::uint32_t origin) {
    // Positions stay below 2^63 since sizes come from 32-bit fields or a file's size.
    const auto size = static_cast<std::int64_t>(size_);
    std::int64_t from;
    switch (origin) {
        case kSeekSet: from = 0; break;
        case kSeekCur: from = static_cast<std::int64_t>(position_); break;
        case kSeekEnd: from = size - 1; break;
        default: return -1;
    }
    if ((offset > 0 && from > std::numeric_limits<std::int64_t>::max() - offset) ||
        (offset < 0 && from < std::numeric_limits<std::int64_t>::min() - offset))
        return -1;
    std::int64_t target = from + offset;
    if (target < 0 || target >= size) return -1;
    position_ = static_cast<std::uint64_t>(target);
    return target;
}

std::uint64_t CArchiveFile::Read(void* buffer, std::uint64_t count) {
    std::uint64_t wanted = std::min(count, size_ - position_);
    std::size_t got =
        archive_detail::ReadFullyAt(fd_.get(), buffer, static_cast<std::size_t>(wanted), base_ + position_);
    position_ += got;
    return got;
}

ComPtr<IArchiveFile> CArchiveFile::Clone() {
    if (!owner_) return nullptr;
    ComPtr<IArchiveFile> copy = owner_->OpenFile(name_);
    // Set the position directly: the end of the entry, where a read leaves it, is not a
    // position Seek can reach.
    if (auto* file = dynamic_cast<CArchiveFile*>(copy.Get()); file && file->size_ == size_)
        file->position_ = position_;
    else if (copy && copy->Seek(static_cast<std::int64_t>(position_), kSeekSet) < 0 && position_ != 0)
        return nullptr;
    return copy;
}
