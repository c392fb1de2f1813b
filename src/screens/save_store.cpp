#include "screens/save_store.h"

#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <exception>
#include <optional>
#include <span>
#include <utility>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/menu_commands.h"
#include "app/picture_commands.h"
#include "app/prompts.h"
#include "host/ui/menu.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/text.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_load_dialog.h"
#include "screens/save_slots.h"

namespace {

// How many bytes of slots a copy into a new file reads from the file kept aside before it writes
// them: a few dozen slots of a real game, bounded so that damaged files of any size cost no more.
constexpr std::size_t kCopyBatchBytes = std::size_t{8} << 20;
// The old file is read for the copy only after no other program held it; one that takes it
// meanwhile is not waited for: the copy fails and nothing moves.
constexpr std::chrono::milliseconds kAsideBusyTimeout{0};

// A slot as it is stored, read for the copy into a new file.
struct StoredSlot {
    std::int32_t number;
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> variables;
};

// The slot `number` of the file open in the session when a load would take it: its row's bytes as
// stored, read with the load's own limits. Nothing for an empty or unreadable slot. Its page is not
// asked of the story: a slot the story cannot resume now is still the player's, and the list
// says why it does not load.
std::optional<StoredSlot> ReadStoredSlot(std::int32_t number) {
    try {
        if (!SlotExists(number) || !ReadSlotContents(number, nullptr).ok()) return std::nullopt;
        StoredSlot slot{number, std::vector<std::uint8_t>(kSaveData2Bytes), {}};
        ReadEntryHeader(number, std::span<std::uint8_t, kSaveData2Bytes>(slot.header.data(), kSaveData2Bytes));
        slot.variables = ReadSlotVariables(number, kMaxVariableBlobBytes + 1);
        return slot;
    } catch (const ExceptionHandle& error) {
        // A held file holds every slot back: the copy stops.
        if (error.type == 1 || FileHeld(SaveDatabaseSession.LastError())) throw;
        DebugPrintf(u"save slot %d not copied: %s\n", number, std::u16string_view(error.message));
        return std::nullopt;
    }
}

// A global record of the file open in the session as the cycle's read takes it; nothing when it
// cannot be read.
template <class Read>
std::optional<std::vector<std::uint8_t>> ReadStoredRecord(std::u16string_view name, Read&& read) {
    try {
        return read();
    } catch (const ExceptionHandle& error) {
        if (error.type == 1 || FileHeld(SaveDatabaseSession.LastError())) throw;
        DebugPrintf(u"global record %s not copied: %s\n", name, std::u16string_view(error.message));
        return std::nullopt;
    }
}

// Whether a cycle's global records are being written while an error travels: no box then, the
// error is what the player sees.
bool ErrorTravelling() { return std::uncaught_exceptions() > 0; }

// The last part of a path: what the player finds beside the save file.
std::u16string_view FileName(std::u16string_view path) { return path.substr(path.find_last_of(u'/') + 1); }

// The end of a box's text: what the game does when the player says no, or gives up.
std::u16string_view WithoutSaving(bool at_start) {
    return at_start ? u"セーブとロードをせずに続けます。" : u"これからはセーブとロードをせずに続けます。";
}

}  // namespace

void ReadGlobalRecords(ScriptStateGroup_App& group) {
    {
        // Only a file that holds the records' table is completed here: one without it is a first
        // start, which LoadGlobalData writes whole.
        const DatabaseScope scope = OpenSaveDatabase();
        CheckSaveColumns();
        if (SaveTableExists(u"global")) CreateSaveSchema();
    }
    LoadGlobalData(group);
}

