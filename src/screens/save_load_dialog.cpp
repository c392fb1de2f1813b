#include "screens/save_load_dialog.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/report_hook.h"
#include "lib/text.h"
#include "screens/save_database.h"
#include "screens/save_records.h"
#include "screens/save_slots.h"

namespace {

// Inside the thumbnail area: the picture header (its first word is its size, 0 when the slot was
// saved without a picture), then the bottom-up rows.
constexpr std::size_t kThumbnailRowsOffset = 40;

}  // namespace

SaveLoadDialog::SaveLoadDialog(int mode, std::int32_t flagged_slot, SaveFileTrouble trouble)
    : Dialog(mode == kLoadMode ? u"ロード" : u"セーブ", 620, 420),
      mode_(mode),
      flagged_(flagged_slot),
      trouble_(std::move(trouble)),
      slots_(kSlotCount) {
    using host::ControlKind;
    Add({0, ControlKind::Static, {10, 12, 110, 32}, u"コメント入力"});
    // As many characters as the narrow comment keeps, and no more: what the player sees is saved.
    host::Control& comment = Add({kCommentEdit, ControlKind::Edit, {114, 8, 456, 34}});
    comment.max_length = kCommentCharacters;
    comment.max_narrow_bytes = kCommentBytes;
    Add({kThumbnail, ControlKind::Picture, {470, 8, 470 + kThumbnailWidth, 8 + kThumbnailHeight}});
    Add({0, ControlKind::Static, {10, 100, 80, 118}, u"スロット"});
    Add({0, ControlKind::Static, {84, 100, 240, 118}, u"更新日時"});
    Add({0, ControlKind::Static, {244, 100, 400, 118}, u"コメント"});
    Add({kSlotList, ControlKind::ListBox, {10, 122, 610, 370}});
    // Save mode has no comment change: the comment goes with the save.
    if (mode_ == kLoadMode) Add({kFixButton, ControlKind::Button, {10, 380, 100, 408}, u"修正"});
    Add({kDeleteButton, ControlKind::Button, {110, 380, 200, 408}, u"削除(&D)"});
    Add({1, ControlKind::DefaultButton, {420, 380, 510, 408}, mode_ == kLoadMode ? u"&OK" : u"セーブ"});
    Add({2, ControlKind::Button, {520, 380, 610, 408}, u"ｷｬﾝｾﾙ"});
    // Grey from the first frame, before any line is chosen.
    ShowThumbnail(0, SlotState::kEmpty);
}

void SaveLoadDialog::OnInit() {
    FillList();
    SetSelection(kSlotList, flagged_);
    SelectionChanged();
    Focus(kSlotList);
    commentFocused_ = false;
}

void SaveLoadDialog::FillList() {
    // One transaction for the whole list, not one open of the file per slot.
    const DatabaseScope scope = OpenSaveDatabase();
    std::vector<std::u16string> lines;
    lines.reserve(kSlotCount);
    for (std::int32_t number = 1; number <= kSlotCount; ++number) {
        SlotEntry& slot = slots_[static_cast<std::size_t>(number - 1)];
        const char16_t flag = number - 1 == flagged_ ? u'>' : u' ';
        slot = {};
        if (SlotExists(number)) {
            // A slot is listed as loadable only when a load would take it, its variables too.
            Decoded<SlotContents> contents;
            try {
                contents = ReadSlotContents(number, CurrentScript);
                if (!contents.ok()) DebugPrintf(u"save slot %d: %s\n", number, DescribeSaveBlobError(contents.error));
            } catch (const ExceptionHandle& error) {
                // A record of another size, or a row the database cannot read.
                contents.error = SaveBlobError::kWrongSize;
                DebugPrintf(u"save slot %d: %s\n", number, error.message);
            }
            if (contents.ok()) {
                const SAVEDATA2& record = contents.value.record;
                slot = {SlotState::kOccupied, record.comment};
                const SaveTime& t = record.time;
                lines.push_back(FormatString(u"%c%02d %04d/%02d/%02d %02d:%02d:%02d %-30hs ", flag, number, t.wYear,
                                             t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                             Utf16ToCp932(record.comment)));
                continue;
            }
            // A record that cannot be loaded: listed as unreadable, the other slots stay usable.
            slot.state = SlotState::kUnreadable;
            lines.push_back(FormatString(u"%c%02d ----/--/-- --:--:-- %s", flag, number,
                                         contents.error == SaveBlobError::kNoResumablePage
                                             ? std::u16string_view(u"再開できるページがありません")
                                             : std::u16string_view(u"読み込めないデータです")));
            continue;
        }
        lines.push_back(FormatString(u"%c%02d ----/--/-- --:--:-- --------------------------------", flag, number));
    }
    SetItems(kSlotList, std::move(lines));
}

