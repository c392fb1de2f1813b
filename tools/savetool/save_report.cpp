#include "save_report.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/game_data.h"
#include "app/script_helpers.h"
#include "app/start_data.h"
#include "lib/error.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_records.h"
#include "screens/save_slots.h"
#include "script/script_node.h"
#include "sha256.h"

namespace savetool {

namespace {

// The start of an SQLite 3 file: its magic text, and the write and read versions at bytes 18 and
// 19, which are 2 in a write-ahead-log file.
constexpr char kSqliteMagic[] = "SQLite format 3";
constexpr std::size_t kWriteVersionOffset = 18;
constexpr std::size_t kReadVersionOffset = 19;
constexpr std::uint8_t kWalVersion = 2;

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8(text); }

// An error's message without the line ends it closes with.
std::string Trimmed(std::u16string_view message) {
    std::string text = Utf8(message);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

[[noreturn]] void Refuse(const std::string& message) { throw SaveRefusal(message); }

[[noreturn]] void RefuseRecord(const std::string& what, SaveBlobError error) {
    Refuse(what + ": " + Utf8(DescribeSaveBlobError(error)));
}

// Whether SQLite itself takes the journal beside the file for the journal of an interrupted
// write, which the game's connection would roll back into the file on opening. A journal that is
// empty, zeroed, or held by a writer that is still at work is no such journal. SQLite is asked
// through a read-only connection, which answers SQLITE_READONLY_ROLLBACK where it would roll back.
bool HasHotJournal(const std::string& path) {
    sqlite3* database = nullptr;
    const ScopeExit close([&database] { sqlite3_close(database); });
    if (sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return false;
    sqlite3_extended_result_codes(database, 1);
    return sqlite3_exec(database, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) ==
           SQLITE_READONLY_ROLLBACK;
}

// Refuses what the game's connection cannot open without changing: a missing file (SQLite would
// create it), anything but a regular file, a write-ahead-log file (the session turns it back into
// a rollback journal) and a journal left by an interrupted write (SQLite would roll it back into
// the file). Whatever else is wrong with the file, SQLite's own open tells.
void CheckReadable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) Refuse("cannot open " + path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) Refuse(path + " is not a regular file");
    std::ifstream in(path, std::ios::binary);
    std::array<char, 20> start{};
    // A file shorter than a header is not in write-ahead-log mode.
    if (in.read(start.data(), start.size()) && std::memcmp(start.data(), kSqliteMagic, sizeof kSqliteMagic) == 0 &&
        (static_cast<std::uint8_t>(start[kWriteVersionOffset]) == kWalVersion ||
         static_cast<std::uint8_t>(start[kReadVersionOffset]) == kWalVersion)) {
        Refuse(path + " is in write-ahead-log mode; opening it as the game does would change it");
    }
    struct stat journal {};
    if (::stat((path + "-journal").c_str(), &journal) == 0 && HasHotJournal(path)) {
        Refuse(path +
               " has a journal of an unfinished write beside it; the game rolls it back when it next opens "
               "the file, and this tool changes nothing");
    }
}

std::string SlotName(std::int32_t number) { return "slot " + std::to_string(number); }

// The story a load is checked against: the start script of the data folder, compiled as the game
// compiles it. The archives are open only while it is read.
std::unique_ptr<TextScript::ScriptStateGroup> ReadStory(const std::string& data_folder) {
    const ScopeExit close_archives([] {
        SystemArchive.Reset();
        ScriptArchive.Reset();
        SoundArchive.Reset();
    });
    OpenDataArchives(DataBaseFolder(Utf8ToUtf16(data_folder)), false);
    auto story = std::make_unique<TextScript::ScriptStateGroup>();
    story->Compile(LoadScriptFile(kStartScript), kStartScript);
    return story;
}

// The slot as a load reads it: the record and the variables, decoded and checked.
SlotContents ReadSlot(std::int32_t number, const TextScript::ScriptStateGroup* story) {
    Decoded<SlotContents> slot = ReadSlotContents(number, story);
    if (!slot.ok()) RefuseRecord(SlotName(number), slot.error);
    return std::move(slot.value);
}

std::string FormatTime(const SaveTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", unsigned{time.wYear}, unsigned{time.wMonth},
                  unsigned{time.wDay}, unsigned{time.wHour}, unsigned{time.wMinute}, unsigned{time.wSecond});
    return text;
}

// One line per occupied slot, in number order: number, time, page, comment, tab-separated; a slot
// that a load would refuse is listed as the dialog lists it, unreadable, with the reason.
std::string List(const TextScript::ScriptStateGroup* story) {
    std::string lines;
    for (std::int32_t number = 1; number <= kSlotCount; ++number) {
        if (!SlotExists(number)) continue;
        Decoded<SlotContents> slot;
        try {
            slot = ReadSlotContents(number, story);
        } catch (const ExceptionHandle& error) {
            // A record of another size or a row the database cannot read: the other slots still are.
            lines += std::to_string(number) + "\tunreadable\t" + Trimmed(error.message) + '\n';
            continue;
        }
        if (!slot.ok()) {
            lines += std::to_string(number) + "\tunreadable\t" + Utf8(DescribeSaveBlobError(slot.error)) + '\n';
            continue;
        }
        const SAVEDATA2& record = slot.value.record;
        lines += std::to_string(number) + '\t' + FormatTime(record.time) + '\t' + std::to_string(record.resumePage) +
                 '\t' + Utf8(record.comment) + '\n';
    }
    return lines;
}

