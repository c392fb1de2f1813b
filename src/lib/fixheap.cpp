#include "lib/fixheap.h"

#include <new>

#include "lib/report.h"

namespace {

template <typename T>
T RoundUp(T value, T step) {
    return (value + step - 1) / step * step;
}

// Blocks that fit a region of `region_bytes` by the pool's fixed sizing rule, which counts 415 bits
// of header and one bitmap bit per block (wherever those live), so capacities never change. 0 when
// none fits.
std::uint32_t BlocksForRegion(std::uint64_t region_bytes, std::uint32_t block_size) {
    const std::uint64_t bits = region_bytes * 8;
    if (bits <= 415) return 0;
    const std::uint64_t n = (bits - 415) / (std::uint64_t{block_size} * 8 + 1);
    return n > UINT32_MAX ? 0 : static_cast<std::uint32_t>(n);
}

}  // namespace

// One region of blocks and its bitmap. Only touched under the pool's lock, so it needs none of
// its own.
class FixHeap::Chunk {
public:
    Chunk(std::uint32_t block_size, std::uint32_t blocks, std::uint32_t alignment)
        : block_size_(block_size),
          blocks_(blocks),
          free_(blocks),
          // The alignment need not be a power of two (12 is allowed), so the region is taken
          // with room to spare and the first block placed at the first multiple of it.
          region_(new (std::nothrow) std::byte[std::size_t{block_size} * blocks + alignment]),
          bitmap_((blocks + 7) / 8, 0) {
        if (region_) {
            const auto start = reinterpret_cast<std::uintptr_t>(region_.get());
            first_ = region_.get() + (RoundUp<std::uintptr_t>(start, alignment) - start);
        }
    }

    bool valid() const { return region_ != nullptr; }
    bool wholly_free() const { return free_ == blocks_; }

    void* Allocate() {
        if (free_ == 0) return nullptr;
        // First fit; the scan starts at the first byte that may still hold a clear bit, since
        // every byte before it is full (scanning from 0 each time dominated script compiles).
        for (std::size_t byte = first_open_; byte < bitmap_.size(); ++byte) {
            if (bitmap_[byte] == 0xFF) continue;
            for (unsigned bit = 0; bit < 8; ++bit) {
                const std::uint32_t index = static_cast<std::uint32_t>(byte * 8 + bit);
                const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> bit);
                if (index >= blocks_) break;
                if (bitmap_[byte] & mask) continue;
                bitmap_[byte] |= mask;
                first_open_ = byte;
                --free_;
                return first_ + std::size_t{index} * block_size_;
            }
        }
        AssertFail("0", "fixheap.cpp", 109);  // the free count disagrees with the bitmap
        return nullptr;
    }

    // Frees the block when it is one of this chunk's blocks in use; false otherwise.
    bool Release(void* block) {
        const auto address = reinterpret_cast<std::uintptr_t>(block);
        const auto first = reinterpret_cast<std::uintptr_t>(first_);
        const std::uintptr_t end = first + std::uintptr_t{block_size_} * blocks_;
        if (address < first || address >= end) return false;
        if ((address - first) % block_size_ != 0) return false;  // not the start of a block
        const std::size_t index = (address - first) / block_size_;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (index % 8));
        if (!(bitmap_[index / 8] & mask)) return false;
        bitmap_[index / 8] &= static_cast<std::uint8_t>(~mask);
        if (index / 8 < first_open_) first_open_ = index / 8;
        ++free_;
        return true;
    }

private:
    std::uint32_t block_size_;
    std::uint32_t blocks_;
    std::uint32_t free_;
    std::size_t first_open_ = 0;  // no bitmap byte before it has a clear bit
    std::unique_ptr<std::byte[]> region_;
    std::byte* first_ = nullptr;  // the first block: region_ moved up to the alignment
    std::vector<std::uint8_t> bitmap_;
};

FixHeap::FixHeap(std::uint32_t block_size, std::uint32_t blocks_per_chunk, std::uint32_t alignment)
    : alignment_(RoundUp<std::uint32_t>(alignment < 4 ? 4 : alignment, 4)) {
    block_size_ = RoundUp<std::uint32_t>(block_size < 4 ? 4 : block_size, alignment_);
    blocks_in_chunk_ = BlocksForRegion(std::uint64_t{blocks_per_chunk} * block_size_, block_size_);
    chunks_.reserve(16);
    std::lock_guard guard(lock_);
    current_ = MakeChunk();
}

FixHeap::~FixHeap() = default;

std::size_t FixHeap::chunk_count() const {
    std::lock_guard guard(lock_);
    return chunks_.size();
}

FixHeap::Chunk* FixHeap::MakeChunk() {
    if (blocks_in_chunk_ == 0) return nullptr;
    std::unique_ptr<Chunk> chunk;
    try {
        chunk = std::make_unique<Chunk>(block_size_, blocks_in_chunk_, alignment_);
        if (!chunk->valid()) return nullptr;
        chunks_.push_back(std::move(chunk));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return chunks_.back().get();
}

void* FixHeap::Alloc(std::size_t size) {
    if (size > block_size_) return nullptr;
    std::lock_guard guard(lock_);
    if (current_) {
        if (void* block = current_->Allocate()) return block;
    }
    current_ = nullptr;
    for (const auto& chunk : chunks_) {
        if (void* block = chunk->Allocate()) {
            current_ = chunk.get();
            return block;
        }
    }
    current_ = MakeChunk();
    return current_ ? current_->Allocate() : nullptr;
}

bool FixHeap::Free(void* block) {
    if (!block) return true;
    std::lock_guard guard(lock_);
    for (auto it = chunks_.begin(); it != chunks_.end(); ++it) {
        Chunk* chunk = it->get();
        if (!chunk->Release(block)) continue;
        if (chunk == current_) current_ = nullptr;
        if (chunks_.size() > 1 && chunk->wholly_free()) chunks_.erase(it);
        return true;
    }
    return false;
}
