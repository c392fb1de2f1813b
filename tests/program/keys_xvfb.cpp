// The game program's keys and dialogs as the player meets them, watched from another X client
// under xvfb-run: on the first page the letter of an open menu popup's item opens its dialog, the
// save dialog's "コメント入力" stands on one line, a click and Return save into a slot, D asks
// before deleting it and N answers that box, the slot list's keys move its selection (and it
// opens showing its selected line), the popup closes at once while another program holds the
// save file, and the close question takes N and then Y; Ctrl+A, Ctrl+C and Ctrl+V tapped in the
// comment field act.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <thread>

#include "game_program.h"
#include "support/client_lock.h"
#include "support/client_save_file.h"
#include "title_start.h"

namespace {

using namespace std::chrono_literals;
using progtest::Box;
using progtest::Pixels;

// X keysyms of the letters are their lower-case ASCII codes.
constexpr unsigned long kKeyS = 's', kKeyD = 'd', kKeyN = 'n', kKeyY = 'y', kKeyEscape = 0xFF1B;
// The ground of the dialogs and boxes in their light style.
constexpr std::uint32_t kDialogGround = 0xF0F0F0;
// The slot list's lines: 16-pixel text and a 4-pixel gap.
constexpr int kLinePitch = 20;

bool Dark(std::uint32_t p) { return (p >> 16 & 0xFF) < 100 && (p >> 8 & 0xFF) < 100 && (p & 0xFF) < 100; }
bool Light(std::uint32_t p) { return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) > 200 && (p & 0xFF) > 200; }

int Count(const Pixels& pixels, const std::function<bool(std::uint32_t)>& test) {
    int count = 0;
    for (std::uint32_t p : pixels.rgb) count += test(p & 0xFFFFFF);
    return count;
}

class KeysProgram : public progtest::GameProgramTest {
protected:
    KeysProgram() : GameProgramTest("keys_xvfb") {}

    // A key goes down and up again, as a player taps it, until `state` holds: what it answers may
    // not take it yet (the save item is gray until the page's text has all shown).
    bool TapUntil(unsigned long key, const std::function<bool()>& state) {
        const auto end = std::chrono::steady_clock::now() + progtest::kProgramDeadline;
        while (game->Running() && std::chrono::steady_clock::now() < end) {
            x.Press({key});
            std::this_thread::sleep_for(50ms);
            x.Release({key});
            if (progtest::WaitUntil(state, 1s)) return true;
        }
        return false;
    }
    // The save dialog (620 x 420 under its title bar, centred on the picture): its ground
    // between the comment row and the column headings.
    bool SaveDialogShown() const {
        return Count(Game(Box{100, 150, 300, 40}), [](std::uint32_t p) { return p == kDialogGround; }) > 11000;
    }
    // A box in the middle of the picture, over the slot list's white lines.
    bool BoxShown() const {
        return Count(Game(Box{330, 280, 140, 40}), [](std::uint32_t p) { return p == kDialogGround; }) > 2000;
    }
    // How wide the comment field's dark text runs (game pixels 200-540 at y 102-124); the caret
    // alone is a single column.
    int CommentWidth() const {
        const Pixels field = Game(Box{200, 102, 340, 22});
        int first = -1, last = -1;
        for (int px = 0; px < field.width; ++px)
            for (int y = 0; y < field.height; ++y)
                if (Dark(field.At(px, y))) {
                    if (first < 0) first = px;
                    last = px;
                }
        return first < 0 ? 0 : last - first + 1;
    }
    // Each chord tapped, its keys down and up back to back, 100 ms after the last.
    void TapEach(std::initializer_list<std::initializer_list<unsigned long>> chords) {
        for (const auto& chord : chords) {
            x.Tap(chord);
            std::this_thread::sleep_for(100ms);
        }
    }
    // The top row (in the picture) of the selected line's band in the slot list, right of the
    // lines' text; -1 when no selected line is in sight.
    int SelectedLineTop() const {
        const Pixels column = Game(Box{650, 200, 1, 300});
        for (int y = 0; y < column.height; ++y) {
            const std::uint32_t p = column.At(0, y);
            if ((p & 0xFF) > 200 && (p >> 16 & 0xFF) < 120) return 200 + y;
        }
        return -1;
    }
    // The "シナリオ" popup, right of "システム" on the menu bar, over the black picture.
    bool ScenarioPopupShown() const {
        const Box frame = x.Geometry(window);
        const int bar = frame.height - progtest::kGameHeight;
        return Count(x.Grab(Box{frame.x + 100, frame.y + bar + 4, 120, 50}), Light) > 120 * 50 / 2;
    }
    // Opens the "シナリオ" popup, right of "システム" on the menu bar, over the black picture.
    bool OpenScenarioPopup() {
        const Box frame = x.Geometry(window);
        const int bar = frame.height - progtest::kGameHeight;
        // A click the window takes while the page is still being set up may open nothing: the
        // player clicks again.
        for (int attempt = 0; attempt < 10 && game->Running(); ++attempt) {
            x.Click(frame.x + 120, frame.y + bar / 2);
            if (progtest::WaitUntil([&] { return ScenarioPopupShown(); }, 3s)) return true;
        }
        return false;
    }
    // "セーブする(&S)" picked by its letter in the open popup.
    bool OpenSaveDialog() {
        return OpenScenarioPopup() && TapUntil(kKeyS, [&] { return SaveDialogShown(); });
    }
};

