#include "lib/fixheap.h"

#include <gtest/gtest.h>

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

char* At(void* block, std::ptrdiff_t bytes) { return static_cast<char*>(block) + bytes; }

TEST(FixHeap, GeometryFollowsTheAlignmentAndClassicSizing) {
    struct Case {
        std::uint32_t size, per_chunk, align, block_size, alignment, blocks;
    } cases[] = {
        {24, 4096, 4, 24, 4, 4072}, {12, 4096, 4, 12, 4, 4049}, {16, 4096, 4, 16, 4, 4061}, {32, 4096, 4, 32, 4, 4078},
        {1, 64, 1, 4, 4, 49},       {20, 64, 8, 24, 8, 61},     {8, 64, 12, 12, 12, 59},    {13, 64, 6, 16, 8, 60},
    };
    for (const Case& c : cases) {
        FixHeap heap(c.size, c.per_chunk, c.align);
        SCOPED_TRACE(c.size);
        EXPECT_EQ(heap.block_size(), c.block_size);
        EXPECT_EQ(heap.alignment(), c.alignment);
        EXPECT_EQ(heap.blocks_in_chunk(), c.blocks);
        for (void* block : Take(heap, 3)) EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % c.alignment, 0u);
    }
}

TEST(FixHeap, AFullChunkGrowsACurrentSecondOneThatIsReleasedWhenEmpty) {
    FixHeap heap(16, 256, 4);
    auto first = Take(heap, heap.blocks_in_chunk());
    auto second = Take(heap, 3);
    ASSERT_EQ(heap.chunk_count(), 2u);
    EXPECT_TRUE(heap.Free(first[5]));
    void* fourth = heap.Alloc(16);
    EXPECT_EQ(fourth, At(second[2], 16)) << "a free elsewhere keeps the current chunk";
    EXPECT_TRUE(heap.Free(second[1]));
    EXPECT_EQ(heap.Alloc(16), first[5]) << "after a free in the current chunk, chunks are tried in creation order";
    EXPECT_EQ(heap.Alloc(16), second[1]);
    for (void* block : {second[0], second[1], second[2]}) EXPECT_TRUE(heap.Free(block));
    EXPECT_EQ(heap.chunk_count(), 2u);
    EXPECT_TRUE(heap.Free(fourth));
    EXPECT_EQ(heap.chunk_count(), 1u) << "an empty chunk is released";
    for (void* block : first) EXPECT_TRUE(heap.Free(block));
    EXPECT_EQ(heap.chunk_count(), 1u) << "the last chunk stays";
}

TEST(FixHeap, BlocksAreAdjacentFreedOnesReusedFirstFitAndForeignOnesRefused) {
    FixHeap heap(16, 256, 4);
    auto blocks = Take(heap, 20);
    for (int i = 1; i < 20; ++i) EXPECT_EQ(blocks[i], At(blocks[i - 1], 16));
    EXPECT_EQ(heap.Alloc(17), nullptr);
    int outside = 0;
    EXPECT_FALSE(heap.Free(At(blocks[19], 16)));  // in range, bit clear
    EXPECT_FALSE(heap.Free(At(blocks[0], 4)));    // inside a block
    EXPECT_FALSE(heap.Free(&outside));
    EXPECT_TRUE(heap.Free(nullptr));
    EXPECT_TRUE(heap.Free(blocks[9]));
    EXPECT_FALSE(heap.Free(blocks[9]));  // twice
    EXPECT_TRUE(heap.Free(blocks[3]));
    EXPECT_EQ(heap.Alloc(16), blocks[3]);
    EXPECT_EQ(heap.Alloc(1), blocks[9]);
    EXPECT_EQ(heap.Alloc(16), At(blocks[19], 16));

    FixHeap too_small(16, 0, 4);
    EXPECT_EQ(too_small.Alloc(16), nullptr);
    EXPECT_EQ(too_small.chunk_count(), 0u);
}

TEST(FixHeap, ThreadsShareOnePool) {
    FixHeap heap(32, 128, 8);
    auto work = [&heap](int tag) {
        for (int round = 0; round < 200; ++round) {
            std::vector<int*> mine;
            for (int i = 0; i < 50; ++i) {
                auto* block = static_cast<int*>(heap.Alloc(32));
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
