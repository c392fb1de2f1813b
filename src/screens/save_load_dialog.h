// The save/load dialog: the 99 slots listed with their date, time and comment, the selected
// slot's thumbnail, a comment field, and the buttons that save, load, delete and (in load mode)
// change a slot's comment. Saves, deletes and comment changes happen inside the dialog; a load
// only returns the chosen slot's index, and the caller turns it into a load request.
//
// A slot whose stored header cannot be read is listed as unreadable: it can be overwritten or
// deleted, never loaded, so that one damaged slot never keeps the player from the others. A save,
// delete or comment change that fails is shown to the player and the dialog stays open; one that
// fails because the file cannot take a write goes to the opener's SaveFileTrouble. Every box goes
// through ShowMessage, over the dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui/dialog.h"

// Answers a failure of the save file itself (SQLite's reason): true when the work is to be done
// again (the file is free again, or a new file took its place), false when it is given up (the
// player has been told). Missing, the failure is only shown.
using SaveFileTrouble = std::function<bool(std::u16string_view reason)>;

class SaveLoadDialog : public host::Dialog {
public:
    enum : int {
        kSlotList = 1021,
        kCommentEdit = 1023,
        kFixButton = 1024,
        kDeleteButton = 1025,
        kThumbnail = 1058,
    };
    enum Mode : int { kSaveMode = 0, kLoadMode = 1 };
    // The comment field holds at most this many characters, and no more CP932 bytes than the
    // 33-byte buffer it is read into keeps with its zero: 32 narrow characters or 16 wide ones.
    static constexpr std::size_t kCommentCharacters = 32;
    static constexpr std::size_t kCommentBytes = 32;
    // The grey of the thumbnail field while no picture is shown.
    static constexpr std::uint32_t kEmptyThumbnail = 0xFF808080;

    // `flagged_slot` is the index (number - 1) marked ">" in the list, -1 for none. The dialog's
    // boxes go through ShowMessage, which shows them over it. A save, delete
    // or comment change that fails because the file cannot take a write is handed to `trouble`
    // once: done again when it answers true, else the dialog ends with -1.
    SaveLoadDialog(int mode, std::int32_t flagged_slot, SaveFileTrouble trouble = {});

    void OnInit() override;
    void OnCommand(int id, int notify) override;

private:
    enum class SlotState { kEmpty, kOccupied, kUnreadable };
    struct SlotEntry {
        SlotState state = SlotState::kEmpty;
        std::u16string comment;
    };

    void FillList();
    void SelectionChanged();
    void ShowThumbnail(std::int32_t number, SlotState state);
    void SaveSelected();
    void FixSelected();
    void DeleteSelected();
    // The selected slot's number (1 to 99), 0 for none.
    std::int32_t SelectedNumber();
    SlotState StateOf(std::int32_t number) const;
    // The comment field as stored, narrow (the field holds only what that keeps).
    std::string NarrowComment();
    // Runs a change of the save data; a failure is shown in a box and false returned.
    template <class Change>
    bool Attempt(std::u16string_view caption, Change&& change);

    int mode_;
    std::int32_t flagged_;
    SaveFileTrouble trouble_;
    std::vector<SlotEntry> slots_;
    bool commentFocused_ = false;
};

// Runs the dialog in `mode` (SaveLoadDialog::kSaveMode or kLoadMode) on the modal layer with
// LastUsedSlot flagged; the index of the slot saved or to be loaded, or -1. A save makes its slot
// the new LastUsedSlot. A save file that cannot be read at all goes to `trouble`, and the dialog
// opens again when it answers true; without it, or when it answers false, -1 (shown in a box when
// there is no `trouble`).
std::int32_t OpenSaveLoadDialog(host::ModalUi& modal, int mode, const SaveFileTrouble& trouble = {});
// The box of a dialog that could not read the save file (`caption` is the dialog's).
void ShowDialogReadFailure(std::u16string_view caption, std::u16string_view reason);
