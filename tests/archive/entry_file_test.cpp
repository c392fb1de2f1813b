// Entry files, the three decoders, mapped views and the interface rules between them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>

#include "archive/archive.h"
#include "archive/compressed_file.h"
#include "pack_fixtures.h"

using namespace archive_test;

namespace {

std::vector<std::uint8_t> Counting(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

std::vector<std::uint8_t> Random(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

std::vector<std::uint8_t> Zlib(const std::vector<std::uint8_t>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    out.resize(size);
    return out;
}

class EntryFiles : public ::testing::Test {
protected:
    ComPtr<IArchive> Open(std::uint8_t flags, const std::vector<FlatEntry>& entries) {
        WriteFile(dir / "pack.saf", FlatPack6(flags, entries));
        return OpenSafArchive(dir.Path("pack.saf"));
    }
    TempDir dir;
};

TEST_F(EntryFiles, SeekTellAndReadStayInsideTheEntry) {
    auto archive = Open(0, {{"a.bin", Counting(100), 0}, {"b.bin", Counting(10), 0}});
    ASSERT_TRUE(archive);
    auto file = archive->OpenFile(u"a.bin");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetSize(), 100u);
    EXPECT_EQ(file->Seek(0, IArchiveFile::kSeekEnd), 99);
    EXPECT_EQ(file->Seek(1, IArchiveFile::kSeekEnd), -1);
    EXPECT_EQ(file->Seek(100, IArchiveFile::kSeekSet), -1);
    EXPECT_EQ(file->Seek(-1, IArchiveFile::kSeekSet), -1);
    EXPECT_EQ(file->Seek(0, 3), -1);
    EXPECT_EQ(file->Tell(), 99u);  // failures leave the position alone
    EXPECT_EQ(file->Seek(90, IArchiveFile::kSeekSet), 90);
    std::uint8_t buffer[50] = {};
    EXPECT_EQ(file->Read(buffer, 50), 10u);  // never into the next entry
    EXPECT_EQ(buffer[0], 90);
    EXPECT_EQ(buffer[9], 99);
    EXPECT_EQ(file->Tell(), 100u);
    EXPECT_EQ(file->Read(buffer, 50), 0u);
    EXPECT_EQ(file->Seek(-10, IArchiveFile::kSeekCur), 90);
    EXPECT_EQ(file->GetFilePointer(), 2048u + 90u);
    EXPECT_EQ(file->Seek(std::numeric_limits<std::int64_t>::max(), IArchiveFile::kSeekCur), -1);

    // A clone reads on its own descriptor from the same position, even at the end.
    ASSERT_EQ(file->Seek(42, IArchiveFile::kSeekSet), 42);
    auto clone = file->Clone();
    ASSERT_TRUE(clone);
    EXPECT_EQ(clone->Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 42);
    EXPECT_EQ(file->Tell(), 42u);
    EXPECT_NE(clone->GetHandle(), file->GetHandle());
    EXPECT_EQ(file->Read(buffer, 50), 50u);
    EXPECT_EQ(file->Read(buffer, 50), 8u);
    auto at_end = file->Clone();
    EXPECT_EQ(at_end->Tell(), 100u);
    EXPECT_EQ(at_end->Read(buffer, 1), 0u);
}

TEST_F(EntryFiles, InterfacesAnswerAsTheirOwners) {
    auto archive = Open(0, {{"a.bin", Counting(100), 0}});
    auto file = archive->OpenFile(u"a.bin");
    void* out = nullptr;
    ASSERT_EQ(file->QueryInterface(IID_IArchive, &out), S_OK);
    auto owner = ComPtr<IArchive>::Adopt(static_cast<IArchive*>(out));
    EXPECT_EQ(owner.Get(), archive.Get());
    owner.Reset();
    EXPECT_EQ(file->GetSize(), 100u);
    EXPECT_EQ(file->QueryInterface(IID_ICompressedFile, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    auto decoder = archive->OpenDecompressed(u"a.bin");
    ASSERT_EQ(decoder->QueryInterface(IID_IArchiveFile, &out), S_OK);
    auto entry = ComPtr<IArchiveFile>::Adopt(static_cast<IArchiveFile*>(out));
    EXPECT_EQ(entry->GetSize(), 100u);

    auto mapping = archive->OpenMapping(u"a.bin");
    ASSERT_EQ(mapping->QueryInterface(IID_IArchiveFile, &out), S_OK);
    ComPtr<IArchiveFile>::Adopt(static_cast<IArchiveFile*>(out));
    EXPECT_EQ(archive->QueryInterface(IID_IMappingFile, &out), E_NOINTERFACE);
    auto same = archive->Duplicate();
    EXPECT_EQ(same.Get(), archive.Get());
}

TEST_F(EntryFiles, MappedViewsAreBoundedByTheEntryAndTheFile) {
    auto archive = Open(0, {{"a.bin", Counting(100), 0}, {"b.bin", Random(9000, 1), 0}});
    auto mapping = archive->OpenMapping(u"b.bin");
    ASSERT_TRUE(mapping);
    const auto expected = Random(9000, 1);
    auto* whole = static_cast<const std::uint8_t*>(mapping->Map(0, 0));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(std::memcmp(whole, expected.data(), expected.size()), 0);
    auto* middle = static_cast<const std::uint8_t*>(mapping->Map(4097, 100));  // not page-aligned
    ASSERT_NE(middle, nullptr);
    EXPECT_EQ(std::memcmp(middle, expected.data() + 4097, 100), 0);
    EXPECT_EQ(mapping->Map(8990, 11), nullptr);
    EXPECT_EQ(mapping->Map(9001, 0), nullptr);
    EXPECT_EQ(mapping->Map(9000, 0), nullptr);  // nothing left to map
    auto clone = mapping->Clone();
    ASSERT_TRUE(clone);
    auto* cloned = static_cast<const std::uint8_t*>(clone->Map(1, 1));
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(*cloned, expected[1]);
    // A file cut after opening refuses views past its new end instead of faulting on them.
    std::filesystem::resize_file(dir / "pack.saf", 2 * 2048 + 4000);
    EXPECT_EQ(mapping->Map(0, 0), nullptr);
    EXPECT_NE(mapping->Map(0, 4000), nullptr);
}

TEST_F(EntryFiles, FlatEntriesReadByteForByte) {
    auto archive = Open(0, {{"a.bin", Random(5000, 2), 0}, {"empty", {}, 0}});
    auto decoder = archive->OpenDecompressed(u"a.bin");
    EXPECT_EQ(decoder->GetStoredSize(), 5000u);
    EXPECT_EQ(decoder->GetSize(), 5000u);
    auto empty = LoadArchiveEntry(*archive, u"empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    auto text = LoadArchiveText(*archive, u"empty");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 0u);
    EXPECT_EQ(text->c_str()[0], '\0');
    std::vector<std::uint8_t> small(10);
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"a.bin", small));
    std::vector<std::uint8_t> fits(6000);
    EXPECT_EQ(LoadArchiveEntry(*archive, u"a.bin", fits), 5000u);
}

TEST_F(EntryFiles, ZlibEntriesMustEndExactlyAtTheirSize) {
    const auto text = Counting(3000);
    const auto packed = Zlib(text);
    const auto big = Random(0x28000, 3);  // incompressible: stored above 0x20000, read in chunks
    std::vector<std::uint8_t> cut(packed.begin(), packed.end() - 6);
    auto archive = Open(0, {{"good", packed, 3000},
                            {"big", Zlib(big), 0x28000},
                            {"truncated", cut, 3000},
                            {"longer", packed, 2999},
                            {"shorter", packed, 3001},
                            {"garbage", Random(100, 4), 50},
                            {"impossible", packed, 0xFFFFFFFF}});
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->IsCompressed(u"good"));
    EXPECT_EQ(LoadArchiveEntry(*archive, u"good"), text);
    EXPECT_EQ(LoadArchiveEntry(*archive, u"big"), big);
    EXPECT_GE(archive->OpenDecompressed(u"big")->GetStoredSize(), 0x20000u);
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"truncated"));
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"longer"));
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"shorter"));
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"garbage"));
    EXPECT_FALSE(archive->OpenDecompressed(u"impossible"));  // no 4 GiB buffer for 3 KB of data
}

