#include "screens/save_load_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/application.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/settings.h"
#include "host/testhost/test_host.h"
#include "lib/report_hook.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "screens/save_database.h"
#include "screens/save_records.h"
#include "screens/save_slots.h"
#include "screens/screen_services.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

using testsupport::SqliteObserver;
using testsupport::TempFolder;
using Dialog = SaveLoadDialog;

constexpr SaveTime kTime{2024, 3, 2, 5, 7, 8, 9, 123};

class SaveLoadDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        ResetGameData();
        const DatabaseScope scope = OpenSaveDatabase();
        CreateSaveSchema();
    }
    void TearDown() override {
        ResetGameData();
        SettingsFolders.settings_folder = saved_folder_;
    }

    // A slot with a known comment, time and first thumbnail pixel.
    static void Store(std::int32_t number, std::u16string comment, SaveTime time = kTime) {
        SAVEDATA2 record;
        record.comment = std::move(comment);
        record.time = time;
        record.thumbnail[0] = 0x11;  // blue, green, red of the bottom row's first pixel
        record.thumbnail[1] = 0x22;
        record.thumbnail[2] = 0x33;
        const std::vector<std::uint8_t> bytes = EncodeSaveData2(record);
        const DatabaseScope scope = OpenSaveDatabase();
        WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes));
        // A slot is stored with its variables; without them no load would take it.
        const std::uint8_t no_variables[] = {0};
        WriteSlotVariables(number, std::span<const std::uint8_t>(no_variables));
    }
    int Sql(const std::string& sql) { return SqliteObserver(folder_ / "save.dat").Exec(sql); }
    static std::u16string StoredComment(std::int32_t number) { return ReadSlotRecord(number).value.comment; }

    // The dialog after its start, run by hand: message boxes go to the scripted modal.
    std::unique_ptr<Dialog> Open(int mode, std::int32_t flagged = -1) {
        auto dialog = std::make_unique<Dialog>(mode, flagged);
        dialog->OnInit();
        return dialog;
    }
    static const std::u16string& Line(Dialog& dialog, int index) {
        return dialog.Find(Dialog::kSlotList)->items.at(static_cast<std::size_t>(index));
    }
    static bool Enabled(Dialog& dialog, int id) { return dialog.Find(id) && dialog.Find(id)->enabled; }

    testhost::ScriptedModal modal_;
    // The boxes go through the report hook, as in the game: over the dialog, on the same modal.
    class Sink : public ReportSink {
    public:
        explicit Sink(host::ModalUi& modal) : modal_(modal) {}
        int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override {
            captions.emplace_back(caption);
            return modal_.MessageBox(caption, text, style);
        }
        void DebugOutput(std::u16string_view) override {}
        std::vector<std::u16string> captions;

    private:
        host::ModalUi& modal_;
    } sink_{modal_};
    ScopedReportSink report_{&sink_};
    TempFolder folder_{"qb_saveload"};
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
};

std::u16string Spaces(std::size_t n) { return std::u16string(n, u' '); }

