#include "screens/save_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
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

// The files SQLite keeps beside a database; a hot journal left beside a new file of the same name
// would be played into it, so each goes aside with its database.
constexpr const char* kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};
constexpr std::u16string_view kDatExtension = u".dat";
// More files kept aside within one second than anyone makes by hand.
constexpr int kMaxAsideTries = 100;

// The last part of a path: what the player finds beside the save file.
std::u16string_view FileName(std::u16string_view path) { return path.substr(path.find_last_of(u'/') + 1); }

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Gives `from` the name `to` without replacing a file of that name: a hard link first, and a
// rename where the file system has no links. Empty on success, else the system's words.
std::string MoveBeside(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0 ? "" : std::strerror(errno);
    if (errno == EEXIST) return std::strerror(errno);
    if (Exists(to)) return std::strerror(EEXIST);
    return std::rename(from.c_str(), to.c_str()) == 0 ? "" : std::strerror(errno);
}

// How many bytes of slots a copy into a new file reads from the file kept aside before it writes
// them: a few dozen slots of a real game, bounded so that damaged files of any size cost no more.
constexpr std::size_t kCopyBatchBytes = std::size_t{8} << 20;
// A file kept aside that another program holds is not waited for: nothing of it is copied.
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

}  // namespace

void ReadGlobalRecords(ScriptStateGroup_App& group) {
    {
        // Checked before anything is written, so that a damaged file kept aside is as it was. Only
        // a file that holds the records' table is completed here: one without it is a first
        // start, which LoadGlobalData writes whole.
        const DatabaseScope scope = OpenSaveDatabase();
        CheckSaveColumns();
        if (SaveTableExists(u"global")) CreateSaveSchema();
    }
    LoadGlobalData(group);
}

int CopyReadableSaves(const std::u16string& aside) {
    std::optional<std::vector<std::uint8_t>> common, scene, album;
    int copied = 0;
    try {
        {
            // First, so that the new file is whole whatever the old one still gives.
            const DatabaseScope write = OpenSaveDatabase();
            CreateSaveSchema();
        }
        {
            const DatabaseScope read(SaveDatabaseSession, aside, kAsideBusyTimeout);
            common = ReadStoredRecord(u"COMMON", [] {
                std::vector<std::uint8_t> record(kCommonRecordBytes);
                const bool written =
                    ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(record.data(), kCommonRecordBytes));
                return written ? std::optional(std::move(record)) : std::nullopt;
            });
            // As the cycle reads them: one byte past the limit, which tells a list that goes on.
            scene = ReadStoredRecord(u"SCENE", [] { return std::optional(ReadSceneData(kMaxListBytes + 1)); });
            album = ReadStoredRecord(u"ALBUM", [] { return std::optional(ReadAlbumData(kMaxListBytes + 1)); });
        }
        {
            const DatabaseScope write = OpenSaveDatabase();
            if (common)
                WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(common->data(), kCommonRecordBytes));
            if (scene) WriteSceneData(*scene);
            if (album) WriteAlbumData(*album);
        }
        // Each slot on its own, so that a page that cannot be read costs only the slots on it; the
        // slots are written a batch at a time, the file kept aside and the new one taking turns.
        for (std::int32_t number = 1; number <= kSlotCount;) {
            std::vector<StoredSlot> batch;
            std::size_t bytes = 0;
            {
                const DatabaseScope read(SaveDatabaseSession, aside, kAsideBusyTimeout);
                for (; number <= kSlotCount && bytes < kCopyBatchBytes; ++number) {
                    std::optional<StoredSlot> slot = ReadStoredSlot(number);
                    if (!slot) continue;
                    bytes += slot->header.size() + slot->variables.size();
                    batch.push_back(std::move(*slot));
                }
            }
            if (batch.empty()) continue;
            {
                const DatabaseScope write = OpenSaveDatabase();
                for (const StoredSlot& slot : batch) {
                    WriteEntryHeader(slot.number, std::span<const std::uint8_t, kSaveData2Bytes>(slot.header.data(),
                                                                                                 kSaveData2Bytes));
                    WriteEntryBacklog(slot.number);
                    WriteSlotVariables(slot.number, std::span<const std::uint8_t>(slot.variables));
                }
            }
            copied += static_cast<int>(batch.size());
        }
    } catch (const ExceptionHandle& error) {
        // The file kept aside cannot be opened at all, or the new one cannot be written: what was
        // committed stays, and the new file is met like any other by what comes next.
        if (error.type == 1) throw;
        DebugPrintf(u"copy from %s: %s\n", aside, std::u16string_view(error.message));
    }
    return copied;
}