TEST_F(KeysProgram, LettersPickMenuItemsAndAnswerBoxesAndTheSaveDialogsLabelsStandOnOneLine) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(progtest::StartNewGame(x, window, progtest::kProgramDeadline)) << Errors();
    // The first page: the picture above the message window is black.
    ASSERT_TRUE(AwaitGame([&] { return Count(Game(Box{0, 0, 800, 380}), Light) == 0; })) << Errors();

    // "セーブする(&S)": its letter in the open popup opens the save dialog.
    ASSERT_TRUE(OpenSaveDialog()) << "S opened no save dialog";
    {
        // "コメント入力" at the dialog's top left: one line of text some 96 pixels wide. Wrapped,
        // its last character would stand on a second line below.
        const Pixels label = Game(Box{95, 104, 105, 70});
        int top = -1, bottom = -1, left = label.width, right = -1;
        for (int y = 0; y < label.height; ++y)
            for (int px = 0; px < label.width; ++px)
                if (Dark(label.At(px, y))) {
                    if (top < 0) top = y;
                    bottom = y, left = std::min(left, px), right = std::max(right, px);
                }
        ASSERT_GE(top, 0) << "no label";
        EXPECT_LE(bottom - top, 18) << "the label takes more than one line";
        EXPECT_GE(right - left, 85) << "the label is cut short";
    }
    // A click on slot 1 and Return: saved without a question, the dialog gone.
    const Box frame = x.Geometry(window);
    x.Click(frame.x + 300, frame.y + frame.height - progtest::kGameHeight + 234);
    ASSERT_TRUE(TapUntil(progtest::kKeyReturn, [&] { return !SaveDialogShown(); })) << "not saved";

    // Again: slot 1 is flagged and selected; D (the list has the focus) asks before deleting, N
    // keeps it and the dialog stays; Escape leaves the dialog.
    ASSERT_TRUE(AwaitGame([&] { return Count(Game(Box{0, 0, 800, 380}), Light) == 0; })) << "the notice stayed";
    ASSERT_TRUE(OpenSaveDialog()) << "S opened no save dialog";
    const int line01 = SelectedLineTop();
    ASSERT_GE(line01, 0) << "the flagged line is not selected";
    ASSERT_TRUE(TapUntil(kKeyD, [&] { return BoxShown(); })) << "D asked nothing";
    ASSERT_TRUE(TapUntil(kKeyN, [&] { return !BoxShown(); })) << "N did not answer";
    EXPECT_TRUE(SaveDialogShown());
    ASSERT_TRUE(TapUntil(kKeyEscape, [&] { return !SaveDialogShown(); })) << "Escape left the dialog open";

    // Line 06 clicked, Down: line 07 is selected, and Return saves there, so the dialog opens
    // again on line 07. End selects line 99 and shows it; closed there, the dialog opens again
    // showing line 07, not the end of the list.
    const auto selected = [&](int line) {
        return AwaitGame([&] { return SelectedLineTop() == line01 + (line - 1) * kLinePitch; });
    };
    ASSERT_TRUE(OpenSaveDialog()) << "S opened no save dialog";
    x.Click(frame.x + 300, frame.y + frame.height - progtest::kGameHeight + line01 + 10 + 5 * kLinePitch);
    ASSERT_TRUE(selected(6)) << "the click selected no line 06";
    x.Tap({progtest::kKeyDown});
    ASSERT_TRUE(selected(7)) << "Down did not move the selection";
    ASSERT_TRUE(TapUntil(progtest::kKeyReturn, [&] { return !SaveDialogShown(); })) << "not saved";
    ASSERT_TRUE(OpenSaveDialog()) << "S opened no save dialog";
    EXPECT_TRUE(selected(7)) << "not saved into slot 7";
    x.Tap({progtest::kKeyEnd});
    EXPECT_TRUE(selected(12)) << "line 99 not shown at the list's bottom";
    ASSERT_TRUE(TapUntil(kKeyEscape, [&] { return !SaveDialogShown(); })) << "Escape left the dialog open";
    ASSERT_TRUE(OpenSaveDialog()) << "S opened no save dialog";
    EXPECT_TRUE(selected(7)) << "the list opened away from its selected line";
    ASSERT_TRUE(TapUntil(kKeyEscape, [&] { return !SaveDialogShown(); })) << "Escape left the dialog open";

    // Another program holds the save file: S closes the popup, and the window shows it gone while
    // the game waits (5 s) for the file; once the file is free the dialog opens.
    {
        const std::string client = testsupport::FindSqliteClient(SQLITE3_CLIENT);
        ASSERT_FALSE(client.empty()) << testsupport::kSqliteClientMissing;
        testsupport::ClientLock lock(client, settings / "save.dat", "BEGIN EXCLUSIVE;");
        ASSERT_TRUE(lock.held());
        ASSERT_TRUE(OpenScenarioPopup()) << "no popup";
        x.Tap({kKeyS});
        EXPECT_TRUE(progtest::WaitUntil([&] { return !ScenarioPopupShown(); }, 4s)) << "the popup stayed";
        lock.Release();
        ASSERT_TRUE(AwaitGame([&] { return SaveDialogShown(); })) << "no save dialog after the file was let go";
        ASSERT_TRUE(TapUntil(kKeyEscape, [&] { return !SaveDialogShown(); })) << "Escape left the dialog open";
    }

    // The close question: N keeps the game, Y ends it.
    x.RequestClose(window);
    ASSERT_TRUE(AwaitGame([&] { return BoxShown(); })) << "no question";
    ASSERT_TRUE(TapUntil(kKeyN, [&] { return !BoxShown(); })) << "N did not answer";
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(game->Running());
    x.RequestClose(window);
    ASSERT_TRUE(AwaitGame([&] { return BoxShown(); })) << "no question";
    x.Press({kKeyY});
    EXPECT_EQ(game->Wait(progtest::kProgramDeadline), 0) << Errors();
    x.Release({kKeyY});
}

