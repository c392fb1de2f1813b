// The save slots and the quick-save ring: 99 numbered slots (1 to 99) in "save.dat", each one
// resumable point of the story (the page being read, the variables as they were when that page
// began, the five scene-state records, a time, a comment and a 140 x 105 thumbnail). The last
// nine numbers, 91 to 99, also form the ring of the page wait's quick save: a quick save lands in
// 91 and moves the older ones up, 100 being used only while the ring turns.
//
// `number` is always a slot number (1 to 99); the dialogs, the load request and LastUsedSlot use
// the slot index, number - 1, with -1 for none.
//
// Every operation opens its own database scope, so each is one transaction of its own, or part of
// its caller's when the caller already holds a scope. A database failure or a damaged record
// raises the error exception (source "script/scr_gui") and the scope rolls back: the file keeps
// what it held, and the game in memory is changed only after everything was read and checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "screens/save_records.h"

namespace DxDraw {
class DxImage;
}
namespace TextScript {
class ScriptStateGroup;
}

// The part of a slot's record the slot list shows: the u32 0, the comment and the time.
inline constexpr std::size_t kSlotHeaderBytes = 56;
// The part the dialog's thumbnail shows: the 40-byte picture header and the 65,536-byte pixel area.
inline constexpr std::size_t kSlotThumbnailBytes = 65'576;
// The quick-save ring.
inline constexpr std::int32_t kRingFirst = 91;
inline constexpr std::int32_t kRingLast = 99;
// Where a quick save is written before the ring turns.
inline constexpr std::int32_t kRingSpare = 100;

bool SlotExists(std::int32_t number);
// The first kSlotHeaderBytes bytes of the slot's record. A missing slot or a record of another
// size raises the error exception.
void ReadSlotHeader(std::int32_t number, std::span<std::uint8_t, kSlotHeaderBytes> out);
// The kSlotThumbnailBytes bytes from offset 60 of the slot's record; true once copied. A missing
// slot or a record of another size raises the error exception.
bool ReadSlotThumbnail(std::int32_t number, std::span<std::uint8_t, kSlotThumbnailBytes> out);
// The whole record of a slot, decoded and checked (comment, time, page, scene records); a refusal
// names what is damaged. A missing slot, a record of another size or a database failure raises
// the error exception.
Decoded<SAVEDATA2> ReadSlotRecord(std::int32_t number);

// What a load reads of a slot: its record and its variables.
struct SlotContents {
    SAVEDATA2 record;
    std::vector<VariableBlobEntry> variables;
};
// The slot as a load reads it, in one transaction: a refusal names what is damaged, and a slot
// refused here is one that LoadSlot refuses. A slot whose page `story` cannot resume at is refused
// with kNoResumablePage; a null `story` (a tool given no game data) leaves the page unchecked, and
// its caller must not call such a slot loadable. A missing slot, a record of another size or a
// database failure raises the error exception.
Decoded<SlotContents> ReadSlotContents(std::int32_t number, const TextScript::ScriptStateGroup* story);
void DeleteSlot(std::int32_t number);

// The record a save would store now: the comment, the local time, CurrentPage, the thumbnail and
// the five scene-state records.
SAVEDATA2 MakeSlotRecord(std::u16string_view comment);
// The thumbnail of a save now: with a background picture (mode 2) whose "thumb/" picture (the
// first three characters of its name, ".tif" or else ".png") is in the script archive, that
// picture, else the picture layer as it shows (also when the "thumb/" picture cannot be read);
// scaled to 140 x 105. All zero when neither exists.
void DrawSlotThumbnail(std::span<std::uint8_t, kThumbnailPixelBytes> out);

// Writes the slot: its record, a NULL backlog and VariableSnapshot; with a game cycle running, the
// global records too, in the same transaction, so that a crash after the save loses neither.
// Returns 1; a failure raises the error exception and stores nothing.
std::int32_t SaveSlot(std::int32_t number, std::u16string_view comment);
// The load of the game (LoadSlot, CheckSlotLoads, the dialog's list) checks the page against the
// running story, CurrentScript; outside a game cycle, where nothing resumes, it is not checked.
//
// Restores the game from the slot: reads and checks the record and the variables first, then sets
// ResumePage, the five scene-state records, the live variables and VariableSnapshot, and empties
// the backlog. A failure raises the error exception and leaves the game as it was.
void LoadSlot(std::int32_t number);
// Reads and checks everything LoadSlot would, changing nothing: the error exception when the load
// would fail, so that a load request is made only for a slot that loads.
void CheckSlotLoads(std::int32_t number);

// The quick save: saves into 100, drops 99, moves 98..91 up by one and 100 to 91, all in one
// transaction. Returns 1 when the save was stored; 0 when it was not (the failure is written to
// the debugger output and, when `error` is given, described there), the file keeping what it held.
std::int32_t AutoSave(std::u16string* error = nullptr);
// The index of the lowest occupied ring number (the newest quick save), -1 when the ring is empty.
std::int32_t FindLatestAutoSave();
// FindRingSlot of the save database (screens/save_database.h) answers the same.
