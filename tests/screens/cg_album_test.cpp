// The CG album on the sample game's data: pages, buttons and thumbnails by pixels, the full view
// composed from the picture files, requests, a layout of three pages, and the layouts the album
// and the replay refuse.
#include "screens/cg_album.h"

#include <fstream>
#include <optional>

#include "app/picture_commands.h"
#include "extras_fixture.h"
#include "screens/scene_play.h"

namespace {

using namespace extrastest;

constexpr POINT kExit{640, 540}, kPrev{40, 540}, kNext{176, 540}, kNothing{400, 300};
constexpr POINT kThumbs[] = {{130, 140}, {330, 140}, {530, 140}, {130, 310}, {330, 310}, {530, 310}};
constexpr int kPitch = 109, kHoverX = 144, kLockedRow = 8;

RECT Row(int x, int row) { return RECT{x, row * kPitch, x + 140, row * kPitch + 105}; }
POINT Inside(POINT p) { return {p.x + 5, p.y + 5}; }
RECT Button(POINT p) { return RECT{p.x, p.y, p.x + 120, p.y + 40}; }

class CgAlbum : public ExtrasTest {
protected:
    explicit CgAlbum(const fs::path& scripts = kDemoScripts) : ExtrasTest(scripts) {}
    std::u16string Page(int page) { return u"title/cg_p" + Utf8ToUtf16(std::to_string(page)); }
    // Page n with the previous, next and exit buttons showing the images at these places of the
    // page picture (none: hidden, the page picture itself shows there).
    std::function<void()> Shown(int n, std::optional<POINT> prev, std::optional<POINT> next, POINT exit) {
        return [=, this] {
            EXPECT_TRUE(PageShown(Page(n)));
            const auto picture = Picture(Page(n));
            const std::pair<POINT, std::optional<POINT>> buttons[] = {{kPrev, prev}, {kNext, next}, {kExit, exit}};
            for (auto [at, image] : buttons) EXPECT_TRUE(Shows(*picture, Button(image ? *image : at), at));
        };
    }
    // Thumbnail i of the page showing this part of the sheet.
    ::testing::AssertionResult Thumb(int i, RECT row) { return Shows(*Picture(u"title/cg_thumb1"), row, kThumbs[i]); }
    // The 800x600 full view of the pictures drawn in order with their alpha, shown alone.
    std::function<void()> FullView(std::vector<std::u16string> layers) {
        return [=, this] {
            ComPtr<DxDraw::DxSurface> composed = DxDraw::CreateSurface(32);
            composed->SetSize(800, 600);
            DxDraw::BlendParams alpha;
            alpha.flags = DxDraw::BLEND_SOURCE_ALPHA;
            for (const std::u16string& layer : layers)
                composed->Blit(0, 0, Picture(layer).Get(), nullptr, nullptr, &alpha);
            EXPECT_TRUE(Shows(*composed, RECT{0, 0, 800, 600}, {0, 0}));
            EXPECT_EQ(ShownViews(), 1);
        };
    }
    void TearDown() override { EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr) << "nothing of the album is left"; }
};

TEST_F(CgAlbum, PagesClipTheirPictureAndHideThePageButtonsAtTheEnds) {
    const POINT exit{260, 604}, exit_hover{260, 652}, prev{0, 604}, next{130, 604};
    const std::vector<Step> steps{
        {Move(kNothing), Shown(1, std::nullopt, next, exit)},
        {Click(Inside(kNext)), Shown(2, prev, std::nullopt, exit)},
        {Click(Inside(kNext)), Shown(2, prev, std::nullopt, exit)},  // a hidden button does nothing
        {Click(Inside(kPrev)), Shown(1, std::nullopt, next, exit)},
        {Click(Inside(kPrev)), Shown(1, std::nullopt, next, exit)},
        {Move({kExit.x + 119, kExit.y + 39}), Shown(1, std::nullopt, next, exit_hover)},
        {Move({kExit.x + 120, kExit.y + 39}), Shown(1, std::nullopt, next, exit)},  // the right edge is out
        {Click(kExit)},
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "");
    EXPECT_EQ(Events("music"), std::vector<std::string>{"music CGMODE"});
}

