// Whole-entry loading used by every consumer of the archives.
#include <algorithm>

#include "archive/archive.h"

namespace {

// Decodes into buffer; the size when the entry decoded to exactly its stated size.
std::optional<std::uint64_t> DecodeInto(ICompressedFile& decoder, std::span<std::uint8_t> buffer) {
    const std::uint64_t size = decoder.GetSize();
    if (buffer.size() < size) return std::nullopt;
    if (size == 0) return 0;
    if (decoder.ReadAll(buffer.data()) != size) return std::nullopt;
    return size;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> LoadArchiveEntry(IArchive& archive, std::u16string_view name) {
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) return std::nullopt;
    std::vector<std::uint8_t> bytes(decoder->GetSize());
    if (!DecodeInto(*decoder, bytes)) return std::nullopt;
    return bytes;
}

std::optional<std::uint64_t> LoadArchiveEntry(IArchive& archive, std::u16string_view name,
                                              std::span<std::uint8_t> buffer) {
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) return std::nullopt;
    return DecodeInto(*decoder, buffer);
}

std::optional<std::string> LoadArchiveText(IArchive& archive, std::u16string_view name) {
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) return std::nullopt;
    std::string text(decoder->GetSize(), '\0');
    if (!DecodeInto(*decoder, std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size())))
        return std::nullopt;
    return text;
}

bool ProbeArchiveFile(IArchive& archive, std::u16string_view name, std::u16string* out_name) {
    const bool exists = archive.Exists(name);
    const bool bare = std::none_of(name.begin(), name.end(), [](char16_t c) { return c == u'/' || c == u'\\'; });
    if (out_name && (exists || !bare)) *out_name = name;
    return exists;
}