TEST_F(SaveLoadDialogTest, TheListShowsEverySlotWithItsFlagDateTimeAndComment) {
    Store(1, u"abc");
    Store(12, u"日本語", SaveTime{1999, 12, 0, 31, 23, 59, 58, 0});
    ASSERT_EQ(Sql("INSERT INTO entry(number, header) VALUES(20, x'0000');"), 0);  // wrong size
    // Saved before any picture existed: an all-zero record loads, with an empty variable list.
    ASSERT_EQ(Sql("INSERT INTO entry(number, header, value_data) VALUES(21, zeroblob(65796), x'00');"), 0);
    // Variables a load refuses: none, cut, a text, a value running past the end.
    Store(30, u"null");
    Store(31, u"cut");
    Store(32, u"text");
    Store(33, u"past");
    ASSERT_EQ(Sql("UPDATE entry SET value_data=NULL WHERE number=30;"
                  "UPDATE entry SET value_data=x'410005' WHERE number=31;"
                  "UPDATE entry SET value_data='AB' WHERE number=32;"
                  "UPDATE entry SET value_data=x'41000500' WHERE number=33;"),
              0);
    {
        // A comment without its zero.
        std::vector<std::uint8_t> bytes = EncodeSaveData2(SAVEDATA2{});
        std::fill_n(bytes.begin() + 4, kSlotCommentBytes, std::uint8_t{'A'});
        const DatabaseScope scope = OpenSaveDatabase();
        WriteEntryHeader(40, std::span<const std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes));
    }
    const std::u16string dashes(32, u'-');
    struct Case {
        int index;
        std::u16string line;
    } cases[] = {
        {0, u" 01 2024/03/05 07:08:09 abc" + Spaces(27) + u" "},
        {11, u">12 1999/12/31 23:59:58 日本語" + Spaces(27) + u" "},
        {4, u" 05 ----/--/-- --:--:-- " + dashes},
        {98, u" 99 ----/--/-- --:--:-- " + dashes},
        {19, u" 20 ----/--/-- --:--:-- 読み込めないデータです"},
        {39, u" 40 ----/--/-- --:--:-- 読み込めないデータです"},
        {20, u" 21 0000/00/00 00:00:00 " + Spaces(30) + u" "},
        {29, u" 30 ----/--/-- --:--:-- 読み込めないデータです"},
        {30, u" 31 ----/--/-- --:--:-- 読み込めないデータです"},
        {31, u" 32 ----/--/-- --:--:-- 読み込めないデータです"},
        {32, u" 33 ----/--/-- --:--:-- 読み込めないデータです"},
    };
    for (const int mode : {Dialog::kSaveMode, Dialog::kLoadMode}) {
        const auto dialog = Open(mode, 11);
        ASSERT_EQ(dialog->Find(Dialog::kSlotList)->items.size(), 99u);
        for (const Case& c : cases) EXPECT_EQ(Utf16ToUtf8(Line(*dialog, c.index)), Utf16ToUtf8(c.line)) << c.index;
        EXPECT_EQ(dialog->Selection(Dialog::kSlotList), 11);
        EXPECT_EQ(dialog->Text(Dialog::kCommentEdit), u"日本語");
        EXPECT_EQ(dialog->focused(), Dialog::kSlotList);
    }
    EXPECT_EQ(Dialog(Dialog::kSaveMode, -1).caption(), u"セーブ");
    EXPECT_EQ(Dialog(Dialog::kLoadMode, -1).caption(), u"ロード");
}

TEST_F(SaveLoadDialogTest, TheButtonsAreEnabledByTheModeAndTheSlotChosen) {
    Store(3, u"three");
    ASSERT_EQ(Sql("INSERT INTO entry(number, header) VALUES(7, x'00');"), 0);
    struct Case {
        int mode;
        int index;
        bool ok, fix, remove;
        std::u16string comment;
    } cases[] = {
        {Dialog::kLoadMode, 2, true, true, true, u"three"}, {Dialog::kLoadMode, 3, false, false, false, u""},
        {Dialog::kLoadMode, 6, false, false, true, u""},    {Dialog::kSaveMode, 2, true, false, true, u"three"},
        {Dialog::kSaveMode, 3, true, false, true, u""},     {Dialog::kSaveMode, 6, true, false, true, u""},
    };
    for (const Case& c : cases) {
        // The start's selection (the flagged line) and a later choice both set the buttons.
        for (const bool chosen : {false, true}) {
            const auto dialog = Open(c.mode, chosen ? (c.index + 50) % 99 : c.index);
            if (chosen) {
                dialog->SetText(Dialog::kCommentEdit, u"typed");
                dialog->Choose(Dialog::kSlotList, c.index);
            }
            EXPECT_EQ(Enabled(*dialog, 1), c.ok) << c.mode << " " << c.index;
            EXPECT_EQ(Enabled(*dialog, Dialog::kFixButton), c.fix) << c.mode << " " << c.index;
            EXPECT_EQ(Enabled(*dialog, Dialog::kDeleteButton), c.remove) << c.mode << " " << c.index;
            EXPECT_EQ(dialog->Text(Dialog::kCommentEdit), c.comment) << c.mode << " " << c.index;
        }
    }
    EXPECT_EQ(Open(Dialog::kSaveMode)->Find(Dialog::kFixButton), nullptr) << "no comment change in save mode";
    EXPECT_EQ(Open(Dialog::kSaveMode)->Find(1)->text, u"セーブ");
    // The buttons keep the template's texts, their access keys marked.
    const auto load = Open(Dialog::kLoadMode);
    const std::pair<int, std::u16string_view> texts[] = {
        {1, u"&OK"}, {2, u"ｷｬﾝｾﾙ"}, {Dialog::kFixButton, u"修正"}, {Dialog::kDeleteButton, u"削除(&D)"}};
    for (const auto& [id, text] : texts) EXPECT_EQ(load->Find(id)->text, text) << id;
}

