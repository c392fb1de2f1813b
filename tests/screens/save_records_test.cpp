// The save data's byte layouts. The expected bytes are laid out here field by field at their
// offsets in the stored formats, independently of the encoder; decoders get the same bytes back
// and every kind of damaged blob.
#include "screens/save_records.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lib/text.h"
#include "script/variables.h"

// Found by the test framework through the entry's namespace.
void PrintTo(const VariableBlobEntry& entry, std::ostream* out) {
    *out << Utf16ToUtf8(entry.name) << "=" << entry.value;
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// A blob under construction: little-endian fields put at explicit offsets.
struct Layout {
    Bytes bytes;

    explicit Layout(std::size_t size) : bytes(size, 0) {}
    Layout& U8(std::size_t at, std::uint8_t v) {
        bytes.at(at) = v;
        return *this;
    }
    Layout& U16(std::size_t at, std::uint16_t v) { return U8(at, v & 0xFF).U8(at + 1, v >> 8); }
    Layout& U32(std::size_t at, std::uint32_t v) { return U16(at, v & 0xFFFF).U16(at + 2, v >> 16); }
    Layout& Text(std::size_t at, std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) U8(at + i, static_cast<std::uint8_t>(text[i]));
        return *this;
    }
    Layout& Wide(std::size_t at, std::u16string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) U16(at + 2 * i, text[i]);
        return *this;
    }
};

// A blob given as its bytes, written as a string literal with \x escapes.
Bytes Raw(std::string_view text) { return Bytes(text.begin(), text.end()); }

SceneStateRecord Scene(std::uint8_t mode, std::string_view name) {
    SceneStateRecord record;
    record.mode = mode;
    std::copy(name.begin(), name.end(), record.name);
    return record;
}

// CP932 of テスト and of 太郎's code units.
constexpr std::string_view kTestCp932 = "\x83\x65\x83\x58\x83\x67";

// ---- SAVEDATA2 ----

