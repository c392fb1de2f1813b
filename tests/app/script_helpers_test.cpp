// The script-side helpers over the test host: every frame a helper runs is one frame of the
// scripted window, so fades, commits and the splash are counted and their levels read frame by
// frame; for the prompt and the notice the frame script moves the pointer, presses keys and
// buttons, and reads the screen.
#include <new>
#include <vector>

#include "app/cg_image.h"
#include "app/game_data.h"
#include "app/message_window.h"
#include "app/picture_transitions.h"
#include "app/player_names_dialog.h"
#include "app/prompts.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "dxdraw/load_surface.h"
#include "host/audio/test_audio_device.h"
#include "lib/text_field.h"
#include "media/picture_writers.h"
#include "media/sound_writers.h"
#include "script/history.h"
#include "sound/sound.h"
#include "sound/sound_effects.h"
#include "sound/stream_channel.h"
#include "stage_fixture.h"

namespace {

using DxDraw::DxSprite;

struct Rgb {
    std::uint8_t r, g, b;
};
// A solid 8x8 picture of one colour in the format of `extension`.
std::vector<std::uint8_t> Picture(const std::string& extension, Rgb c) {
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 64; ++i) rgb.insert(rgb.end(), {c.r, c.g, c.b});
    if (extension == "jpg") return media::EncodeJpeg(8, 8, 3, rgb, 100);
    if (extension == "bmp") return media::EncodeBmp24(8, 8, rgb);
    media::PngPicture png;
    media::TiffPicture tiff;
    png.width = tiff.width = png.height = tiff.height = 8;
    png.rows = tiff.rows = std::vector<std::vector<std::uint8_t>>(8, {rgb.begin(), rgb.begin() + 24});
    return extension == "png" ? media::EncodePng(png) : media::EncodeTiff(tiff);
}

bool Near(DxDraw::DxImage& image, int x, int y, Rgb c) {
    const std::uint8_t* p = image.GetPixelAddress(x, y);
    return std::abs(p[2] - c.r) < 8 && std::abs(p[1] - c.g) < 8 && std::abs(p[0] - c.b) < 8;
}

class HelpersTest : public stagetest::StageTest {
protected:
    HelpersTest() {
        each_frame = [this](int) {
            if (const DxSprite* top = TopSprite()) levels.push_back(top->Blend().flags ? RawLevel(top->Blend()) : -1);
        };
    }
    ~HelpersTest() override {
        TearDownScene();
        SystemImage.Reset(), SettingsBlock = {}, ChangeMask = 0;
    }

    // A black picture sprite on layer 0 and a work surface of `work` colour: what the game cycle
    // builds for the story.
    void BuildScene(std::uint32_t work) {
        SceneBaseGroup = new DxDraw::DxDrawGroup;
        runtime.screen().Add(SceneBaseGroup);
        SceneLayers[0] = new DxDraw::DxDrawGroup;
        SceneBaseGroup->Add(SceneLayers[0]);
        ComPtr<DxDraw::DxSurface> picture = DxDraw::CreateSurface(32);
        picture->SetSize(host::kGameWidth, host::kGameHeight);
        picture->FillRect(nullptr, 0x000000, 255);
        PictureSprite = new DxSprite(picture.Detach());
        PictureSprite->SetOwnsSurface(true);
        SceneLayers[0]->Add(PictureSprite);
        PictureWorkSurface = DxDraw::CreateSurface(32);
        PictureWorkSurface->SetSize(host::kGameWidth, host::kGameHeight);
        PictureWorkSurface->FillRect(nullptr, work, 255);
    }
    void TearDownScene() {
        if (SceneBaseGroup) SceneBaseGroup->Destroy();
        ResetSceneViews();
    }
    // The sprite drawn last on the screen: a fade's cover, the splash, or the picture itself.
    const DxSprite* TopSprite() {
        ssView* last = runtime.screen().GetLastChild();
        if (last == SceneBaseGroup && SceneLayers[0]) last = SceneLayers[0]->GetLastChild();
        return dynamic_cast<const DxSprite*>(last);
    }
    // 'R' when the screen area holds bright red text and no white, 'W' the other way, else '-'.
    char TextColour(RECT area) {
        int red = 0, white = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const std::uint32_t p = window().Pixel(x, y) & 0xC0C0C0;
                red += p == 0xC00000;
                white += p == 0xC0C0C0;
            }
        return red && !white ? 'R' : (white && !red ? 'W' : '-');
    }
    // An archive folder holding the given entries.
    ComPtr<IArchive> Archive(const std::map<std::string, std::vector<std::uint8_t>>& entries) {
        for (const auto& [name, bytes] : entries) media::WriteFile(folder.path() / name, bytes);
        return OpenDirArchive(folder.Path());
    }

    testsupport::TempFolder folder{"script_helpers"};
    testsupport::CaptureReports reports;
    std::vector<std::int32_t> levels;  // the top sprite's level each frame, -1 unblended
};