TEST_F(SaveLoadDialogTest, LoadModeReturnsOnlyAReadableSlot) {
    Store(3, u"three");
    ASSERT_EQ(Sql("INSERT INTO entry(number, header) VALUES(7, x'00');"), 0);
    struct Case {
        int index;
        bool double_click;
        bool ended;
    } cases[] = {{2, false, true}, {2, true, true},   {3, false, false},
                 {3, true, false}, {6, false, false}, {6, true, false}};
    for (const Case& c : cases) {
        const auto dialog = Open(Dialog::kLoadMode);
        dialog->Choose(Dialog::kSlotList, c.index, c.double_click);
        if (!c.double_click) dialog->Accept();
        EXPECT_EQ(dialog->ended(), c.ended) << c.index << " " << c.double_click;
        if (c.ended) {
            EXPECT_EQ(dialog->result(), c.index);
        }
    }
    const auto dialog = Open(Dialog::kSaveMode);
    dialog->Choose(Dialog::kSlotList, 2, true);
    EXPECT_FALSE(dialog->ended()) << "a double click in save mode does nothing";
}

TEST_F(SaveLoadDialogTest, ReturnInTheCommentFieldChangesTheCommentInsteadOfLoading) {
    Store(3, u"old");
    const auto dialog = Open(Dialog::kLoadMode, 2);
    ASSERT_TRUE(dialog->Focus(Dialog::kCommentEdit));
    dialog->Type(Dialog::kCommentEdit, u"新しい");
    dialog->Accept();
    EXPECT_FALSE(dialog->ended());
    EXPECT_EQ(StoredComment(3), u"新しい");
    EXPECT_EQ(dialog->focused(), Dialog::kSlotList);
    EXPECT_EQ(dialog->Selection(Dialog::kSlotList), 2);
    EXPECT_EQ(Line(*dialog, 2).substr(24, 3), u"新しい");
    dialog->Accept();  // the focus is on the list now: a load
    EXPECT_TRUE(dialog->ended());
    EXPECT_EQ(dialog->result(), 2);
    EXPECT_TRUE(modal_.boxes.empty());
}

