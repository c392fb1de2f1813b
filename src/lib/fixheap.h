// A thread-safe pool of small blocks of one fixed size.
//
// Memory comes from the general heap in chunks; each chunk hands out its blocks first-fit through
// a bitmap (one bit per block, most significant bit first, set = in use). The chunk's record and
// bitmap live outside the block region, so the region holds blocks only. The number of blocks per
// chunk follows one fixed rule, (S x 8 - 415) / (B x 8 + 1) for a region of S bytes, so pool
// capacities are the same whatever the size of a pointer; owners size their pools from `sizeof`
// of what they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class FixHeap {
public:
    // The alignment is rounded up to a multiple of 4 (at least 4) and the block size up to a
    // multiple of the alignment; every block's address is a multiple of the alignment. The first chunk is made at once;
    // if that fails the pool still works (the next Alloc tries again).
    FixHeap(std::uint32_t block_size, std::uint32_t blocks_per_chunk, std::uint32_t alignment);
    ~FixHeap();
    FixHeap(const FixHeap&) = delete;
    FixHeap& operator=(const FixHeap&) = delete;

    // A free block, or null when `size` is larger than a block or no memory is left.
    void* Alloc(std::size_t size);
    // Returns a block to the pool: true when it was a block of this pool in use (or null), false
    // otherwise. A chunk left wholly free is released unless it is the only one.
    bool Free(void* block);

    std::uint32_t block_size() const { return block_size_; }
    std::uint32_t alignment() const { return alignment_; }
    // Blocks each chunk holds (0 when the geometry leaves no room for one).
    std::uint32_t blocks_in_chunk() const { return blocks_in_chunk_; }
    std::size_t chunk_count() const;

private:
    class Chunk;

    Chunk* MakeChunk();

    std::uint32_t block_size_;
    std::uint32_t alignment_;
    std::uint32_t blocks_in_chunk_;
    mutable std::mutex lock_;  // guards everything below, chunk contents included
    std::vector<std::unique_ptr<Chunk>> chunks_;
    Chunk* current_ = nullptr;
};
