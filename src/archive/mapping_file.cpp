#include "archive/mapping_file.h"

#include "archive/posix_file.h"

namespace {

using archive_detail::MappedView;

class CMappingFile final : public CComImpl<IMappingFile> {
public:
    explicit CMappingFile(ComPtr<IArchiveFile> file)
        : file_(std::move(file)), base_(file_->GetFilePointer() - file_->Tell()) {}

    // IArchiveFile answers with the entry file being mapped.
    HRESULT QueryInterface(const IID& iid, void** out) override {
        if (IsEqualGUID(iid, IID_IArchiveFile)) {
            file_->AddRef();
            *out = file_.Get();
            return S_OK;
        }
        return CComImpl::QueryInterface(iid, out);
    }

    std::uint64_t GetSize() override { return file_->GetSize(); }

    // The range must lie inside the entry and inside the disk file as it is now: a view past
    // the file's end would fault on first touch instead of failing here.
    const void* Map(std::uint64_t offset, std::uint32_t size) override {
        view_ = MappedView();
        const std::uint64_t entry_size = file_->GetSize();
        if (offset > entry_size) return nullptr;
        const std::uint64_t length = size == 0 ? entry_size - offset : size;
        if (length == 0 || length > entry_size - offset) return nullptr;
        const std::uint64_t absolute = base_ + offset;
        auto file_size = archive_detail::FileSize(file_->GetHandle());
        if (!file_size || absolute > *file_size || length > *file_size - absolute) return nullptr;
        const std::uint64_t granularity = archive_detail::PageSize();
        const std::uint64_t aligned = absolute / granularity * granularity;
        const std::uint64_t delta = absolute - aligned;
        view_ = MappedView::Map(file_->GetHandle(), aligned, static_cast<std::size_t>(length + delta));
        return view_ ? view_.data() + delta : nullptr;
    }

    ComPtr<IMappingFile> Clone() override {
        ComPtr<IArchiveFile> copy = file_->Clone();
        return copy ? MakeMappingFile(std::move(copy)) : nullptr;
    }

private:
    ComPtr<IArchiveFile> file_;
    std::uint64_t base_;  // the entry's absolute offset in the disk file
    MappedView view_;
};

}  // namespace

ComPtr<IMappingFile> MakeMappingFile(ComPtr<IArchiveFile> file) {
    if (!file || file->GetHandle() < 0) return nullptr;
    return ComPtr<IMappingFile>::Adopt(new CMappingFile(std::move(file)));
}
