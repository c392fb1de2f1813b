#include "archive/compressed_file.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Deflate never expands more than 1032 to 1; an LZSS group of 17 bytes yields at most 144.
constexpr std::uint64_t kZlibMaxRatio = 1032;
constexpr std::uint64_t kLzssMaxRatio = 9;
constexpr std::size_t kZlibInputChunk = 0x20000;

// A caller's buffer of a fixed size.
class FixedSink final : public DecodeSink {
public:
    FixedSink(void* buffer, std::uint64_t size) : buffer_(static_cast<std::uint8_t*>(buffer)), size_(size) {}
    std::span<std::uint8_t> Room(std::uint64_t produced) override {
        if (produced >= size_) return {};
        return {buffer_ + produced, static_cast<std::size_t>(size_ - produced)};
    }

private:
    std::uint8_t* buffer_;
    std::uint64_t size_;
};

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
    std::uint64_t ReadAll(void* buffer) override {
        FixedSink sink(buffer, decoded_size_);
        return ReadAllInto(sink);
    }

protected:
    // The sink's room from `produced` on, never past the decoded size whatever the sink offers.
    std::span<std::uint8_t> Room(DecodeSink& sink, std::uint64_t produced) const {
        if (produced >= decoded_size_) return {};
        std::span<std::uint8_t> room = sink.Room(produced);
        return room.first(static_cast<std::size_t>(std::min<std::uint64_t>(room.size(), decoded_size_ - produced)));
    }

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
    std::uint64_t ReadAllInto(DecodeSink& sink) override {
        if (decoded_size_ == 0 || file_->Seek(0, IArchiveFile::kSeekSet) != 0) return 0;
        std::uint64_t produced = 0;
        for (std::span<std::uint8_t> room = Room(sink, 0); !room.empty(); room = Room(sink, produced)) {
            const std::uint64_t got = file_->Read(room.data(), room.size());
            if (got == 0) break;
            produced += got;
        }
        return produced;
    }
};

struct InflateEnd {
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};

class CZipFile final : public CEntryDecoder {
public:
    using CEntryDecoder::CEntryDecoder;
    // Only a stream that ends exactly at the decoded size counts: truncated data, and data that
    // would decode further, both give 0.
    std::uint64_t ReadAllInto(DecodeSink& sink) override {
        if (file_->GetSize() == 0 || file_->Seek(0, IArchiveFile::kSeekSet) != 0) return 0;
        z_stream stream{};
        if (inflateInit(&stream) != Z_OK) return 0;
        const std::unique_ptr<z_stream, InflateEnd> end(&stream);
        std::vector<std::uint8_t> input(std::min<std::uint64_t>(file_->GetSize(), kZlibInputChunk));
        std::uint64_t remaining_input = file_->GetSize();
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
            // No room at all once the decoded size is reached: a stream that still has bytes to
            // give then fails instead of writing past it.
            const std::span<std::uint8_t> room = Room(sink, produced);
            std::uint8_t none;  // zlib wants an output pointer even for no room
            stream.next_out = room.empty() ? &none : room.data();
            stream.avail_out = static_cast<uInt>(std::min<std::size_t>(room.size(), 1u << 30));
            const uInt before = stream.avail_out;
            result = inflate(&stream, Z_NO_FLUSH);
            produced += before - stream.avail_out;
            if (result == Z_BUF_ERROR && stream.avail_out != 0 && stream.avail_in == 0) result = Z_OK;
        }
        return result == Z_STREAM_END && produced == decoded_size_ ? produced : 0;
    }
};

class CEggFile final : public CEntryDecoder {
public:
    using CEntryDecoder::CEntryDecoder;
    // As for zlib, the data must decode to exactly the decoded size: another whole literal or
    // reference after it means a wrong size.
    std::uint64_t ReadAllInto(DecodeSink& sink) override {
        std::vector<std::uint8_t> stored;
        if (!ReadStored(stored)) return 0;
        LzssDecoder decoder(stored);
        std::uint64_t produced = 0;
        for (std::span<std::uint8_t> room = Room(sink, 0); !room.empty(); room = Room(sink, produced)) {
            const std::size_t got = decoder.Decode(room);
            if (got == 0) break;
            produced += got;
        }
        std::uint8_t beyond;
        return produced == decoded_size_ && decoder.Decode({&beyond, 1}) != 0 ? 0 : produced;
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

std::size_t LzssDecoder::Decode(std::span<std::uint8_t> output) {
    std::size_t out = 0;
    auto put = [&](std::uint8_t c) {
        output[out++] = c;
        ring_[r_] = c;
        r_ = (r_ + 1) % lzss::kRingSize;
    };
    while (out < output.size() && !exhausted_) {
        if (copyLeft_ > 0) {
            put(ring_[copyFrom_++ % lzss::kRingSize]);
            --copyLeft_;
            continue;
        }
        flags_ >>= 1;
        if ((flags_ & 0x100) == 0) {
            if (in_ == input_.size()) break;
            flags_ = input_[in_++] | 0xFF00u;
        }
        if (flags_ & 1) {
            if (in_ == input_.size()) break;
            put(input_[in_++]);
            continue;
        }
        if (input_.size() - in_ < 2) break;
        const std::size_t b0 = input_[in_];
        const std::size_t b1 = input_[in_ + 1];
        in_ += 2;
        copyFrom_ = b0 | (b1 & 0xF0) << 4;
        copyLeft_ = (b1 & 0x0F) + lzss::kMinMatch;
    }
    // The loop leaves early only when a byte is needed and the input has none: a later call
    // must not take the leftover of a cut reference as the next item.
    if (out < output.size()) exhausted_ = true;
    return out;
}

std::size_t DecodeLzss(std::span<std::uint8_t> output, std::span<const std::uint8_t> input) {
    return LzssDecoder(input).Decode(output);
}