TEST_F(EntryFiles, LzssEntriesAreBoundedByTheirSize) {
    // Two literals, then a reference to ring position 0xFEE (the first literal), length 4.
    const std::vector<std::uint8_t> overlap = {0x03, 'A', 'B', 0xEE, 0xF1};
    auto archive = Open(0x02 /* LZSS */, {{"overlap", overlap, 6},
                                          {"short", overlap, 7},
                                          {"cut", {0x03, 'A', 'B', 0xEE}, 6},
                                          {"longer", overlap, 4},
                                          {"impossible", overlap, 1000}});
    ASSERT_TRUE(archive);
    auto whole = LoadArchiveEntry(*archive, u"overlap");
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::string(whole->begin(), whole->end()), "ABABAB");
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"short"));
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"cut"));
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"longer"));  // decodes further than its size
    EXPECT_FALSE(archive->OpenDecompressed(u"impossible"));
}

TEST(Lzss, DecodesLiteralsAndReferencesIntoTheRing) {
    std::vector<std::uint8_t> out(8);
    const std::vector<std::uint8_t> literals = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(DecodeLzss(out, literals), 8u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    std::vector<std::uint8_t> zeros(3, 0xAA);
    EXPECT_EQ(DecodeLzss(zeros, std::vector<std::uint8_t>{0x00, 0xEE, 0xF0}), 3u);  // the ring starts zeroed
    EXPECT_EQ(zeros, std::vector<std::uint8_t>(3, 0));
    // A reference to ring position 0, far behind the write position: still zeros.
    std::vector<std::uint8_t> far(19);
    EXPECT_EQ(DecodeLzss(far, std::vector<std::uint8_t>{0x01, 'z', 0x00, 0x0F}), 19u);
    EXPECT_EQ(far[0], 'z');
    EXPECT_EQ(far[1], 0);
    std::vector<std::uint8_t> room(2);
    EXPECT_EQ(DecodeLzss(room, literals), 2u);                              // never past the output
    EXPECT_EQ(DecodeLzss(out, std::vector<std::uint8_t>{0x00, 0xEE}), 0u);  // half a reference
}

}  // namespace
