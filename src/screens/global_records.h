// The records kept for the player across saves and game cycles, in the rows COMMON, SCENE and
// ALBUM of "save.dat": the slot saved last through the dialog, the two hero names, the page-read
// bits, the scene names the story has reached and the CG pictures seen. A game cycle reads them
// at its start and writes them at its end; every save writes them too.
//
// In memory they are LastUsedSlot (app/game_data.h), SystemConfig.PlayerName1 and PlayerName2
// (app/system_config.h), SeenFlags (app/game_data.h), the group's scene names (app/app_script.h)
// and SeenCgList (app/picture_commands.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/game_data.h"
#include "screens/save_records.h"

class ScriptStateGroup_App;
namespace TextScript {
class VariableTable;
}

// Reads the global records into memory. The first start (no schema in "save.dat") creates the
// schema and writes the state in memory as the first values, in one transaction. A damaged record
// keeps what is intact (COMMON field by field, a list its intact names) and is written to the
// debugger output; a record of which nothing could be read is told to the player in one box for
// the whole read, memory keeping what it held. The next save of the global records replaces what
// is stored. A database failure raises the error exception.
void LoadGlobalData(ScriptStateGroup_App& group);
// Writes the state in memory to COMMON, SCENE and ALBUM in one transaction (or in the caller's).
void SaveGlobalData(const ScriptStateGroup_App& group);
// The same with the scene names given; the caller's open scope, if any, takes the writes.
void WriteGlobalRecords(std::span<const std::u16string> scene_names);
// The common record of the state in memory.
CommonRecord CurrentCommonRecord();

// The slot's value_data from a variable table (number variables in table order). A table past
// the limits of the blob raises the error exception and writes nothing.
void WriteSlotVariables(std::int32_t number, const TextScript::VariableTable& table);
// The slot's value_data read (no further than its limit) and decoded; a damaged blob is refused
// with the damage named. A missing slot or a database failure raises the error exception.
Decoded<std::vector<VariableBlobEntry>> ReadSlotVariableBlob(std::int32_t number);
// Reads and checks the slot's value_data, then sets each of its variables in `table`; variables
// absent from the blob keep their values. A missing slot or a damaged blob raises the error
// exception and leaves the table as it was.
void ReadSlotVariables(std::int32_t number, TextScript::VariableTable& table);
// The slot's value_data decoded; a damaged blob raises the error exception naming the slot.
std::vector<VariableBlobEntry> ReadSlotVariableEntries(std::int32_t number);

// The index (number - 1) of the slot saved last through the dialog; -1 for none. Declared in
// app/game_data.h beside the other records of the run: extern std::int32_t LastUsedSlot;