std::u16string AsideName(const std::u16string& path, std::time_t when) {
    std::u16string stem = path;
    if (stem.size() >= kDatExtension.size() && stem.ends_with(kDatExtension))
        stem.resize(stem.size() - kDatExtension.size());
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    const std::u16string base = stem + Utf8ToUtf16(stamp);
    for (int n = 1; n < kMaxAsideTries; ++n) {
        const std::u16string name = base + (n == 1 ? u"" : u"-" + Utf8ToUtf16(std::to_string(n))) + u".dat";
        const std::string native = Utf16ToUtf8(name);
        bool taken = Exists(native);
        for (const char* suffix : kCompanionSuffixes) taken = taken || Exists(native + suffix);
        if (!taken) return name;
    }
    return base + u"-" + Utf8ToUtf16(std::to_string(kMaxAsideTries)) + u".dat";
}

std::u16string KeepAside(const std::u16string& path, const std::u16string& aside) {
    const std::string from = Utf16ToUtf8(path);
    const std::string to = Utf16ToUtf8(aside);
    // The journals first: while the database keeps its name, a crash here leaves it whole beside
    // its journal (and a copy of the journal under the new name).
    for (const char* suffix : kCompanionSuffixes)
        if (Exists(from + suffix)) ::link((from + suffix).c_str(), (to + suffix).c_str());
    if (Exists(from)) {
        if (const std::string failed = MoveBeside(from, to); !failed.empty()) return Utf8ToUtf16(from + ": " + failed);
    }
    for (const char* suffix : kCompanionSuffixes) {
        if (!Exists(from + suffix)) continue;
        // Linked above, or moved now where the file system has no links.
        const bool linked = Exists(to + suffix);
        const int result =
            linked ? ::unlink((from + suffix).c_str()) : std::rename((from + suffix).c_str(), (to + suffix).c_str());
        if (result != 0) return Utf8ToUtf16(from + suffix + ": " + std::strerror(errno));
    }
    return {};
}

void SaveStore::LoadGlobal(ScriptStateGroup_App& group) {
    if (state_ == State::kUnchecked) return OpenAtStart(group);
    if (state_ == State::kOff || unsaved_) return UseKeptRecords(group);
    try {
        ReadGlobalRecords(group);
    } catch (const ExceptionHandle& error) {
        if (error.type == 1) throw;
        // The records in memory are the newest there are (the last cycle end wrote them, or they
        // wait to be written): this cycle goes on with them.
        ShowMessage(u"エラー",
                    FormatString(u"セーブファイルを読み込めませんでした。\n%s\n（%s）\n\n今の記録のまま続けます。",
                                 SaveDatabasePath(), std::u16string_view(error.message)),
                    kMbOk | kMbIconExclamation);
        UseKeptRecords(group);
    }
}

void SaveStore::OpenAtStart(ScriptStateGroup_App& group) {
    for (;;) {
        try {
            // A second read (after a retry or a new file) starts from what the cycle start left.
            group.ClearSceneNames();
            SeenCgList.clear();
            ReadGlobalRecords(group);
            // A file that reads but cannot take a write would fail every save of the session.
            CheckSaveWritable();
            state_ = State::kInUse;
            return;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1) throw;
            switch (AskAboutFile(std::u16string_view(error.message), FileHeld(SaveDatabaseSession.LastError()), true)) {
                case FileAnswer::kTryAgain: break;
                case FileAnswer::kGiveUp:
                case FileAnswer::kPlayWithout: TurnOff(group.services()); return UseKeptRecords(group);
            }
        }
    }
}

SaveStore::FileAnswer SaveStore::AskAboutFile(std::u16string_view reason, bool held, bool at_start) {
    const std::u16string path = SaveDatabasePath();
    const std::u16string aside = AsideName(path);
    const std::u16string_view aside_name = FileName(aside);
    if (held) {
        const int answer = ShowMessage(
            u"エラー",
            FormatString(
                u"セーブファイルを他のプログラムが使っています。\n%s\n（%s）\n\n%s\n[再試行] もう一度開きます。\n"
                u"[無視] このファイルを「%s」として残し、新しいセーブファイルで%sます。",
                path, reason,
                at_start ? u"[中止] セーブとロードをせずに続けます。" : u"[中止] 今はセーブもロードもしません。",
                aside_name, at_start ? u"始め" : u"続け"),
            kMbAbortRetryIgnore | kMbIconExclamation | kMbDefaultButton2);
        if (answer == kIdRetry) return FileAnswer::kTryAgain;
        if (answer != kIdIgnore) return at_start ? FileAnswer::kPlayWithout : FileAnswer::kGiveUp;
    } else {
        const int answer =
            ShowMessage(u"エラー",
                        at_start ? FormatString(u"セーブファイルを使えません。\n%s\n（%s）\n\n"
                                                u"このファイルを「%s」として残し、新しいセーブファイルで始めますか？\n"
                                                u"読み込めるセーブデータは新しいファイルに移します。\n"
                                                u"[いいえ] セーブとロードをせずに続けます。",
                                                path, reason, aside_name)
                                 : FormatString(u"セーブファイルに書き込めません。\n%s\n（%s）\n\n"
                                                u"このファイルを「%s」として残し、新しいセーブファイルで続けますか？\n"
                                                u"読み込めるセーブデータは新しいファイルに移します。\n"
                                                u"[いいえ] これからはセーブとロードをせずに続けます。",
                                                path, reason, aside_name),
                        kMbYesNo | kMbIconExclamation);
        if (answer != kIdYes) return FileAnswer::kPlayWithout;
    }
    return MoveToNewFile(path, aside) ? FileAnswer::kTryAgain : FileAnswer::kPlayWithout;
}

