#include "save_report.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "lib/error.h"
#include "lib/text.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_records.h"
#include "screens/save_slots.h"
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

[[noreturn]] void Refuse(const std::string& message) { throw SaveRefusal(message); }

[[noreturn]] void RefuseRecord(const std::string& what, SaveBlobError error) {
    Refuse(what + ": " + Utf8(DescribeSaveBlobError(error)));
}

// Refuses what the game's connection cannot open without changing: a missing file (SQLite would
// create it), anything but a regular file, a journal left by an interrupted write (SQLite would
// roll it back into the file) and a write-ahead-log file (the session turns it back into a rollback
// journal).
void CheckReadable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) Refuse("cannot open " + path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) Refuse(path + " is not a regular file");
    struct stat journal {};
    if (::stat((path + "-journal").c_str(), &journal) == 0) {
        Refuse(path +
               " has a journal of an unfinished write beside it; the game rolls it back when it next opens "
               "the file, and this tool changes nothing");
    }
    std::ifstream in(path, std::ios::binary);
    std::array<char, 20> start{};
    if (!in.read(start.data(), start.size())) return;  // shorter than a header: SQLite's answer decides
    if (std::memcmp(start.data(), kSqliteMagic, sizeof kSqliteMagic) == 0 &&
        (static_cast<std::uint8_t>(start[kWriteVersionOffset]) == kWalVersion ||
         static_cast<std::uint8_t>(start[kReadVersionOffset]) == kWalVersion)) {
        Refuse(path + " is in write-ahead-log mode; opening it as the game does would change it");
    }
}

std::string SlotName(std::int32_t number) { return "slot " + std::to_string(number); }

// The slot as a load reads it: the record decoded and checked.
SAVEDATA2 ReadSlot(std::int32_t number) {
    Decoded<SAVEDATA2> record = ReadSlotRecord(number);
    if (!record.ok()) RefuseRecord(SlotName(number) + " header", record.error);
    return std::move(record.value);
}

std::string FormatTime(const SaveTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", unsigned{time.wYear}, unsigned{time.wMonth},
                  unsigned{time.wDay}, unsigned{time.wHour}, unsigned{time.wMinute}, unsigned{time.wSecond});
    return text;
}

// One line per occupied slot, in number order: number, time, page, comment, tab-separated.
std::string List() {
    std::string lines;
    for (std::int32_t number = 1; number <= kSlotCount; ++number) {
        if (!SlotExists(number)) continue;
        const SAVEDATA2 record = ReadSlot(number);
        lines += std::to_string(number) + '\t' + FormatTime(record.time) + '\t' + std::to_string(record.resumePage) +
                 '\t' + Utf8(record.comment) + '\n';
    }
    return lines;
}

// The page, the five scene records, the thumbnail's fingerprint and the variables in blob order,
// the order a load sets them.
std::string Show(std::int32_t number) {
    if (!SlotExists(number)) Refuse(SlotName(number) + " is empty");
    const SAVEDATA2 record = ReadSlot(number);
    const std::vector<VariableBlobEntry> variables = ReadSlotVariableEntries(number);

    std::string lines = "page " + std::to_string(record.resumePage) + '\n';
    for (std::size_t i = 0; i < record.scenes.size(); ++i) {
        const std::string name = Utf8(SceneName(record.scenes[i]));
        lines += "scene " + std::to_string(i) + ' ' + std::to_string(record.scenes[i].mode) +
                 (name.empty() ? "" : ' ' + name) + '\n';
    }
    const bool blank =
        std::all_of(record.thumbnail.begin(), record.thumbnail.end(), [](std::uint8_t byte) { return byte == 0; });
    lines += "thumbnail " + (blank ? std::string("blank") : Sha256Hex(record.thumbnail)) + '\n';
    for (const VariableBlobEntry& variable : variables) {
        lines += "var " + Utf8(variable.name) + ' ' + std::to_string(variable.value) + '\n';
    }
    return lines;
}

// A name list row; a NULL (never written) or empty row is an empty list, as for the game.
std::vector<std::u16string> ReadNames(const std::vector<std::uint8_t>& blob, const char* row) {
    if (blob.empty()) return {};
    Decoded<std::vector<std::u16string>> names = DecodeNameList(blob);
    if (!names.ok()) RefuseRecord(row, names.error);
    return std::move(names.value);
}

std::string Globals() {
    std::array<std::uint8_t, kCommonRecordBytes> bytes{};
    if (!ReadCommonData(bytes)) Refuse("the COMMON record was never written");
    const Decoded<CommonRecord> common = DecodeCommonRecord(bytes);
    if (!common.ok()) RefuseRecord("COMMON", common.error);

    std::string lines = "last-slot " + std::to_string(common.value.LastUsedSlot) + '\n';
    lines += "hero1 " + Utf8(common.value.PlayerName1) + '\n';
    lines += "hero2 " + Utf8(common.value.PlayerName2) + '\n';
    lines += "seen";
    for (std::int32_t page = 0; page < kSeenPageCount; ++page) {
        if (common.value.SeenFlags[page >> 3] & (0x80 >> (page & 7))) lines += ' ' + std::to_string(page);
    }
    lines += '\n';
    for (const std::u16string& name : ReadNames(ReadSceneData(), "SCENE")) lines += "scene " + Utf8(name) + '\n';
    for (const std::u16string& name : ReadNames(ReadAlbumData(), "ALBUM")) lines += "album " + Utf8(name) + '\n';
    lines += "latest-auto " + std::to_string(FindLatestAutoSave()) + '\n';
    return lines;
}

// The lines of one report, read inside one scope of the game's session on the file named. The slot
// operations open their own scopes inside it, which only count, so they read this file and not
// the game's "save.dat". The scope only reads, so its COMMIT (or the ROLLBACK after a refusal)
// leaves the file as it was.
std::string Read(const std::string& path, Report report, std::int32_t number) {
    const DatabaseScope scope(SaveDatabaseSession, Utf8ToUtf16(path));
    if (!SaveSchemaExists()) Refuse(path + " is not a save file: it lacks the tables global and entry");
    switch (report) {
        case Report::kList: return List();
        case Report::kShow: return Show(number);
        case Report::kGlobals: return Globals();
    }
    Refuse("unknown report");
}

}  // namespace

std::string ReadSaveReport(const std::string& path, Report report, std::int32_t number) {
    CheckReadable(path);
    try {
        return Read(path, report, number);
    } catch (const ExceptionHandle& error) {
        // The save database's own errors: SQLite's message, or a record of the wrong size.
        std::string message = Utf8(error.message);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        Refuse(path + ": " + message);
    }
}

}  // namespace savetool
