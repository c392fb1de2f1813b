// The save file as a session of the game meets it: whatever the file, the disk or another program
// does to it, the player plays on and keeps what the session earned.
//
// - The file is looked at before anything is written into it: at the start, and before a save, a
//   load or the dialog when it is no longer the file the game last wrote (another identity), or
//   when a statement failed with SQLite's plain error. A missing or empty file is made again with
//   the session's records; a file that lost tables gets them back; a file SQLite finds damaged
//   (its quick check, its header or schema) or that takes no write (the write check rolled back)
//   is offered to be kept aside for a new file, or the session plays on without saving.
// - Only a damaged or read-only file is moved. A full disk or an I/O error is said once at the
//   start and otherwise met by the save's own notice; a file another program holds gets a retry
//   or giving up that save or load. Nothing is moved that another program holds, and nothing is
//   moved where nothing can be (no file, a link to nothing, a folder the player may not write).
// - A new file is built whole beside the old one and then takes its name (screens/save_file.h);
//   when it cannot be built, nothing moves.
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

#include "screens/save_file.h"
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
    // When the file is met: at the start, where its records are read, or later, where the
    // session's records in memory are the newest.
    enum class Moment { kStart, kLater };
    // What became of a file met: ready for the work (again), or not this time, or not at all in
    // this session.
    enum class Outcome { kReady, kGiveUp, kOff };

    void OpenAtStart(ScriptStateGroup_App& group);
    // Looks at the file before anything is written into it, makes what is missing, and meets
    // what it finds (see the top of this file) until the file is ready or the player gives up.
    Outcome MeetFile(Moment moment, ScriptStateGroup_App* group);
    // The box for a failure with SQLite code `code` and what came of it.
    Outcome AnswerFault(Moment moment, int code, std::u16string_view message);
    // Builds the new file from what reads of the old and gives it the name; false when nothing
    // moved (the player is told why).
    bool MoveToNewFile(Moment moment, const std::u16string& path, const std::u16string& aside);
    // Before a save, a load or the dialog: the file as the game left it, or met again.
    bool Ready();
    // A failure met mid-game: true when the work is to be done again (the file is free again, or
    // it was met again and is ready).
    bool AnswerFailure(int code, std::u16string_view message);
    // Notes the file as the game leaves it after its work.
    void NoteFile();
    void TurnOff();
    void UseKeptRecords(ScriptStateGroup_App& group) const;
    // The scene names the session has now: the running story's, else those the last cycle left.
    const std::vector<std::u16string>& SessionSceneNames() const;

    State state_ = State::kUnchecked;
    // The services of the cycle that last read the records, whose menu is grayed when the file is off.
    const GameCycleServices* services_ = nullptr;
    bool unsaved_ = false;
    std::optional<FileIdentity> noted_;
    // The scene names and the pictures seen, as the last cycle left them.
    std::vector<std::u16string> keptScenes_;
    std::vector<std::u16string> keptAlbum_;
};

// Reads the global records as a cycle does: a file that lost a table or a row of the records
// first gets them back (empty), then LoadGlobalData. A database failure raises the error exception.
void ReadGlobalRecords(ScriptStateGroup_App& group);

// Builds the file `target` (the schema) and copies into it every global record and every slot of
// the file `source` that reads as the cycle's read and a load read them, each on its own so that
// one damaged page costs only what lies on it; `source` is only read. The number of slots the new
// file holds. The error exception when `target` cannot be written (a full disk): then it is not
// whole, and is not to be used.
int CopyReadableSaves(const std::u16string& source, const std::u16string& target);

// The save/load dialog on the modal layer; in load mode a chosen slot that would not load is
// shown in a box and gives -1, so that no load request is made for it.
// A failure of the file itself goes to `trouble` (OpenSaveLoadDialog).
std::int32_t OpenCheckedSaveLoadDialog(host::ModalUi& modal, int mode, const SaveFileTrouble& trouble = {});
