// The title screen on the test host: where the buttons stand and light, the fades and their
// levels, what each button gives the game cycle, the requests that end it (fades included), its
// sub-screens and its music; and what InstallScreens hands the program.
#include "screens/title_screen.h"

#include <optional>

#include "app/application.h"
#include "app/game_cycle.h"
#include "app/menu_commands.h"
#include "app/script_helpers.h"
#include "app/win_app.h"
#include "dxdraw/dxsprite.h"
#include "lib/error.h"
#include "screen_fixture.h"
#include "screens/save_database.h"
#include "screens/save_records.h"
#include "screens/screen_services.h"

namespace {

using namespace screentest;

constexpr std::uint32_t kBackground = 0x406080;
constexpr int kX = 100, kY = 40;  // the menu's position in these tests (not the sample's)

// Button i's colours in the sheet: normal and hover.
std::uint32_t Normal(int i) { return 0x102030u + 0x200000u * static_cast<std::uint32_t>(i); }
std::uint32_t Hover(int i) { return 0xF0E000u - 0x000020u * static_cast<std::uint32_t>(i); }
// The middle of button i on the screen.
int MidY(int i) { return kY + 48 * i + 20; }
constexpr int kMidX = kX + 124;

class TitleScreen : public ScreenTest {
protected:
    TitleScreen() {
        // The sheet: the background, the buttons' normal images from y 608 and their hover images
        // 288 lower, each 248 x 40 on a pitch of 48; the sheet's other pixels are black.
        Picture("title/title", 800, 1184, [](int x, int y) -> std::uint32_t {
            if (y < 600) return 0xFF000000u | kBackground;
            const int row = (y - 608) / 48, inside = (y - 608) % 48;
            if (x >= 248 || y < 608 || inside >= 40 || row >= 12) return 0xFF000000u;
            return 0xFF000000u | (row < 6 ? Normal(row) : Hover(row - 6));
        });
        for (int page = 1; page <= 4; ++page) FlatPicture("title/rm_base" + std::to_string(page), 0x0000F0);
        Picture("title/rm_parts", 112, 168, [](int, int) { return 0xFF808080u; });
        SystemConfig.TitleMenuPos[0] = kX;
        SystemConfig.TitleMenuPos[1] = kY;
        SystemConfig.TitleBgmName = u"TITLE";
        services.modal = &host.scripted_modal();
    }
    ~TitleScreen() override {
        std::fill(std::begin(SeenFlags), std::end(SeenFlags), 0);
        SkipPrologue = 0;
        RequestedLoadSlot = 0;
        SettingsFolders.settings_folder = saved_folder_;
    }

    // The title run to its end: its result; every view of it must be gone.
    std::int32_t Run() {
        Deadline();
        const std::int32_t result = RunTitle(services, screens);
        Deadline(false);
        EXPECT_TRUE(ScreenEmpty()) << "no sprite of the title is left";
        EXPECT_EQ(MusicAttenuation(), 1) << "the title music is stopped";
        return result;
    }
    // Each time the menu waits, `step(n)` (n counting from 0) is scheduled.
    void OnMenu(std::function<void(int)> step) {
        on_event = [this, step = std::move(step), n = 0](std::string_view kind) mutable {
            if (kind == "title") step(n++);
        };
    }
    // "N" normal, "H" hover or "-" anything else for the six buttons' middles.
    std::string Buttons() {
        std::string seen;
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t p = Pixel(kMidX, MidY(i));
            seen += p == Normal(i) ? 'N' : p == Hover(i) ? 'H' : '-';
        }
        return seen;
    }

    GameCycleServices services = DefaultGameCycleServices();
    TitleScreens screens;
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
};