TEST_F(HelpersTest, TransitionsStepTheirLevelsFrameByFrameAndLeaveTheNewPicture) {
    struct Case {
        const char* name;
        std::function<void()> run;
        std::uint32_t pending, work;
        bool fast, skip;
        std::vector<std::int32_t> head, tail;  // first and last levels seen
        std::size_t frames;
        std::uint32_t pending_after;
        Rgb shown;
    } cases[] = {
        {"to black", FadeToBlack, 2, 0x123456, false, false, {255, 253, 251}, {1, 0, -1}, 130, 3, {0, 0, 0}},
        {"to white", FadeToWhite, 0, 0x123456, false, false, {2, 4}, {254, 255, -1}, 129, 1, {255, 255, 255}},
        {"commit after a fade", CommitPicture, 3, 0x00FF00, false, false, {2, 4}, {254, 255, -1}, 129, 0, {0, 255, 0}},
        {"commit", CommitPicture, 2, 0x0000FF, false, false, {16, 32}, {240, 255, -1}, 17, 0, {0, 0, 255}},
        {"commit fast", CommitPicture, 2, 0xFF0000, true, false, {-1}, {-1}, 1, 0, {255, 0, 0}},
        {"commit skipping", CommitPicture, 2, 0xFF0000, false, true, {-1}, {-1}, 1, 0, {255, 0, 0}},
        {"commit with only a fill", CommitPicture, 1, 0xFF0000, false, false, {}, {}, 0, 1, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildScene(c.work);
        PicturePending = c.pending;
        SettingsBlock.display_speed = c.fast ? 1 : 0;
        SkipMode = c.skip ? 1 : 0;
        const std::uint32_t views = ViewCount();
        levels.clear();
        c.run();
        ASSERT_EQ(levels.size(), c.frames);
        EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), levels.begin()));
        EXPECT_TRUE(std::equal(c.tail.rbegin(), c.tail.rend(), levels.rbegin()));
        EXPECT_EQ(PicturePending, c.pending_after);
        EXPECT_TRUE(Near(*PictureSprite->GetSurface(), 400, 300, c.shown));
        EXPECT_EQ(ViewCount(), views);
        TearDownScene();
    }
    SettingsBlock = {};
}

TEST_F(HelpersTest, ARequestDuringAWaitLeavesNoViewAndThePictureUnfaded) {
    ScriptArchive = Archive({{"brand.png", Picture("png", {9, 9, 9})}});
    MakeSystemImage();
    const std::function<void()> helpers[] = {FadeToBlack, FadeToWhite, CommitPicture, BrandSplash,
                                             [] { ConfirmYesNo(u"はい？"); }};
    for (const auto& run : helpers) {
        BuildScene(0xFFFFFF);
        PicturePending = 2;
        const DxDraw::BlendParams before = PictureSprite->Blend();
        const std::uint32_t views = ViewCount();
        At(5, [] { PendingRequest = kRequestLoad; });
        EXPECT_THROW(run(), ScriptException);
        EXPECT_EQ(ViewCount(), views);
        EXPECT_EQ(PictureSprite->Blend().flags, before.flags);
        EXPECT_EQ(PictureSprite->Blend().level, before.level);
        TearDownScene();
    }
}

