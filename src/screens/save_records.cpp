#include "screens/save_records.h"

#include <algorithm>
#include <cstring>

#include "lib/text.h"
#include "lib/text_field.h"
#include "script/variables.h"

namespace {

// Offsets of SAVEDATA2.
constexpr std::size_t kCommentOffset = 4;
constexpr std::size_t kTimeOffset = 40;
constexpr std::size_t kResumePageOffset = 56;
constexpr std::size_t kThumbnailHeaderOffset = 60;
constexpr std::size_t kThumbnailPixelsOffset = 100;
constexpr std::size_t kThumbnailAreaBytes = 65'536;  // the pixel area; the rows use the first 58,800
constexpr std::size_t kScenesOffset = kThumbnailPixelsOffset + kThumbnailAreaBytes;
constexpr std::size_t kSceneRecordBytes = sizeof(SceneStateRecord);
static_assert(kScenesOffset + kSlotSceneCount * kSceneRecordBytes == kSaveData2Bytes);

// Offsets of the common record.
constexpr std::size_t kPlayerName1Offset = 4;
constexpr std::size_t kNameFieldBytes = SystemConfigRecord::kNameUnits * 2;
constexpr std::size_t kPlayerName2Offset = kPlayerName1Offset + kNameFieldBytes;
constexpr std::size_t kSeenFlagsOffset = kPlayerName2Offset + kNameFieldBytes;
static_assert(kSeenFlagsOffset + kSeenFlagBytes == kCommonRecordBytes);

// The thumbnail's picture header: 40 bytes, then the sizes, planes, depth and compression.
constexpr std::uint32_t kDibHeaderBytes = 40;
constexpr std::uint16_t kThumbnailBits = 32;

// Writes little-endian fields into a record that starts zeroed, so every byte not written is 0.
class ByteWriter {
public:
    explicit ByteWriter(std::size_t size) : bytes_(size, 0) {}

