#include "screens/save_slots.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "app/app_script.h"
#include "app/cg_image.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/prompts.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "dxdraw/dxsurface.h"
#include "lib/error.h"
#include "lib/report.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace {

constexpr std::u16string_view kSource = u"script/scr_gui";
// The lines of the checks made here, beside the statements' own (screens/save_database.cpp).
constexpr std::uint32_t kSlotNumberLine = 3640;
constexpr std::uint32_t kDamagedHeaderLine = 3655;
constexpr std::uint32_t kThumbnailHeaderOffset = 60;

void CheckSlotNumber(std::int32_t number) {
    if (number < 1 || number > kRingSpare)
        ThrowError(kSource, kSlotNumberLine, 0, 0, u"セーブスロット %d はありません\n", number);
}

std::vector<std::uint8_t> ReadRecordBytes(std::int32_t number) {
    CheckSlotNumber(number);
    std::vector<std::uint8_t> bytes(kSaveData2Bytes);
    const DatabaseScope scope = OpenSaveDatabase();
    ReadEntryHeader(number, std::span<std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes));
    return bytes;
}

SaveTime LocalSaveTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    SaveTime time;
    time.wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
    time.wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
    time.wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    time.wDay = static_cast<std::uint16_t>(local.tm_mday);
    time.wHour = static_cast<std::uint16_t>(local.tm_hour);
    time.wMinute = static_cast<std::uint16_t>(local.tm_min);
    time.wSecond = static_cast<std::uint16_t>(std::min(local.tm_sec, 59));  // a leap second is not a field value
    time.wMilliseconds = static_cast<std::uint16_t>(millis);
    return time;
}

// The picture a background's thumbnail comes from: "thumb/" and the first three characters of its
// name, when the script archive holds it as ".tif" or ".png"; null otherwise. A damaged one is
// written to the debugger output and left out, as a missing one is: a save never fails for want
// of its thumbnail.
ComPtr<DxDraw::DxSurface> LoadThumbPicture() {
    if (CurrentPicture.mode != kSceneGrp || !ScriptArchive) return {};
    const std::u16string base = u"thumb/" + SceneName(CurrentPicture).substr(0, 3);
    if (!ScriptArchive->Exists(base + u".tif") && !ScriptArchive->Exists(base + u".png")) return {};
    try {
        return LoadCgImage(ScriptArchive.Get(), base, true, false);
    } catch (const ExceptionHandle& failure) {
        DebugPrintf(u"thumbnail %s: %s\n", base, std::u16string_view(failure.message));
        return {};
    }
}

// Copies a scene record as the zero-terminated byte string that starts at its mode byte: the
// bytes after the copied ones keep what `to` held.
void CopySceneRecord(const SceneStateRecord& from, SceneStateRecord& to) {
    to.mode = from.mode;
    if (from.mode == 0) return;
    for (std::size_t i = 0; i < SceneStateRecord::kNameBytes; ++i) {
        to.name[i] = from.name[i];
        if (from.name[i] == 0) return;
    }
}

}  // namespace

bool SlotExists(std::int32_t number) {
    CheckSlotNumber(number);
    const DatabaseScope scope = OpenSaveDatabase();
    return EntryExists(number);
}

void ReadSlotHeader(std::int32_t number, std::span<std::uint8_t, kSlotHeaderBytes> out) {
    const std::vector<std::uint8_t> bytes = ReadRecordBytes(number);
    std::copy_n(bytes.begin(), kSlotHeaderBytes, out.begin());
}

bool ReadSlotThumbnail(std::int32_t number, std::span<std::uint8_t, kSlotThumbnailBytes> out) {
    const std::vector<std::uint8_t> bytes = ReadRecordBytes(number);
    std::copy_n(bytes.begin() + kThumbnailHeaderOffset, kSlotThumbnailBytes, out.begin());
    return true;
}

Decoded<SAVEDATA2> ReadSlotRecord(std::int32_t number) { return DecodeSaveData2(ReadRecordBytes(number)); }

Decoded<SlotContents> ReadSlotContents(std::int32_t number, const TextScript::ScriptStateGroup* story) {
    const DatabaseScope scope = OpenSaveDatabase();
    Decoded<SAVEDATA2> record = ReadSlotRecord(number);
    if (!record.ok()) return {.error = record.error};
    if (story && !story->CanResumeAt(record.value.resumePage)) return {.error = SaveBlobError::kNoResumablePage};
    Decoded<std::vector<VariableBlobEntry>> variables = ReadSlotVariableBlob(number);
    if (!variables.ok()) return {.error = variables.error};
    return {.value = {std::move(record.value), std::move(variables.value)}};
}

