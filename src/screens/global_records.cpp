#include "screens/global_records.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "app/app_script.h"
#include "app/picture_commands.h"
#include "app/system_config.h"
#include "lib/error.h"
#include "lib/report.h"
#include "screens/save_database.h"
#include "script/variables.h"

namespace {

constexpr std::u16string_view kSource = u"script/scr_gui";
constexpr std::uint32_t kDamagedVariablesLine = 3725;

void ReportDamaged(std::u16string_view row, SaveBlobError error) {
    DebugPrintf(u"save.dat: %s is damaged and read as empty (%s)\n", row, DescribeSaveBlobError(error));
}

// The names of a stored list; a NULL list is empty, a damaged one is reported and read as empty.
std::vector<std::u16string> StoredNames(std::u16string_view row, const std::vector<std::uint8_t>& blob) {
    if (blob.empty()) return {};
    Decoded<std::vector<std::u16string>> names = DecodeNameList(blob);
    if (!names.ok()) {
        ReportDamaged(row, names.error);
        return {};
    }
    return std::move(names.value);
}

// The stored common record when it was written and is whole; a record of the wrong size or with
// bad fields is reported and leaves the state in memory as it was.
void ReadCommonIntoMemory() {
    std::array<std::uint8_t, kCommonRecordBytes> bytes{};
    bool written = false;
    try {
        // A scope of its own: the refusal of a wrong-sized record rolls back only this read.
        const DatabaseScope scope = OpenSaveDatabase();
        written = ReadCommonData(bytes);
    } catch (const ExceptionHandle& failure) {
        if (failure.line != kCommonRecordSizeLine) throw;
        DebugPrintf(u"save.dat: COMMON is damaged and read as empty (%s)\n", std::u16string_view(failure.message));
        return;
    }
    if (!written) return;
    const Decoded<CommonRecord> common = DecodeCommonRecord(bytes);
    if (!common.ok()) {
        ReportDamaged(u"COMMON", common.error);
        return;
    }
    LastUsedSlot = common.value.LastUsedSlot;
    std::copy(common.value.SeenFlags.begin(), common.value.SeenFlags.end(), std::begin(SeenFlags));
    std::copy(std::begin(common.value.PlayerName1), std::end(common.value.PlayerName1),
              std::begin(SystemConfig.PlayerName1));
    std::copy(std::begin(common.value.PlayerName2), std::end(common.value.PlayerName2),
              std::begin(SystemConfig.PlayerName2));
}

}  // namespace

CommonRecord CurrentCommonRecord() {
    CommonRecord record;
    record.LastUsedSlot = LastUsedSlot;
    std::copy(std::begin(SystemConfig.PlayerName1), std::end(SystemConfig.PlayerName1), std::begin(record.PlayerName1));
    std::copy(std::begin(SystemConfig.PlayerName2), std::end(SystemConfig.PlayerName2), std::begin(record.PlayerName2));
    std::copy(std::begin(SeenFlags), std::end(SeenFlags), record.SeenFlags.begin());
    return record;
}

void WriteGlobalRecords(std::span<const std::u16string> scene_names) {
    // Everything is encoded before the transaction begins.
    const std::vector<std::uint8_t> common = EncodeCommonRecord(CurrentCommonRecord());
    const std::vector<std::uint8_t> scenes = EncodeNameList(scene_names);
    const std::vector<std::uint8_t> album = EncodeNameList(SeenCgList);
    const DatabaseScope scope = OpenSaveDatabase();
    WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(common.data(), kCommonRecordBytes));
    WriteSceneData(scenes);
    WriteAlbumData(album);
}

void SaveGlobalData(const ScriptStateGroup_App& group) { WriteGlobalRecords(group.scene_names()); }

void LoadGlobalData(ScriptStateGroup_App& group) {
    {
        // The first start: the schema and the first values are committed together or not at all.
        const DatabaseScope scope = OpenSaveDatabase();
        if (!SaveSchemaExists()) {
            CreateSaveSchema();
            SaveGlobalData(group);
            return;
        }
    }
    ReadCommonIntoMemory();
    std::vector<std::uint8_t> scene_blob;
    std::vector<std::uint8_t> album_blob;
    {
        const DatabaseScope scope = OpenSaveDatabase();
        scene_blob = ReadSceneData();
        album_blob = ReadAlbumData();
    }
    for (const std::u16string& name : StoredNames(u"SCENE", scene_blob)) group.AddSceneName(name);
    for (std::u16string& name : StoredNames(u"ALBUM", album_blob)) SeenCgList.push_back(std::move(name));
}

void WriteSlotVariables(std::int32_t number, const TextScript::VariableTable& table) {
    const std::vector<std::uint8_t> blob = EncodeVariableBlob(table);
    WriteSlotVariables(number, std::span<const std::uint8_t>(blob));
}

std::vector<VariableBlobEntry> ReadSlotVariableEntries(std::int32_t number) {
    std::vector<std::uint8_t> blob;
    {
        const DatabaseScope scope = OpenSaveDatabase();
        blob = ReadSlotVariables(number);
    }
    // Every slot is written with its variables in the same transaction, so a NULL list is damage too.
    Decoded<std::vector<VariableBlobEntry>> entries = DecodeVariableBlob(blob);
    if (!entries.ok())
        ThrowError(kSource, kDamagedVariablesLine, 0, 0, u"セーブスロット %d の変数が壊れています: %s\n", number,
                   DescribeSaveBlobError(entries.error));
    return std::move(entries.value);
}

void ReadSlotVariables(std::int32_t number, TextScript::VariableTable& table) {
    const std::vector<VariableBlobEntry> entries = ReadSlotVariableEntries(number);
    ApplyVariableBlob(entries, table);
}
