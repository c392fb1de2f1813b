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
constexpr std::uint32_t kWriteVariablesLine = 3704;
constexpr std::uint32_t kDamagedVariablesLine = 3725;

// What a record keeps, in the player's words, for the box that says it could not be read.
constexpr std::u16string_view kCommonWhat = u"既読の記録・主人公の名前・最後にセーブした場所";
constexpr std::u16string_view kSceneWhat = u"シーン回想の記録";
constexpr std::u16string_view kAlbumWhat = u"CGアルバムの記録";

void ReportDamaged(std::u16string_view row, SaveBlobError damage, bool lost) {
    DebugPrintf(lost ? u"save.dat: %s is damaged and nothing of it could be read (%s)\n"
                     : u"save.dat: %s is damaged; what is intact is kept (%s)\n",
                row, DescribeSaveBlobError(damage));
}

// The names of a stored list; a NULL list is empty. A damaged one keeps its intact names; when
// none could be kept, `what` joins the records the player is told of.
std::vector<std::u16string> StoredNames(std::u16string_view row, std::u16string_view what,
                                        const std::vector<std::uint8_t>& blob, std::vector<std::u16string_view>& lost) {
    if (blob.empty()) return {};
    Salvaged<std::vector<std::u16string>> names = DecodeNameList(blob);
    if (names.damage != SaveBlobError::kNone) ReportDamaged(row, names.damage, names.lost);
    if (names.lost) lost.push_back(what);
    return std::move(names.value);
}

// The stored common record into memory, field by field: a damaged field takes the value memory
// holds (at start-up the defaults), the others are read. A record of the wrong size cannot be
// read at all and leaves memory as it was; a record never written (NULL) too, silently.
void ReadCommonIntoMemory(std::vector<std::u16string_view>& lost) {
    std::array<std::uint8_t, kCommonRecordBytes> bytes{};
    bool written = false;
    try {
        // A scope of its own: the refusal of a wrong-sized record rolls back only this read.
        const DatabaseScope scope = OpenSaveDatabase();
        written = ReadCommonData(bytes);
    } catch (const ExceptionHandle& failure) {
        if (failure.line != kCommonRecordSizeLine) throw;
        DebugPrintf(u"save.dat: %s\n", std::u16string_view(failure.message));
        lost.push_back(kCommonWhat);
        return;
    }
    if (!written) return;
    const Salvaged<CommonRecord> common = DecodeCommonRecord(bytes, CurrentCommonRecord());
    if (common.damage != SaveBlobError::kNone) ReportDamaged(u"COMMON", common.damage, common.lost);
    LastUsedSlot = common.value.LastUsedSlot;
    std::copy(common.value.SeenFlags.begin(), common.value.SeenFlags.end(), std::begin(SeenFlags));
    std::copy(std::begin(common.value.PlayerName1), std::end(common.value.PlayerName1),
              std::begin(SystemConfig.PlayerName1));
    std::copy(std::begin(common.value.PlayerName2), std::end(common.value.PlayerName2),
              std::begin(SystemConfig.PlayerName2));
}

// Tells the player, once for the whole read, which records could not be read at all, before the
// next save or the end of the cycle writes the state in memory over them.
void TellLostRecords(const std::vector<std::u16string_view>& lost) {
    if (lost.empty()) return;
    std::u16string text = u"セーブデータの次の記録が壊れていて、読み込めませんでした。\n\n";
    for (const std::u16string_view what : lost) text.append(u"・").append(what).append(u"\n");
    text += u"\nこれらの記録は、このあとのセーブやゲームの終わりに、今の内容で書き直されます。";
    ShowMessage(u"エラー", text, kMbOk | kMbIconExclamation);
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
    std::vector<std::u16string_view> lost;
    ReadCommonIntoMemory(lost);
    std::vector<std::uint8_t> scene_blob;
    std::vector<std::uint8_t> album_blob;
    {
        // One byte past the limit tells a list that goes on beyond it.
        const DatabaseScope scope = OpenSaveDatabase();
        scene_blob = ReadSceneData(kMaxListBytes + 1);
        album_blob = ReadAlbumData(kMaxListBytes + 1);
    }
    for (const std::u16string& name : StoredNames(u"SCENE", kSceneWhat, scene_blob, lost)) group.AddSceneName(name);
    for (std::u16string& name : StoredNames(u"ALBUM", kAlbumWhat, album_blob, lost))
        SeenCgList.push_back(std::move(name));
    TellLostRecords(lost);
}

void WriteSlotVariables(std::int32_t number, const TextScript::VariableTable& table) {
    const std::vector<std::uint8_t> blob = EncodeVariableBlob(table);
    // A blob past the limits would be stored as a save that no load reads: the save fails instead.
    if (const SaveBlobError error = DecodeVariableBlob(blob).error; error != SaveBlobError::kNone)
        ThrowError(kSource, kWriteVariablesLine, 0, 0, u"変数が多すぎてセーブできません (%u バイト): %s\n",
                   static_cast<unsigned>(blob.size()), DescribeSaveBlobError(error));
    WriteSlotVariables(number, std::span<const std::uint8_t>(blob));
}

Decoded<std::vector<VariableBlobEntry>> ReadSlotVariableBlob(std::int32_t number) {
    std::vector<std::uint8_t> blob;
    {
        const DatabaseScope scope = OpenSaveDatabase();
        // One byte past the limit tells a blob that goes on beyond it.
        blob = ReadSlotVariables(number, kMaxVariableBlobBytes + 1);
    }
    // Every slot is written with its variables in the same transaction, so a NULL list is damage too.
    return DecodeVariableBlob(blob);
}

std::vector<VariableBlobEntry> ReadSlotVariableEntries(std::int32_t number) {
    Decoded<std::vector<VariableBlobEntry>> entries = ReadSlotVariableBlob(number);
    if (!entries.ok())
        ThrowError(kSource, kDamagedVariablesLine, 0, 0, u"セーブスロット %d の変数が壊れています: %s\n", number,
                   DescribeSaveBlobError(entries.error));
    return std::move(entries.value);
}

void ReadSlotVariables(std::int32_t number, TextScript::VariableTable& table) {
    const std::vector<VariableBlobEntry> entries = ReadSlotVariableEntries(number);
    ApplyVariableBlob(entries, table);
}