TEST_F(TitleScreen, TheButtonsStandAtTheMenuPositionAndTheOneUnderThePointerShowsItsHoverImage) {
    // Pointer positions and the six buttons seen afterwards; a button's hit rectangle is its
    // 248 x 40 (right and bottom edges outside), with 8 pixels between two buttons.
    const struct {
        int x, y;
        std::string buttons;
    } probes[] = {
        {kX, kY, "HNNNNN"},          {kX + 247, kY + 39, "HNNNNN"}, {kX + 248, kY + 20, "NNNNNN"},
        {kX - 1, kY + 20, "NNNNNN"}, {kMidX, kY + 40, "NNNNNN"},    {kMidX, kY + 47, "NNNNNN"},
        {kMidX, kY + 48, "NHNNNN"},  {kMidX, MidY(3), "NNNHNN"},    {kMidX, kY + 240 + 39, "NNNNNH"},
        {kMidX, kY + 280, "NNNNNN"}, {kMidX, MidY(2), "NNHNNN"},
    };
    std::string seen, expected, background;
    OnMenu([&](int) {
        for (std::size_t p = 0; p < std::size(probes); ++p) {
            Move(1 + 3 * int(p), probes[p].x, probes[p].y);
            At(3 + 3 * int(p), [&, p] {
                seen += Buttons() + " ";
                expected += probes[p].buttons + " ";
            });
        }
        At(3 * int(std::size(probes)) + 1, [&] {
            background = std::to_string(Pixel(10, 10) == kBackground) +
                         std::to_string(Pixel(kMidX, kY + 44) == kBackground) +
                         std::to_string(Pixel(kX + 250, MidY(0)) == kBackground);
        });
        Click(3 * int(std::size(probes)) + 2, kMidX, MidY(5));
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(background, "111") << "the background around and between the buttons";
}

TEST_F(TitleScreen, OnlyANewLeftPressOnAButtonChooses) {
    // A left click beside the buttons, a right click and Return on a button, and the left button
    // held down before the pointer comes onto a button choose nothing; then a click on quit.
    OnMenu([&](int) {
        Click(2, kX + 300, MidY(5));
        Click(6, kMidX, MidY(5), kRightButton);
        At(10, [this] { window().MoveCursor(kMidX, MidY(5)), window().Press(0x1C); });
        At(11, [this] { window().Release(0x1C); });
        At(14, [this] { window().MoveCursor(kX + 300, MidY(1)), window().PressButton(kLeftButton); });
        Move(16, kMidX, MidY(1));
        At(20, [this] { window().ReleaseButton(kLeftButton); });
        Click(24, kMidX, MidY(5));
    });
    const int start = Frames();
    EXPECT_EQ(Run(), 0);
    EXPECT_NEAR(Frames() - start, 16 + 25 + 16, 2) << "the title ended at the click on quit";
}

// The levels the fades give a colour channel: Brightness scales by level / 256.
int Brightened(std::uint32_t rgb, int shift, int level) { return Channel(rgb, shift) * level / 256; }

TEST_F(TitleScreen, TheTitleRisesFromBlackAndSinksBackIn16FramesEach) {
    // The background's green and button 0's red in each frame from the title's first.
    std::vector<int> ground, button;
    each_frame = [&](int) {
        ground.push_back(Channel(Pixel(10, 10), 8));
        button.push_back(Channel(Pixel(kMidX, MidY(0)), 16));
    };
    OnMenu([&](int) { Click(5, kMidX, MidY(5)); });
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(ground.size(), 16u + 6u + 16u);
    for (int i = 0; i < 38; ++i) {
        // Up 17 levels a frame from 0, then down from 255; once risen, the pictures are copied as
        // they are (brightness 255 would dim them a little).
        const int level = i < 16 ? 17 * i : i < 22 ? 256 : 255 - 17 * (i - 22), tolerance = level == 256 ? 0 : 1;
        EXPECT_NEAR(ground[i], Brightened(kBackground, 8, level), tolerance) << "frame " << i;
        EXPECT_NEAR(button[i], Brightened(Normal(0), 16, level), tolerance) << "frame " << i;
    }
}

// A slot the load dialog can load: a readable record under `number`.
void StoreSlot(std::int32_t number) {
    const std::vector<std::uint8_t> bytes = EncodeSaveData2(SAVEDATA2{});
    const DatabaseScope scope = OpenSaveDatabase();
    WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes));
    WriteSlotVariables(number, std::vector<std::uint8_t>{0});  // no variable: the slot loads
}