int CopyReadableSaves(const std::u16string& source, const std::u16string& target) {
    std::optional<std::vector<std::uint8_t>> common, scene, album;
    {
        // First, so that the new file is whole whatever the old one still gives.
        const DatabaseScope write(SaveDatabaseSession, target);
        CreateSaveSchema();
    }
    // A file of which nothing opens gives nothing; the new file is whole without it.
    const auto read_source = [&source](auto&& read) {
        try {
            const DatabaseScope scope = InspectSaveDatabase(source, kAsideBusyTimeout);
            read();
            return true;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1 || FileHeld(SaveDatabaseSession.LastError())) throw;
            DebugPrintf(u"copy from %s: %s\n", FileName(source), std::u16string_view(error.message));
            return false;
        }
    };
    read_source([&] {
        common = ReadStoredRecord(u"COMMON", [] {
            std::vector<std::uint8_t> record(kCommonRecordBytes);
            const bool written =
                ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(record.data(), kCommonRecordBytes));
            return written ? std::optional(std::move(record)) : std::nullopt;
        });
        // As the cycle reads them: one byte past the limit, which tells a list that goes on.
        scene = ReadStoredRecord(u"SCENE", [] { return std::optional(ReadSceneData(kMaxListBytes + 1)); });
        album = ReadStoredRecord(u"ALBUM", [] { return std::optional(ReadAlbumData(kMaxListBytes + 1)); });
    });
    {
        const DatabaseScope write(SaveDatabaseSession, target);
        if (common)
            WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(common->data(), kCommonRecordBytes));
        if (scene) WriteSceneData(*scene);
        if (album) WriteAlbumData(*album);
    }
    // Each slot on its own, so that a page that cannot be read costs only the slots on it; the
    // slots are written a batch at a time, the old file and the new one taking turns.
    for (std::int32_t number = 1; number <= kSlotCount;) {
        std::vector<StoredSlot> batch;
        std::size_t bytes = 0;
        const bool read = read_source([&] {
            for (; number <= kSlotCount && bytes < kCopyBatchBytes; ++number) {
                std::optional<StoredSlot> slot = ReadStoredSlot(number);
                if (!slot) continue;
                bytes += slot->header.size() + slot->variables.size();
                batch.push_back(std::move(*slot));
            }
        });
        if (!read) break;
        if (batch.empty()) continue;
        const DatabaseScope write(SaveDatabaseSession, target);
        for (const StoredSlot& slot : batch) {
            WriteEntryHeader(slot.number,
                             std::span<const std::uint8_t, kSaveData2Bytes>(slot.header.data(), kSaveData2Bytes));
            WriteEntryBacklog(slot.number);
            WriteSlotVariables(slot.number, std::span<const std::uint8_t>(slot.variables));
        }
    }
    const DatabaseScope count(SaveDatabaseSession, target);
    return CountSlots();
}

void SaveStore::LoadGlobal(ScriptStateGroup_App& group) {
    services_ = group.services();
    if (state_ == State::kUnchecked) return OpenAtStart(group);
    // What the last cycle left, which a file met again is given, and which stays when it is off.
    UseKeptRecords(group);
    if (state_ == State::kOff || unsaved_ || !Ready()) return;
    try {
        group.ClearSceneNames();
        SeenCgList.clear();
        ReadGlobalRecords(group);
        NoteFile();
    } catch (const ExceptionHandle& error) {
        if (error.type == 1) throw;
        // The records in memory are the newest there are (the last cycle end wrote them, or they
        // wait to be written): this cycle goes on with them.
        ShowMessage(
            u"エラー",
            FormatString(u"セーブファイルを読み込めませんでした。\n%s\n（%s）\n\n今の記録のまま続けます。",
                         SaveDatabasePath(), DescribeSaveFailure(SaveDatabaseSession.LastError(), error.message)),
            kMbOk | kMbIconExclamation);
        UseKeptRecords(group);
    }
}

void SaveStore::OpenAtStart(ScriptStateGroup_App& group) {
    // A new file that a crash left before it took the name holds nothing the old one lacks.
    RemoveNewFile(SaveDatabasePath());
    MeetFile(Moment::kStart, &group);
    // A file in use keeps what was read of it, also where the disk then refused the write check.
    if (state_ != State::kInUse) UseKeptRecords(group);
}

