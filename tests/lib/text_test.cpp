#include "lib/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConversion, Cp932RoundTripsJapaneseAndAscii) {
    // "日本語 abc ｱ" in CP932: 93FA 967B 8CEA 20 61 62 63 20 B1
    const std::string cp932 = "\x93\xFA\x96\x7B\x8C\xEA abc \xB1";
    const std::u16string wide = u"日本語 abc ｱ";
    EXPECT_EQ(Cp932ToUtf16(cp932), wide);
    EXPECT_EQ(Utf16ToCp932(wide), cp932);
    // CP932 keeps 0x5C as a backslash (the script language's escape), not a yen sign.
    EXPECT_EQ(Cp932ToUtf16("\\"), u"\\");
    // Full-width tilde and minus map to their CP932 forms.
    EXPECT_EQ(Utf16ToCp932(u"～－"), "\x81\x60\x81\x7C");
}

TEST(TextConversion, BadInputIsReplacedNotRefused) {
    // A lead byte at the end and an undefined lead byte both become U+FFFD; the rest survives.
    EXPECT_EQ(Cp932ToUtf16("a\x81"), u"a\uFFFD");
    EXPECT_EQ(Cp932ToUtf16("\xA0z"), u"\uFFFDz");
    // A character CP932 cannot hold becomes '?', a lone surrogate too.
    EXPECT_EQ(Utf16ToCp932(u"x\u00E9y"), "x?y");
    EXPECT_EQ(Utf16ToCp932(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(TextConversion, Utf8RoundTripsAstralPlaneAndLongInputGrowsTheOutput) {
    const std::u16string wide = u"a\U0001F600é";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);
    EXPECT_EQ(Utf16ToUtf8(u"日"), "\xE6\x97\xA5");
    EXPECT_EQ(Cp932ToUtf16(""), u"");
    std::string cp932;
    for (int i = 0; i < 5000; ++i) cp932 += "\x82\xA0";  // あ
    EXPECT_EQ(Cp932ToUtf16(cp932), std::u16string(5000, u'あ'));
    EXPECT_EQ(Utf16ToCp932(std::u16string(5000, u'あ')), cp932);
}

TEST(Format, ConversionsFollowTheWidePrintf) {
    EXPECT_EQ(FormatString(u"%s/%hs", u"寛", "abc"), u"寛/abc");
    EXPECT_EQ(FormatString(u"%hs", "\x93\xFA"), u"日");
    EXPECT_EQ(FormatString(u"%d %i %u", -5, 7, 4000000000u), u"-5 7 4000000000");
    EXPECT_EQ(FormatString(u"%x %X %x", 255, 0xABCDu, -1), u"ff ABCD ffffffff");
    EXPECT_EQ(FormatString(u"%c%c", u'あ', 65), u"あA");
    EXPECT_EQ(FormatString(u"100%%"), u"100%");
    EXPECT_EQ(FormatString(u"%p", reinterpret_cast<const void*>(0x1234)), u"0000000000001234");
    // A DWORD of all ones under %d reads as -1, as the 32-bit formats expect.
    EXPECT_EQ(FormatString(u"%d", 0xFFFFFFFFu), u"-1");
}

TEST(Format, WidthsFlagsAndPrecision) {
    EXPECT_EQ(FormatString(u"[%5d]", 42), u"[   42]");
    EXPECT_EQ(FormatString(u"[%-5d]", 42), u"[42   ]");
    EXPECT_EQ(FormatString(u"[%05d]", -42), u"[-0042]");
    EXPECT_EQ(FormatString(u"[%02d:%02d]", 3, 14), u"[03:14]");
    EXPECT_EQ(FormatString(u"[%4s][%-4s]", u"ab", u"ab"), u"[  ab][ab  ]");
    EXPECT_EQ(FormatString(u"[%08X]", 0xBEEFu), u"[0000BEEF]");
    EXPECT_EQ(FormatString(u"[%.2s]", u"abcdef"), u"[ab]");
    EXPECT_EQ(FormatString(u"[%*d]", 4, 7), u"[   7]");
    EXPECT_EQ(FormatString(u"[%.3d]", 7), u"[007]");
}

TEST(Format, MismatchedAndMissingArgumentsAreMarked) {
    EXPECT_EQ(FormatString(u"%d", u"text"), u"(?)");
    EXPECT_EQ(FormatString(u"%s", 12), u"(?)");
    EXPECT_EQ(FormatString(u"%d and %d", 1), u"1 and (?)");
    EXPECT_EQ(FormatString(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
    EXPECT_EQ(FormatString(u"%q %d", 3), u"%q 3");
    EXPECT_EQ(FormatString(u"tail %"), u"tail ");
}

TEST(Format, OutputAndCopiesAreBoundedByTheDestination) {
    char16_t small[6];
    for (auto& c : small) c = u'#';
    EXPECT_EQ(FormatW(small, u"%s-%d", u"abcdef", 12345), 5u);
    EXPECT_EQ(std::u16string(small), u"abcde");

    char16_t one[1] = {u'#'};
    EXPECT_EQ(FormatW(one, u"%s", u"x"), 0u);
    EXPECT_EQ(one[0], 0);

    // Zero capacity writes nothing at all.
    char16_t untouched = u'#';
    EXPECT_EQ(FormatW(&untouched, 0, u"x"), 0u);
    EXPECT_EQ(untouched, u'#');

    char16_t dst[4];
    EXPECT_EQ(StrCopy16(dst, 4, u"abcdef"), 3u);
    EXPECT_EQ(std::u16string(dst), u"abc");
    EXPECT_EQ(StrLen16(nullptr), 0u);
}

}  // namespace