TEST_F(HelpersTest, SplashFadesWaitsFiveSecondsAndEndsAFadeOnAClick) {
    ScriptArchive = Archive({{"brand.png", Picture("png", {200, 100, 50})}});
    struct Case {
        int press;  // the left button is seen pressed in the frame after this one (0: never)
        int frames;
        std::int32_t after_press;  // the level the next frame shows
    } cases[] = {{0, 64 + 300 + 64, 0}, {10, 11 + 300 + 64, 255}, {100, 101 + 64, 251}, {384, 385, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.press);
        const int base = Frames();
        if (c.press) Click(c.press, 0, 0);
        levels.clear();
        BrandSplash();
        EXPECT_EQ(Frames() - base, c.frames);
        EXPECT_EQ(levels.front(), 4);
        if (c.press && c.press + 1 < c.frames) {
            EXPECT_EQ(levels[c.press + 1], c.after_press);
        }
        EXPECT_EQ(runtime.screen().GetFirstChild(), nullptr) << "the splash sprite is gone";
    }
    ScriptArchive.Reset();
    EXPECT_THROW(BrandSplash(), ExceptionHandle);
}

TEST_F(HelpersTest, CgImagesAreTakenInTheOrderJpegTiffPngBmp) {
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0};
    ComPtr<IArchive> archive = Archive({
        {"all.jpg", Picture("jpg", red)},
        {"all.tif", Picture("tif", green)},
        {"all.png", Picture("png", blue)},
        {"all.bmp", Picture("bmp", yellow)},
        {"tpb.tif", Picture("tif", green)},
        {"tpb.png", Picture("png", blue)},
        {"tpb.bmp", Picture("bmp", yellow)},
        {"pb.png", Picture("png", blue)},
        {"pb.bmp", Picture("bmp", yellow)},
        {"b.bmp", Picture("bmp", yellow)},
        {"bad.jpg", {0xFF, 0xD8, 0xFF}},
        {"bad.tif", Picture("tif", red)},
        {"t.tif", {'I', 'I', 42, 0}},
        {"t.png", Picture("png", red)},
        {"m.bmp", {'B', 'M', 1, 2, 3}},
    });
    const std::pair<const char*, Rgb> found[] = {{"all", red}, {"tpb", green}, {"pb", blue}, {"b", yellow}};
    for (const auto& [base, colour] : found) {
        ComPtr<DxDraw::DxSurface> surface = LoadCgImage(archive.Get(), Utf8ToUtf16(base), false, false);
        ASSERT_TRUE(surface) << base;
        EXPECT_EQ(surface->GetWidth(), 8);
        EXPECT_TRUE(Near(*surface, 3, 3, colour)) << base;
    }
    EXPECT_FALSE(LoadCgImage(archive.Get(), u"none", true, false));
    EXPECT_FALSE(LoadCgImage(nullptr, u"all", true, false));
    // Quiet only about missing pictures; the first one found is the one read, broken or not.
    const std::tuple<std::u16string, bool, std::u16string> errors[] = {
        {u"none", false, u"Script Error: file not found 'none'."},
        {u"bad", true, u"Script Error: JPEG decode error 'bad'."},
        {u"t", true, u"Script Error: file not found 't'."},
        {u"m", true, u"Script Error: BMP decode error 'm'."},
    };
    for (const auto& [base, quiet, message] : errors) {
        try {
            LoadCgImage(archive.Get(), base, quiet, false);
            ADD_FAILURE() << "no error for " << Utf16ToUtf8(base);
        } catch (const ExceptionHandle& e) {
            EXPECT_EQ(std::u16string(e.message), message);
            EXPECT_EQ(std::u16string(e.file), u"script/scr_gui");
        }
    }
    LoadCgImage(archive.Get(), u"pb", false, true);
    EXPECT_TRUE(TextScript::ImageHistory().Find(u"pb"));
    EXPECT_FALSE(TextScript::ImageHistory().Find(u"b"));
}

TEST_F(HelpersTest, SeenFlagsKeepOneBitPerPageAndIgnoreOtherNumbers) {
    for (std::int32_t page : {9, 0, 16383, -1, 16384}) SetSeenFlag(page);
    const std::pair<std::size_t, std::uint8_t> bytes[] = {{0, 0x80}, {1, 0x40}, {2047, 0x01}};
    for (auto [index, value] : bytes) EXPECT_EQ(SeenFlags[index], value) << index;
    EXPECT_EQ(std::count(std::begin(SeenFlags), std::end(SeenFlags), 0), 2045);
    const std::pair<std::int32_t, bool> seen[] = {{8, false}, {9, true}, {16383, true}, {-1, false}, {16384, false}};
    for (auto [page, expected] : seen) EXPECT_EQ(IsSeenFlag(page), expected) << page;
}

