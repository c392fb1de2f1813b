#include "lib/utility.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

TEST(LockedRand, FollowsTheClassicSequenceAndThreadsNeverShareAStep) {
    ResetLockedRand(7);
    LockedRand();
    ResetLockedRand();
    EXPECT_EQ(LockedRand(), 41);
    EXPECT_EQ(LockedRand(), 18467);
    EXPECT_EQ(LockedRand(), 6334);
    // Every seed update must be whole: 4 x 1000 draws end at the same state as 4000 in a row.
    ResetLockedRand(7);
    for (int i = 0; i < 4000; ++i) LockedRand();
    const int expected = LockedRand();
    ResetLockedRand(7);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 1000; ++i) LockedRand();
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(LockedRand(), expected);
    ResetLockedRand();
}

TEST(TextColumns, WideAndHalfWidth) {
    EXPECT_EQ(CountTextColumns(u"ab"), 2);
    EXPECT_EQ(CountTextColumns(u"\uFF71"), 1);  // half-width katakana
    EXPECT_EQ(CountTextColumns(u"\uFF60\uFFA0"), 4);
    EXPECT_EQ(CountTextColumns(u"\u30A2"), 2);
    EXPECT_EQ(CountTextColumns(u"\U0001F600"), 2);  // one pair, one character
    EXPECT_EQ(CountTextColumns(u"\u00FF\u0100"), 3);
    EXPECT_EQ(CountTextColumns(u""), 0);
}

TEST(Utf16, DecodeJoinsOnlyRealPairsAndEncodeRoundTrips) {
    char32_t cp = 0;
    const char16_t pair[] = u"\U0001F600";
    EXPECT_EQ(DecodeUtf16CodePoint(pair, 1, cp), pair + 1);  // only the high half available
    EXPECT_EQ(cp, 0xD83Du);
    EXPECT_EQ(DecodeUtf16CodePoint(pair, 0, cp), nullptr);
    const char16_t lone_before_end[] = {0xD800, 0};
    EXPECT_EQ(DecodeUtf16CodePoint(lone_before_end, -1, cp), lone_before_end + 1);
    EXPECT_EQ(cp, 0xD800u);
    const char16_t high_then_letter[] = {0xDBFF, u'A', 0};
    EXPECT_EQ(DecodeUtf16CodePoint(high_then_letter, 2, cp), high_then_letter + 1);
    EXPECT_EQ(cp, 0xDBFFu);

    char16_t units[2];
    for (char32_t code : {char32_t{0x41}, char32_t{0xFFFF}, char32_t{0x10000}, char32_t{0x1F600}, char32_t{0x10FFFF}}) {
        const int n = EncodeUtf16(units, code);
        EXPECT_EQ(n, code < 0x10000 ? 1 : 2);
        EXPECT_EQ(DecodeUtf16CodePoint(units, n, cp), units + n);
        EXPECT_EQ(cp, code);
    }
    EXPECT_EQ(EncodeUtf16(units, 0x110000), 1);
    EXPECT_EQ(units[0], 0xFFFD);
}

TEST(AnsiToWide, ConvertsMeasuresAndRefusesShortBuffers) {
    const char bytes[] = "\x83\x41\x41";  // katakana A, then A
    char16_t out[4] = {};
    EXPECT_EQ(AnsiToWide({}, bytes), 2u);
    EXPECT_EQ(AnsiToWide(out, bytes), 2u);
    EXPECT_EQ(out[0], 0x30A2);
    EXPECT_EQ(out[1], u'A');
    char16_t small[1] = {u'#'};
    EXPECT_EQ(AnsiToWide(small, bytes), 0u);
    EXPECT_EQ(small[0], u'#');
}

struct Rect {
    int left, top, right, bottom;
};

TEST(FindRectAtPoint, RightAndBottomEdgesAreOutside) {
    const Rect rects[] = {{10, 10, 20, 20}, {0, 0, 100, 100}};
    EXPECT_EQ(FindRectAtPoint(rects, 2, 10, 10), 0);
    EXPECT_EQ(FindRectAtPoint(rects, 2, 19, 19), 0);
    EXPECT_EQ(FindRectAtPoint(rects, 2, 20, 15), 1);
    EXPECT_EQ(FindRectAtPoint(rects, 2, 15, 20), 1);
    EXPECT_EQ(FindRectAtPoint(rects, 1, 20, 15), -1);
    EXPECT_EQ(FindRectAtPoint(rects, 0, 15, 15), -1);
    EXPECT_EQ(FindRectAtPoint(rects, -3, 15, 15), -1);
}

TEST(SwapMemory, ExchangesWholeWordsAndTheTail) {
    std::vector<std::uint8_t> a(11), b(11);
    std::iota(a.begin(), a.end(), 0);
    std::iota(b.begin(), b.end(), 100);
    const auto a0 = a, b0 = b;
    SwapMemory(a.data(), b.data(), 11);
    EXPECT_EQ(a, b0);
    EXPECT_EQ(b, a0);
}

TEST(TaggedValue, OwnedBufferMovesAndIsNotCopied) {
    static_assert(!std::is_copy_constructible_v<TaggedValue>);
    static_assert(std::is_nothrow_move_constructible_v<TaggedValue>);
    TaggedValue plain(1, u'A');
    EXPECT_EQ(plain.type(), 1u);
    EXPECT_EQ(plain.value(), static_cast<std::uintptr_t>(u'A'));
    EXPECT_THROW(TaggedValue(7, 1234), std::invalid_argument);

    auto buffer = std::make_unique<std::uint8_t[]>(8);
    std::uint8_t* raw = buffer.get();
    TaggedValue owner(std::move(buffer));
    EXPECT_EQ(owner.type(), TaggedValue::kOwnedBuffer);
    EXPECT_EQ(owner.value(), reinterpret_cast<std::uintptr_t>(raw));
    std::vector<TaggedValue> elements(1024);
    elements[3] = std::move(owner);
    EXPECT_EQ(elements[3].buffer(), raw);
    EXPECT_EQ(owner.buffer(), nullptr);
    EXPECT_EQ(elements[0].type(), 0u);
}

}  // namespace