SaveStore::Outcome SaveStore::MeetFile(Moment moment, ScriptStateGroup_App* group) {
    for (;;) {
        try {
            const std::u16string path = SaveDatabasePath();
            if (IdentityOf(path)) {
                // Looked at before anything, the journal mode included, is written into it.
                const DatabaseScope scope = InspectSaveDatabase(path);
                CheckSaveColumns();
                CheckSaveIntegrity();
            }
            if (moment == Moment::kStart) {
                // A second read (after a retry or a new file) starts from what the cycle start left.
                group->ClearSceneNames();
                SeenCgList.clear();
                ReadGlobalRecords(*group);
            } else {
                // Missing, emptied, or without its tables: made again with the session's records.
                const DatabaseScope scope = OpenSaveDatabase();
                const bool whole = SaveSchemaExists();
                CreateSaveSchema();
                if (!whole) WriteGlobalRecords(SessionSceneNames());
            }
            // A file that reads but cannot take a write would fail every save of the session.
            CheckSaveWritable();
            state_ = State::kInUse;
            NoteFile();
            return Outcome::kReady;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1) throw;
            const Outcome outcome =
                AnswerFault(moment, SaveDatabaseSession.LastError(), std::u16string_view(error.message));
            if (outcome != Outcome::kReady) return outcome;
        }
    }
}

SaveStore::Outcome SaveStore::AnswerFault(Moment moment, int code, std::u16string_view message) {
    const bool at_start = moment == Moment::kStart;
    const std::u16string path = SaveDatabasePath();
    const std::u16string reason = DescribeSaveFailure(code, message);
    if (FileHeld(code)) {
        const int answer = ShowMessage(
            u"エラー",
            FormatString(u"セーブファイルを他のプログラムが使っています。\n%s\n（%s）\n\n[再試行] もう一度開きます。\n"
                         u"[キャンセル] %s",
                         path, reason,
                         at_start ? u"セーブとロードをせずに続けます。" : u"今はセーブもロードもしません。"),
            kMbRetryCancel | kMbIconExclamation);
        if (answer == kIdRetry) return Outcome::kReady;
        if (!at_start) return Outcome::kGiveUp;
        TurnOff();
        return Outcome::kOff;
    }
    if (DiskFailed(code)) {
        // Nothing is wrong with the file: it stays in use, and a save says it failed until there
        // is room again. Later the save's own notice is all the player needs.
        if (!at_start) return Outcome::kGiveUp;
        ShowMessage(u"エラー",
                    FormatString(u"ディスクに書き込めません。\n%s\n（%s）\n\n"
                                 u"セーブファイルはこのまま使います。書き込めるようになるまでセーブはできません。",
                                 path, reason),
                    kMbOk | kMbIconExclamation);
        state_ = State::kInUse;
        NoteFile();
        return Outcome::kGiveUp;
    }
    if (!CanKeepAside(path)) {
        ShowMessage(u"エラー",
                    FormatString(u"セーブファイルを使えません。\n%s\n（%s）\n\n"
                                 u"このフォルダーではファイルを残すことも作り直すこともできません。\n%s",
                                 path, reason, WithoutSaving(at_start)),
                    kMbOk | kMbIconExclamation);
        TurnOff();
        return Outcome::kOff;
    }
    const std::u16string aside = AsideName(path);
    const int answer = ShowMessage(
        u"エラー",
        FormatString(u"%s\n%s\n（%s）\n\nこのファイルを\n「%s」\nとして残し、新しいセーブファイルで%sますか？\n"
                     u"読み込めるセーブデータは新しいファイルに移します。\n[いいえ] %s",
                     at_start ? u"セーブファイルを使えません。" : u"セーブファイルに書き込めません。", path, reason,
                     FileName(aside), at_start ? u"始め" : u"続け", WithoutSaving(at_start)),
        kMbYesNo | kMbIconExclamation);
    if (answer != kIdYes) {
        TurnOff();
        return Outcome::kOff;
    }
    if (MoveToNewFile(moment, path, aside)) return Outcome::kReady;
    if (!at_start) return Outcome::kGiveUp;
    TurnOff();
    return Outcome::kOff;
}

