// An open archive entry: its own descriptor on the pack or folder file, a base and a size.
#pragma once

#include <string>

#include "archive/archive.h"
#include "archive/posix_file.h"

class CArchiveFile final : public CComImpl<IArchiveFile> {
public:
    // Takes a reference on the owner; base is the entry's absolute offset in the disk file.
    CArchiveFile(ComPtr<IArchive> owner, std::u16string name, archive_detail::UniqueFd fd, std::uint64_t base,
                 std::uint64_t size);

    // IArchive answers with the owning archive.
    HRESULT QueryInterface(const IID& iid, void** out) override;

    std::uint64_t GetSize() override { return size_; }
    std::int64_t Seek(std::int64_t offset, std::uint32_t origin) override;
    std::uint64_t Tell() override { return position_; }
    std::uint64_t Read(void* buffer, std::uint64_t count) override;
    ComPtr<IArchiveFile> Clone() override;
    int GetHandle() override { return fd_.get(); }
    std::uint64_t GetFilePointer() override { return base_ + position_; }

private:
    ComPtr<IArchive> owner_;
    std::u16string name_;
    archive_detail::UniqueFd fd_;
    std::uint64_t base_;
    std::uint64_t size_;
    // Reads go through pread at base + position, so the descriptor's own offset never matters.
    std::uint64_t position_ = 0;
};