// An archive that holds every name and runs out of memory whenever one is opened.
class ExhaustedArchive final : public CComImpl<IArchive> {
public:
    bool Exists(std::u16string_view) override { return true; }
    ComPtr<IArchiveFile> OpenFile(std::u16string_view) override { throw std::bad_alloc(); }
    ComPtr<IMappingFile> OpenMapping(std::u16string_view) override { throw std::bad_alloc(); }
    ComPtr<IArchive> OpenArchive(std::u16string_view) override { throw std::bad_alloc(); }
    std::vector<ArchiveListEntry> Enumerate() override { return {}; }
    ComPtr<IArchive> Duplicate() override { return ComPtr<IArchive>::Share(this); }
    bool IsCompressed(std::u16string_view) override { return false; }
    ComPtr<ICompressedFile> OpenDecompressed(std::u16string_view) override { throw std::bad_alloc(); }
};

// Data that is there but cannot be read (here a folder where a file should be, or more than
// memory holds) is an error that says so and names the file: never "not found", never a bare
// std::bad_alloc.
TEST_F(HelpersTest, DataThatCannotBeReadSaysWhy) {
    for (const char* name : {"config.xml", "_start.txt", "bg.jpg", "x.png"})
        std::filesystem::create_directories(folder.path() / name);
    const ComPtr<IArchive> folders = OpenDirArchive(folder.Path());
    const ComPtr<IArchive> exhausted = ComPtr<IArchive>::Adopt(new ExhaustedArchive);
    const std::function<void()> loads[] = {
        [] { LoadSystemConfig(*ScriptArchive); },
        [] { LoadScriptFile(u"_start.txt"); },
        [] { LoadCgImage(ScriptArchive.Get(), u"bg", false, false); },
        [] { LoadSurfaceArchive_Dx(ScriptArchive.Get(), u"x.png"); },
    };
    const std::u16string expected[][4] = {
        {u"config.xml: the file is a folder.", u"Script: '_start.txt' is a folder",
         u"Script Error: 'bg.jpg' is a folder.", u"LoadSurfaceArchive_Dx: 'x.png' is a folder.\n"},
        {u"Out of memory while loading config.xml.", u"Out of memory while loading _start.txt.",
         u"Out of memory while loading bg.jpg.", u"Out of memory while loading x.png."},
    };
    for (int a = 0; a < 2; ++a) {
        ScriptArchive = a == 0 ? folders : exhausted;
        for (int i = 0; i < 4; ++i) {
            std::u16string message = u"(no error)";
            try {
                loads[i]();
            } catch (const ExceptionHandle& error) {
                message = error.message;
            }
            EXPECT_EQ(message, expected[a][i]);
        }
    }
    ScriptArchive.Reset();
}

TEST_F(HelpersTest, ScriptFilesComeWholeFromTheScriptArchive) {
    EXPECT_THROW(LoadScriptFile(u"_start.txt"), ExceptionHandle) << "no archive yet";
    ScriptArchive = Archive({{"_start.txt", {'a', 0, 'b'}}});
    EXPECT_EQ(LoadScriptFile(u"_START.TXT"), std::string("a\0b", 3));
    EXPECT_THROW(LoadScriptFile(u"iv.txt"), ExceptionHandle);
}

TEST(StageRecords, TheRuntimeEmptiesThemAtStartAndTeardown) {
    SeenFlags[5] = 1;
    SetRequestedLoadSlot(4);
    SetMousePointer(2);
    SetMousePointer(3);
    EXPECT_EQ(MousePointerShape, 2) << "a shape outside the table is ignored";
    ScriptArchive = OpenDirArchive(u"/");
    PicturePending = 3;
    SkipMode = 1;
    PictureWorkSurface = SystemImage = DxDraw::CreateSurface(32);
    testhost::TestHost host;
    {
        ScopedRuntime runtime(host);
        EXPECT_EQ(SeenFlags[5], 0);
        EXPECT_FALSE(ScriptArchive || PictureWorkSurface || SystemImage);
        EXPECT_EQ(PicturePending + SkipMode + RequestedLoadSlot + MousePointerShape, 0u);
        SetRequestedLoadSlot(7);
        PictureWorkSurface = SystemImage = DxDraw::CreateSurface(32);
    }
    EXPECT_EQ(RequestedLoadSlot, 0);
    EXPECT_FALSE(PictureWorkSurface || SystemImage);
}