bool SaveStore::MoveToNewFile(Moment moment, const std::u16string& path, const std::u16string& aside) {
    const std::u16string fresh = NewFileName(path);
    const auto not_moved = [&](std::u16string_view what, std::u16string_view why) {
        RemoveNewFile(path);
        ShowMessage(u"エラー",
                    FormatString(u"%s\n%s\n（%s）\n\nファイルはそのまま残します。%s", what, path, why,
                                 moment == Moment::kStart ? WithoutSaving(true) : u"今はセーブもロードもしません。"),
                    kMbOk | kMbIconStop);
        return false;
    };
    const std::u16string_view held = u"他のプログラムが使っているため、ファイルを移せません。";
    // Not even read while another program holds it: its write may still be on the way.
    if (!SaveFileLock(path).held()) return not_moved(held, DescribeSaveFailure(SQLITE_BUSY, u"locked"));
    RemoveNewFile(path);
    int copied = 0;
    try {
        copied = CopyReadableSaves(path, fresh);
    } catch (const ExceptionHandle& error) {
        if (error.type == 1) throw;
        return not_moved(u"新しいセーブファイルを作れませんでした。",
                         DescribeSaveFailure(SaveDatabaseSession.LastError(), error.message));
    }
    const SaveFileLock lock(path);
    if (!lock.held()) return not_moved(held, DescribeSaveFailure(SQLITE_BUSY, u"locked"));
    if (const std::u16string failed = SwapInNewFile(path, fresh, aside); !failed.empty())
        return not_moved(u"ファイルを移せませんでした。", failed);
    DebugPrintf(u"save.dat kept aside as %s\n", FileName(aside));
    ShowMessage(
        u"セーブ",
        FormatString(u"%d 件のセーブデータを新しいファイルに移しました。\n元のファイルはこの名前で残しました:\n%s",
                     copied, FileName(aside)),
        kMbOk | kMbIconInformation);
    return true;
}

bool SaveStore::Ready() {
    // A store whose start never came (a tool's, a test's) uses the file as it finds it.
    if (state_ != State::kInUse) return state_ == State::kUnchecked;
    if (IdentityOf(SaveDatabasePath()) == noted_) return true;
    DebugPrintf(u"save.dat changed since the game last wrote it\n");
    return MeetFile(Moment::kLater, nullptr) == Outcome::kReady;
}

bool SaveStore::AnswerFailure(int code, std::u16string_view message) {
    if (state_ != State::kInUse || DiskFailed(code)) return false;
    if (FileHeld(code)) return AnswerFault(Moment::kLater, code, message) == Outcome::kReady;
    // Damaged, taking no write, or a plain failure of a file changed behind the game's back.
    return MeetFile(Moment::kLater, nullptr) == Outcome::kReady;
}

void SaveStore::NoteFile() {
    if (state_ == State::kInUse) noted_ = IdentityOf(SaveDatabasePath());
}

void SaveStore::TurnOff() {
    state_ = State::kOff;
    DebugPrintf(u"save.dat is not used in this session\n");
    const GameCycleServices* services = services_ ? services_ : CurrentScript ? CurrentScript->services() : nullptr;
    if (services && services->menu) {
        services->menu->MakeUnavailable(kMenuSave);
        services->menu->MakeUnavailable(kMenuLoad);
    }
}

void SaveStore::UseKeptRecords(ScriptStateGroup_App& group) const {
    group.ClearSceneNames();
    for (const std::u16string& name : keptScenes_) group.AddSceneName(name);
    SeenCgList = keptAlbum_;
}