TEST_F(SaveLoadDialogTest, OverwritingAsksOverTheDialogAndNoKeepsItOpen) {
    Store(4, u"kept");
    LastUsedSlot = 3;
    modal_.AnswerNext(kIdNo);
    modal_.AnswerNext(kIdYes);
    bool open_after_no = false;
    std::u16string kept;
    modal_.OnNextDialog([&](host::Dialog& dialog) {
        dialog.Type(Dialog::kCommentEdit, u"new");
        dialog.Click(1);
        open_after_no = !dialog.ended();
        kept = StoredComment(4);
        dialog.Click(1);
    });
    EXPECT_EQ(OpenSaveLoadDialog(modal_, Dialog::kSaveMode), 3);
    EXPECT_TRUE(open_after_no);
    EXPECT_EQ(kept, u"kept");
    EXPECT_EQ(StoredComment(4), u"new");
    EXPECT_EQ(LastUsedSlot, 3);
    ASSERT_EQ(modal_.boxes.size(), 2u);
    for (const testhost::ShownBox& box : modal_.boxes) {
        EXPECT_EQ(box.caption, u"上書き");
        EXPECT_EQ(box.text, u"4番のデータに上書きしてもよろしいですか？");
        EXPECT_EQ(box.style, kMbYesNo | kMbIconQuestion);
    }
    EXPECT_EQ(modal_.box_depths, (std::vector<std::size_t>{2, 2})) << "over the dialog";
}

TEST_F(SaveLoadDialogTest, SavingAnEmptyOrUnreadableSlotAndTheNextOpeningFlagsIt) {
    ASSERT_EQ(Sql("INSERT INTO entry(number, header) VALUES(9, x'00');"), 0);
    struct Case {
        int index;
        std::size_t boxes;
    } cases[] = {{5, 0}, {8, 1}};
    for (const Case& c : cases) {
        modal_.boxes.clear();
        modal_.AnswerNext(kIdYes);
        modal_.OnNextDialog([&](host::Dialog& dialog) {
            dialog.Choose(Dialog::kSlotList, c.index);
            dialog.Type(Dialog::kCommentEdit, u"c");
            dialog.Click(1);
        });
        EXPECT_EQ(OpenSaveLoadDialog(modal_, Dialog::kSaveMode), c.index);
        EXPECT_EQ(modal_.boxes.size(), c.boxes) << c.index;
        EXPECT_EQ(StoredComment(c.index + 1), u"c");
        EXPECT_EQ(LastUsedSlot, c.index);
        const auto dialog = Open(Dialog::kLoadMode, LastUsedSlot);
        EXPECT_EQ(Line(*dialog, c.index)[0], u'>');
        EXPECT_TRUE(Enabled(*dialog, 1)) << "the unreadable slot was replaced";
    }
}

TEST_F(SaveLoadDialogTest, DeletingAsksFirst) {
    Store(4, u"x");
    ASSERT_EQ(Sql("INSERT INTO entry(number, header) VALUES(9, x'00');"), 0);
    struct Case {
        int mode;
        int index;
        int answer;
        bool gone;
    } cases[] = {{Dialog::kLoadMode, 3, kIdNo, false},
                 {Dialog::kSaveMode, 3, kIdYes, true},
                 {Dialog::kLoadMode, 8, kIdYes, true}};
    for (const Case& c : cases) {
        modal_.boxes.clear();
        const auto dialog = Open(c.mode, c.index);
        modal_.AnswerNext(c.answer);
        dialog->Click(Dialog::kDeleteButton);
        ASSERT_EQ(modal_.boxes.size(), 1u);
        EXPECT_EQ(modal_.boxes[0].caption, u"削除");
        EXPECT_EQ(modal_.boxes[0].text, FormatString(u"%d番のデータを削除してもよろしいですか？", c.index + 1));
        EXPECT_EQ(modal_.boxes[0].style, kMbYesNo | kMbIconQuestion);
        EXPECT_EQ(SlotExists(c.index + 1), !c.gone);
        EXPECT_FALSE(dialog->ended());
        EXPECT_EQ(Line(*dialog, c.index).substr(4, 10), c.gone ? u"----/--/--" : u"2024/03/05");
        if (c.gone) {
            EXPECT_EQ(dialog->Selection(Dialog::kSlotList), -1);
        }
    }
    // An empty slot is not asked about.
    modal_.boxes.clear();
    const auto dialog = Open(Dialog::kSaveMode, 3);
    dialog->Click(Dialog::kDeleteButton);
    EXPECT_TRUE(modal_.boxes.empty());
    // D asks as the button does from the list, where the dialog starts; from the comment field
    // only with Alt.
    Store(4, u"x");
    const auto keys = Open(Dialog::kLoadMode, 3);
    for (const bool alt : {false, true}) {
        modal_.boxes.clear();
        modal_.AnswerNext(kIdNo);
        EXPECT_TRUE(keys->PressAccessKey(u'D', alt));
        EXPECT_EQ(modal_.boxes.size(), 1u);
        keys->Focus(Dialog::kCommentEdit);
        EXPECT_EQ(keys->PressAccessKey(u'D', alt), alt);
        keys->Focus(Dialog::kSlotList);
    }
}