TEST(PlayerNames, OkStoresBothNamesOnlyWhenNeitherIsEmpty) {
    struct Case {
        std::u16string first, last;
        bool accept;
        std::intptr_t result;
        std::u16string stored_first, stored_last;
    } cases[] = {
        {u"ユウ", u"アマノ", true, 1, u"ユウ", u"アマノ"},
        {u"abcdefg\U00020B9F", u"b", true, 1, u"abcdefg", u"b"},  // cut to 8 units, not inside a pair
        {u"", u"b", true, -1, u"ハル", u"ミナセ"},                // an empty name keeps it open
        {u"a", u"", true, -1, u"ハル", u"ミナセ"},
        {u"x", u"y", false, -1, u"ハル", u"ミナセ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.first + u" " + c.last));
        CopyField16(SystemConfig.PlayerName1, u"ハル");
        CopyField16(SystemConfig.PlayerName2, u"ミナセ");
        testhost::ScriptedModal modal;
        modal.OnNextDialog([&c](host::Dialog& dialog) {
            EXPECT_EQ(dialog.Text(PlayerNamesDialog::kFirstNameEdit), u"ハル");
            EXPECT_EQ(dialog.Text(PlayerNamesDialog::kLastNameEdit), u"ミナセ");
            dialog.Type(PlayerNamesDialog::kFirstNameEdit, c.first);
            dialog.Type(PlayerNamesDialog::kLastNameEdit, c.last);
            c.accept ? dialog.Accept() : dialog.Cancel();
        });
        EXPECT_EQ(EditPlayerNames(modal), c.result);
        EXPECT_EQ(std::u16string(SystemConfig.PlayerName1), c.stored_first);
        EXPECT_EQ(std::u16string(SystemConfig.PlayerName2), c.stored_last);
    }
}

TEST_F(HelpersTest, TheLabelUnderThePointerIsRedAndOnlyALeftClickOnOneAnswers) {
    MakeSystemImage();
    // Pointer positions around "はい" (4 columns of 16 pixels) and "いいえ" (6), then inputs that must
    // not answer: Return and the right button on "はい", left clicks beside the labels.
    const POINT moves[] = {{304, 190}, {367, 229}, {368, 200}, {303, 200}, {304, 230}, {304, 189},
                           {400, 190}, {495, 229}, {496, 210}, {399, 210}, {450, 200}, {320, 200},
                           {320, 200}, {320, 200}, {10, 10},   {380, 210}};
    const int presses[std::size(moves)] = {0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           stagetest::kReturnKey,
                                           stagetest::kRightButton,
                                           stagetest::kLeftButton,
                                           stagetest::kLeftButton};
    std::string seen;
    std::uint32_t mask_during = 1;
    std::vector<std::uint32_t> before, after;  // a row through the question
    const auto row = [this](std::vector<std::uint32_t>& out) {
        for (int x = 40; x < 760; ++x) out.push_back(window().Pixel(x, 170));
    };
    At(1, [&] {  // the font changes: the prompt draws anew, and the change is passed on at the end
        row(before), CopyField16(SettingsBlock.font_name, u"ＭＳ ゴシック"), ChangeMask |= kChangeRebuildViews;
    });
    At(3, [&] { mask_during = ChangeMask, row(after); });
    for (int i = 0; i < int(std::size(moves)); ++i) {
        const POINT at = moves[i];
        const int press = presses[i];
        At(1 + 3 * i, [=, this] { window().MoveCursor(at.x, at.y), Input(press, true); });
        At(3 + 3 * i, [=, this, &seen] {
            seen += {TextColour({304, 194, 368, 226}), TextColour({400, 194, 496, 226}), ' '};
            Input(press, false);
        });
    }
    const int end = 1 + 3 * int(std::size(moves)), start = window().frames();
    Click(end, 410, 200);
    EXPECT_FALSE(ConfirmYesNo(u"セーブしますか？"));
    EXPECT_EQ(window().frames() - start, end + 1);
    EXPECT_EQ(seen, "RW RW WW WW WW WW WR WR WW WW WR RW RW RW WW WW ");
    EXPECT_EQ(mask_during, 0u);
    EXPECT_NE(before, after);
    EXPECT_EQ(ChangeMask, kChangeRebuildViews);
    Click(2, 330, 210);
    EXPECT_TRUE(ConfirmYesNo(u"終了しますか？"));
}

TEST_F(HelpersTest, TheNoticeIsCentredAndWaitsForReleaseThenItsMillisecondsAndARequestLeavesNoView) {
    MakeSystemImage();
    struct Case {
        int hold;     // held when the notice starts
        int release;  // the frame it is let go, or without a hold a click comes (-1: a request)
        std::uint32_t ms;
        int frames;
    } cases[] = {
        {0, 0, 500, 30},   {stagetest::kRightButton, 10, 500, 11 + 30}, {stagetest::kReturnKey, 20, 1000, 21 + 60},
        {0, 10, 1000, 11}, {stagetest::kRightButton, -1, 500, 5},       {0, -1, 500, 5}};
    for (const Case& c : cases) {
        if (c.hold) Input(c.hold, true), StepFrame(), At(c.release, [this, c] { Input(c.hold, false); });
        if (!c.hold && c.release > 0) Click(c.release, 0, 0);
        if (c.release < 0) At(5, [] { PendingRequest = kRequestTitle; });
        std::string colours;  // left of, within and right of ten columns from x 40 + (720 - 160) / 2
        At(1, [&] {
            colours = {TextColour({0, 344, 316, 386}), TextColour({320, 344, 480, 386}),
                       TextColour({484, 344, 800, 386})};
        });
        const std::uint32_t views = ViewCount();
        const int start = window().frames();
        if (c.release < 0)
            EXPECT_THROW(ShowNotice(u"セーブ完了", c.ms), ScriptException);
        else
            ShowNotice(u"セーブ完了", c.ms);
        EXPECT_EQ(window().frames() - start, c.frames) << c.hold;
        EXPECT_EQ(colours, "-W-");
        EXPECT_EQ(ViewCount(), views);
        Input(c.hold, false), StepFrame();
    }
}

TEST_F(HelpersTest, TheNoticeStandsAtItsPlaceAndADecidePressEndsItNotAShiftKey) {
    // The notice's part of the sheet in one colour: on the screen at level 128 over black.
    MakeSystemImage();
    const RECT part{72, 240, 656, 282};
    SystemImage->FillRect(&part, 0xC04020, 255);
    // The text as a 720 x 42 view in the panel font draws it centred, to be found from (40, 344).
    TextScript::DxMessView2 reference(720, 42);
    reference.SetStyle(reference.GetStyle() | DxDraw::kTextAntiAliased);
    reference.SetFont(32, 0, FieldText(SettingsBlock.font_name));
    reference.SetPen((720 - 160) / 2, 0);
    reference.DrawText(0, 0xFFFFFF, 0, u"セーブ完了", nullptr, 0);
    RECT panel{800, 600, 0, 0};
    int missing = 0, stray = 0;
    At(1, [&] {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const std::uint32_t p = window().Pixel(x, y) & 0xFFFFFF;
                if (p)
                    panel = {std::min(panel.left, x), std::min(panel.top, y), std::max(panel.right, x + 1),
                             std::max(panel.bottom, y + 1)};
                const bool white = (p & 0xC0C0C0) == 0xC0C0C0;
                const bool inside = x >= 40 && x < 760 && y >= 344 && y < 386;
                const std::uint8_t* r = inside ? reference.GetPixelAddress(x - 40, y - 344) : nullptr;
                missing += r && r[3] < 16 && r[1] >= 0xF0 && !white;
                stray += white && (!r || r[3] > 200);
            }
    });
    // Shift goes down and up during the wait, then the right button is pressed.
    At(3, [this] { Input(0x2A, true); });
    At(5, [this] { Input(0x2A, false); });
    At(10, [this] { Input(stagetest::kRightButton, true); });
    const int start = window().frames();
    ShowNotice(u"セーブ完了", 1000);
    EXPECT_EQ(window().frames() - start, 11);
    EXPECT_EQ((std::vector<int>{panel.left, panel.top, panel.right, panel.bottom}),
              (std::vector<int>{108, 340, 108 + 584, 340 + 42}))
        << "the panel, under which the text lies";
    EXPECT_LT(missing + stray, 10) << missing << " missing, " << stray << " stray";
    Input(stagetest::kRightButton, false), StepFrame();
}

