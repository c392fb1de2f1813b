#include "screens/save_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>

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

bool IsBusy(int code) { return code == SQLITE_BUSY || code == SQLITE_LOCKED; }

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Gives `from` the name `to` without replacing a file of that name: a hard link first, and a
// rename where the file system has no links. Empty on success, else the system's words.
std::string MoveBeside(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0 ? "" : std::strerror(errno);
    if (errno == EEXIST) return std::strerror(errno);
    if (Exists(to)) return std::strerror(EEXIST);
    return std::rename(from.c_str(), to.c_str()) == 0 ? "" : std::strerror(errno);
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
            ReadGlobalRecords(group);
            state_ = State::kInUse;
            return;
        } catch (const ExceptionHandle& error) {
            if (error.type == 1) throw;
            const bool busy = IsBusy(SaveDatabaseSession.LastError());
            const std::u16string path = SaveDatabasePath();
            const std::u16string aside = AsideName(path);
            switch (AskAtStart(std::u16string_view(error.message), busy, aside)) {
                case StartAnswer::kRetry: break;
                case StartAnswer::kKeepAside:
                    if (const std::u16string failed = KeepAside(path, aside); !failed.empty())
                        ShowMessage(u"エラー", FormatString(u"ファイルを移せませんでした。\n%s", failed),
                                    kMbOk | kMbIconStop);
                    else
                        DebugPrintf(u"save.dat kept aside as %s\n", aside);
                    break;
                case StartAnswer::kPlayWithout: return TurnOff(group);
            }
        }
    }
}

SaveStore::StartAnswer SaveStore::AskAtStart(std::u16string_view reason, bool busy, const std::u16string& aside) {
    const std::u16string path = SaveDatabasePath();
    const std::u16string_view aside_name = std::u16string_view(aside).substr(aside.find_last_of(u'/') + 1);
    if (busy) {
        const int answer =
            ShowMessage(u"エラー",
                        FormatString(u"セーブファイルを他のプログラムが使っています。\n%s\n（%s）\n\n"
                                     u"[中止] セーブとロードをせずに続けます。\n[再試行] もう一度開きます。\n"
                                     u"[無視] このファイルを「%s」として残し、新しいセーブファイルで始めます。",
                                     path, reason, aside_name),
                        kMbAbortRetryIgnore | kMbIconExclamation | kMbDefaultButton2);
        if (answer == kIdRetry) return StartAnswer::kRetry;
        return answer == kIdIgnore ? StartAnswer::kKeepAside : StartAnswer::kPlayWithout;
    }
    const int answer = ShowMessage(u"エラー",
                                   FormatString(u"セーブファイルを使えません。\n%s\n（%s）\n\n"
                                                u"このファイルを「%s」として残し、新しいセーブファイルで始めますか？\n"
                                                u"[いいえ] セーブとロードをせずに続けます。",
                                                path, reason, aside_name),
                                   kMbYesNo | kMbIconExclamation);
    return answer == kIdYes ? StartAnswer::kKeepAside : StartAnswer::kPlayWithout;
}

void SaveStore::TurnOff(ScriptStateGroup_App& group) {
    state_ = State::kOff;
    DebugPrintf(u"save.dat is not used in this session\n");
    if (const GameCycleServices* services = group.services(); services && services->menu) {
        services->menu->MakeUnavailable(kMenuSave);
        services->menu->MakeUnavailable(kMenuLoad);
    }
    UseKeptRecords(group);
}

void SaveStore::UseKeptRecords(ScriptStateGroup_App& group) const {
    group.ClearSceneNames();
    for (const std::u16string& name : keptScenes_) group.AddSceneName(name);
    SeenCgList = keptAlbum_;
}

void SaveStore::SaveGlobal(const ScriptStateGroup_App& group) {
    keptScenes_ = group.scene_names();
    keptAlbum_ = SeenCgList;
    if (state_ != State::kInUse) return;
    for (;;) {
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

std::int32_t SaveStore::AutoSave() { return Off() ? 0 : ::AutoSave(); }

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

std::int32_t OpenCheckedSaveLoadDialog(host::ModalUi& modal, int mode) {
    const std::int32_t slot = OpenSaveLoadDialog(modal, mode);
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