TEST_F(SaveLoadDialogTest, TheCommentHoldsThirtyTwoCp932BytesCutOnACharacterBoundary) {
    struct Case {
        std::u16string typed, kept;
    } cases[] = {
        {std::u16string(40, u'a'), std::u16string(32, u'a')},
        {std::u16string(32, u'a'), std::u16string(32, u'a')},
        {std::u16string(20, u'あ'), std::u16string(16, u'あ')},
        {u"a" + std::u16string(16, u'あ'), u"a" + std::u16string(15, u'あ')},
        {std::u16string(31, u'ｱ') + u"漢", std::u16string(31, u'ｱ')},
        {std::u16string(30, u'ｱ') + u"漢", std::u16string(30, u'ｱ') + u"漢"},
        {u"短い", u"短い"},
    };
    for (const Case& c : cases) {
        const auto dialog = Open(Dialog::kSaveMode, 0);
        dialog->Type(Dialog::kCommentEdit, c.typed);
        EXPECT_EQ(Utf16ToUtf8(dialog->Text(Dialog::kCommentEdit)), Utf16ToUtf8(c.kept));
        dialog->Click(1);
        ASSERT_TRUE(dialog->ended());
        EXPECT_EQ(Utf16ToUtf8(StoredComment(1)), Utf16ToUtf8(c.kept));
        modal_.AnswerNext(kIdYes);  // the next case overwrites slot 1
    }
}

TEST_F(SaveLoadDialogTest, AStoredCommentLongerThanTheFieldIsCutWhenWrittenBack) {
    // A record holds up to 35 bytes of comment; the field gives back at most 32.
    const std::u16string stored = u"a" + std::u16string(17, u'漢');
    const std::u16string cut = u"a" + std::u16string(15, u'漢');
    for (const int mode : {Dialog::kSaveMode, Dialog::kLoadMode}) {
        Store(2, stored);
        ASSERT_EQ(StoredComment(2), stored);
        const auto dialog = Open(mode, 1);
        modal_.AnswerNext(kIdYes);
        dialog->Click(mode == Dialog::kSaveMode ? 1 : Dialog::kFixButton);
        EXPECT_EQ(Utf16ToUtf8(StoredComment(2)), Utf16ToUtf8(cut)) << mode;
    }
}

// During a game cycle a save writes the global records with it: the common record it stores
// marks the slot just saved, not the one saved before.
TEST_F(SaveLoadDialogTest, TheCommonRecordASaveStoresMarksTheSlotJustSaved) {
    ScriptStateGroup_App group;
    CurrentScript = &group;
    const ScopeExit leave([] { CurrentScript = nullptr; });
    LastUsedSlot = 2;
    for (const int index : {6, 40}) {
        modal_.OnNextDialog([&](host::Dialog& dialog) {
            dialog.Choose(Dialog::kSlotList, index);
            dialog.Click(1);
        });
        ASSERT_EQ(OpenSaveLoadDialog(modal_, Dialog::kSaveMode), index);
        EXPECT_EQ(SqliteObserver(folder_ / "save.dat")
                      .Rows("SELECT hex(substr(value_bin, 1, 4)) FROM global WHERE "
                            "name='COMMON';"),
                  Utf16ToUtf8(FormatString(u"%02X000000", index)));
        EXPECT_EQ(LastUsedSlot, index);
    }
}