TEST_F(HelpersTest, TheTextBackgroundIsTheSheetsPartMaskedByTheBaseColour) {
    MakeSystemImage();
    ApplyTextBackground(SettingsBlock);  // no window: nothing happens
    const RECT parts[] = {{0, 40, 400, 140}, {400, 40, 800, 140}, {0, 140, 800, 240}};
    const std::uint32_t colours[] = {0xC3A5F0, 0x3C5A0F, 0xFFFFFF}, opacity[] = {255, 255, 100};
    for (int i = 0; i < 3; ++i) SystemImage->FillRect(&parts[i], colours[i], opacity[i]);
    GameMessageWindow = new MessageWindow(800, 200, 8, 24, 44, 16);
    DxDraw::DxSurfaceSprite32& background = GameMessageWindow->Background();
    const std::uint8_t bases[][4] = {{0, 0, 128, 128}, {255, 255, 255, 255}, {15, 240, 129, 7}};
    for (const auto& base : bases) {
        std::memcpy(SettingsBlock.base_color, base, 4);
        ApplyTextBackground(SettingsBlock);
        EXPECT_EQ(background.Blend().flags, 0x10002u);
        EXPECT_EQ(background.Blend().level, base[3]);
        const std::uint32_t mask = 0xFF000000u | base[0] << 16 | base[1] << 8 | base[2];
        for (const POINT p : {POINT{10, 50}, POINT{799, 139}, POINT{410, 40}, POINT{0, 239}})
            EXPECT_EQ(stagetest::RawPixel(background, p.x, p.y - 40),
                      stagetest::RawPixel(*SystemImage, p.x, p.y) & mask)
                << int(base[0]);
    }
    SystemImage.Reset();
    ApplyTextBackground(SettingsBlock);
    EXPECT_EQ(stagetest::RawPixel(background, 5, 5), 0u) << "opaque black without a sheet";
    GameMessageWindow->Destroy();
    GameMessageWindow = nullptr;
}