std::int32_t SaveLoadDialog::SelectedNumber() {
    const int selection = Selection(kSlotList);
    return selection >= 0 && selection < kSlotCount ? selection + 1 : 0;
}

SaveLoadDialog::SlotState SaveLoadDialog::StateOf(std::int32_t number) const {
    return number >= 1 && number <= kSlotCount ? slots_[static_cast<std::size_t>(number - 1)].state : SlotState::kEmpty;
}

void SaveLoadDialog::SelectionChanged() {
    const std::int32_t number = SelectedNumber();
    const SlotState state = StateOf(number);
    if (mode_ == kLoadMode) {
        // Only a readable slot loads or takes a new comment; an unreadable one can only go.
        Enable(1, state == SlotState::kOccupied);
        Enable(kFixButton, state == SlotState::kOccupied);
        Enable(kDeleteButton, state != SlotState::kEmpty);
    }
    if (number == 0) {
        // Nothing chosen (as after a delete): no slot's picture stays.
        ShowThumbnail(0, SlotState::kEmpty);
        return;
    }
    SetText(kCommentEdit, state == SlotState::kOccupied ? slots_[static_cast<std::size_t>(number - 1)].comment : u"");
    ShowThumbnail(number, state);
}

void SaveLoadDialog::ShowThumbnail(std::int32_t number, SlotState state) {
    host::Control* picture = Find(kThumbnail);
    if (!picture) return;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kThumbnailWidth * kThumbnailHeight), kEmptyThumbnail);
    if (state == SlotState::kOccupied) {
        std::vector<std::uint8_t> area(kSlotThumbnailBytes);
        const std::span<std::uint8_t, kSlotThumbnailBytes> bytes(area.data(), kSlotThumbnailBytes);
        // A slot saved before any picture existed has an all-zero area: the grey stays.
        if (ReadSlotThumbnail(number, bytes) && (area[0] | area[1] | area[2] | area[3]) != 0) {
            for (std::int32_t y = 0; y < kThumbnailHeight; ++y) {
                const std::uint8_t* row = area.data() + kThumbnailRowsOffset +
                                          static_cast<std::size_t>(kThumbnailHeight - 1 - y) * kThumbnailStride;
                for (std::int32_t x = 0; x < kThumbnailWidth; ++x) {
                    const std::uint8_t* p = row + 4 * x;
                    pixels[static_cast<std::size_t>(y * kThumbnailWidth + x)] =
                        0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                }
            }
        }
    }
    picture->pixels = std::move(pixels);
    picture->picture_width = kThumbnailWidth;
    picture->picture_height = kThumbnailHeight;
    ++picture->version;
}

std::string SaveLoadDialog::NarrowComment() { return Utf16ToCp932(Text(kCommentEdit)); }

template <class Change>
bool SaveLoadDialog::Attempt(std::u16string_view caption, Change&& change) {
    for (bool handed = false;; handed = true) {
        try {
            change();
            return true;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1) throw;
            // The scope of the change rolled back: the file holds what it held before. The opener
            // meets the file itself: a held one each time the player tries again, anything else
            // once, so that a write that cannot succeed is never asked for again.
            const int code = SaveDatabaseSession.LastError();
            if (trouble_ && FileNeedsAttention(code) && (FileHeld(code) || !handed)) {
                if (trouble_(std::u16string_view(error.message))) continue;
                End(-1);
                return false;
            }
            ShowMessage(caption,
                        FormatString(u"%sできませんでした。\n%s", caption, DescribeSaveFailure(code, error.message)),
                        kMbOk | kMbIconStop);
            return false;
        }
    }
}