TEST_F(SaveLoadDialogTest, ASaveThatFailsIsShownAndTheDialogStaysOpen) {
    ASSERT_EQ(Sql("CREATE TRIGGER refuse BEFORE INSERT ON entry BEGIN SELECT RAISE(ABORT, 'disk refused'); END;"), 0);
    bool open = false;
    modal_.OnNextDialog([&](host::Dialog& dialog) {
        dialog.Choose(Dialog::kSlotList, 6);
        dialog.Click(1);
        open = !dialog.ended();
    });
    EXPECT_EQ(OpenSaveLoadDialog(modal_, Dialog::kSaveMode), -1) << "closed by the player afterwards";
    EXPECT_TRUE(open);
    EXPECT_FALSE(SlotExists(7));
    EXPECT_EQ(LastUsedSlot, -1);
    ASSERT_EQ(modal_.boxes.size(), 1u);
    EXPECT_EQ(modal_.boxes[0].caption, u"セーブ");
    EXPECT_NE(modal_.boxes[0].text.find(u"セーブできませんでした"), std::u16string::npos);
    EXPECT_NE(modal_.boxes[0].text.find(u"disk refused"), std::u16string::npos);
    EXPECT_EQ(modal_.boxes[0].style & kMbIconMask, kMbIconStop);
    EXPECT_EQ(sink_.captions, std::vector<std::u16string>{u"セーブ"}) << "through the report hook";
}

TEST_F(SaveLoadDialogTest, ASaveFileThatCannotBeReadIsShownAndNoSlotReturned) {
    LastUsedSlot = 4;
    std::filesystem::resize_file(folder_ / "save.dat", 0);
    {
        std::ofstream file(folder_ / "save.dat", std::ios::binary);
        file << std::string(4096, 'x');
    }
    for (const int mode : {Dialog::kSaveMode, Dialog::kLoadMode}) {
        modal_.boxes.clear();
        modal_.OnNextDialog([](host::Dialog& dialog) { dialog.Accept(); });
        EXPECT_EQ(OpenSaveLoadDialog(modal_, mode), -1);
        ASSERT_EQ(modal_.boxes.size(), 1u);
        EXPECT_EQ(modal_.boxes[0].caption, mode == Dialog::kSaveMode ? u"セーブ" : u"ロード");
        EXPECT_NE(modal_.boxes[0].text.find(u"セーブデータを読み込めませんでした"), std::u16string::npos);
        EXPECT_EQ(LastUsedSlot, 4);
    }
    EXPECT_EQ(sink_.captions, (std::vector<std::u16string>{u"セーブ", u"ロード"})) << "through the report hook";
}

// A file the dialog cannot read goes to the opener, whose answer opens the dialog again on the
// file that took its place, or gives -1 without a box of the dialog's own.
TEST_F(SaveLoadDialogTest, AFileTheDialogCannotReadGoesToTheOpenerAndTheDialogOpensAgain) {
    Store(3, u"three");
    const std::string intact = testsupport::FileBytes(folder_ / "save.dat");
    for (const bool again : {true, false}) {
        SCOPED_TRACE(again);
        std::ofstream(folder_ / "save.dat", std::ios::binary) << std::string(4096, 'x');
        modal_.boxes.clear();
        // The first dialog fails as it opens and never runs its script.
        modal_.OnNextDialog([](host::Dialog&) {});
        modal_.OnNextDialog([](host::Dialog& dialog) {
            dialog.Choose(Dialog::kSlotList, 2);
            dialog.Click(1);
        });
        std::vector<std::u16string> reasons;
        const std::int32_t slot = OpenSaveLoadDialog(modal_, Dialog::kLoadMode, [&](std::u16string_view reason) {
            reasons.emplace_back(reason);
            if (again) std::ofstream(folder_ / "save.dat", std::ios::binary) << intact;
            // Once only: a dialog that came back to ask again ends the loop and fails below.
            return again && reasons.size() == 1;
        });
        EXPECT_EQ(slot, again ? 2 : -1);
        ASSERT_EQ(reasons.size(), 1u);
        EXPECT_NE(reasons[0].find(u"not a database"), std::u16string::npos) << Utf16ToUtf8(reasons[0]);
        EXPECT_TRUE(modal_.boxes.empty()) << "the opener tells the player";
        std::ofstream(folder_ / "save.dat", std::ios::binary) << intact;
    }
}

