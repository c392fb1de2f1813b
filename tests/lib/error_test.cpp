#include "lib/error.h"

#include <gtest/gtest.h>

#include "lib/report.h"
#include "support/capture_reports.h"

namespace {

TEST(ErrorException, FormatFillsBothRecordsAndClearEmptiesOnlyTheTexts) {
    ExceptionHandle site(u"act.cpp", 224);
    ExceptionHandle out;
    ExceptionHandle& result = site.Format(out, 3, 0x1234, u"MakeACT: %s %d", u"Empty", 7);
    EXPECT_EQ(&result, &out);
    EXPECT_EQ(std::u16string(out.file), u"act.cpp");
    EXPECT_EQ(out.line, 224u);
    EXPECT_EQ(std::u16string(out.message), u"MakeACT: Empty 7");
    EXPECT_EQ(std::u16string(site.message), u"MakeACT: Empty 7");
    EXPECT_EQ(site.type, 3u);
    EXPECT_EQ(site.pointer, 0x1234u);
    out.Clear();
    EXPECT_EQ(out.file[0], 0);
    EXPECT_EQ(out.message[0], 0);
    EXPECT_EQ(out.line, 224u);
    EXPECT_EQ(out.pointer, 0x1234u);
    EXPECT_EQ(out.type, 3u);

    ExceptionHandle long_site(std::u16string(600, u'f'), 1);
    long_site.Format(out, 0, 0, u"%s", std::u16string(700, u'm'));
    EXPECT_EQ(StrLen16(out.file), 255u);
    EXPECT_EQ(StrLen16(out.message), 255u);
}

TEST(ErrorException, ThrowErrorCarriesTypeSiteAndA64BitAddress) {
    int local = 0;
    try {
        ThrowError(u"act.cpp", 224, 1, reinterpret_cast<std::uintptr_t>(&local), u"MakeACT: Empty Memory!!");
        FAIL() << "nothing thrown";
    } catch (const ExceptionHandle& e) {
        EXPECT_EQ(e.type, 1u);
        EXPECT_EQ(std::u16string(e.file), u"act.cpp");
        EXPECT_EQ(e.line, 224u);
        EXPECT_EQ(e.pointer, reinterpret_cast<std::uintptr_t>(&local));
        EXPECT_EQ(std::u16string(e.message), u"MakeACT: Empty Memory!!");
    }
}

TEST(Reports, MessageBoxAndDebugOutputGoThroughTheHook) {
    testsupport::CaptureReports capture;
    capture.AnswerNext(kIdNo);
    EXPECT_EQ(MessageBoxPrintf(u"確認", u"slot %d?", 3), kIdNo);
    ASSERT_EQ(capture.boxes.size(), 1u);
    EXPECT_EQ(capture.boxes[0].caption, u"確認");
    EXPECT_EQ(capture.boxes[0].text, u"slot 3?");
    EXPECT_EQ(capture.boxes[0].style, kMbOk);

    DebugPrintf(u"trace %hs\n", "one");
    EXPECT_EQ(capture.debug, u"trace one\n");
    DebugPrintf(u"%s", std::u16string(300, u'd'));
    EXPECT_EQ(capture.debug.size(), 10u + 127u) << "debug text is cut at 127 units";
}

TEST(Reports, AssertionAnswers) {
    testsupport::CaptureReports capture;
    capture.AnswerNext(kIdIgnore);
    EXPECT_EQ(AssertFail("x > 0", "misc.cpp", 12), 1);
    ASSERT_EQ(capture.boxes.size(), 1u);
    EXPECT_EQ(capture.boxes[0].caption, u"QUIBEL");
    EXPECT_EQ(capture.boxes[0].text, u"Assert(x > 0);\nFile misc.cpp, line 12.");
    EXPECT_EQ(capture.boxes[0].style & kMbButtonMask, kMbAbortRetryIgnore);

    capture.AnswerNext(kIdAbort);
    try {
        AssertFail("p", "f.cpp", 5, "why");
        FAIL() << "Abort must throw";
    } catch (const ExceptionHandle& e) {
        EXPECT_EQ(std::u16string(e.file), u"misc");
        EXPECT_EQ(e.type, 0u);
        EXPECT_EQ(std::u16string(e.message), u"Assert(p);\nFile f.cpp, line 5.  why");
    }
}

}  // namespace