// The thumbnail as the dialog draws it: blank for an all-zero area (the grey field), else the
// fingerprint of its pixels, black ones too.
std::string Thumbnail(std::int32_t number, const SAVEDATA2& record) {
    switch (record.thumbnailState) {
        case SlotThumbnail::kBlank: return "blank";
        case SlotThumbnail::kPicture: return Sha256Hex(record.thumbnail);
        case SlotThumbnail::kUnreadable: break;
    }
    RefuseRecord(SlotName(number) + " header", SaveBlobError::kBadThumbnail);
}

// The page, the five scene records, the thumbnail's fingerprint and the variables in blob order,
// the order a load sets them.
std::string Show(std::int32_t number, const TextScript::ScriptStateGroup* story) {
    if (!SlotExists(number)) Refuse(SlotName(number) + " is empty");
    const auto [record, variables] = ReadSlot(number, story);

    std::string lines = "page " + std::to_string(record.resumePage) + '\n';
    for (std::size_t i = 0; i < record.scenes.size(); ++i) {
        const std::string name = Utf8(SceneName(record.scenes[i]));
        lines += "scene " + std::to_string(i) + ' ' + std::to_string(record.scenes[i].mode) +
                 (name.empty() ? "" : ' ' + name) + '\n';
    }
    lines += "thumbnail " + Thumbnail(number, record) + '\n';
    for (const VariableBlobEntry& variable : variables) {
        lines += "var " + Utf8(variable.name) + ' ' + std::to_string(variable.value) + '\n';
    }
    return lines;
}

// A name list row; a NULL (never written) or empty row is an empty list, as for the game.
// A damaged one, which the game salvages, is refused here so that the damage is seen.
std::vector<std::u16string> ReadNames(const std::vector<std::uint8_t>& blob, const char* row) {
    if (blob.empty()) return {};
    Salvaged<std::vector<std::u16string>> names = DecodeNameList(blob);
    if (names.damage != SaveBlobError::kNone) RefuseRecord(row, names.damage);
    return std::move(names.value);
}

std::string Globals() {
    std::array<std::uint8_t, kCommonRecordBytes> bytes{};
    if (!ReadCommonData(bytes)) Refuse("the COMMON record was never written");
    const Salvaged<CommonRecord> common = DecodeCommonRecord(bytes);
    if (common.damage != SaveBlobError::kNone) RefuseRecord("COMMON", common.damage);

    std::string lines = "last-slot " + std::to_string(common.value.LastUsedSlot) + '\n';
    lines += "hero1 " + Utf8(common.value.PlayerName1) + '\n';
    lines += "hero2 " + Utf8(common.value.PlayerName2) + '\n';
    lines += "seen";
    for (std::int32_t page = 0; page < kSeenPageCount; ++page) {
        if (common.value.SeenFlags[page >> 3] & (0x80 >> (page & 7))) lines += ' ' + std::to_string(page);
    }
    lines += '\n';
    for (const std::u16string& name : ReadNames(ReadSceneData(kMaxListBytes + 1), "SCENE"))
        lines += "scene " + Utf8(name) + '\n';
    for (const std::u16string& name : ReadNames(ReadAlbumData(kMaxListBytes + 1), "ALBUM"))
        lines += "album " + Utf8(name) + '\n';
    lines += "latest-auto " + std::to_string(FindLatestAutoSave()) + '\n';
    return lines;
}

// The lines of one report, read inside one scope of the game's session on the file named. The slot
// operations open their own scopes inside it, which only count, so they read this file and not
// the game's "save.dat". The scope only reads, so its COMMIT (or the ROLLBACK after a refusal)
// leaves the file as it was.
std::string Read(const std::string& path, Report report, std::int32_t number,
                 const TextScript::ScriptStateGroup* story) {
    const DatabaseScope scope(SaveDatabaseSession, Utf8ToUtf16(path));
    if (!SaveSchemaExists()) Refuse(path + " is not a save file: it lacks the tables global and entry");
    switch (report) {
        case Report::kList: return List(story);
        case Report::kShow: return Show(number, story);
        case Report::kGlobals: return Globals();
    }
    Refuse("unknown report");
}

}  // namespace

std::string ReadSaveReport(const std::string& path, Report report, std::int32_t number,
                           const std::string& data_folder) {
    CheckReadable(path);
    std::unique_ptr<TextScript::ScriptStateGroup> story;
    try {
        if (!data_folder.empty()) story = ReadStory(data_folder);
    } catch (const ExceptionHandle& error) {
        // A data folder without the game's archives, or a start script that does not compile.
        Refuse(data_folder + ": " + Trimmed(error.message));
    }
    try {
        return Read(path, report, number, story.get());
    } catch (const ExceptionHandle& error) {
        // The save database's own errors: SQLite's message, or a record of the wrong size.
        Refuse(path + ": " + Trimmed(error.message));
    }
}

}  // namespace savetool