bool SaveStore::MoveToNewFile(const std::u16string& path, const std::u16string& aside) {
    if (const std::u16string failed = KeepAside(path, aside); !failed.empty()) {
        // A file that cannot be moved stays where it is: asking again would fail again.
        ShowMessage(u"エラー",
                    FormatString(u"ファイルを移せませんでした。\n%s\n\nセーブとロードをせずに続けます。", failed),
                    kMbOk | kMbIconStop);
        return false;
    }
    DebugPrintf(u"save.dat kept aside as %s\n", aside);
    const int copied = CopyReadableSaves(aside);
    ShowMessage(u"セーブ",
                FormatString(u"%d 件のセーブデータを新しいファイルに移しました。\n（元のファイル: %s）", copied,
                             FileName(aside)),
                kMbOk | kMbIconInformation);
    return true;
}

bool SaveStore::AnswerFailure(std::u16string_view reason) {
    const int code = SaveDatabaseSession.LastError();
    if (!FileHeld(code) && !FileRefusesWrites(code)) return false;
    switch (AskAboutFile(reason, FileHeld(code), false)) {
        case FileAnswer::kTryAgain: return true;
        case FileAnswer::kGiveUp: return false;
        case FileAnswer::kPlayWithout: TurnOff(CurrentScript ? CurrentScript->services() : nullptr); return false;
    }
    return false;
}

void SaveStore::TurnOff(const GameCycleServices* services) {
    state_ = State::kOff;
    DebugPrintf(u"save.dat is not used in this session\n");
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

void SaveStore::SaveGlobal(const ScriptStateGroup_App& group) {
    keptScenes_ = group.scene_names();
    keptAlbum_ = SeenCgList;
    bool offered = false;
    while (state_ == State::kInUse) {
        try {
            SaveGlobalData(group);
            unsaved_ = false;
            return;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1) throw;
            unsaved_ = true;
            if (ErrorTravelling()) {
                DebugPrintf(u"SaveGlobalData: %s\n", std::u16string_view(error.message));
                return;
            }
            // A file that cannot take a write is never offered the write again: a new file is.
            if (FileRefusesWrites(SaveDatabaseSession.LastError())) {
                if (std::exchange(offered, true) || !AnswerFailure(std::u16string_view(error.message))) return;
                continue;
            }
            const int answer = ShowMessage(
                u"エラー",
                FormatString(u"既読と解放の記録をセーブファイルに書き込めませんでした。\n%s\n（%s）\n\n"
                             u"もう一度書き込みますか？\n"
                             u"[いいえ] 今は書き込みません。ゲームを続けるなら、次のセーブのときに書き込みます。",
                             SaveDatabasePath(), std::u16string_view(error.message)),
                kMbYesNo | kMbIconExclamation);
            if (answer != kIdYes) return;
        }
    }
}

std::int32_t SaveStore::AutoSave() {
    if (Off()) return 0;
    std::u16string error;
    if (::AutoSave(&error) == 1) return 1;
    // A held file keeps the notice: the next press of the button tries again. A file that cannot
    // take a write gets a new file (the save made again there) or the session plays without.
    if (!FileRefusesWrites(SaveDatabaseSession.LastError()) || !AnswerFailure(error)) return 0;
    return ::AutoSave();
}

std::int32_t SaveStore::FindQuickLoadSlot() {
    if (Off()) return -1;
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
        ShowLoadFailure(std::u16string_view(error.message));
        return -1;
    }
}

std::int32_t SaveStore::OpenDialog(host::ModalUi& modal, int mode) {
    if (Off()) return -1;
    const std::u16string_view caption = mode == SaveLoadDialog::kLoadMode ? u"ロード" : u"セーブ";
    return OpenCheckedSaveLoadDialog(modal, mode, [this, caption](std::u16string_view reason) {
        const int code = SaveDatabaseSession.LastError();
        if (FileHeld(code) || FileRefusesWrites(code)) return AnswerFailure(reason);
        ShowDialogReadFailure(caption, reason);
        return false;
    });
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
