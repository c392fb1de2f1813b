// The save file as a session of the game meets it: whatever the file or another program does to
// it, the player plays on and keeps what the session earned.
//
// - The start: a file that cannot be used (not a database, damaged, a table without its columns)
//   is named in a box with what is wrong; the player may keep it aside (renamed beside it with the
//   date and time, its journal with it, never changed) and start a new one, or play on without
//   saving: the menu's save and load are grayed and the page wait's buttons say why. A file that
//   reads but cannot take a write (damaged pages, read only) is found by a write rolled back and
//   gets the same box. A file that another program holds past the busy time gets the same box
//   with a retry. A file that lost a table or a row of the global records gets them back, empty,
//   in one transaction. A new file starts with every slot and record of the old one that reads.
// - A save or the save/load dialog that meets a file that cannot take a write, mid-game, offers
//   the same choices at once (the save made again in the new file); a held file is retried.
// - The global records of a cycle that cannot be written stay in memory, are used by the next
//   cycle instead of the file, and are written again at the next save or cycle end.
// - A load that would fail (the quick load's ring, a damaged slot) is shown in a box before any
//   request is made, so the player stays on the page or the title.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "screens/save_load_dialog.h"

class ScriptStateGroup_App;
struct GameCycleServices;
namespace host {
class ModalUi;
}

class SaveStore {
public:
    // The global records at a cycle's start: the first cycle opens the file as above; later ones
    // read it, or take the records kept in memory while the file is off or behind them. Never
    // raises a database failure.
    void LoadGlobal(ScriptStateGroup_App& group);
    // The global records at a cycle's end: kept in memory, then written; a failure is shown with a
    // retry and written again at the next save or cycle end. Never raises a database failure.
    void SaveGlobal(const ScriptStateGroup_App& group);
    // The quick save into the ring; 0 while the file is off or the save failed.
    std::int32_t AutoSave();
    // The save/load dialog (OpenCheckedSaveLoadDialog) with a file that cannot be read or written
    // met as above: the dialog opens again on the file that took its place, or after a retry.
    std::int32_t OpenDialog(host::ModalUi& modal, int mode);
    // The newest quick save's slot index when it loads, else -1 (a failure shown in a box).
    std::int32_t FindQuickLoadSlot();
    // Whether the session plays on without its save file.
    bool Off() const { return state_ == State::kOff; }

private:
    enum class State { kUnchecked, kInUse, kOff };
    // What the player chose for a file that failed: try again (the file is free again, or a new
    // one took its place), give up this time, or play on without a save file.
    enum class FileAnswer { kTryAgain, kGiveUp, kPlayWithout };

    void OpenAtStart(ScriptStateGroup_App& group);
    // The box of a file another program holds (`held`) or one that cannot be used, at the start
    // or later; keeping it aside happens here.
    FileAnswer AskAboutFile(std::u16string_view reason, bool held, bool at_start);
    // Keeps the file aside and starts a new one with what still reads of it; false when the file
    // cannot be moved (the player is told).
    bool MoveToNewFile(const std::u16string& path, const std::u16string& aside);
    // A failure met mid-game: a held file or one that cannot take a write gets the box of
    // AskAboutFile; true when the work is to be done again.
    bool AnswerFailure(std::u16string_view reason);
    void TurnOff(const GameCycleServices* services);
    void UseKeptRecords(ScriptStateGroup_App& group) const;

    State state_ = State::kUnchecked;
    bool unsaved_ = false;
    // The scene names and the pictures seen, as the last cycle left them.
    std::vector<std::u16string> keptScenes_;
    std::vector<std::u16string> keptAlbum_;
};

// Reads the global records as a cycle does: a file that lost a table or a row of the records
// first gets them back (empty), then LoadGlobalData. A database failure raises the error exception.
void ReadGlobalRecords(ScriptStateGroup_App& group);

// Makes the new file at the save path (the schema) and copies into it every global record and
// every slot of the file `aside` that reads as the cycle's read and a load read them, each on its
// own so that one damaged page costs only what lies on it; `aside` is only read. The number of
// slots copied.
int CopyReadableSaves(const std::u16string& aside);

// A free name beside `path` for keeping a damaged file aside: "save.dat" becomes
// "save-YYYYMMDD-HHMMSS.dat" with the local time `when`, and "-2", "-3" ... before ".dat" when
// that name (or a journal of it) is taken.
std::u16string AsideName(const std::u16string& path, std::time_t when = std::time(nullptr));
// Moves the file and its journal files ("-journal", "-wal", "-shm") to `aside` (the name of
// AsideName) without changing a byte: linked under the new name first, then unlinked, so that a
// crash leaves them under one of the names; empty on success, else what failed.
std::u16string KeepAside(const std::u16string& path, const std::u16string& aside);

// The save/load dialog on the modal layer; in load mode a chosen slot that would not load is
// shown in a box and gives -1, so that no load request is made for it.
// A failure of the file itself goes to `trouble` (OpenSaveLoadDialog).
std::int32_t OpenCheckedSaveLoadDialog(host::ModalUi& modal, int mode, const SaveFileTrouble& trouble = {});
