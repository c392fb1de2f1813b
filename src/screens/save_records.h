// The byte layouts of the save data: the slot record SAVEDATA2 (a slot's `header`), the common
// record (row COMMON), the name lists (rows SCENE and ALBUM) and the variable blob (a slot's
// `value_data`). Everything is little-endian; narrow texts are CP932.
//
// This piece knows bytes and values only, no database. Encoders turn the game's values into the
// exact bytes of a record and leave no byte unset. Decoders read a blob into values and nothing
// else: they check every size, offset and terminator against the blob first and answer a clear
// refusal for bad data, so that a loader can decode all it needs, and apply only when everything
// decoded. The records of the player (the common record and the name lists) are salvaged instead:
// what is intact is kept and the damage named. A blob with no bytes (a NULL column or an empty
// blob) is kNoData; what a missing record means (nothing to copy, an empty list) is the loader's
// decision.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/game_data.h"
#include "app/scene_state.h"
#include "app/system_config.h"
#include "dxdraw/dximage.h"

namespace TextScript {
class VariableTable;
}

enum class SaveBlobError {
    kNone,
    kNoData,            // NULL or zero-length blob
    kWrongSize,         // a fixed-size record of another length
    kTruncated,         // a name or value runs past the end, or a list lacks its final zero
    kUnterminatedText,  // a fixed text field without its terminating zero
    kNameTooLong,       // a list name longer than kListNameBytes
    kOutOfRange,        // a number outside what the field can hold (the last used slot)
    kBadThumbnail,      // the thumbnail header is not the 140 x 105 32-bit picture
    kTooLarge,          // a list or blob going on past the limit it is read to
    kNoResumablePage,   // a slot whose page the story has not (a save from before the script changed)
};

// What went wrong, for the player and the log.
std::u16string_view DescribeSaveBlobError(SaveBlobError error);

// A decoder's answer: the value when error is kNone, else a default value that must not be used.
template <class T>
struct Decoded {
    T value{};
    SaveBlobError error = SaveBlobError::kNone;

    bool ok() const { return error == SaveBlobError::kNone; }
};

// A salvaging decoder's answer: what it kept, and the first damage it met (kNone for a whole
// record). `lost` when the record was damaged and nothing of it could be kept.
template <class T>
struct Salvaged {
    T value{};
    SaveBlobError damage = SaveBlobError::kNone;
    bool lost = false;
};

// ---- The slot record ----

inline constexpr std::size_t kSaveData2Bytes = 65'796;
inline constexpr std::size_t kSlotCommentBytes = 36;  // 35 bytes of text and the zero
inline constexpr std::int32_t kThumbnailWidth = 140;
inline constexpr std::int32_t kThumbnailHeight = 105;
inline constexpr std::size_t kThumbnailStride = kThumbnailWidth * 4;
inline constexpr std::size_t kThumbnailPixelBytes = kThumbnailStride * kThumbnailHeight;  // 58,800
inline constexpr std::size_t kSlotSceneCount = 5;

// The local time of a save, field for field as stored.
struct SaveTime {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDayOfWeek = 0;
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;

    bool operator==(const SaveTime&) const = default;
};

// What a slot's thumbnail area holds. A slot saved before any picture existed has an all-zero
// area, which the dialog shows as the grey field.
enum class SlotThumbnail : std::uint8_t { kPicture, kBlank, kUnreadable };

struct SAVEDATA2 {
    // The player's comment; stored as CP932, cut at a character boundary to 35 bytes.
    std::u16string comment;
    SaveTime time;
    std::int32_t resumePage = 0;  // the page being read when saved
    // 140 x 105 pixels of the 32-bit surface format (B, G, R, inverted alpha), rows of 560 bytes,
    // bottom row first.
    std::array<std::uint8_t, kThumbnailPixelBytes> thumbnail{};
    // Set by the decoder; the encoder always writes the picture header.
    SlotThumbnail thumbnailState = SlotThumbnail::kPicture;
    // CurrentPicture, CurrentChl, CurrentBgm, CurrentS1, CurrentS2 in this order.
    std::array<SceneStateRecord, kSlotSceneCount> scenes{};
};

// The five scene-state records of the game, in the order a slot stores them.
std::array<SceneStateRecord, kSlotSceneCount> CurrentSceneStates();

