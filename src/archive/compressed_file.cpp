#include "archive/compressed_file.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Deflate never expands more than 1032 to 1; an LZSS group of 17 bytes yields at most 144.
constexpr std::uint64_t kZlibMaxRatio = 1032;
constexpr std::uint64_t kLzssMaxRatio = 9;
constexpr std::size_t kZlibInputChunk = 0x20000;

class CEntryDecoder : public CComImpl<ICompressedFile> {
public:
    CEntryDecoder(ComPtr<IArchiveFile> file, std::uint64_t decoded_size)
        : file_(std::move(file)), decoded_size_(decoded_size) {}

    // IArchiveFile answers with the entry file being read.
    HRESULT QueryInterface(const IID& iid, void** out) override {
        if (IsEqualGUID(iid, IID_IArchiveFile)) {
            file_->AddRef();
            *out = file_.Get();
            return S_OK;
        }
        return CComImpl::QueryInterface(iid, out);
    }
    std::uint64_t GetSize() override { return decoded_size_; }
    std::uint64_t GetStoredSize() override { return file_->GetSize(); }

protected:
    // The whole stored entry, or nothing when it cannot be read in full.
    bool ReadStored(std::vector<std::uint8_t>& stored) {
        stored.resize(file_->GetSize());
        if (stored.empty()) return true;
        return file_->Seek(0, IArchiveFile::kSeekSet) == 0 &&
               file_->Read(stored.data(), stored.size()) == stored.size();
    }

    ComPtr<IArchiveFile> file_;
    std::uint64_t decoded_size_;
};

class CFlatFile final : public CEntryDecoder {
public:
    using CEntryDecoder::CEntryDecoder;
    std::uint64_t ReadAll(void* buffer) override {
        if (decoded_size_ == 0 || file_->Seek(0, IArchiveFile::kSeekSet) != 0) return 0;
        return file_->Read(buffer, decoded_size_);
    }
};

class CZipFile final : public CEntryDecoder {
public:
    using CEntryDecoder::CEntryDecoder;
    // Only a stream that ends exactly at the decoded size counts: truncated data, and data that
    // would decode further, both give 0.
    std::uint64_t ReadAll(void* buffer) override {
        if (file_->GetSize() == 0 || file_->Seek(0, IArchiveFile::kSeekSet) != 0) return 0;
        z_stream stream{};
        if (inflateInit(&stream) != Z_OK) return 0;
        std::vector<std::uint8_t> input(std::min<std::uint64_t>(file_->GetSize(), kZlibInputChunk));
        std::uint64_t remaining_input = file_->GetSize();
        auto* output = static_cast<Bytef*>(buffer);
        std::uint64_t produced = 0;
        int result = Z_OK;
        while (result == Z_OK) {
            if (stream.avail_in == 0) {
                if (remaining_input == 0) break;
                std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_input, input.size()));
                if (file_->Read(input.data(), chunk) != chunk) break;
                remaining_input -= chunk;
                stream.next_in = input.data();
                stream.avail_in = static_cast<uInt>(chunk);
            }
            // One byte of room past the decoded size would be a wrong size, so give none.
            std::uint64_t room = decoded_size_ - produced;
            stream.next_out = output + produced;
            stream.avail_out = static_cast<uInt>(std::min<std::uint64_t>(room, 1u << 30));
            uInt before = stream.avail_out;
            result = inflate(&stream, Z_NO_FLUSH);
            produced += before - stream.avail_out;
            if (result == Z_BUF_ERROR && stream.avail_out != 0 && stream.avail_in == 0) result = Z_OK;
        }
        inflateEnd(&stream);
        return result == Z_STREAM_END && produced == decoded_size_ ? produced : 0;
    }
};

class CEggFile final : public CEntryDecoder {
public:
    using CEntryDecoder::CEntryDecoder;
    std::uint64_t ReadAll(void* buffer) override {
        std::vector<std::uint8_t> stored;
        if (!ReadStored(stored)) return 0;
        return DecodeLzss(std::span(static_cast<std::uint8_t*>(buffer), decoded_size_), stored);
    }
};

}  // namespace

ComPtr<ICompressedFile> MakeFlatFile(ComPtr<IArchiveFile> file) {
    std::uint64_t size = file->GetSize();
    return ComPtr<ICompressedFile>::Adopt(new CFlatFile(std::move(file), size));
}

ComPtr<ICompressedFile> MakeZipFile(ComPtr<IArchiveFile> file, std::uint64_t decoded_size) {
    if (decoded_size / kZlibMaxRatio > file->GetSize()) return nullptr;
    return ComPtr<ICompressedFile>::Adopt(new CZipFile(std::move(file), decoded_size));
}

ComPtr<ICompressedFile> MakeEggFile(ComPtr<IArchiveFile> file, std::uint64_t decoded_size) {
    if (decoded_size / kLzssMaxRatio > file->GetSize()) return nullptr;
    return ComPtr<ICompressedFile>::Adopt(new CEggFile(std::move(file), decoded_size));
}

std::size_t DecodeLzss(std::span<std::uint8_t> output, std::span<const std::uint8_t> input) {
    // One ring per call, so decodes may run on several threads at once.
    std::array<std::uint8_t, lzss::kRingSize> ring{};
    std::size_t r = lzss::kRingStart;
    std::size_t in = 0;
    std::size_t out = 0;
    unsigned flags = 0;
    auto put = [&](std::uint8_t c) {
        output[out++] = c;
        ring[r] = c;
        r = (r + 1) % lzss::kRingSize;
    };
    while (out < output.size()) {
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            if (in == input.size()) break;
            flags = input[in++] | 0xFF00u;
        }
        if (flags & 1) {
            if (in == input.size()) break;
            put(input[in++]);
            continue;
        }
        if (input.size() - in < 2) break;
        std::size_t b0 = input[in];
        std::size_t b1 = input[in + 1];
        in += 2;
        std::size_t p = b0 | (b1 & 0xF0) << 4;
        std::size_t length = std::min((b1 & 0x0F) + lzss::kMinMatch, output.size() - out);
        for (std::size_t k = 0; k < length; ++k) put(ring[(p + k) % lzss::kRingSize]);
    }
    return out;
}
