#include "lib/text_field.h"

#include <gtest/gtest.h>

namespace {

TEST(TextField, CutsOnCharacterBoundaries) {
    const std::u16string pair = u"ab\U0001F600";  // a, b, high, low
    const std::pair<std::size_t, std::size_t> wide[] = {{0, 0}, {1, 0}, {3, 2}, {4, 2}, {5, 4}, {9, 4}};
    for (const auto& [capacity, units] : wide) EXPECT_EQ(FitUtf16(pair, capacity), units) << capacity;
    const char16_t lone[] = {u'a', 0xD800, u'b'};  // a lone high surrogate is a character of its own
    EXPECT_EQ(FitUtf16({lone, 3}, 3), 2u);
    const std::string sjis = "a\x93\xFA\xB1\x96";  // a, 日, ｱ, and a lead byte without its trail
    const std::pair<std::size_t, std::size_t> narrow[] = {{0, 0}, {2, 1}, {3, 1}, {4, 3}, {5, 4}, {6, 4}, {9, 4}};
    for (const auto& [capacity, bytes] : narrow) EXPECT_EQ(FitCp932(sjis, capacity), bytes) << capacity;
    char16_t field16[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(CopyField16(field16, pair), 2u);
    EXPECT_EQ(std::u16string_view(field16, 4), std::u16string_view(u"ab\0x", 4));
    char field8[2] = {'x', 'x'};
    EXPECT_EQ(CopyFieldCp932(field8, "\x93\xFA"), 0u);
    EXPECT_EQ(field8[0], 0);
}

}  // namespace