// Shortcuts tapped in the save dialog's comment field, each chord's keys going down and up back to
// back as input tools and remote desktops send them: Ctrl+A selects everything, Ctrl+C copies it
// and Ctrl+V pastes it, as when the keys are held.
TEST_F(KeysProgram, ShortcutsTappedInTheCommentFieldAct) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(progtest::StartNewGame(x, window, progtest::kProgramDeadline)) << Errors();
    ASSERT_TRUE(AwaitGame([&] { return Count(Game(Box{0, 0, 800, 380}), Light) == 0; })) << Errors();
    ASSERT_TRUE(OpenScenarioPopup()) << "no popup";
    ASSERT_TRUE(TapUntil(kKeyS, [&] { return SaveDialogShown(); })) << "S opened no save dialog";
    const Box frame = x.Geometry(window);
    x.Click(frame.x + 300, frame.y + frame.height - progtest::kGameHeight + 113);
    const auto stays = [&](const std::function<bool()>& state) {
        return AwaitGame([&] {
            if (!state()) return false;
            std::this_thread::sleep_for(200ms);
            return state();
        });
    };
    // "ab" typed, so its width is known.
    std::this_thread::sleep_for(300ms);
    TapEach({{'a'}, {'b'}});
    ASSERT_TRUE(stays([&] { return CommentWidth() > 8; })) << "nothing typed";
    const int typed = CommentWidth();
    // All of it selected and copied, then pasted after itself: "abab".
    const unsigned long ctrl = progtest::kKeyControlLeft;
    TapEach({{ctrl, 'a'}, {ctrl, 'c'}, {progtest::kKeyEnd}, {ctrl, 'v'}});
    EXPECT_TRUE(stays([&] { return CommentWidth() > typed * 3 / 2; })) << "Ctrl+A, Ctrl+C or Ctrl+V lost";
    // All of it selected and taken away by one Backspace: the caret alone is left.
    TapEach({{ctrl, 'a'}, {progtest::kKeyBackspace}});
    EXPECT_TRUE(stays([&] { return CommentWidth() <= 2; })) << "Ctrl+A lost";
    ASSERT_TRUE(TapUntil(kKeyEscape, [&] { return !SaveDialogShown(); })) << "Escape left the dialog open";
    x.Tap({progtest::kKeyF12});
    EXPECT_EQ(game->Wait(progtest::kProgramDeadline), 0) << Errors();
}

}  // namespace
