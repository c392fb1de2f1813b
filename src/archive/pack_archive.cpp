#include "archive/pack_archive.h"

#include <algorithm>
#include <array>
#include <vector>

#include "archive/archive_file.h"
#include "archive/compressed_file.h"
#include "archive/mapping_file.h"
#include "archive/posix_file.h"
#include "archive/saf_format.h"
#include "lib/report.h"
#include "lib/text.h"

namespace {

using archive_detail::UniqueFd;

std::optional<saf::Index> LoadIndex(int fd, std::uint64_t base, std::uint64_t region) {
    std::array<std::uint8_t, 8> header_bytes{};
    std::size_t header_size = std::min<std::uint64_t>(region, header_bytes.size());
    header_size = archive_detail::ReadFullyAt(fd, header_bytes.data(), header_size, base);
    auto header = saf::ParseHeader(std::span(header_bytes.data(), header_size));
    if (!header) return std::nullopt;
    // The index must fit in the pack before anything is allocated for it.
    const std::uint64_t body_size = saf::IndexBodySize(*header);
    const std::uint64_t index_end = saf::HeaderSize(header->version) + body_size;
    if (index_end > region) return std::nullopt;
    std::vector<std::uint8_t> body(body_size);
    if (archive_detail::ReadFullyAt(fd, body.data(), body.size(), base + saf::HeaderSize(header->version)) !=
        body.size())
        return std::nullopt;
    return saf::ParseIndex(*header, body);
}

// CArchive5 and CArchive6 of the system differ only in how the index is read (saf_format),
// so one class serves both versions. The pack stays open: each entry file gets a duplicate of
// its descriptor, which costs far less than opening the path again for every entry.
class CPackArchive final : public CComImpl<IArchive> {
public:
    CPackArchive(UniqueFd fd, std::uint64_t base, std::uint64_t region, saf::Index index)
        : fd_(std::move(fd)), base_(base), region_(region), index_(std::move(index)) {}

    bool Exists(std::u16string_view path) override { return saf::FindEntry(index_, path) >= 0; }

    bool IsCompressed(std::u16string_view path) override {
        const saf::Entry* entry = FindFile(path);
        return entry && entry->IsCompressed();
    }

    ComPtr<IArchiveFile> OpenFile(std::u16string_view path) override {
        const saf::Entry* entry = FindFile(path);
        if (!entry) return nullptr;
        UniqueFd fd = archive_detail::DuplicateFd(fd_.get());
        if (!fd) return nullptr;
        return ComPtr<IArchiveFile>::Adopt(new CArchiveFile(ComPtr<IArchive>::Share(this), std::u16string(path),
                                                            std::move(fd), base_ + entry->DataOffset(), entry->stored));
    }

    ComPtr<IMappingFile> OpenMapping(std::u16string_view path) override { return MakeMappingFile(OpenFile(path)); }

    ComPtr<IArchive> OpenArchive(std::u16string_view path) override {
        const saf::Entry* entry = FindFile(path);
        if (!entry) return nullptr;
        return OpenPackAt(fd_.get(), base_ + entry->DataOffset(), entry->stored);
    }

    std::vector<ArchiveListEntry> Enumerate() override { return saf::EnumerateFiles(index_); }

    ComPtr<IArchive> Duplicate() override { return ComPtr<IArchive>::Share(this); }

    ComPtr<ICompressedFile> OpenDecompressed(std::u16string_view path) override {
        const saf::Entry* entry = FindFile(path);
        if (!entry) return nullptr;
        ComPtr<IArchiveFile> file = OpenFile(path);
        if (!file) return nullptr;
        if (!entry->IsCompressed()) return MakeFlatFile(std::move(file));
        const bool lzss = index_.header.version == 6 && (index_.header.flags & saf::kFlagLzss);
        return lzss ? MakeEggFile(std::move(file), entry->decoded) : MakeZipFile(std::move(file), entry->decoded);
    }

private:
    // A file entry whose data lies inside this pack; folders are not files.
    const saf::Entry* FindFile(std::u16string_view path) const {
        int found = saf::FindEntry(index_, path);
        if (found < 0) return nullptr;
        const saf::Entry& entry = index_.entries[static_cast<std::size_t>(found)];
        if (entry.directory || entry.DataOffset() > region_ || entry.stored > region_ - entry.DataOffset())
            return nullptr;
        return &entry;
    }

    UniqueFd fd_;
    std::uint64_t base_;
    std::uint64_t region_;
    saf::Index index_;
};

// A pack file on disk of the given version (any of 5 and 6 when none is given).
ComPtr<IArchive> OpenPackFile(const std::string& path, std::optional<std::uint8_t> version) {
    UniqueFd fd = archive_detail::OpenForReading(path);
    auto size = fd ? archive_detail::FileSize(fd.get()) : std::nullopt;
    return size ? OpenPackAt(fd.get(), 0, *size, version) : nullptr;
}

}  // namespace

ComPtr<IArchive> OpenPackAt(int file, std::uint64_t base, std::uint64_t region,
                            std::optional<std::uint8_t> required_version) {
    UniqueFd fd = archive_detail::DuplicateFd(file);
    if (!fd) return nullptr;
    auto index = LoadIndex(fd.get(), base, region);
    if (!index || (required_version && index->header.version != *required_version)) return nullptr;
    return ComPtr<IArchive>::Adopt(new CPackArchive(std::move(fd), base, region, std::move(*index)));
}

ComPtr<IArchive> OpenArchive5(std::u16string_view path) { return OpenPackFile(Utf16ToUtf8(path), 5); }
ComPtr<IArchive> OpenArchive6(std::u16string_view path) { return OpenPackFile(Utf16ToUtf8(path), 6); }

ComPtr<IArchive> OpenSafArchive(std::u16string_view path) { return OpenSafArchiveNative(Utf16ToUtf8(path)); }

ComPtr<IArchive> OpenSafArchiveNative(const std::string& path) {
    UniqueFd fd = archive_detail::OpenForReading(path);
    if (!fd) return nullptr;
    std::array<std::uint8_t, 2> start{};
    if (archive_detail::ReadFully(fd.get(), start.data(), start.size()) != start.size()) return nullptr;
    if (start[1] != 5 && start[1] != 6) {
        static const std::string expression = Utf16ToCp932(u"(\"未対応のSAF形式\",0)");
        // The box names the pack: with several packs in the data folder the assertion alone does
        // not say which one to look at. The message is CP932, as the box reads it.
        AssertFail(expression.c_str(), "archive", 1787, Utf16ToCp932(Utf8ToUtf16(path)).c_str());
        return nullptr;
    }
    return OpenPackFile(path, start[1]);
}