TEST_F(SaveLoadDialogTest, TheThumbnailShowsTheSlotsPictureOrGrey) {
    Store(2, u"p");
    ASSERT_EQ(Sql("INSERT INTO entry(number, header) VALUES(3, zeroblob(65796));"), 0);
    struct Case {
        int index;
        std::uint32_t bottom_left;
    } cases[] = {{1, 0xFF332211}, {2, Dialog::kEmptyThumbnail}, {5, Dialog::kEmptyThumbnail}};
    for (const Case& c : cases) {
        const auto dialog = Open(Dialog::kLoadMode, c.index);
        const host::Control& picture = *dialog->Find(Dialog::kThumbnail);
        ASSERT_EQ(picture.picture_width, kThumbnailWidth);
        ASSERT_EQ(picture.picture_height, kThumbnailHeight);
        ASSERT_EQ(picture.pixels.size(), static_cast<std::size_t>(kThumbnailWidth * kThumbnailHeight));
        EXPECT_EQ(picture.pixels[static_cast<std::size_t>((kThumbnailHeight - 1) * kThumbnailWidth)], c.bottom_left)
            << c.index;
        EXPECT_EQ(picture.pixels[1], c.index == 1 ? 0xFF000000u : Dialog::kEmptyThumbnail) << c.index;
    }
}

TEST_F(SaveLoadDialogTest, TheThumbnailIsGreyBeforeALineIsChosenAndAfterItsSlotIsDeleted) {
    Store(1, u"p");
    const auto grey = [](Dialog& dialog) {
        const std::vector<std::uint32_t>& pixels = dialog.Find(Dialog::kThumbnail)->pixels;
        return pixels.size() == static_cast<std::size_t>(kThumbnailWidth * kThumbnailHeight) &&
               std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p == Dialog::kEmptyThumbnail; });
    };
    Dialog unopened(Dialog::kLoadMode, 0);
    EXPECT_TRUE(grey(unopened)) << "before it opens";
    EXPECT_TRUE(grey(*Open(Dialog::kSaveMode))) << "no line flagged";
    const auto dialog = Open(Dialog::kLoadMode, 0);
    ASSERT_FALSE(grey(*dialog));
    modal_.AnswerNext(kIdYes);
    dialog->Click(Dialog::kDeleteButton);
    EXPECT_TRUE(grey(*dialog)) << "its slot deleted";
}

TEST_F(SaveLoadDialogTest, TheProgramsMenuRunsTheDialogOnTheWindowsModalLayer) {
    Store(2, u"two");
    ApplicationPlatform platform;
    InstallScreens(platform);
    ASSERT_TRUE(platform.menu_screens.save_load);
    testhost::TestHost window;
    window.scripted_modal().OnNextDialog([](host::Dialog& dialog) {
        dialog.Choose(Dialog::kSlotList, 1);
        dialog.Accept();
    });
    EXPECT_EQ(platform.menu_screens.save_load(window.modal(), Dialog::kLoadMode), 1);
    bool cancelled = false;
    window.scripted_modal().OnNextDialog([&cancelled](host::Dialog& dialog) {
        dialog.Click(2);
        cancelled = dialog.ended();
    });
    EXPECT_EQ(platform.menu_screens.save_load(window.modal(), Dialog::kSaveMode), -1);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(LastUsedSlot, -1);
    EXPECT_EQ(window.scripted_modal().dialogs_run, (std::vector<std::u16string>{u"ロード", u"セーブ"}));
}

}  // namespace