// The pixel rows of a 140 x 105 32-bit bottom-up surface (what a save draws its thumbnail into),
// in the order stored. False, and nothing copied, for any other size, depth or row order.
bool CopyThumbnailPixels(const DxDraw::DxImage& surface, std::span<std::uint8_t, kThumbnailPixelBytes> out);

// Exactly kSaveData2Bytes bytes.
std::vector<std::uint8_t> EncodeSaveData2(const SAVEDATA2& record);
// Refuses a blob of any other size than kSaveData2Bytes and a comment or scene name without its
// terminator. The thumbnail takes no part in a load and is never refused: an all-zero area is
// kBlank (its pixels zero), a header other than the one written (planes may be 0 or 1) kUnreadable.
Decoded<SAVEDATA2> DecodeSaveData2(std::span<const std::uint8_t> blob);

// ---- The common record ----

inline constexpr std::size_t kCommonRecordBytes = 2'308;
inline constexpr std::int32_t kSlotCount = 99;

struct CommonRecord {
    std::int32_t LastUsedSlot = -1;  // slot index saved last through the dialog, -1 for none
    // The hero names, at most 63 units and a zero; the units after the zero are zero.
    char16_t PlayerName1[SystemConfigRecord::kNameUnits] = {};
    char16_t PlayerName2[SystemConfigRecord::kNameUnits] = {};
    std::array<std::uint8_t, kSeenFlagBytes> SeenFlags{};
};

// Exactly kCommonRecordBytes bytes. A name is taken up to its zero (or the field's end) and cut
// to 63 units without splitting a surrogate pair; the rest of each name field is zero.
std::vector<std::uint8_t> EncodeCommonRecord(const CommonRecord& record);
// Salvages the record field by field: a last used slot other than -1 or a slot index reads as -1,
// a name without its zero within its 64 units as that name of `fallback`, and the page-read bits
// as stored. A blob of any other size is lost, the value being `fallback`.
Salvaged<CommonRecord> DecodeCommonRecord(std::span<const std::uint8_t> blob, const CommonRecord& fallback = {});

// ---- The name lists ----

inline constexpr std::size_t kListNameBytes = 31;
// What a name list is read to. A story names a few hundred scenes and pictures; a list going on
// past 4,096 names, or past the bytes of that many names of the longest kind, is damage and read
// up to the limit, so that a damaged record costs neither memory nor time.
inline constexpr std::size_t kMaxListNames = 4'096;
inline constexpr std::size_t kMaxListBytes = kMaxListNames * (kListNameBytes + 1) + 1;

// Each name as CP932 and a zero, then a zero. A name is taken up to its first zero character,
// cut to kListNameBytes at a character boundary; an empty one is left out, since its zero
// would end the list.
std::vector<std::uint8_t> EncodeNameList(std::span<const std::u16string> names);
// Reads the names up to the empty one and ignores what follows it. A name longer than
// kListNameBytes is left out and the rest kept; a list cut short or going on past the limit keeps
// the names before the damage.
Salvaged<std::vector<std::u16string>> DecodeNameList(std::span<const std::uint8_t> blob);

// ---- The variable blob ----

// What a variable blob is read to. A story has a few thousand variables with names of a few dozen
// bytes; a blob whose end does not come within 32,768 variables or 2 MiB is damage.
inline constexpr std::size_t kMaxVariables = 32'768;
inline constexpr std::size_t kMaxVariableBlobBytes = std::size_t{2} << 20;

struct VariableBlobEntry {
    std::u16string name;
    std::int32_t value = 0;

    bool operator==(const VariableBlobEntry&) const = default;
};

// Each number variable in table order: its name as CP932 and a zero, then its value as a 32-bit
// integer; then a zero. The blob grows with the table; a writer refuses one past the limits above,
// which no load would read. A name is taken up to its first zero character and a variable with an
// empty name is left out (its zero would end the blob); text variables are left out too, as their
// value is an address of this run.
std::vector<std::uint8_t> EncodeVariableBlob(const TextScript::VariableTable& table);
// Reads the variables up to the empty name and ignores what follows it. Refuses a blob whose end
// is missing: a name or value running past the end (kTruncated) or past the limits (kTooLarge).
Decoded<std::vector<VariableBlobEntry>> DecodeVariableBlob(std::span<const std::uint8_t> blob);
// Sets (creating where absent) each decoded variable in the table, in the blob's order.
void ApplyVariableBlob(std::span<const VariableBlobEntry> entries, TextScript::VariableTable& table);