const std::vector<std::u16string>& SaveStore::SessionSceneNames() const {
    return CurrentScript ? CurrentScript->scene_names() : keptScenes_;
}

void SaveStore::SaveGlobal(const ScriptStateGroup_App& group) {
    keptScenes_ = group.scene_names();
    keptAlbum_ = SeenCgList;
    if (!ErrorTravelling() && state_ == State::kInUse && !Ready()) {
        unsaved_ = true;
        return;
    }
    bool met = false;
    while (state_ == State::kInUse) {
        try {
            SaveGlobalData(group);
            unsaved_ = false;
            NoteFile();
            return;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1) throw;
            unsaved_ = true;
            const int code = SaveDatabaseSession.LastError();
            if (ErrorTravelling()) {
                DebugPrintf(u"SaveGlobalData: %s\n", std::u16string_view(error.message));
                return;
            }
            // A file that cannot take the write as it is is met once, never asked for it again.
            if (!FileHeld(code) && !DiskFailed(code)) {
                if (std::exchange(met, true) || !AnswerFailure(code, error.message)) return NoteFile();
                continue;
            }
            const int answer = ShowMessage(
                u"エラー",
                FormatString(u"既読と解放の記録をセーブファイルに書き込めませんでした。\n%s\n（%s）\n\n"
                             u"もう一度書き込みますか？\n"
                             u"[いいえ] 今は書き込みません。ゲームを続けるなら、次のセーブのときに書き込みます。",
                             SaveDatabasePath(), DescribeSaveFailure(code, error.message)),
                kMbYesNo | kMbIconExclamation);
            if (answer != kIdYes) return NoteFile();
        }
    }
}

std::int32_t SaveStore::AutoSave() {
    if (!Ready()) return 0;
    for (bool met = false;;) {
        std::u16string error;
        if (::AutoSave(&error) == 1) {
            NoteFile();
            return 1;
        }
        // A held file is asked about each time (the player gives up); anything else once.
        const int code = SaveDatabaseSession.LastError();
        if ((!FileHeld(code) && std::exchange(met, true)) || !AnswerFailure(code, error)) {
            NoteFile();
            return 0;
        }
    }
}

std::int32_t SaveStore::FindQuickLoadSlot() {
    if (!Ready()) return -1;
    try {
        std::int32_t slot = -1;
        {
            const DatabaseScope scope = OpenSaveDatabase();
            slot = FindRingSlot();
        }
        if (slot != -1) CheckSlotLoads(slot + 1);
        return slot;
    } catch (const ExceptionHandle& error) {
        if (error.type == 1) throw;
        ShowLoadFailure(DescribeSaveFailure(SaveDatabaseSession.LastError(), error.message));
        return -1;
    }
}

std::int32_t SaveStore::OpenDialog(host::ModalUi& modal, int mode) {
    if (!Ready()) return -1;
    const std::u16string_view caption = mode == SaveLoadDialog::kLoadMode ? u"ロード" : u"セーブ";
    const std::int32_t slot = OpenCheckedSaveLoadDialog(modal, mode, [this, caption](std::u16string_view reason) {
        const int code = SaveDatabaseSession.LastError();
        if (FileNeedsAttention(code)) return AnswerFailure(code, reason);
        ShowDialogReadFailure(caption, reason);
        return false;
    });
    NoteFile();
    return slot;
}

std::int32_t OpenCheckedSaveLoadDialog(host::ModalUi& modal, int mode, const SaveFileTrouble& trouble) {
    const std::int32_t slot = OpenSaveLoadDialog(modal, mode, trouble);
    if (mode != SaveLoadDialog::kLoadMode || slot == -1) return slot;
    try {
        CheckSlotLoads(slot + 1);
        return slot;
    } catch (const ExceptionHandle& error) {
        if (error.type == 1) throw;
        ShowLoadFailure(std::u16string_view(error.message));
        return -1;
    }
}