// Sound on the hand-driven device: a silent looping stream on each channel.
TEST(HelperSound, VolumesFollowTheSettingsOnTheGamesScaleAndSystemSoundsFillTwoSlots) {
    testsupport::TempFolder folder{"helper_sound"};
    testsupport::CaptureReports reports;
    auto device = std::make_unique<host::TestAudioDevice>();
    host::TestAudioDevice& audio = *device;
    SoundParams params;
    ASSERT_EQ(InitSound(&params, std::move(device)), S_OK);
    media::WriteFile(folder.path() / "s.ogg", media::EncodeOggVorbis(std::vector<std::int16_t>(44100), 44100, 1, 0.1f));
    for (int channel = 0; channel < 4; ++channel)
        ASSERT_GE(StartStream(nullptr, folder.Path("s.ogg"), channel, 1, 4096, 0, 0), 0);
    struct Case {
        std::uint8_t bgm, voice, se;
        bool on;
        int channel_volume[4];  // on the 0..255 scale
    } cases[] = {
        {100, 100, 100, true, {25, 25, 25, 255}},
        {50, 40, 9, true, {12, 2, 2, 102}},
        {150, 255, 101, true, {25, 25, 25, 255}},  // what the settings file may hold is heard as 100 %
        {100, 100, 100, false, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SettingsBlock.bgm_volume = c.bgm;
        SettingsBlock.voice_volume = c.voice;
        SettingsBlock.se_volume = c.se;
        ApplyBgmVolume(c.on);
        ApplyVoiceVolume(c.on);
        ApplySeVolume(c.on);
        for (int channel = 0; channel < 4; ++channel) {
            std::int32_t volume = 1;
            GetStreamChannel(channel).buffer->GetVolume(&volume);
            EXPECT_EQ(volume, VolumeToAttenuation(c.channel_volume[channel])) << channel;
        }
    }
    StopAllSounds();
    audio.Advance(100);
    for (int channel = 0; channel < 4; ++channel) EXPECT_EQ(IsStreamPlaying(GetChannelStreamId(channel)), 0);

    const std::vector<std::uint8_t> submit = media::MakeWave(std::vector<std::uint8_t>(64, 0x80), 22050, 1, 8);
    media::WriteFile(folder.path() / "sys" / "SUBMIT.WAV", submit);
    SystemArchive = OpenDirArchive(folder.Path("sys"));
    LoadSystemSounds();
    EXPECT_EQ(GetSoundEffectSlot(0).image, submit);
    EXPECT_TRUE(GetSoundEffectSlot(1).image.empty());
    EXPECT_NE(reports.debug.find(u"CANCEL.WAV"), std::u16string::npos);
    TermSound();
    SettingsBlock = {};
    ResetGameData();
}

}  // namespace
