// Whole-entry loading used by every consumer of the archives.
#include <algorithm>
#include <cerrno>

#include "archive/archive.h"
#include "lib/diskfile.h"

namespace {

// A buffer (vector or string of bytes) that grows as the decoder fills it, doubling up to the
// declared size, so that memory follows the bytes the stored data really gives. It starts at
// the stored size, which a stored entry fills at once.
template <class Bytes>
class GrowingSink final : public DecodeSink {
public:
    GrowingSink(Bytes& bytes, std::uint64_t limit, std::uint64_t stored)
        : bytes_(bytes), limit_(limit), start_(std::max<std::uint64_t>(stored, kMinimumStart)) {}

    std::span<std::uint8_t> Room(std::uint64_t produced) override {
        if (produced >= bytes_.size()) {
            if (bytes_.size() >= limit_) return {};
            const std::uint64_t grown = std::min(limit_, std::max<std::uint64_t>(start_, 2 * bytes_.size()));
            bytes_.reserve(static_cast<std::size_t>(grown));  // exactly, so the last step ends at the limit
            bytes_.resize(static_cast<std::size_t>(grown));
        }
        return {reinterpret_cast<std::uint8_t*>(bytes_.data()) + produced,
                static_cast<std::size_t>(bytes_.size() - produced)};
    }

private:
    static constexpr std::uint64_t kMinimumStart = 64 << 10;
    Bytes& bytes_;
    std::uint64_t limit_;
    std::uint64_t start_;
};

// The whole entry into a growing buffer; nothing unless it decodes to exactly its declared size.
template <class Bytes>
std::optional<Bytes> LoadWhole(IArchive& archive, std::u16string_view name, std::uint64_t max_size) {
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) return std::nullopt;
    const std::uint64_t size = decoder->GetSize();
    if (size > std::min(max_size, kMaxEntryLoadBytes)) return std::nullopt;
    Bytes bytes;
    if (size == 0) return bytes;
    GrowingSink<Bytes> sink(bytes, size, decoder->GetStoredSize());
    if (decoder->ReadAllInto(sink) != size) return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> LoadArchiveEntry(IArchive& archive, std::u16string_view name) {
    return LoadWhole<std::vector<std::uint8_t>>(archive, name, kMaxEntryLoadBytes);
}

std::optional<std::uint64_t> LoadArchiveEntry(IArchive& archive, std::u16string_view name,
                                              std::span<std::uint8_t> buffer) {
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) return std::nullopt;
    const std::uint64_t size = decoder->GetSize();
    if (buffer.size() < size) return std::nullopt;
    if (size == 0) return 0;
    if (decoder->ReadAll(buffer.data()) != size) return std::nullopt;
    return size;
}

std::optional<std::string> LoadArchiveText(IArchive& archive, std::u16string_view name, std::uint64_t max_size) {
    return LoadWhole<std::string>(archive, name, max_size);
}

std::u16string DescribeEntryError(IArchive& archive, std::u16string_view name, std::uint64_t max_size) {
    if (!archive.Exists(name)) return DescribeReadError(ENOENT);
    // A folder archive's entry says what it is through the errno of its open; a pack's entry
    // that cannot be opened (a folder, or data outside the pack) leaves errno alone.
    errno = 0;
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) return errno ? DescribeReadError(errno) : u"cannot be opened";
    max_size = std::min(max_size, kMaxEntryLoadBytes);
    if (decoder->GetSize() > max_size) return DescribeReadError(EFBIG, max_size);
    return u"is damaged (its data does not decode to its declared size)";
}

bool ProbeArchiveFile(IArchive& archive, std::u16string_view name, std::u16string* out_name) {
    const bool exists = archive.Exists(name);
    const bool bare = std::none_of(name.begin(), name.end(), [](char16_t c) { return c == u'/' || c == u'\\'; });
    if (out_name && (exists || !bare)) *out_name = name;
    return exists;
}