void DeleteSlot(std::int32_t number) {
    CheckSlotNumber(number);
    const DatabaseScope scope = OpenSaveDatabase();
    DeleteEntry(number);
}

void DrawSlotThumbnail(std::span<std::uint8_t, kThumbnailPixelBytes> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const ComPtr<DxDraw::DxSurface> picture = LoadThumbPicture();
    const DxDraw::DxImage* source = picture         ? static_cast<const DxDraw::DxImage*>(picture.Get())
                                    : PictureSprite ? PictureSprite->GetSurface()
                                                    : nullptr;
    if (!source || !source->HasPixels()) return;
    const ComPtr<DxDraw::DxSurface> thumbnail = DxDraw::CreateSurface(32);
    if (!thumbnail || !thumbnail->SetSize(kThumbnailWidth, kThumbnailHeight)) return;
    thumbnail->StretchCopy(nullptr, source, nullptr);
    CopyThumbnailPixels(*thumbnail, out);
}

SAVEDATA2 MakeSlotRecord(std::u16string_view comment) {
    SAVEDATA2 record;
    record.comment = std::u16string(comment);
    record.time = LocalSaveTime();
    record.resumePage = static_cast<std::int32_t>(TextScript::CurrentPage);
    DrawSlotThumbnail(record.thumbnail);
    record.scenes = CurrentSceneStates();
    return record;
}

std::int32_t SaveSlot(std::int32_t number, std::u16string_view comment) {
    CheckSlotNumber(number);
    const std::vector<std::uint8_t> bytes = EncodeSaveData2(MakeSlotRecord(comment));
    const DatabaseScope scope = OpenSaveDatabase();
    WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes));
    WriteEntryBacklog(number);
    WriteSlotVariables(number, TextScript::VariableSnapshot());
    // The records of the player go with every save, so that no crash after it loses a read page
    // or a scene reached. Outside a game cycle there is no scene list to write.
    if (CurrentScript) WriteGlobalRecords(CurrentScript->scene_names());
    return 1;
}

namespace {

// The slot as a load restores it, read in one transaction and checked. The thumbnail takes no
// part: a slot saved without a picture loads as any other.
SlotContents ReadSlotForLoad(std::int32_t number) {
    Decoded<SlotContents> slot = ReadSlotContents(number, CurrentScript);
    if (slot.error == SaveBlobError::kNoResumablePage)
        ThrowError(kSource, kDamagedHeaderLine, 0, 0, u"%s\n", UnresumableSlotReason(number));
    if (!slot.ok())
        ThrowError(kSource, kDamagedHeaderLine, 0, 0, u"セーブスロット %d が壊れています: %s\n", number,
                   DescribeSaveBlobError(slot.error));
    return std::move(slot.value);
}

}  // namespace

void CheckSlotLoads(std::int32_t number) { ReadSlotForLoad(number); }

void LoadSlot(std::int32_t number) {
    // Everything is read and checked before anything in memory changes.
    const SlotContents slot = ReadSlotForLoad(number);
    const auto& [record, variables] = slot;

    ResumePage = record.resumePage;
    SceneStateRecord* const scenes[kSlotSceneCount] = {&CurrentPicture, &CurrentChl, &CurrentBgm, &CurrentS1,
                                                       &CurrentS2};
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) CopySceneRecord(record.scenes[i], *scenes[i]);
    if (CurrentScript) CurrentScript->backlog().Clear();
    TextScript::VariableTable& live = TextScript::LiveVariables();
    TextScript::ClearVariableTable(live);
    ApplyVariableBlob(variables, live);
    TextScript::SnapshotVariables();
}

std::int32_t AutoSave(std::u16string* error) {
    try {
        const DatabaseScope scope = OpenSaveDatabase();
        SaveSlot(kRingSpare, u"");
        DeleteEntry(kRingLast);
        for (std::int32_t n = kRingLast - 1; n >= kRingFirst; --n) RenumberEntry(n, n + 1);
        RenumberEntry(kRingSpare, kRingFirst);
    } catch (const ExceptionHandle& failure) {
        // The scope has rolled back: the ring is as it was and nothing was stored.
        DebugPrintf(u"AutoSave: %s (line %u)\n", std::u16string_view(failure.message), failure.line);
        if (error) *error = failure.message;
        return 0;
    }
    return 1;
}

std::int32_t FindLatestAutoSave() {
    const DatabaseScope scope = OpenSaveDatabase();
    return FindRingSlot();
}
