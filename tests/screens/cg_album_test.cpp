// The CG album on the sample game's data: pages, buttons and thumbnails by pixels, the full view
// composed from the picture files, requests, and the layouts the album and the replay refuse.
#include "screens/cg_album.h"

#include <fstream>
#include <optional>

#include "app/picture_commands.h"
#include "extras_fixture.h"
#include "screens/scene_play.h"

namespace {

using extrastest::ExtrasTest;
using extrastest::Steps;

constexpr POINT kExit{640, 540}, kPrev{40, 540}, kNext{176, 540};
constexpr RECT kButton{0, 0, 120, 40};
constexpr POINT kThumbs[] = {{130, 140}, {330, 140}, {530, 140}, {130, 310}, {330, 310}, {530, 310}};
constexpr int kPitch = 109, kHoverX = 144, kLockedRow = 8;

RECT Placed(POINT p, RECT size) { return RECT{p.x, p.y, p.x + size.right, p.y + size.bottom}; }
RECT Row(int x, int row) { return RECT{x, row * kPitch, x + 140, row * kPitch + 105}; }

class CgAlbum : public ExtrasTest {
protected:
    // The page's own picture above the thumbnails, and a button's image (or the page picture
    // where it stands, when it is hidden).
    ::testing::AssertionResult PageShown(int page) {
        return Shows(*Picture(u"title/cg_p" + Utf8ToUtf16(std::to_string(page))), RECT{0, 0, 800, 130}, {0, 0});
    }
    ::testing::AssertionResult ButtonShows(POINT button, int page, std::optional<POINT> image) {
        const auto picture = Picture(u"title/cg_p" + Utf8ToUtf16(std::to_string(page)));
        return Shows(*picture, image ? Placed(*image, kButton) : Placed(button, kButton), button);
    }
    ::testing::AssertionResult ThumbShows(POINT at, RECT row) { return Shows(*Picture(u"title/cg_thumb1"), row, at); }
    // The 800x600 full view of the pictures drawn in order with their alpha.
    ::testing::AssertionResult FullView(std::vector<std::u16string> layers) {
        ComPtr<DxDraw::DxSurface> composed = DxDraw::CreateSurface(32);
        composed->SetSize(800, 600);
        DxDraw::BlendParams alpha;
        alpha.flags = DxDraw::BLEND_SOURCE_ALPHA;
        for (const std::u16string& layer : layers) composed->Blit(0, 0, Picture(layer).Get(), nullptr, nullptr, &alpha);
        return Shows(*composed, RECT{0, 0, 800, 600}, {0, 0});
    }
    void TearDownScreen() { EXPECT_EQ(ScreenSurface->GetFirstChild(), nullptr) << "nothing of the album is left"; }
};

TEST_F(CgAlbum, PagesClipTheirPictureAndHideThePageButtonsAtTheEnds) {
    const POINT normal_exit{260, 604}, hover_exit{260, 652}, normal_prev{0, 604}, normal_next{130, 604};
    const Steps steps{
        [&] {
            EXPECT_TRUE(PageShown(1));
            EXPECT_TRUE(ButtonShows(kExit, 1, normal_exit));
            EXPECT_TRUE(ButtonShows(kPrev, 1, std::nullopt)) << "no page before the first";
            EXPECT_TRUE(ButtonShows(kNext, 1, normal_next));
            Click(kNext.x + 5, kNext.y + 5)();
        },
        [&] {
            EXPECT_TRUE(PageShown(2));
            EXPECT_TRUE(ButtonShows(kPrev, 2, normal_prev));
            EXPECT_TRUE(ButtonShows(kNext, 2, std::nullopt)) << "no page after the last";
            Click(kNext.x + 5, kNext.y + 5)();
        },
        [&] {
            EXPECT_TRUE(PageShown(2)) << "the hidden button does nothing";
            Click(kPrev.x + 5, kPrev.y + 5)();
        },
        [&] {
            EXPECT_TRUE(PageShown(1));
            Click(kPrev.x + 5, kPrev.y + 5)();
        },
        [&] {
            EXPECT_TRUE(PageShown(1));
            Move(kExit.x + 119, kExit.y + 39)();
        },
        [&] {
            EXPECT_TRUE(ButtonShows(kExit, 1, hover_exit));
            Move(kExit.x + 120, kExit.y + 39)();
        },
        [&] {
            EXPECT_TRUE(ButtonShows(kExit, 1, normal_exit)) << "the right edge is outside";
            Click(kExit.x, kExit.y)();
        },
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "");
    TearDownScreen();
    EXPECT_EQ(Events("music"), std::vector<std::string>{"music CGMODE"});
}

TEST_F(CgAlbum, SeenThumbnailsShowTheirRowAndHoverImageLockedOnesNeither) {
    SeenCgList = {u"EV1", u"bg4"};
    const auto pointing = [&](POINT p) { return Move(p.x + 70, p.y + 50); };
    const Steps steps{
        pointing(kThumbs[0]),
        [&] {
            EXPECT_TRUE(ThumbShows(kThumbs[0], Row(kHoverX, 0)));
            EXPECT_TRUE(ThumbShows(kThumbs[1], Row(0, kLockedRow)));
            EXPECT_TRUE(ThumbShows(kThumbs[5], Row(0, kLockedRow)));
            pointing(kThumbs[1])();
        },
        [&] {
            EXPECT_TRUE(ThumbShows(kThumbs[0], Row(0, 0)));
            EXPECT_TRUE(ThumbShows(kThumbs[1], Row(0, kLockedRow))) << "a locked thumbnail never changes";
            Click(kThumbs[1].x + 70, kThumbs[1].y + 50)();
        },
        [&] {
            EXPECT_TRUE(PageShown(1)) << "a locked thumbnail opens nothing";
            EXPECT_TRUE(ThumbShows(kThumbs[0], Row(0, 0)));
            Click(kNext.x + 5, kNext.y + 5)();
        },
        pointing(kThumbs[0]),
        [&] {
            EXPECT_TRUE(ThumbShows(kThumbs[0], Row(kHoverX, 6))) << "the second page goes on from row 6";
            EXPECT_TRUE(ThumbShows(kThumbs[1], Row(0, kLockedRow)));
            Click(kThumbs[0].x + 70, kThumbs[0].y + 50, stagetest::kRightButton)();
        },
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "") << "the right button leaves, over a thumbnail too";
    TearDownScreen();
}

TEST_F(CgAlbum, TheFullViewShowsTheListsPicturesInTurnUntilTheRightButton) {
    SeenCgList = {u"EV1"};
    const auto left = Click(400, 300), right = Click(400, 300, stagetest::kRightButton);
    const Steps steps{
        Click(kThumbs[0].x + 70, kThumbs[0].y + 50),
        [&] {
            EXPECT_TRUE(FullView({u"EV10000"}));
            EXPECT_EQ(ShownViews(), 1) << "the full view alone";
            left();
        },
        [&] {
            EXPECT_TRUE(FullView({u"EV10000", u"EV10100"}));
            left();
        },
        [&] {
            EXPECT_TRUE(FullView({u"EV10000", u"EV11000", u"EV10100"}));
            left();
        },
        [&] {
            EXPECT_TRUE(FullView({u"EV10000"})) << "and the first again";
            right();
        },
        [&] {
            EXPECT_TRUE(PageShown(1));
            EXPECT_TRUE(ThumbShows(kThumbs[0], Row(0, 0)));
            right();
        },
    };
    EXPECT_EQ(Play(RunCgAlbum, steps), "");
    TearDownScreen();
    EXPECT_EQ(Events("music").size(), 1u) << "the album's music is started once";
}

TEST_F(CgAlbum, LoadCgModeImageComposesNamesOfSevenAndNineCharacters) {
    const struct {
        std::u16string name;
        std::vector<std::u16string> layers;
        std::vector<std::u16string> missing;
    } cases[] = {
        {u"EV5111000", {u"EV5000000", u"EV5100000", u"EV5010000", u"EV5001000"}, {}},
        {u"EV5000000", {u"EV5000000"}, {}},
        {u"BG21100", {u"BG20000", u"BG21000", u"BG20100"}, {}},
        {u"BG200", {}, {}},
        {u"ZZZ0010", {}, {u"ZZZ0000", u"ZZZ0010"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        host.scripted_modal().boxes.clear();
        std::int32_t answer = -1;
        for (const int button : {stagetest::kLeftButton, stagetest::kRightButton}) {
            const Steps steps{[&] {
                EXPECT_TRUE(FullView(c.layers));
                Click(0, 0, button)();
            }};
            EXPECT_EQ(Play([&] { answer = LoadCgModeImage(c.name); }, steps), "");
            EXPECT_EQ(answer, button == stagetest::kLeftButton ? 1 : 0);
            TearDownScreen();
        }
        std::vector<std::u16string> boxes;
        for (const testhost::ShownBox& box : host.scripted_modal().boxes) boxes.push_back(box.caption + box.text);
        std::vector<std::u16string> expected;
        for (int twice = 0; twice < 2; ++twice)
            for (const std::u16string& name : c.missing)
                expected.push_back(u"エラーCG-MODE:画像ファイル " + name + u" がありません。");
        EXPECT_EQ(boxes, expected);
    }
}

TEST_F(CgAlbum, SplitCommaListKeepsEveryPieceEmptyOnesToo) {
    const struct {
        std::u16string text;
        std::vector<std::u16string> pieces;
    } cases[] = {{u"", {u""}}, {u"EV10000", {u"EV10000"}}, {u"A,B,C", {u"A", u"B", u"C"}}, {u",A,", {u"", u"A", u""}}};
    std::vector<std::u16string> out{u"left over"};
    for (const auto& c : cases) {
        SplitCommaList(out, c.text);
        EXPECT_EQ(out, c.pieces) << Utf16ToUtf8(c.text);
    }
}

TEST_F(CgAlbum, ARequestTakesTheAlbumDownOnItsPageAndInTheFullView) {
    SeenCgList = {u"EV1"};
    for (const bool full_view : {false, true}) {
        for (const std::int32_t request : {kRequestTitle, kRequestLoad}) {
            Steps steps;
            if (full_view) steps.push_back(Click(kThumbs[0].x + 70, kThumbs[0].y + 50));
            steps.push_back([request] { PendingRequest = request; });
            EXPECT_EQ(Play(RunCgAlbum, steps), request == kRequestTitle ? "request 0" : "request 1") << full_view;
            TearDownScreen();
        }
    }
}

// Layouts on a folder of their own: what is missing is named, before anything is shown.
class AlbumLayouts : public stagetest::StageTest {
protected:
    testsupport::TempFolder folder{"album_layouts"};
};

TEST_F(AlbumLayouts, AMissingPartOfTheLayoutNamesConfigXmlAndWhatIsMissing) {
    const std::string buttons = R"( exit="1,2,3,4,5,6,7,8" prev="1,2,3,4,5,6,7,8" next="1,2,3,4,5,6,7,8")";
    const std::string sizes = R"(width="x" height="1" thumbsize="1,2")";
    const std::string page = R"(<page><cg pos="1,2" flag="EV1">EV10000</cg></page>)";
    const struct {
        void (*screen)();
        std::optional<std::string> document;  // none: no config.xml at all
        std::string message;
    } cases[] = {
        {RunCgAlbum, std::nullopt, "config.xml: not found in the script archive."},
        {RunCgAlbum, "<config/>", "config.xml: missing element \"cgalbum\"."},
        {RunScenePlay, "<config><cgalbum/></config>", "config.xml: missing element \"sceneplay\"."},
        {RunCgAlbum, ("<config><cgalbum " + sizes + buttons + "/></config>"),
         "config.xml: missing element \"cgalbum/page\"."},
        {RunScenePlay, ("<config><sceneplay " + sizes + buttons + ">" + page + "</sceneplay></config>"),
         "config.xml: page 1 of \"sceneplay\" has no picture \"title/s_p1\"."},
        {RunCgAlbum, ("<config><cgalbum height=\"1\" thumbsize=\"1\"" + buttons + ">" + page + "</cgalbum></config>"),
         "config.xml: missing attribute \"cgalbum@width\"."},
        {RunCgAlbum,
         ("<config><cgalbum " + sizes + R"( exit="1,2,3,4,5,6,7" prev="" next="">)" + page + "</cgalbum></config>"),
         "config.xml: \"cgalbum@exit\" does not hold eight numbers."},
        {RunCgAlbum,
         ("<config><cgalbum " + sizes + buttons + "><page/><page><cg pos=\"1,2\"/></page></cgalbum></config>"),
         "config.xml: missing attribute \"cgalbum/page/cg@flag\"."},
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