void SaveLoadDialog::SaveSelected() {
    const std::int32_t number = SelectedNumber();
    if (number == 0) return;
    if (StateOf(number) != SlotState::kEmpty &&
        ShowMessage(u"上書き", FormatString(u"%d番のデータに上書きしてもよろしいですか？", number),
                    kMbYesNo | kMbIconQuestion) != kIdYes)
        return;
    const std::u16string comment = Cp932ToUtf16(NarrowComment());
    // The save writes the common record too, which is to mark the slot saved now; a save that
    // fails leaves the mark where it was.
    const std::int32_t marked = std::exchange(LastUsedSlot, number - 1);
    if (Attempt(u"セーブ", [&] { SaveSlot(number, comment); }))
        End(number - 1);
    else
        LastUsedSlot = marked;
}

void SaveLoadDialog::FixSelected() {
    const std::int32_t number = SelectedNumber();
    if (number == 0 || StateOf(number) != SlotState::kOccupied) return;
    const std::string comment = NarrowComment();
    Attempt(u"修正", [&] {
        const DatabaseScope scope = OpenSaveDatabase();
        UpdateEntryHeader(number, comment);
    });
    if (ended()) return;
    FillList();
    SetSelection(kSlotList, number - 1);
    SelectionChanged();
}

void SaveLoadDialog::DeleteSelected() {
    const std::int32_t number = SelectedNumber();
    if (number == 0 || StateOf(number) == SlotState::kEmpty) return;
    if (ShowMessage(u"削除", FormatString(u"%d番のデータを削除してもよろしいですか？", number),
                    kMbYesNo | kMbIconQuestion) != kIdYes)
        return;
    Attempt(u"削除", [&] { DeleteSlot(number); });
    if (ended()) return;
    FillList();
    SelectionChanged();
}

void SaveLoadDialog::OnCommand(int id, int notify) {
    switch (id) {
        case kSlotList:
            if (notify == host::kNotifySelChange) SelectionChanged();
            if (notify == host::kNotifyDoubleClick && mode_ == kLoadMode) {
                const std::int32_t number = SelectedNumber();
                if (StateOf(number) == SlotState::kOccupied) End(number - 1);
            }
            break;
        case kCommentEdit:
            // The focus flag tells Return in the field from a click on OK (load mode only).
            if (notify == host::kNotifySetFocus && mode_ == kLoadMode) commentFocused_ = true;
            if (notify == host::kNotifyKillFocus && mode_ == kLoadMode) commentFocused_ = false;
            break;
        case 1:
            if (notify != host::kNotifyClicked) break;
            if (mode_ == kSaveMode) {
                SaveSelected();
            } else if (commentFocused_) {
                // Return while typing the comment changes it instead of loading.
                OnCommand(kFixButton, host::kNotifyClicked);
                Focus(kSlotList);
            } else if (StateOf(SelectedNumber()) == SlotState::kOccupied) {
                End(SelectedNumber() - 1);
            }
            break;
        case kFixButton:
            if (notify == host::kNotifyClicked && mode_ == kLoadMode) FixSelected();
            break;
        case kDeleteButton:
            if (notify == host::kNotifyClicked) DeleteSelected();
            break;
        case 2:
            if (notify == host::kNotifyClicked) End(-1);
            break;
        default: break;
    }
}

std::int32_t OpenSaveLoadDialog(host::ModalUi& modal, int mode, const SaveFileTrouble& trouble) {
    for (;;) {
        SaveLoadDialog dialog(mode, LastUsedSlot, trouble);
        try {
            return static_cast<std::int32_t>(modal.RunDialog(dialog));
        } catch (const ExceptionHandle& error) {
            // The save file itself cannot be read (the slots' changes are caught in the dialog).
            if (error.type == 1) throw;
            if (trouble) {
                if (trouble(std::u16string_view(error.message))) continue;
                return -1;
            }
            ShowDialogReadFailure(dialog.caption(), std::u16string_view(error.message));
            return -1;
        }
    }
}

void ShowDialogReadFailure(std::u16string_view caption, std::u16string_view reason) {
    ShowMessage(caption, FormatString(u"セーブデータを読み込めませんでした。\n%s", reason), kMbOk | kMbIconStop);
}