    void Put8(std::size_t at, std::uint8_t value) { bytes_[at] = value; }
    void Put16(std::size_t at, std::uint16_t value) {
        bytes_[at] = static_cast<std::uint8_t>(value);
        bytes_[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    void Put32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void PutBytes(std::size_t at, std::span<const std::uint8_t> data) {
        std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    void PutText(std::size_t at, std::string_view text) { std::memcpy(bytes_.data() + at, text.data(), text.size()); }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads fields of a blob whose size the caller has checked against the layout.
std::uint16_t Get16(std::span<const std::uint8_t> blob, std::size_t at) {
    return static_cast<std::uint16_t>(blob[at] | blob[at + 1] << 8);
}
std::uint32_t Get32(std::span<const std::uint8_t> blob, std::size_t at) {
    return static_cast<std::uint32_t>(blob[at]) | static_cast<std::uint32_t>(blob[at + 1]) << 8 |
           static_cast<std::uint32_t>(blob[at + 2]) << 16 | static_cast<std::uint32_t>(blob[at + 3]) << 24;
}

// The text of a narrow field up to its zero; false when the field has none.
bool NarrowField(std::span<const std::uint8_t> field, std::string_view& text) {
    const auto zero = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (zero == field.end()) return false;
    text = {reinterpret_cast<const char*>(field.data()), static_cast<std::size_t>(zero - field.begin())};
    return true;
}

// A text up to its first zero character: what a zero-terminated copy of it would hold.
std::u16string_view UpToZero(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

// CP932 of a text up to its first zero character, cut to `capacity` - 1 bytes at a character
// boundary.
std::string NarrowCut(std::u16string_view text, std::size_t capacity) {
    std::string narrow = Utf16ToCp932(UpToZero(text));
    narrow.resize(FitCp932(narrow, capacity));
    return narrow;
}

void PutSceneRecord(ByteWriter& out, std::size_t at, const SceneStateRecord& record) {
    out.Put8(at, record.mode);
    // A record of mode 0 is stored as its zero byte alone: its name means nothing.
    if (record.mode == 0) return;
    const std::string_view field(record.name, sizeof record.name);
    const std::string_view name = field.substr(0, field.find('\0'));
    out.PutText(at + 1, name.substr(0, FitCp932(name, sizeof record.name)));
}

bool GetSceneRecord(std::span<const std::uint8_t> field, SceneStateRecord& record) {
    record = SceneStateRecord{};
    record.mode = field[0];
    if (record.mode == 0) return true;
    std::string_view name;
    if (!NarrowField(field.subspan(1), name)) return false;
    std::memcpy(record.name, name.data(), name.size());
    return true;
}

void PutName16(ByteWriter& out, std::size_t at, const char16_t (&name)[SystemConfigRecord::kNameUnits]) {
    const std::u16string_view text = FieldText(name);
    const std::size_t units = FitUtf16(text, SystemConfigRecord::kNameUnits);
    for (std::size_t i = 0; i < units; ++i) out.Put16(at + 2 * i, text[i]);
}

bool GetName16(std::span<const std::uint8_t> field, char16_t (&name)[SystemConfigRecord::kNameUnits]) {
    std::fill(std::begin(name), std::end(name), u'\0');
    for (std::size_t i = 0; i < SystemConfigRecord::kNameUnits; ++i) {
        const char16_t unit = Get16(field, 2 * i);
        if (unit == u'\0') return true;
        name[i] = unit;
    }
    return false;
}

void PutThumbnailHeader(ByteWriter& out, std::size_t at) {
    out.Put32(at, kDibHeaderBytes);
    out.Put32(at + 4, kThumbnailWidth);
    out.Put32(at + 8, kThumbnailHeight);
    out.Put16(at + 12, 1);  // planes
    out.Put16(at + 14, kThumbnailBits);
    // Compression (0: plain rows), image size, resolutions and colour counts stay 0.
}

// The header as written, except that planes 0 is taken too: the count means nothing to a
// 32-bit picture and no reader of the thumbnail looks at it.
bool ThumbnailHeaderFits(std::span<const std::uint8_t> blob, std::size_t at) {
    const std::uint16_t planes = Get16(blob, at + 12);
    return Get32(blob, at) == kDibHeaderBytes && Get32(blob, at + 4) == kThumbnailWidth &&
           Get32(blob, at + 8) == kThumbnailHeight && planes <= 1 && Get16(blob, at + 14) == kThumbnailBits &&
           Get32(blob, at + 16) == 0;
}

// Walks a list of zero-terminated names up to the empty one; what follows it is not read. `take`
// is called with each name and the bytes after its zero, and answers how many of those it consumed
// or an error. Only the first `max_bytes` bytes and `max_names` names are read: a list whose end
// does not come within them is kTooLarge, one whose end is missing kTruncated.
template <class Take>
SaveBlobError WalkNames(std::span<const std::uint8_t> blob, std::size_t max_bytes, std::size_t max_names, Take take) {
    if (blob.empty()) return SaveBlobError::kNoData;
    const auto readable = blob.first(std::min(blob.size(), max_bytes));
    const SaveBlobError cut = blob.size() > max_bytes ? SaveBlobError::kTooLarge : SaveBlobError::kTruncated;
    std::size_t at = 0;
    for (std::size_t names = 0;; ++names) {
        if (at >= readable.size()) return cut;
        if (readable[at] == 0) return SaveBlobError::kNone;
        if (names == max_names) return SaveBlobError::kTooLarge;
        const auto rest = readable.subspan(at);
        const auto zero = std::find(rest.begin(), rest.end(), std::uint8_t{0});
        if (zero == rest.end()) return cut;
        const std::size_t length = static_cast<std::size_t>(zero - rest.begin());
        const std::string_view name(reinterpret_cast<const char*>(rest.data()), length);
        std::size_t used = 0;
        if (const SaveBlobError error = take(name, rest.subspan(length + 1), used); error != SaveBlobError::kNone)
            return error == SaveBlobError::kTruncated ? cut : error;
        at += length + 1 + used;
    }
}

void AppendName(std::vector<std::uint8_t>& out, std::string_view name) {
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
}

}  // namespace

std::u16string_view DescribeSaveBlobError(SaveBlobError error) {
    switch (error) {
        case SaveBlobError::kNone: return u"no error";
        case SaveBlobError::kNoData: return u"the record holds no data";
        case SaveBlobError::kWrongSize: return u"the record has the wrong size";
        case SaveBlobError::kTruncated: return u"the record ends in the middle of an entry";
        case SaveBlobError::kUnterminatedText: return u"a text of the record fills its field without an end";
        case SaveBlobError::kNameTooLong: return u"a name of the record is too long";
        case SaveBlobError::kOutOfRange: return u"a number of the record is out of range";
        case SaveBlobError::kBadThumbnail: return u"the record's picture header is not a 140 x 105 32-bit picture";
        case SaveBlobError::kTooLarge: return u"the record goes on past the most that is read of it";
        case SaveBlobError::kNoResumablePage: return u"the story has no page the record resumes at";
    }
    return u"unknown error";
}

std::array<SceneStateRecord, kSlotSceneCount> CurrentSceneStates() {
    return {CurrentPicture, CurrentChl, CurrentBgm, CurrentS1, CurrentS2};
}

bool CopyThumbnailPixels(const DxDraw::DxImage& surface, std::span<std::uint8_t, kThumbnailPixelBytes> out) {
    if (surface.GetDepth() != kThumbnailBits || surface.GetWidth() != kThumbnailWidth ||
        surface.GetHeight() != kThumbnailHeight || surface.GetStride() != kThumbnailStride ||
        surface.GetImageSize() != kThumbnailPixelBytes)
        return false;
    std::copy_n(surface.GetBits(), kThumbnailPixelBytes, out.begin());
    return true;
}

std::vector<std::uint8_t> EncodeSaveData2(const SAVEDATA2& record) {
    ByteWriter out(kSaveData2Bytes);
    // The u32 at 0 is always 0.
    out.PutText(kCommentOffset, NarrowCut(record.comment, kSlotCommentBytes));
    const SaveTime& t = record.time;
    const std::uint16_t time[] = {t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                                  t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
    for (std::size_t i = 0; i < std::size(time); ++i) out.Put16(kTimeOffset + 2 * i, time[i]);
    out.Put32(kResumePageOffset, static_cast<std::uint32_t>(record.resumePage));
    PutThumbnailHeader(out, kThumbnailHeaderOffset);
    out.PutBytes(kThumbnailPixelsOffset, record.thumbnail);
    for (std::size_t i = 0; i < kSlotSceneCount; ++i)
        PutSceneRecord(out, kScenesOffset + i * kSceneRecordBytes, record.scenes[i]);
    return out.Take();
}

Decoded<SAVEDATA2> DecodeSaveData2(std::span<const std::uint8_t> blob) {
    Decoded<SAVEDATA2> result;
    if (blob.empty()) return {.error = SaveBlobError::kNoData};
    if (blob.size() != kSaveData2Bytes) return {.error = SaveBlobError::kWrongSize};
    SAVEDATA2& record = result.value;
    std::string_view comment;
    if (!NarrowField(blob.subspan(kCommentOffset, kSlotCommentBytes), comment))
        return {.error = SaveBlobError::kUnterminatedText};
    record.comment = Cp932ToUtf16(comment);
    SaveTime& t = record.time;
    std::uint16_t* const time[] = {&t.wYear, &t.wMonth,  &t.wDayOfWeek, &t.wDay,
                                   &t.wHour, &t.wMinute, &t.wSecond,    &t.wMilliseconds};
    for (std::size_t i = 0; i < std::size(time); ++i) *time[i] = Get16(blob, kTimeOffset + 2 * i);
    record.resumePage = static_cast<std::int32_t>(Get32(blob, kResumePageOffset));
    const auto area =
        blob.subspan(kThumbnailHeaderOffset, kThumbnailPixelsOffset - kThumbnailHeaderOffset + kThumbnailAreaBytes);
    if (std::all_of(area.begin(), area.end(), [](std::uint8_t byte) { return byte == 0; }))
        record.thumbnailState = SlotThumbnail::kBlank;
    else if (!ThumbnailHeaderFits(blob, kThumbnailHeaderOffset))
        record.thumbnailState = SlotThumbnail::kUnreadable;
    std::copy_n(blob.begin() + kThumbnailPixelsOffset, kThumbnailPixelBytes, record.thumbnail.begin());
    for (std::size_t i = 0; i < kSlotSceneCount; ++i)
        if (!GetSceneRecord(blob.subspan(kScenesOffset + i * kSceneRecordBytes, kSceneRecordBytes), record.scenes[i]))
            return {.error = SaveBlobError::kUnterminatedText};
    return result;
}

std::vector<std::uint8_t> EncodeCommonRecord(const CommonRecord& record) {
    ByteWriter out(kCommonRecordBytes);
    out.Put32(0, static_cast<std::uint32_t>(record.LastUsedSlot));
    PutName16(out, kPlayerName1Offset, record.PlayerName1);
    PutName16(out, kPlayerName2Offset, record.PlayerName2);
    out.PutBytes(kSeenFlagsOffset, record.SeenFlags);
    return out.Take();
}

Salvaged<CommonRecord> DecodeCommonRecord(std::span<const std::uint8_t> blob, const CommonRecord& fallback) {
    Salvaged<CommonRecord> result{fallback};
    if (blob.size() != kCommonRecordBytes) {
        result.damage = blob.empty() ? SaveBlobError::kNoData : SaveBlobError::kWrongSize;
        result.lost = true;
        return result;
    }
    // Each field on its own: a bad one costs only itself, never the read pages beside it.
    const auto note = [&result](SaveBlobError damage) {
        if (result.damage == SaveBlobError::kNone) result.damage = damage;
    };
    CommonRecord& record = result.value;
    record.LastUsedSlot = static_cast<std::int32_t>(Get32(blob, 0));
    if (record.LastUsedSlot < -1 || record.LastUsedSlot >= kSlotCount) {
        record.LastUsedSlot = -1;
        note(SaveBlobError::kOutOfRange);
    }
    if (!GetName16(blob.subspan(kPlayerName1Offset, kNameFieldBytes), record.PlayerName1)) {
        std::copy(std::begin(fallback.PlayerName1), std::end(fallback.PlayerName1), std::begin(record.PlayerName1));
        note(SaveBlobError::kUnterminatedText);
    }
    if (!GetName16(blob.subspan(kPlayerName2Offset, kNameFieldBytes), record.PlayerName2)) {
        std::copy(std::begin(fallback.PlayerName2), std::end(fallback.PlayerName2), std::begin(record.PlayerName2));
        note(SaveBlobError::kUnterminatedText);
    }
    std::copy_n(blob.begin() + kSeenFlagsOffset, kSeenFlagBytes, record.SeenFlags.begin());
    return result;
}

std::vector<std::uint8_t> EncodeNameList(std::span<const std::u16string> names) {
    std::vector<std::uint8_t> out;
    for (const std::u16string& name : names) {
        const std::string narrow = NarrowCut(name, kListNameBytes + 1);
        if (!narrow.empty()) AppendName(out, narrow);
    }
    out.push_back(0);
    return out;
}

Salvaged<std::vector<std::u16string>> DecodeNameList(std::span<const std::uint8_t> blob) {
    Salvaged<std::vector<std::u16string>> result;
    bool skipped = false;
    result.damage = WalkNames(blob, kMaxListBytes, kMaxListNames,
                              [&](std::string_view name, std::span<const std::uint8_t>, std::size_t&) {
                                  // No name of the game is that long: this one alone is damaged.
                                  if (name.size() > kListNameBytes)
                                      skipped = true;
                                  else
                                      result.value.push_back(Cp932ToUtf16(name));
                                  return SaveBlobError::kNone;
                              });
    if (result.damage == SaveBlobError::kNone && skipped) result.damage = SaveBlobError::kNameTooLong;
    result.lost = result.damage != SaveBlobError::kNone && result.value.empty();
    return result;
}

std::vector<std::uint8_t> EncodeVariableBlob(const TextScript::VariableTable& table) {
    std::vector<std::uint8_t> out;
    table.ForEach([&](const TextScript::VariableNode& node) {
        if (node.kind != TextScript::VariableNode::kNumber) return;
        const std::string name = Utf16ToCp932(UpToZero(node.name));
        if (name.empty()) return;
        AppendName(out, name);
        const auto value = static_cast<std::uint32_t>(node.value);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    });
    out.push_back(0);
    return out;
}

Decoded<std::vector<VariableBlobEntry>> DecodeVariableBlob(std::span<const std::uint8_t> blob) {
    Decoded<std::vector<VariableBlobEntry>> result;
    result.error =
        WalkNames(blob, kMaxVariableBlobBytes, kMaxVariables,
                  [&](std::string_view name, std::span<const std::uint8_t> rest, std::size_t& used) {
                      if (rest.size() < 4) return SaveBlobError::kTruncated;
                      result.value.push_back({Cp932ToUtf16(name), static_cast<std::int32_t>(Get32(rest, 0))});
                      used = 4;
                      return SaveBlobError::kNone;
                  });
    if (!result.ok()) result.value.clear();
    return result;
}

void ApplyVariableBlob(std::span<const VariableBlobEntry> entries, TextScript::VariableTable& table) {
    for (const VariableBlobEntry& entry : entries) table.GetOrCreate(entry.name, entry.value);
}