TEST_F(CgAlbum, SeenThumbnailsShowTheirRowAndHoverImageLockedOnesNeither) {
    SeenCgList = {u"EV1", u"bg4"};
    const std::vector<Step> steps{
        {Move(Inside(kThumbs[0])),
         [&] {
             EXPECT_TRUE(Thumb(0, Row(kHoverX, 0)) && Thumb(1, Row(0, kLockedRow)) && Thumb(5, Row(0, kLockedRow)));
         }},
        {Move(Inside(kThumbs[1])), [&] { EXPECT_TRUE(Thumb(0, Row(0, 0)) && Thumb(1, Row(0, kLockedRow))); }},
        {Click(Inside(kThumbs[1])), [&] { EXPECT_TRUE(PageShown(u"title/cg_p1")) << "a locked one opens nothing"; }},
        {Click(Inside(kNext))},
        {Move(Inside(kThumbs[0])), [&] { EXPECT_TRUE(Thumb(0, Row(kHoverX, 6)) && Thumb(1, Row(0, kLockedRow))); }},
        {Click(Inside(kThumbs[0]), kRightButton)},
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "") << "the right button leaves, over a thumbnail too";
}

TEST_F(CgAlbum, TheFullViewShowsTheListsPicturesInTurnUntilTheRightButton) {
    SeenCgList = {u"EV5"};
    const std::vector<std::u16string> first{u"EV5000000", u"EV5100000", u"EV5010000"};
    const std::vector<Step> steps{
        {Click(Inside(kThumbs[2])), FullView(first)},
        {Click(kNothing), FullView({u"EV5000000", u"EV5100000", u"EV5010000", u"EV5001000"})},
        {Click(kNothing), FullView({u"EV5000000"})},
        {Click(kNothing), FullView(first)},
        {Click(kNothing, kRightButton), [&] { EXPECT_TRUE(PageShown(u"title/cg_p1") && Thumb(2, Row(0, 2))); }},
        {Click(kNothing, kRightButton)},
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "");
    EXPECT_EQ(Events("music").size(), 1u) << "the album's music is started once";
}

TEST_F(CgAlbum, AFullViewOfAnotherLengthOrOfMissingFilesShowsBlack) {
    const struct {
        std::u16string name;
        int button;
        std::int32_t answer;
        std::vector<std::u16string> boxes;
    } cases[] = {
        {u"EV1000", kLeftButton, 1, {}},
        {u"ZZZ0010", kRightButton, 0, {u"ZZZ0000", u"ZZZ0010"}},
    };
    for (const auto& c : cases) {
        host.scripted_modal().boxes.clear();
        std::int32_t answer = -1;
        EXPECT_EQ(Play([&] { answer = LoadCgModeImage(c.name); }, {{Click(kNothing, c.button), FullView({})}}), "");
        EXPECT_EQ(answer, c.answer);
        std::vector<std::u16string> boxes;
        for (const testhost::ShownBox& box : host.scripted_modal().boxes) boxes.push_back(box.caption + box.text);
        std::vector<std::u16string> expected;
        for (const std::u16string& name : c.boxes)
            expected.push_back(u"エラーCG-MODE:画像ファイル " + name + u" がありません。");
        EXPECT_EQ(boxes, expected);
    }
}

TEST_F(CgAlbum, SplitCommaListKeepsEveryPieceEmptyOnesToo) {
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"", {u""}}, {u"EV10000", {u"EV10000"}}, {u"A,B,C", {u"A", u"B", u"C"}}, {u",A,", {u"", u"A", u""}}};
    std::vector<std::u16string> out{u"left over"};
    for (const auto& [text, pieces] : cases) {
        SplitCommaList(out, text);
        EXPECT_EQ(out, pieces) << Utf16ToUtf8(text);
    }
}

TEST_F(CgAlbum, ARequestTakesTheAlbumDownOnItsPageAndInTheFullView) {
    SeenCgList = {u"EV1"};
    for (const std::int32_t request : {kRequestTitle, kRequestLoad}) {
        const std::string thrown = request == kRequestTitle ? "request 0" : "request 1";
        EXPECT_EQ(Play(RunCgAlbum, {{Request(request)}}), thrown);
        EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr);
        EXPECT_EQ(Play(RunCgAlbum, {{Click(Inside(kThumbs[0]))}, {Request(request)}}), thrown) << "in the full view";
    }
}

