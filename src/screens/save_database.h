// The save database "save.dat" in the settings folder: the numbered save slots (table `entry`)
// and the three global records (rows SCENE, ALBUM and COMMON of table `global`).
//
// Every operation below runs inside an open database scope (OpenSaveDatabase): the scopes nest,
// the first opens the file and begins one transaction, the outermost commits it, or rolls it
// back when a scope is left by an exception, so a save is written whole or not at all. Every
// failure raises the error exception with the source "script/scr_gui", the line of the statement
// and SQLite's message; the caller shows it and the game goes on.
//
// The blobs are handed over as bytes; their layouts belong to the slot and global records.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/database_session.h"
#include "screens/save_records.h"

// The one session of the save database.
extern DatabaseSession SaveDatabaseSession;

// The settings folder followed by "save.dat".
std::u16string SaveDatabasePath();
// A failure of the save file for the player: the cause in their words (held by another program,
// damaged, read only, the disk full...), then SQLite's own text; any other failure as it is.
std::u16string DescribeSaveFailure(int code, std::u16string_view message);
// A scope of the save database, to be held until its work is done:
//   const DatabaseScope scope = OpenSaveDatabase();
DatabaseScope OpenSaveDatabase(std::chrono::milliseconds busy_timeout = kDatabaseBusyTimeout);
// A scope of the save database at `path` opened for reading only (DatabaseAccess::kInspect).
DatabaseScope InspectSaveDatabase(const std::u16string& path,
                                  std::chrono::milliseconds busy_timeout = kDatabaseBusyTimeout);

// True when the file holds both tables. SQLite creates an empty file when it opens a missing one,
// so the tables, not the file, tell whether the schema was ever committed.
bool SaveSchemaExists();
// True when the file holds the table `table` ("global" or "entry").
bool SaveTableExists(std::u16string_view table);
// Raises the error exception when a table of the file lacks one of the schema's columns.
void CheckSaveColumns();
// Creates the UTF-16LE schema: the tables `global` and `entry` and the rows SCENE, ALBUM, COMMON
// (ids 1, 2, 3) with NULL values. The caller writes the first values in the same scope. On a file
// that lost part of it, only the missing tables and rows are made (a NULL row reads as never
// written); what the file holds, its slots above all, is left as it is.
void CreateSaveSchema();

// Reads every page of the file as SQLite's quick check does (the tables' trees, the free-page
// list, which page belongs to what): the error exception with SQLite's first finding and the code
// SQLITE_CORRUPT when something is wrong. A free page that a slot still uses is found here before
// a save would take it and overwrite the slot.
void CheckSaveIntegrity();
// How many slots 1 to 99 the file holds.
std::int32_t CountSlots();

// Makes the writes a save makes (the slot table searched, a slot's record stored on pages taken
// from the file's free pages) to a number no slot uses, then rolls them back: the error exception
// when the file cannot take them; the file holds what it held either way. Called with no scope
// open, since its scope's transaction is the one rolled back.
void CheckSaveWritable();

// The line of the error a COMMON record of another size raises: the record is damaged, the
// database is not.
inline constexpr std::uint32_t kCommonRecordSizeLine = 3451;

void WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes> record);
// Copies the stored COMMON record into `record`; false, copying nothing, while it was never
// written (NULL). A record of another size is refused with the error exception.
bool ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes> record);
// The readers of the lists and of the variable blob copy no more than the first `limit` bytes of
// what is stored, so that a damaged record of any size costs no more memory than the limit (ask
// for one byte past the most you read to tell a longer record). They are empty while nothing
// was written (NULL), and for a number stored in place of a record.
void WriteSceneData(std::span<const std::uint8_t> blob);
std::vector<std::uint8_t> ReadSceneData(std::size_t limit = SIZE_MAX);
void WriteAlbumData(std::span<const std::uint8_t> blob);
std::vector<std::uint8_t> ReadAlbumData(std::size_t limit = SIZE_MAX);

// `number` is a slot number, 1 to 99 (100 while the quick-save ring turns).
bool EntryExists(std::int32_t number);
// The slot's header record; a missing slot or a header of another size is an error.
void ReadEntryHeader(std::int32_t number, std::span<std::uint8_t, kSaveData2Bytes> record);
// Updates the slot's header, or inserts the slot when it has no row.
void WriteEntryHeader(std::int32_t number, std::span<const std::uint8_t, kSaveData2Bytes> record);
// Replaces the comment (narrow text, cut to 35 bytes) of an existing slot; a missing slot is left.
void UpdateEntryHeader(std::int32_t number, std::string_view comment);
// Sets the slot's backlog to NULL.
void WriteEntryBacklog(std::int32_t number);
void WriteSlotVariables(std::int32_t number, std::span<const std::uint8_t> blob);
// A copy of the slot's variable blob, bounded as the lists are; a missing slot is an error.
std::vector<std::uint8_t> ReadSlotVariables(std::int32_t number, std::size_t limit = SIZE_MAX);
void DeleteEntry(std::int32_t number);
// Moves a slot to another number; a missing slot is left alone.
void RenumberEntry(std::int32_t from, std::int32_t to);
// The index (number - 1) of the lowest occupied slot of the quick-save ring, 91 to 99; -1 when
// none is occupied.
std::int32_t FindRingSlot();
