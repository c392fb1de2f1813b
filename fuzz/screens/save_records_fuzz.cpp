// Feeds arbitrary bytes to every save-data decoder. Whatever a decoder accepts must survive being
// written again: encoding the decoded values and decoding that gives the same values (texts are
// compared where their conversion is exact, which narrow texts with bad bytes are not).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "screens/save_records.h"
#include "script/variables.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// A name written again keeps its bytes, less a lead byte left at its end without a trail.
bool SameScene(const SceneStateRecord& again, const SceneStateRecord& first) {
    const std::size_t length = strnlen(first.name, sizeof first.name);
    const std::size_t kept = strnlen(again.name, sizeof again.name);
    return again.mode == first.mode && kept <= length && length - kept <= 1 &&
           std::memcmp(again.name, first.name, kept) == 0;
}

void SlotRecord(std::span<const std::uint8_t> bytes) {
    const Decoded<SAVEDATA2> first = DecodeSaveData2(bytes);
    if (!first.ok()) return;
    const std::vector<std::uint8_t> written = EncodeSaveData2(first.value);
    Check(written.size() == kSaveData2Bytes);
    const Decoded<SAVEDATA2> second = DecodeSaveData2(written);
    Check(second.ok());
    Check(second.value.time == first.value.time && second.value.resumePage == first.value.resumePage);
    Check(second.value.thumbnail == first.value.thumbnail);
    for (std::size_t i = 0; i < kSlotSceneCount; ++i) Check(SameScene(second.value.scenes[i], first.value.scenes[i]));
}

void Common(std::span<const std::uint8_t> bytes) {
    // What is salvaged of any record is itself a whole record.
    const Salvaged<CommonRecord> first = DecodeCommonRecord(bytes);
    const Salvaged<CommonRecord> second = DecodeCommonRecord(EncodeCommonRecord(first.value));
    Check(second.damage == SaveBlobError::kNone);
    Check(second.value.LastUsedSlot == first.value.LastUsedSlot && second.value.SeenFlags == first.value.SeenFlags);
    Check(std::memcmp(second.value.PlayerName1, first.value.PlayerName1, sizeof first.value.PlayerName1) == 0);
    Check(std::memcmp(second.value.PlayerName2, first.value.PlayerName2, sizeof first.value.PlayerName2) == 0);
}

void NameList(std::span<const std::uint8_t> bytes) {
    const auto first = DecodeNameList(bytes);
    Check(first.value.size() <= kMaxListNames);
    const auto second = DecodeNameList(EncodeNameList(first.value));
    Check(second.damage == SaveBlobError::kNone);
    // A name that was only bad bytes may come back shorter, never as more names.
    Check(second.value.size() <= first.value.size());
}

void Variables(std::span<const std::uint8_t> bytes) {
    const auto first = DecodeVariableBlob(bytes);
    if (!first.ok()) return;
    TextScript::VariableTable table;
    ApplyVariableBlob(first.value, table);
    const auto second = DecodeVariableBlob(EncodeVariableBlob(table));
    Check(second.ok());
    Check(second.value.size() == table.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    SlotRecord(bytes);
    Common(bytes);
    NameList(bytes);
    Variables(bytes);
    return 0;
}