// The album on a layout of three pages in a folder of its own.
struct ThreePages {
    ThreePages() { WriteThreePages(folder.path()); }
    testsupport::TempFolder folder{"album_pages"};
};
class AlbumPages : public ThreePages, public CgAlbum {
protected:
    AlbumPages() : CgAlbum(folder.path()) {}
};

TEST_F(AlbumPages, BeyondTheFirstPageThePageButtonsTheFullViewAndBackKeepToTheirPage) {
    SeenCgList = {u"EV3"};
    const POINT exit{260, 604}, prev{0, 604}, prev_hover{0, 652}, next{130, 604}, next_hover{130, 652};
    // Page 2's first thumbnail (the sheet's row 2) under the pointer or not; the size that does
    // not parse is 140 x 105, the right and bottom edges outside.
    const auto lit = [this](bool hover) {
        return [this, hover] { EXPECT_TRUE(Thumb(0, Row(hover ? kHoverX : 0, 2))); };
    };
    const std::vector<Step> steps{
        {Click(Inside(kNext)), Shown(2, prev, next_hover, exit)},
        {Click(Inside(kNext)), Shown(3, prev, std::nullopt, exit)},
        {Click(Inside(kPrev)), Shown(2, prev_hover, next, exit)},
        {Move({130, 140}), lit(true)},
        {Move({269, 244}), lit(true)},
        {Move({270, 200}), lit(false)},
        {Move({200, 245}), lit(false)},
        {Move({129, 200}), lit(false)},
        {Move({200, 139}), lit(false)},
        {Click({269, 244}), FullView({u"EV30000"})},
        {Click(kNothing, kRightButton), Shown(2, prev, next, exit)},
        {Click(Inside(kExit))},
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "") << "the back button leaves from page 2";
}

// Layouts in a folder of their own: what is missing is named, before anything is shown.
class AlbumLayouts : public stagetest::StageTest {
protected:
    testsupport::TempFolder folder{"album_layouts"};
};

TEST_F(AlbumLayouts, AMissingPartOfTheLayoutNamesConfigXmlAndWhatIsMissing) {
    const std::string fine = R"(width="x" height="1" thumbsize="1,2" exit="1,2,3,4,5,6,7,8" prev="1,2,3,4,5,6,7,8")";
    const std::string page = R"(><page><cg pos="1,2" flag="EV1">EV10000</cg></page>)";
    const struct {
        void (*screen)();
        std::optional<std::string> document;  // none: no config.xml at all
        std::string message;
    } cases[] = {
        {RunCgAlbum, std::nullopt, "config.xml: not found in the script archive."},
        {RunScenePlay, "<config><cgalbum/></config>", "config.xml: missing element \"sceneplay\"."},
        {RunCgAlbum, "<config><cgalbum " + fine + " next=\"0,0,0,0,0,0,0,0\"/></config>",
         "config.xml: missing element \"cgalbum/page\"."},
        {RunCgAlbum, "<config><cgalbum " + fine + page + "</cgalbum></config>",
         "config.xml: missing attribute \"cgalbum@next\"."},
        {RunCgAlbum, "<config><cgalbum " + fine + " next=\"1,2,3,4,5,6,7\"" + page + "</cgalbum></config>",
         "config.xml: \"cgalbum@next\" does not hold eight numbers."},
        {RunScenePlay,
         "<config><sceneplay " + fine +
             " next=\"1,2,3,4,5,6,7,8\"><page/><page><cg pos=\"1\"/></page></sceneplay></config>",
         "config.xml: missing attribute \"sceneplay/page/cg@flag\"."},
        {RunScenePlay, "<config><sceneplay " + fine + " next=\"1,2,3,4,5,6,7,8\"" + page + "</sceneplay></config>",
         "config.xml: page 1 of \"sceneplay\" has no picture \"title/s_p1\"."},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(folder.path() / "config.xml");
        if (c.document) std::ofstream(folder.path() / "config.xml") << *c.document;
        ScriptArchive = OpenDirArchive(folder.Path());
        std::string message;
        try {
            c.screen();
        } catch (const ExceptionHandle& error) {
            message = Utf16ToUtf8(error.message);
        }
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr);
    }
}

}  // namespace
