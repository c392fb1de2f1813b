#include "lib/fixheap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

// Allocates n blocks and checks each is new.
std::vector<void*> Take(FixHeap& heap, std::size_t n) {
    std::vector<void*> blocks;
    std::set<void*> seen;
    for (std::size_t i = 0; i < n; ++i) {
        void* block = heap.Alloc(heap.block_size());
        EXPECT_NE(block, nullptr);
        EXPECT_TRUE(seen.insert(block).second);
        blocks.push_back(block);
    }
    return blocks;
}

TEST(FixHeap, BlocksPerChunkKeepTheClassicSizing) {
    struct Case {
        std::uint32_t block_size, blocks;
    } cases[] = {{24, 4072}, {12, 4049}, {16, 4061}, {32, 4078}};
    for (const Case& c : cases) {
        FixHeap heap(c.block_size, 4096, 4);
        EXPECT_EQ(heap.block_size(), c.block_size);
        EXPECT_EQ(heap.blocks_in_chunk(), c.blocks) << c.block_size;
        EXPECT_EQ(heap.chunk_count(), 1u);
    }
}

TEST(FixHeap, SizesAreRoundedToTheAlignment) {
    FixHeap small(1, 64, 1);
    EXPECT_EQ(small.alignment(), 4u);
    EXPECT_EQ(small.block_size(), 4u);
    FixHeap pointers(20, 64, 8);
    EXPECT_EQ(pointers.block_size(), 24u);
    FixHeap odd(8, 64, 12);
    EXPECT_EQ(odd.alignment(), 16u);
    EXPECT_EQ(odd.block_size(), 16u);
    for (void* block : Take(pointers, 10)) EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 8, 0u);
}

TEST(FixHeap, ConsecutiveAllocsAreAdjacentBlocks) {
    FixHeap heap(24, 4096, 4);
    char* first = static_cast<char*>(heap.Alloc(24));
    char* second = static_cast<char*>(heap.Alloc(1));
    EXPECT_EQ(second, first + 24);
    EXPECT_EQ(heap.Alloc(25), nullptr);
    EXPECT_EQ(heap.chunk_count(), 1u);
}

TEST(FixHeap, FullChunkGrowsASecondAndReleasesItWhenEmpty) {
    FixHeap heap(24, 4096, 4);
    auto blocks = Take(heap, 4072);
    EXPECT_EQ(heap.chunk_count(), 1u);
    void* overflow = heap.Alloc(24);
    ASSERT_NE(overflow, nullptr);
    EXPECT_EQ(heap.chunk_count(), 2u);
    // The new chunk is current: the next block comes right after the overflow block.
    void* next = heap.Alloc(24);
    EXPECT_EQ(static_cast<char*>(next), static_cast<char*>(overflow) + 24);
    EXPECT_TRUE(heap.Free(overflow));
    EXPECT_EQ(heap.chunk_count(), 2u);
    EXPECT_TRUE(heap.Free(next));
    EXPECT_EQ(heap.chunk_count(), 1u);
    for (void* block : blocks) EXPECT_TRUE(heap.Free(block));
    EXPECT_EQ(heap.chunk_count(), 1u);  // the last chunk stays
    EXPECT_EQ(Take(heap, 4072).size(), 4072u);
    EXPECT_EQ(heap.chunk_count(), 1u);
}

TEST(FixHeap, FreedBlocksAreReusedFirstFit) {
    FixHeap heap(16, 256, 4);
    auto blocks = Take(heap, 20);
    EXPECT_TRUE(heap.Free(blocks[3]));
    EXPECT_TRUE(heap.Free(blocks[9]));
    EXPECT_EQ(heap.Alloc(16), blocks[3]);
    EXPECT_EQ(heap.Alloc(16), blocks[9]);
    EXPECT_EQ(heap.Alloc(16), static_cast<char*>(blocks[19]) + 16);
}

TEST(FixHeap, FreeRefusesWhatItDidNotHandOut) {
    FixHeap heap(16, 256, 4);
    auto blocks = Take(heap, 2);
    char* never = static_cast<char*>(blocks[1]) + 16;
    EXPECT_FALSE(heap.Free(never));                              // in range, bit clear
    EXPECT_FALSE(heap.Free(static_cast<char*>(blocks[0]) + 4));  // inside a block
    int outside = 0;
    EXPECT_FALSE(heap.Free(&outside));
    EXPECT_TRUE(heap.Free(nullptr));
    EXPECT_TRUE(heap.Free(blocks[0]));
    EXPECT_FALSE(heap.Free(blocks[0]));  // twice
    EXPECT_EQ(heap.Alloc(16), blocks[0]);
}

TEST(FixHeap, TooSmallAChunkNeverYieldsBlocks) {
    FixHeap heap(16, 0, 4);
    EXPECT_EQ(heap.blocks_in_chunk(), 0u);
    EXPECT_EQ(heap.chunk_count(), 0u);
    EXPECT_EQ(heap.Alloc(16), nullptr);
    EXPECT_FALSE(heap.Free(&heap));
}

TEST(FixHeap, ThreadsShareOnePool) {
    FixHeap heap(32, 128, 8);
    auto work = [&heap](int tag) {
        for (int round = 0; round < 200; ++round) {
            std::vector<int*> mine;
            for (int i = 0; i < 50; ++i) {
                int* block = static_cast<int*>(heap.Alloc(32));
                ASSERT_NE(block, nullptr);
                *block = tag;
                mine.push_back(block);
            }
            for (int* block : mine) {
                EXPECT_EQ(*block, tag);
                EXPECT_TRUE(heap.Free(block));
            }
        }
    };
    std::thread a(work, 1), b(work, 2), c(work, 3);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(heap.chunk_count(), 1u);
}

}  // namespace