TEST_F(TitleScreen, EachButtonGivesTheGameCycleItsResult) {
    testsupport::TempFolder saves("title_saves");
    SettingsFolders.settings_folder = saves.Path("");
    {
        const DatabaseScope scope = OpenSaveDatabase();
        CreateSaveSchema();
    }
    StoreSlot(4);
    // What is clicked on each wait of the menu (a button, or a point of the prompt), whether the
    // prologue was read, the dialog's answer (a slot index, -1 cancel, -2 no dialog), then the
    // result and SkipPrologue (which starts at 7), the prompts shown and the menu's waits.
    struct Case {
        std::string name;
        std::vector<int> buttons;
        bool prologue_read;
        std::optional<int> prompt_x;  // "はい" at 320, "いいえ" at 420
        int dialog;
        std::int32_t result;
        std::uint32_t skip;
        int waits;
        std::string after;  // the buttons on the menu's second wait
    } cases[] = {
        {"quit", {5}, false, {}, -2, 0, 7, 1, ""},
        {"new game unread", {1}, false, {}, -2, 1, 0, 1, ""},
        {"new game read, skip", {1}, true, 320, -2, 1, 1, 1, ""},
        {"new game read, no skip", {1}, true, 420, -2, 1, 0, 1, ""},
        {"load slot 4", {2}, false, {}, 3, 5, 7, 1, ""},
        {"load cancelled", {2, 5}, false, {}, -1, 0, 7, 2, "NNHNNN"},
        {"manual closed", {0, 5}, false, {}, -2, 0, 7, 2, "NNNNNN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeenFlags[kSeenFlagBytes - 1] = c.prologue_read ? 0x01 : 0xFE;
        SkipPrologue = 7;
        host.scripted_modal().dialogs_run.clear();
        if (c.dialog != -2) {
            host.scripted_modal().OnNextDialog([slot = c.dialog](host::Dialog& dialog) {
                if (slot < 0) return;  // left open: cancelled
                dialog.Choose(1021, slot);
                dialog.Accept();
            });
        }
        int waits = 0;
        std::string after_dialog;
        OnMenu([&](int n) {
            ++waits;
            // Back from the dialog or the manual: the buttons with no fade, the one under the
            // pointer lit from the second frame (the first finds it).
            if (n == 1) At(2, [&] { after_dialog = Buttons(); });
            Click(3, kMidX, MidY(c.buttons.at(static_cast<std::size_t>(n))));
            if (c.buttons[0] == 0 && n == 0) Click(8, 740, 550);  // the manual's close button
            if (c.prompt_x) Click(12, *c.prompt_x, 210);
        });
        EXPECT_EQ(Run(), c.result);
        EXPECT_EQ(SkipPrologue, c.skip);
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(host.scripted_modal().dialogs_run.size(), c.dialog == -2 ? 0u : 1u);
        EXPECT_EQ(after_dialog, c.after);
        script.clear();
    }
}

TEST_F(TitleScreen, ARequestEndsTheTitleWhereverItArrivesAndLeavesNoSprite) {
    // When the request comes (frames after the title's start, or after the n-th click), its
    // code, the result, and how many frames the title ran on after it.
    struct Case {
        std::string name;
        int frame;        // after the start; -1: on the menu's first wait
        int after_click;  // frames after a click on this button (-1 none)
        std::int32_t request;
        std::int32_t result;
        int frames_after;  // the frame that throws is not paced: the fades' frames after it
    } cases[] = {
        {"fade-in, title", 5, -1, kRequestTitle, -1, 0},     {"fade-in, load", 5, -1, kRequestLoad, 8, 0},
        {"fade-in, go back", 15, -1, kRequestGoBack, -1, 0}, {"menu, title", -1, -1, kRequestTitle, -1, 16},
        {"menu, load", -1, -1, kRequestLoad, 8, 16},         {"fade-out, load", -1, 5, kRequestLoad, 8, 0},
        {"fade-out, title", -1, 5, kRequestTitle, -1, 0},    {"manual, load", -1, 0, kRequestLoad, 8, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestedLoadSlot = 6;
        int requested = -1;
        const auto request = [&] {
            PendingRequest = c.request;
            requested = Frames();
        };
        if (c.frame >= 0) At(c.frame, request);
        OnMenu([&](int) {
            if (c.frame >= 0) return;
            if (c.after_click < 0) return At(3, request);
            Click(3, kMidX, MidY(c.after_click == 0 ? 0 : 5));
            At(3 + 3 + (c.after_click == 0 ? 5 : c.after_click), request);
        });
        EXPECT_EQ(Run(), c.result);
        EXPECT_EQ(Frames() - requested, c.frames_after);
        script.clear();
    }
}

TEST_F(TitleScreen, TheSubScreensRunOverTheBackgroundWithTheButtonsHidden) {
    // While a sub-screen runs, a frame shows the background where the buttons stood; afterwards
    // the menu waits again with the buttons back.
    std::string seen;
    const auto look = [&] {
        StepFrame();
        seen += (Pixel(kMidX, MidY(0)) == kBackground ? "hidden " : "shown ");
    };
    screens.settings = [&](host::ModalUi& modal, DxDraw::DxSurface& sheet) {
        seen += &modal == &host.modal() ? "settings " : "other modal ";
        seen += std::to_string(sheet.GetWidth()) + "x" + std::to_string(sheet.GetHeight()) + " ";
        look();
    };
    screens.extras = [&](DxDraw::DxSurface& sheet, DxDraw::DxSprite& background) {
        seen += "extras " + std::to_string(sheet.GetWidth()) + " ";
        background.Hide();
        StepFrame();
        seen += Pixel(10, 10) == 0 ? "no background " : "background ";
        background.Show();
        look();
    };
    OnMenu([&](int n) {
        if (n > 0) At(1, [&] { seen += Buttons() + " "; });
        const int buttons[] = {3, 4, 5};
        Click(3, kMidX, MidY(buttons[n]));
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(seen, "settings 800x1184 hidden NNNNNN extras 800 no background hidden NNNNNN ");
    EXPECT_EQ(events, "music TITLE|title|title|title|music |");
}

TEST_F(TitleScreen, ASubScreenThatCannotRunLeavesItsButtonToATrace) {
    OnMenu([&](int n) {
        const int buttons[] = {3, 4, 5};
        Click(3, kMidX, MidY(buttons[n]));
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_NE(reports.debug.find(u"the settings menu is not installed"), std::u16string::npos);
    EXPECT_NE(reports.debug.find(u"the extras menu is not installed"), std::u16string::npos);
    // Without a modal layer the load dialog and the settings menu, though installed, cannot run;
    // the menu waits again after each.
    OnMenu([&](int n) {
        const int buttons[] = {2, 3, 5};
        Click(3, kMidX, MidY(buttons[n]));
    });
    services.modal = nullptr;
    bool ran = false;
    screens.settings = [&](host::ModalUi&, DxDraw::DxSurface&) { ran = true; };
    events.clear();
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(ran);
    EXPECT_NE(reports.debug.find(u"no modal layer"), std::u16string::npos);
    EXPECT_NE(reports.debug.find(u"the settings menu cannot open"), std::u16string::npos);
    EXPECT_EQ(events, "music TITLE|title|title|title|music |");
}

TEST_F(TitleScreen, TheTitleMusicPlaysWhileTheTitleRunsAndStopsAfterIt) {
    StartSound({"TITLE"});
    std::vector<std::int32_t> playing;
    OnMenu([&](int) {
        playing.push_back(MusicAttenuation());
        Click(3, kMidX, MidY(5));
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(playing, std::vector<std::int32_t>{VolumeToAttenuation(25)}) << "a tenth of the full volume";
    EXPECT_EQ(events, "music TITLE|title|music |");
    // Without title music in config.xml nothing is asked of the sound archive.
    SystemConfig.TitleBgmName.clear();
    events.clear();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(events, "title|music |");
    EXPECT_EQ(reports.debug.find(u"StartOggStream"), std::u16string::npos);
}

TEST_F(TitleScreen, AMissingSheetIsTheLoadersErrorAndTheMusicStops) {
    StartSound({"TITLE"});
    std::filesystem::remove(pictures / "title/title.png");
    try {
        RunTitle(services, screens);
        ADD_FAILURE() << "no error";
    } catch (const ExceptionHandle& error) {
        EXPECT_NE(std::u16string_view(error.message).find(u"file not found"), std::u16string_view::npos);
    }
    EXPECT_TRUE(ScreenEmpty());
    EXPECT_EQ(MusicAttenuation(), 1);
}

TEST_F(TitleScreen, InstallScreensGivesTheProgramTheTitleTheSlidesAndTheManual) {
    ApplicationPlatform platform;
    InstallScreens(platform);
    EXPECT_TRUE(platform.cycle.ending_slides);
    // The real title: its menu, where a click on new game gives 1.
    OnMenu([&](int) { Click(3, kMidX, MidY(1)); });
    Deadline();
    EXPECT_EQ(platform.cycle.run_title(services), 1);
    EXPECT_EQ(events, "music TITLE|title|music |");
    // The menu's "マニュアル" is offered.
    BuildMainMenu(host.menu(), 0);
    WinApp app(host.modal(), host.menu(), platform.menu_screens);
    app.MarkMissingScreens();
    EXPECT_FALSE(host.menu().IsGrayed(kMenuManual));
}

}  // namespace