// The fields a sample slot stores, at the offsets of the slot record.
Layout SampleSlotBytes() {
    Layout l(65'796);
    l.Text(4, kTestCp932);
    const std::uint16_t time[] = {2026, 12, 1, 7, 6, 45, 30, 123};
    for (int i = 0; i < 8; ++i) l.U16(40 + 2 * i, time[i]);
    l.U32(56, 4321);
    l.U32(60, 40).U32(64, 140).U32(68, 105).U16(72, 1).U16(74, 32);
    for (std::size_t i = 0; i < 58'800; ++i) l.U8(100 + i, static_cast<std::uint8_t>(i * 7 + 3));
    l.U8(65'636, 2).Text(65'637, "EV10102");       // picture: a background
    l.U8(65'668, 1).Text(65'669, "A010203");       // second layer shown
    l.U8(65'700, 1).Text(65'701, "bgm\\theme01");  // music playing
    l.U8(65'732, 0);                               // sound slot 1 stopped: its zero byte only
    l.U8(65'764, 2).Text(65'765, "se\\rain");
    return l;
}

SAVEDATA2 SampleSlot() {
    SAVEDATA2 record;
    record.comment = u"テスト";
    record.time = {2026, 12, 1, 7, 6, 45, 30, 123};
    record.resumePage = 4321;
    for (std::size_t i = 0; i < record.thumbnail.size(); ++i)
        record.thumbnail[i] = static_cast<std::uint8_t>(i * 7 + 3);
    record.scenes = {Scene(2, "EV10102"), Scene(1, "A010203"), Scene(1, "bgm\\theme01"), Scene(0, ""),
                     Scene(2, "se\\rain")};
    return record;
}

void ExpectSameSlot(const SAVEDATA2& got, const SAVEDATA2& want) {
    EXPECT_EQ(got.comment, want.comment);
    EXPECT_EQ(got.time, want.time);
    EXPECT_EQ(got.resumePage, want.resumePage);
    EXPECT_EQ(got.thumbnail, want.thumbnail);
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) {
        EXPECT_EQ(got.scenes[i].mode, want.scenes[i].mode) << "record " << i;
        EXPECT_EQ(std::string(got.scenes[i].name, sizeof got.scenes[i].name),
                  std::string(want.scenes[i].name, sizeof want.scenes[i].name))
            << "record " << i;
    }
}

TEST(SaveData2, EncodesEveryFieldAtItsOffset) {
    const Bytes encoded = EncodeSaveData2(SampleSlot());
    const Bytes expected = SampleSlotBytes().bytes;
    ASSERT_EQ(encoded.size(), 65'796u);
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(encoded[i], expected[i]) << "byte " << i;
}

TEST(SaveData2, DecodesTheLaidOutBytes) {
    const Decoded<SAVEDATA2> decoded = DecodeSaveData2(SampleSlotBytes().bytes);
    ASSERT_TRUE(decoded.ok()) << static_cast<int>(decoded.error);
    ExpectSameSlot(decoded.value, SampleSlot());
}

TEST(SaveData2, EncoderLeavesNoStaleBytes) {
    SAVEDATA2 record = SampleSlot();
    // What lies in the records' name fields after the terminator, or in a record of mode 0, is
    // not stored: those bytes of the slot stay zero.
    record.scenes[0] = Scene(2, std::string("EV1\0garbage", 11));
    record.scenes[3] = Scene(0, "old_se");
    record.comment = std::u16string(u"ab\0cd", 5);
    const Bytes encoded = EncodeSaveData2(record);
    const Bytes expected =
        SampleSlotBytes().Text(65'637, std::string("EV1\0\0\0\0\0", 8)).Text(4, std::string("ab\0\0\0\0", 6)).bytes;
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(encoded[i], expected[i]) << "byte " << i;
}

TEST(SaveData2, CutsTextsAtACharacterBoundary) {
    struct Case {
        const char* what;
        std::u16string comment;
        std::size_t storedBytes;
    } cases[] = {
        {"35 single bytes fit", std::u16string(35, u'a'), 35},
        {"36 single bytes lose one", std::u16string(36, u'a'), 35},
        {"18 double-byte characters keep 17", std::u16string(18, u'あ'), 34},
        {"a double-byte character ending at byte 35 fits", u"a" + std::u16string(17, u'あ'), 35},
        {"one ending at byte 36 goes whole", u"aa" + std::u16string(17, u'あ'), 34},
    };
    for (const Case& c : cases) {
        SAVEDATA2 record;
        record.comment = c.comment;
        const Bytes encoded = EncodeSaveData2(record);
        std::size_t length = 0;
        while (encoded[4 + length] != 0) ++length;
        EXPECT_EQ(length, c.storedBytes) << c.what;
        const Decoded<SAVEDATA2> back = DecodeSaveData2(encoded);
        ASSERT_TRUE(back.ok()) << c.what;
        EXPECT_EQ(back.value.comment, c.comment.substr(0, back.value.comment.size())) << c.what;
    }
    // A scene name filling its whole field without a terminator keeps 30 bytes and a zero.
    SAVEDATA2 record;
    record.scenes[2].mode = 1;
    std::fill(std::begin(record.scenes[2].name), std::end(record.scenes[2].name), 'n');
    const Decoded<SAVEDATA2> back = DecodeSaveData2(EncodeSaveData2(record));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(std::string(back.value.scenes[2].name), std::string(30, 'n'));
}

TEST(SaveData2, RefusesDamagedRecords) {
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError error;
    } cases[] = {
        {"empty", {}, SaveBlobError::kNoData},
        {"one byte short", Bytes(65'795, 0), SaveBlobError::kWrongSize},
        {"one byte long", Bytes(65'797, 0), SaveBlobError::kWrongSize},
        {"only the listed part", Bytes(56, 0), SaveBlobError::kWrongSize},
        {"comment without its zero", SampleSlotBytes().Text(4, std::string(36, 'c')).bytes,
         SaveBlobError::kUnterminatedText},
        {"picture name without its zero", SampleSlotBytes().Text(65'637, std::string(31, 's')).bytes,
         SaveBlobError::kUnterminatedText},
        {"last scene name without its zero", SampleSlotBytes().Text(65'765, std::string(31, 's')).bytes,
         SaveBlobError::kUnterminatedText},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeSaveData2(c.blob).error, c.error) << c.what;
    EXPECT_EQ(DecodeSaveData2({}).error, SaveBlobError::kNoData) << "NULL";
}

// The thumbnail takes no part in a load: whatever its area holds, the record decodes, and the
// state says what the dialog can draw.
TEST(SaveData2, TheThumbnailAreaIsNeverRefused) {
    // The whole area from 60 zero, the state of a slot saved before any picture existed.
    Layout blank = SampleSlotBytes();
    for (std::size_t i = 60; i < 65'636; ++i) blank.U8(i, 0);
    struct Case {
        const char* what;
        Bytes blob;
        SlotThumbnail state;
    } cases[] = {
        {"the header written", SampleSlotBytes().bytes, SlotThumbnail::kPicture},
        {"black pixels under the header", SampleSlotBytes().U8(100, 0).bytes, SlotThumbnail::kPicture},
        {"an all-zero area", blank.bytes, SlotThumbnail::kBlank},
        {"a zero header over pixels", Layout(blank).U8(65'635, 1).bytes, SlotThumbnail::kUnreadable},
        {"header size", SampleSlotBytes().U32(60, 124).bytes, SlotThumbnail::kUnreadable},
        {"width", SampleSlotBytes().U32(64, 141).bytes, SlotThumbnail::kUnreadable},
        {"top-down rows", SampleSlotBytes().U32(68, static_cast<std::uint32_t>(-105)).bytes,
         SlotThumbnail::kUnreadable},
        {"planes 2", SampleSlotBytes().U16(72, 2).bytes, SlotThumbnail::kUnreadable},
        {"24 bits", SampleSlotBytes().U16(74, 24).bytes, SlotThumbnail::kUnreadable},
        {"bit fields", SampleSlotBytes().U32(76, 3).bytes, SlotThumbnail::kUnreadable},
    };
    for (const Case& c : cases) {
        const Decoded<SAVEDATA2> decoded = DecodeSaveData2(c.blob);
        ASSERT_TRUE(decoded.ok()) << c.what;
        EXPECT_EQ(decoded.value.thumbnailState, c.state) << c.what;
        EXPECT_EQ(decoded.value.resumePage, 4321) << c.what;
    }
}

TEST(SaveData2, AcceptsWhatMeansNothing) {
    // Planes 0, a non-zero first word, a name after a mode-0 record's zero and the unused tail
    // of the pixel area carry no meaning.
    const Bytes blob = SampleSlotBytes()
                           .U16(72, 0)
                           .U32(0, 0xDEADBEEF)
                           .Text(65'733, std::string(31, 'x'))
                           .U8(100 + 58'800, 0xAA)
                           .U8(65'635, 0xBB)
                           .bytes;
    const Decoded<SAVEDATA2> decoded = DecodeSaveData2(blob);
    ASSERT_TRUE(decoded.ok()) << static_cast<int>(decoded.error);
    ExpectSameSlot(decoded.value, SampleSlot());
}

TEST(SaveData2, ThumbnailComesFromA140By105BottomUpSurface) {
    struct Case {
        std::uint32_t depth;
        int width, height;
        bool taken;
    } cases[] = {{32, 140, 105, true},
                 {32, 140, -105, false},
                 {32, 141, 105, false},
                 {32, 140, 104, false},
                 {16, 140, 105, false}};
    for (const Case& c : cases) {
        DxDraw::DxImage surface(c.depth);
        ASSERT_TRUE(surface.Create(c.width, c.height));
        for (std::size_t i = 0; i < surface.GetImageSize(); ++i) surface.GetBits()[i] = static_cast<std::uint8_t>(i);
        std::array<std::uint8_t, kThumbnailPixelBytes> pixels{};
        EXPECT_EQ(CopyThumbnailPixels(surface, pixels), c.taken) << c.depth << " " << c.width << "x" << c.height;
        if (c.taken)
            EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), surface.GetBits()));
        else
            EXPECT_EQ(pixels, (std::array<std::uint8_t, kThumbnailPixelBytes>{}));
    }
}

// ---- CommonRecord ----

Layout SampleCommonBytes() {
    Layout l(2'308);
    l.U32(0, 7);
    l.Wide(4, u"太郎");
    l.Wide(132, u"山田");
    l.U8(260 + 1, 0x80);     // page 8
    l.U8(260 + 2047, 0x01);  // page 16383
    return l;
}

CommonRecord SampleCommon() {
    CommonRecord record;
    record.LastUsedSlot = 7;
    std::copy_n(u"太郎", 2, record.PlayerName1);
    std::copy_n(u"山田", 2, record.PlayerName2);
    record.SeenFlags[1] = 0x80;
    record.SeenFlags[2047] = 0x01;
    return record;
}

void ExpectSameCommon(const CommonRecord& got, const CommonRecord& want) {
    EXPECT_EQ(got.LastUsedSlot, want.LastUsedSlot);
    EXPECT_EQ(std::u16string(got.PlayerName1, 64), std::u16string(want.PlayerName1, 64));
    EXPECT_EQ(std::u16string(got.PlayerName2, 64), std::u16string(want.PlayerName2, 64));
    EXPECT_EQ(got.SeenFlags, want.SeenFlags);
}

TEST(CommonRecord, EncodesAndDecodesTheLaidOutBytes) {
    EXPECT_EQ(EncodeCommonRecord(SampleCommon()), SampleCommonBytes().bytes);
    const Salvaged<CommonRecord> decoded = DecodeCommonRecord(SampleCommonBytes().bytes);
    ASSERT_EQ(decoded.damage, SaveBlobError::kNone);
    ExpectSameCommon(decoded.value, SampleCommon());
    // No slot, and the highest index.
    for (std::int32_t slot : {-1, 98}) {
        const Salvaged<CommonRecord> edge = DecodeCommonRecord(SampleCommonBytes().U32(0, slot).bytes);
        ASSERT_EQ(edge.damage, SaveBlobError::kNone) << slot;
        EXPECT_EQ(edge.value.LastUsedSlot, slot);
    }
}

TEST(CommonRecord, NamesAreCutAndTheirTailsZeroed) {
    CommonRecord record = SampleCommon();
    // Units after the zero are not stored.
    record.PlayerName1[3] = u'x';
    // A field full without a zero keeps 63 units; a surrogate pair at the cut goes whole.
    std::fill(std::begin(record.PlayerName2), std::end(record.PlayerName2), u'n');
    record.PlayerName2[62] = 0xD83D;
    record.PlayerName2[63] = 0xDE00;
    const Bytes expected = SampleCommonBytes().Wide(132, std::u16string(62, u'n')).bytes;
    EXPECT_EQ(EncodeCommonRecord(record), expected);
}

// A damaged field costs only itself: the others, the read pages above all, are read as stored.
TEST(CommonRecord, ADamagedFieldTakesItsFallbackAndTheOthersAreKept) {
    CommonRecord fallback;
    fallback.LastUsedSlot = 40;
    std::copy_n(u"既定", 2, fallback.PlayerName1);
    std::copy_n(u"名前", 2, fallback.PlayerName2);
    fallback.SeenFlags[5] = 0xFF;
    const CommonRecord stored = SampleCommon();
    const auto with = [](CommonRecord record, auto change) {
        change(record);
        return record;
    };
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError damage;
        CommonRecord read;
    } cases[] = {
        {"slot 99 reads as none", SampleCommonBytes().U32(0, 99).bytes, SaveBlobError::kOutOfRange,
         with(stored, [](CommonRecord& r) { r.LastUsedSlot = -1; })},
        {"slot -2 reads as none", SampleCommonBytes().U32(0, static_cast<std::uint32_t>(-2)).bytes,
         SaveBlobError::kOutOfRange, with(stored, [](CommonRecord& r) { r.LastUsedSlot = -1; })},
        {"first name without its zero", SampleCommonBytes().Wide(4, std::u16string(64, u'a')).bytes,
         SaveBlobError::kUnterminatedText,
         with(stored, [&](CommonRecord& r) { std::copy_n(fallback.PlayerName1, 64, r.PlayerName1); })},
        {"second name without its zero", SampleCommonBytes().Wide(132, std::u16string(64, u'a')).bytes,
         SaveBlobError::kUnterminatedText,
         with(stored, [&](CommonRecord& r) { std::copy_n(fallback.PlayerName2, 64, r.PlayerName2); })},
        {"all three at once",
         SampleCommonBytes().U32(0, 500).Wide(4, std::u16string(64, u'a')).Wide(132, std::u16string(64, u'b')).bytes,
         SaveBlobError::kOutOfRange,
         with(fallback,
              [&](CommonRecord& r) {
                  r.LastUsedSlot = -1;
                  r.SeenFlags = stored.SeenFlags;
              })},
    };
    for (const Case& c : cases) {
        const Salvaged<CommonRecord> read = DecodeCommonRecord(c.blob, fallback);
        EXPECT_EQ(read.damage, c.damage) << c.what;
        EXPECT_FALSE(read.lost) << c.what;
        SCOPED_TRACE(c.what);
        ExpectSameCommon(read.value, c.read);
    }
}

TEST(CommonRecord, ARecordOfAnotherSizeIsLostWhole) {
    CommonRecord fallback;
    fallback.LastUsedSlot = 40;
    fallback.SeenFlags[5] = 0xFF;
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError damage;
    } cases[] = {
        {"empty", {}, SaveBlobError::kNoData},
        {"short", SampleCommonBytes().bytes, SaveBlobError::kWrongSize},
        {"long", SampleCommonBytes().bytes, SaveBlobError::kWrongSize},
    };
    cases[1].blob.pop_back();
    cases[2].blob.push_back(0);
    for (const Case& c : cases) {
        const Salvaged<CommonRecord> read = DecodeCommonRecord(c.blob, fallback);
        EXPECT_EQ(read.damage, c.damage) << c.what;
        EXPECT_TRUE(read.lost) << c.what;
        SCOPED_TRACE(c.what);
        ExpectSameCommon(read.value, fallback);
    }
}

// ---- NameListBlob ----

TEST(NameList, EncodesAndDecodesTheLaidOutBytes) {
    struct Case {
        const char* what;
        std::vector<std::u16string> names;
        Bytes bytes;
    } cases[] = {
        {"empty list", {}, Raw(std::string_view("\0", 1))},
        {"two three-byte names", {u"EV1", u"EV2"}, Raw(std::string_view("EV1\0EV2\0\0", 9))},
        {"CP932 name", {u"シーン"}, Raw(std::string_view("\x83\x56\x81\x5B\x83\x93\0\0", 8))},
        {"31 bytes", {std::u16string(31, u'z')}, Raw(std::string(31, 'z') + std::string(2, '\0'))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeNameList(c.names), c.bytes) << c.what;
        const auto decoded = DecodeNameList(c.bytes);
        ASSERT_EQ(decoded.damage, SaveBlobError::kNone) << c.what;
        EXPECT_EQ(decoded.value, c.names) << c.what;
    }
}

TEST(NameList, EncoderKeepsEveryNameInsideTheFormat) {
    const std::vector<std::u16string> names = {u"A", u"", std::u16string(u"B\0C", 3), std::u16string(32, u'z'),
                                               u"z" + std::u16string(16, u'あ')};
    // The empty name would end the list early; a zero character ends its name; over 31 bytes is
    // cut, a double-byte character (あ is 82 A0) going whole.
    std::string want = std::string("A\0B\0", 4) + std::string(31, 'z') + '\0' + "z";
    for (int i = 0; i < 15; ++i) want += "\x82\xA0";
    want += std::string(2, '\0');
    EXPECT_EQ(EncodeNameList(names), Raw(want));
}

// The list is read up to its empty name; damage costs the names from it on, an over-long name
// only itself.
TEST(NameList, ADamagedListKeepsTheNamesBeforeTheDamage) {
    using Names = std::vector<std::u16string>;
    const std::string long_name(32, 'n');
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError damage;
        Names names;
    } cases[] = {
        {"bytes after the end are not read", Raw(std::string_view("EV1\0\0X", 6)), SaveBlobError::kNone, {u"EV1"}},
        {"a zero after the end", Raw(std::string_view("\0\0", 2)), SaveBlobError::kNone, {}},
        {"a list after the end", Raw(std::string_view("A\0\0B\0\0", 6)), SaveBlobError::kNone, {u"A"}},
        {"a 32-byte name is left out",
         Raw("A" + std::string(1, '\0') + long_name + std::string(1, '\0') + "B" + std::string(2, '\0')),
         SaveBlobError::kNameTooLong, Names{u"A", u"B"}},
        {"second name runs past the end", Raw(std::string_view("EV1\0EV", 6)), SaveBlobError::kTruncated, {u"EV1"}},
        {"no final zero", Raw(std::string_view("EV1\0", 4)), SaveBlobError::kTruncated, {u"EV1"}},
    };
    for (const Case& c : cases) {
        const auto decoded = DecodeNameList(c.blob);
        EXPECT_EQ(decoded.damage, c.damage) << c.what;
        EXPECT_EQ(decoded.value, c.names) << c.what;
        EXPECT_FALSE(decoded.lost) << c.what;
    }
}

TEST(NameList, AListOfWhichNothingCanBeKeptIsLost) {
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError damage;
    } cases[] = {
        {"empty", {}, SaveBlobError::kNoData},
        {"name runs past the end", Raw("EV1"), SaveBlobError::kTruncated},
        {"only a 32-byte name", Raw(std::string(32, 'n') + std::string(2, '\0')), SaveBlobError::kNameTooLong},
    };
    for (const Case& c : cases) {
        const auto decoded = DecodeNameList(c.blob);
        EXPECT_EQ(decoded.damage, c.damage) << c.what;
        EXPECT_TRUE(decoded.value.empty()) << c.what;
        EXPECT_TRUE(decoded.lost) << c.what;
    }
}

TEST(NameList, AListIsReadNoFurtherThanItsLimit) {
    // Names of four bytes: the byte limit holds more of them than the name limit allows.
    const auto list = [](std::size_t names, bool ended) {
        Bytes blob;
        for (std::size_t i = 0; i < names; ++i) {
            const std::string name = std::to_string(1000 + i % 9000);
            blob.insert(blob.end(), name.begin(), name.end());
            blob.push_back(0);
        }
        if (ended) blob.push_back(0);
        return blob;
    };
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError damage;
        std::size_t kept;
    } cases[] = {
        {"the most names", list(kMaxListNames, true), SaveBlobError::kNone, kMaxListNames},
        {"one name more", list(kMaxListNames + 1, true), SaveBlobError::kTooLarge, kMaxListNames},
        {"a huge list", list(100'000, true), SaveBlobError::kTooLarge, kMaxListNames},
        {"one huge name", Bytes(kMaxListBytes + 1, 'n'), SaveBlobError::kTooLarge, 0},
        {"a name cut at the byte limit", Raw("A" + std::string(1, '\0') + std::string(kMaxListBytes, 'n')),
         SaveBlobError::kTooLarge, 1},
        {"the limit's last byte ends the list", Raw("A" + std::string(kMaxListBytes - 3, '\0') + "junk"),
         SaveBlobError::kNone, 1},
    };
    for (const Case& c : cases) {
        const auto decoded = DecodeNameList(c.blob);
        EXPECT_EQ(decoded.damage, c.damage) << c.what;
        EXPECT_EQ(decoded.value.size(), c.kept) << c.what;
    }
}

// ---- VariableBlob ----

std::vector<VariableBlobEntry> Entries(const TextScript::VariableTable& table) {
    std::vector<VariableBlobEntry> entries;
    table.ForEach([&](const TextScript::VariableNode& node) {
        if (node.kind == TextScript::VariableNode::kNumber) entries.push_back({node.name, node.value});
    });
    return entries;
}

TEST(VariableBlob, EncodesAndDecodesTheLaidOutBytes) {
    struct Case {
        const char* what;
        std::vector<VariableBlobEntry> variables;  // in table order
        Bytes bytes;
    } cases[] = {
        {"empty table", {}, Raw(std::string_view("\0", 1))},
        {"one variable", {{u"x", 5}}, Raw(std::string_view("x\0\x05\0\0\0\0", 7))},
        {"negative and CP932",
         {{u"A1", -2}, {u"フラグ", 0x01020304}},
         Raw(std::string_view("A1\0\xFE\xFF\xFF\xFF\x83\x74\x83\x89\x83\x4F\0\x04\x03\x02\x01\0", 19))},
    };
    for (const Case& c : cases) {
        TextScript::VariableTable table;
        for (const VariableBlobEntry& v : c.variables) table.GetOrCreate(v.name, v.value);
        ASSERT_EQ(Entries(table), c.variables) << c.what << ": the table keeps this order";
        EXPECT_EQ(EncodeVariableBlob(table), c.bytes) << c.what;
        const auto decoded = DecodeVariableBlob(c.bytes);
        ASSERT_TRUE(decoded.ok()) << c.what;
        EXPECT_EQ(decoded.value, c.variables) << c.what;
    }
}

TEST(VariableBlob, LeavesOutWhatCannotBeStored) {
    TextScript::VariableTable table;
    table.GetOrCreate(u"a", 1);
    table.GetOrCreate(u"", 2);
    table.AddText(u"b", u"text");
    table.GetOrCreate(std::u16string(u"c\0d", 3), 3);
    EXPECT_EQ(EncodeVariableBlob(table), Raw(std::string_view("a\0\x01\0\0\0c\0\x03\0\0\0\0", 13)));
}

TEST(VariableBlob, GrowsPast64Kilobytes) {
    TextScript::VariableTable table;
    std::vector<VariableBlobEntry> variables;
    for (int i = 0; i < 12'000; ++i) {
        std::u16string name = u"V";
        for (char c : std::to_string(100'000 + i)) name.push_back(static_cast<char16_t>(c));
        variables.push_back({name, i * 3 - 7});
        table.GetOrCreate(name, i * 3 - 7);
    }
    const Bytes blob = EncodeVariableBlob(table);
    EXPECT_EQ(blob.size(), 12'000u * (7 + 5) + 1);
    EXPECT_GT(blob.size(), 65'536u);
    const auto decoded = DecodeVariableBlob(blob);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value, variables);
}

TEST(VariableBlob, RefusesDamagedBlobs) {
    struct Case {
        const char* what;
        Bytes blob;
        SaveBlobError error;
    } cases[] = {
        {"empty", {}, SaveBlobError::kNoData},
        {"name runs past the end", Raw("abc"), SaveBlobError::kTruncated},
        {"value cut short", Raw(std::string_view("x\0\x05\0\0", 5)), SaveBlobError::kTruncated},
        {"no value", Raw(std::string_view("x\0", 2)), SaveBlobError::kTruncated},
        {"no final zero", Raw(std::string_view("x\0\x05\0\0\0", 6)), SaveBlobError::kTruncated},
        {"a value cut by the limit",
         Raw(std::string(kMaxVariableBlobBytes - 3, 'n') + std::string("\0\x05\0\0\0\0", 6)), SaveBlobError::kTooLarge},
        {"more variables than the limit", Bytes(), SaveBlobError::kTooLarge},
    };
    // One-byte names: the byte limit would hold more of them than the variable limit allows.
    for (std::size_t i = 0; i <= kMaxVariables; ++i) {
        const std::uint8_t entry[] = {'v', 0, 1, 0, 0, 0};
        cases[std::size(cases) - 1].blob.insert(cases[std::size(cases) - 1].blob.end(), std::begin(entry),
                                                std::end(entry));
    }
    cases[std::size(cases) - 1].blob.push_back(0);
    for (const Case& c : cases) {
        const auto decoded = DecodeVariableBlob(c.blob);
        EXPECT_EQ(decoded.error, c.error) << c.what;
        EXPECT_TRUE(decoded.value.empty()) << c.what;
    }
}

// Bytes that end where readable memory ends: the page after them is mapped without access, so a
// decoder that reads one byte past them stops the test with SIGSEGV in any build.
class BytesAtTheEndOfMemory {
public:
    explicit BytesAtTheEndOfMemory(std::string_view bytes) : page_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) {
        void* map = ::mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) throw std::runtime_error("mmap");
        map_ = static_cast<std::uint8_t*>(map);
        if (::mprotect(map_ + page_, page_, PROT_NONE) != 0) throw std::runtime_error("mprotect");
        std::memcpy(map_ + page_ - bytes.size(), bytes.data(), bytes.size());
        bytes_ = {map_ + page_ - bytes.size(), bytes.size()};
    }
    ~BytesAtTheEndOfMemory() { ::munmap(map_, 2 * page_); }
    BytesAtTheEndOfMemory(const BytesAtTheEndOfMemory&) = delete;
    BytesAtTheEndOfMemory& operator=(const BytesAtTheEndOfMemory&) = delete;

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::size_t page_;
    std::uint8_t* map_ = nullptr;
    std::span<const std::uint8_t> bytes_;
};

// A damaged blob is read no further than its last byte, whatever value, name or zero it cuts.
TEST(VariableBlob, ADamagedBlobIsReadNoFurtherThanItsEnd) {
    for (const std::string_view blob :
         {std::string_view("x\0\x05\0\0", 5), std::string_view("x\0\x05\0", 4), std::string_view("x\0\x05", 3),
          std::string_view("x\0", 2), std::string_view("x\0\x05\0\0\0", 6), std::string_view("xy", 2)}) {
        SCOPED_TRACE(blob.size());
        const BytesAtTheEndOfMemory bytes(blob);
        const auto decoded = DecodeVariableBlob(bytes.bytes());
        EXPECT_EQ(decoded.error, SaveBlobError::kTruncated);
    }
}

TEST(VariableBlob, TheBlobIsReadUpToItsEmptyName) {
    struct Case {
        const char* what;
        Bytes blob;
        std::vector<VariableBlobEntry> variables;
    } cases[] = {
        {"a zero after the end", Raw(std::string_view("x\0\x05\0\0\0\0\0", 8)), {{u"x", 5}}},
        {"bytes after the end", Raw(std::string_view("x\0\x05\0\0\0\0y\0\x01", 10)), {{u"x", 5}}},
        {"an empty blob's zero first", Raw(std::string_view("\0x\0\x05\0\0\0\0", 8)), {}},
    };
    for (const Case& c : cases) {
        const auto decoded = DecodeVariableBlob(c.blob);
        ASSERT_TRUE(decoded.ok()) << c.what;
        EXPECT_EQ(decoded.value, c.variables) << c.what;
    }
    // The most variables a blob is read to.
    Bytes most;
    for (std::size_t i = 0; i < kMaxVariables; ++i) {
        const std::uint8_t entry[] = {'v', 0, 1, 0, 0, 0};
        most.insert(most.end(), std::begin(entry), std::end(entry));
    }
    most.push_back(0);
    const auto decoded = DecodeVariableBlob(most);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value.size(), kMaxVariables);
}

TEST(VariableBlob, ApplyingSetsAndCreatesAndKeepsTheRest) {
    TextScript::VariableTable table;
    table.GetOrCreate(u"KEEP", 9);
    table.GetOrCreate(u"flag", 1);
    const std::vector<VariableBlobEntry> entries = {{u"FLAG", 4}, {u"new", 6}};
    ApplyVariableBlob(entries, table);
    EXPECT_EQ(table.size(), 3u);
    const std::pair<std::u16string_view, std::int32_t> want[] = {{u"flag", 4}, {u"KEEP", 9}, {u"new", 6}};
    for (const auto& [name, value] : want) {
        const TextScript::VariableNode* node = table.Find(TextScript::VariableNode::kNumber, name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->name, name) << "the name keeps the case of its first writing";
        EXPECT_EQ(node->value, value);
    }
}

}  // namespace
