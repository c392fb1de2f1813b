#include "app/settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "app/frame_step.h"
#include "lib/cmdline.h"
#include "lib/diskfile.h"
#include "lib/profile.h"
#include "lib/report.h"
#include "lib/text.h"
#include "lib/text_field.h"

SettingsBlockRecord SettingsBlock;
std::int32_t RefreshRate = 0;
std::int32_t SoundFreq = 0;
std::int32_t SoundPriority = 0;
std::int32_t StreamSize = 4;
std::int32_t TextSpeedIndex = kDefaultTextSpeedIndex;
std::int32_t AutoWaitIndex = kDefaultAutoWaitIndex;
std::int32_t TextSpeed = kTextSpeeds[kDefaultTextSpeedIndex];
std::int32_t AutoWait = kAutoWaits[kDefaultAutoWaitIndex];
CommandOptionsRecord CommandOptions;
SettingsFoldersRecord SettingsFolders;

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kSection = u"quibel";
constexpr std::u16string_view kDefaultFontName = u"ＭＳ 明朝";
constexpr std::uint8_t kDefaultBaseColor[4] = {64, 64, 240, 160};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads an optional sign and decimal digits at `pos`, saturating at the limits of 32 bits;
// nothing when no digit follows.
std::optional<std::int32_t> ReadNumber(std::u16string_view text, std::size_t& pos) {
    std::size_t at = pos;
    const bool negative = at < text.size() && text[at] == u'-';
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) ++at;
    if (at >= text.size() || !IsDigit(text[at])) return std::nullopt;
    std::int64_t value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
        value = std::min<std::int64_t>(value * 10 + (text[at] - u'0'), std::int64_t{1} << 32);
    pos = at;
    if (negative) value = -value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The leading decimal number of a value; 0 when it has none.
std::int32_t Decimal(std::u16string_view value) {
    std::size_t pos = 0;
    while (pos < value.size() && (value[pos] == u' ' || value[pos] == u'\t')) ++pos;
    return ReadNumber(value, pos).value_or(0);
}

std::u16string Number(std::int32_t value) { return FormatString(u"%d", value); }

// 1 for a non-zero number, 0 for zero; `empty` for an empty value.
std::uint8_t OnOff(std::u16string_view value, std::uint8_t empty) {
    return value.empty() ? empty : Decimal(value) != 0;
}
// A byte field: negative numbers give 0, the byte keeps the low eight bits of the rest; `empty`
// for an empty value. A sound switch is on while non-zero, and a volume above 100 is heard as 100
// (VolumeLevel): the number itself stays, so the file gets it back.
std::uint8_t Byte(std::u16string_view value, std::uint8_t empty) {
    return value.empty() ? empty : static_cast<std::uint8_t>(std::max(Decimal(value), 0) & 0xFF);
}
// The number as it stands, a negative one giving `fallback`. What its users cannot take is bounded
// where it is used, so the file gets back the number it held.
std::int32_t NotNegative(std::u16string_view value, std::int32_t fallback) {
    const std::int32_t number = Decimal(value);
    return number < 0 ? fallback : number;
}
// The index the file held, while the value in use is still the one it gave (an index outside the
// table gives the value the program starts with); once another value was chosen, that value's.
template <std::size_t N>
std::int32_t IndexToWrite(std::int32_t read, const std::int32_t (&table)[N], std::int32_t default_index,
                          std::int32_t in_use, std::int32_t index_in_use) {
    if (read < 0) return index_in_use;
    const std::int32_t given = read < static_cast<std::int32_t>(N) ? table[read] : table[default_index];
    return in_use == given ? read : index_in_use;
}

// "%d,%d,%d,%d" as a scanf reads it; the numbers it cannot read keep the defaults. Each number is
// stored as its low byte.
void ReadBaseColor(std::u16string_view value) {
    std::uint8_t color[4];
    std::copy(std::begin(kDefaultBaseColor), std::end(kDefaultBaseColor), color);
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= value.size() || value[pos] != u',') break;
            ++pos;
        }
        while (pos < value.size() && (value[pos] == u' ' || value[pos] == u'\t')) ++pos;
        const std::optional<std::int32_t> number = ReadNumber(value, pos);
        if (!number) break;
        color[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(*number) & 0xFF);
    }
    std::copy(std::begin(color), std::end(color), SettingsBlock.base_color);
}

void ReadFontName(std::u16string_view value) {
    if (value.empty()) value = kDefaultFontName;
    const std::size_t fits = FitUtf16(value, SettingsBlockRecord::kFontNameUnits);
    std::fill(std::begin(SettingsBlock.font_name), std::end(SettingsBlock.font_name), u'\0');
    StrCopy16(SettingsBlock.font_name, SettingsBlockRecord::kFontNameUnits, value.substr(0, fits));
}

struct SettingsKey {
    const char16_t* name;
    const char16_t* default_text;
    void (*read)(std::u16string_view value);
    std::u16string (*write)(bool full_screen_at_exit);
};

// The keys, in the order they are read and written.
const SettingsKey kKeys[] = {
    {u"FullScreen", u"2", [](std::u16string_view v) { SettingsBlock.full_screen = v == u"1"; },
     [](bool full) { return Number(full); }},
    {u"DisplaySpeed", u"0", [](std::u16string_view v) { SettingsBlock.display_speed = OnOff(v, 0); },
     [](bool) { return Number(SettingsBlock.display_speed != 0); }},
    {u"TextSkip1", u"1", [](std::u16string_view v) { SettingsBlock.text_skip1 = OnOff(v, 1); },
     [](bool) { return Number(SettingsBlock.text_skip1 != 0); }},
    {u"TextSkip2", u"1", [](std::u16string_view v) { SettingsBlock.text_skip2 = OnOff(v, 1); },
     [](bool) { return Number(SettingsBlock.text_skip2 != 0); }},
    {u"BaseColor", u"64,64,240,160", ReadBaseColor,
     [](bool) {
         const std::uint8_t* c = SettingsBlock.base_color;
         return FormatString(u"%d,%d,%d,%d", c[0], c[1], c[2], c[3]);
     }},
    {u"FontName", kDefaultFontName.data(), ReadFontName,
     [](bool) { return FormatString(u"%s", SettingsBlock.font_name); }},
    {u"EnableVoice", u"1", [](std::u16string_view v) { SettingsBlock.enable_voice = Byte(v, 1); },
     [](bool) { return Number(SettingsBlock.enable_voice); }},
    {u"EnableBgm", u"1", [](std::u16string_view v) { SettingsBlock.enable_bgm = Byte(v, 1); },
     [](bool) { return Number(SettingsBlock.enable_bgm); }},
    {u"EnableSe", u"1", [](std::u16string_view v) { SettingsBlock.enable_se = Byte(v, 1); },
     [](bool) { return Number(SettingsBlock.enable_se); }},
    {u"MainVolume", u"50", [](std::u16string_view v) { SettingsBlock.main_volume = Byte(v, 50); },
     [](bool) { return Number(SettingsBlock.main_volume); }},
    {u"BgmVolume", u"50", [](std::u16string_view v) { SettingsBlock.bgm_volume = Byte(v, 50); },
     [](bool) { return Number(SettingsBlock.bgm_volume); }},
    {u"VoiceVolume", u"50", [](std::u16string_view v) { SettingsBlock.voice_volume = Byte(v, 50); },
     [](bool) { return Number(SettingsBlock.voice_volume); }},
    {u"SeVolume", u"50", [](std::u16string_view v) { SettingsBlock.se_volume = Byte(v, 50); },
     [](bool) { return Number(SettingsBlock.se_volume); }},
    // Kept as read: a speed the menu does not offer draws every frame (DrawSpeedInUse).
    {u"SkipFrame", u"1", [](std::u16string_view v) { DrawSpeed = v.empty() ? 1 : NotNegative(v, 1); },
     [](bool) { return Number(DrawSpeed); }},
    {u"RefreshRate", u"0", [](std::u16string_view v) { RefreshRate = NotNegative(v, 0); },
     [](bool) { return Number(RefreshRate); }},
    // Kept as read: values above 2 mean 44,100 Hz (SoundSampleRate) and are written back unchanged.
    {u"SoundFreq", u"0", [](std::u16string_view v) { SoundFreq = NotNegative(v, 0); },
     [](bool) { return Number(SoundFreq); }},
    {u"SoundPriority", u"0", [](std::u16string_view v) { SoundPriority = NotNegative(v, 0); },
     [](bool) { return Number(SoundPriority); }},
    // Kept as read: the streams take it bounded (StreamSegmentUnits).
    {u"StreamSize", u"4", [](std::u16string_view v) { StreamSize = NotNegative(v, 4); },
     [](bool) { return Number(StreamSize); }},
    // Kept as read: an index outside its table is not applied (SetTextSpeed, SetAutoWait).
    {u"MessageWait", u"2", [](std::u16string_view v) { TextSpeedIndex = NotNegative(v, kDefaultTextSpeedIndex); },
     [](bool) {
         return Number(
             IndexToWrite(TextSpeedIndex, kTextSpeeds, kDefaultTextSpeedIndex, TextSpeed, GetTextSpeedIndex()));
     }},
    {u"MessageSkip", u"3", [](std::u16string_view v) { AutoWaitIndex = NotNegative(v, kDefaultAutoWaitIndex); },
     [](bool) {
         return Number(IndexToWrite(AutoWaitIndex, kAutoWaits, kDefaultAutoWaitIndex, AutoWait, GetAutoWaitIndex()));
     }},
};

std::u16string WithSlash(std::u16string_view folder) {
    std::u16string text(folder);
    if (text.empty()) return u"./";
    if (text.back() != u'/') text.push_back(u'/');
    return text;
}

fs::path ToPath(std::u16string_view text) { return fs::path(Utf16ToUtf8(text)); }

// Calls `plain` with each plain argument and `option` with each option token of the command line
// and then of `extra`, in order, skipping the program's name.
template <class Plain, class Option>
void ForEachToken(std::u16string_view command_line, std::span<const std::u16string> extra, Plain plain, Option option) {
    bool named = false;  // the first token of all is the program's name
    auto take = [&](std::u16string_view token) {
        if (!std::exchange(named, true)) return;
        if (token.starts_with(u'-'))
            option(token);
        else
            plain(token);
    };
    CommandLineReader reader(command_line);
    while (const char16_t* token = reader.NextToken()) take(token);
    for (const std::u16string& token : extra) take(token);
}

// The tokens of the Options key. A response file it names that cannot be read drops the key's
// options as a whole, with a message, where the command line's own would end the program: the
// player did not type this line, and the game can go on with the rest of the settings.
std::vector<std::u16string> OptionsKeyTokens(std::u16string_view value) {
    std::vector<std::u16string> tokens;
    ResponseFileFailure failure;
    CommandLineReader reader(value, &failure);
    while (const char16_t* token = reader.NextToken()) tokens.emplace_back(token);
    if (failure.reason.empty()) return tokens;
    const std::u16string message =
        FormatString(u"Settings file %s, key Options: the response file @%s %s; the key's options are not used.",
                     SettingsFolders.settings_file, failure.file, failure.reason);
    DebugOutput(message + u"\n");
    ShowMessage(u"エラー", message, kMbOk | kMbIconExclamation);
    return {};
}

// A settings file that cannot be read is left as it is (SaveSettings will not write over it) and
// the defaults are used; the player is told why.
void ReportUnreadSettings(const std::u16string& path, int error) {
    const std::u16string reason = DescribeReadError(error, ProfileFile::kMaxFileBytes);
    DebugOutput(FormatString(u"Settings file %s %s; defaults used\n", path, reason));
    ShowMessage(u"エラー",
                FormatString(u"The settings file %s %s. The game starts with the default settings and leaves the "
                             u"file as it is.",
                             path, reason),
                kMbOk | kMbIconExclamation);
}

void TakeDataPath(std::u16string_view path, std::u16string_view executable_folder) {
    SettingsFolders.data_path = path;
    SettingsFolders.data_folder = DataFolderFor(path, executable_folder);
}

bool SameAscii(std::u16string_view text, std::u16string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i] >= u'a' && text[i] <= u'z' ? static_cast<char16_t>(text[i] - 32) : text[i];
        if (c != upper[i]) return false;
    }
    return true;
}

void ApplyOption(std::u16string_view token) {
    if (token.size() < 2) return;
    if (token[1] == u'-') {
        if (SameAscii(token.substr(2), u"SELDRIVER")) CommandOptions.select_driver = 1;
        return;
    }
    switch (token[1]) {
        case u'A':
        case u'a': CommandOptions.archives_only = 1; break;
        case u'D':
        case u'd': CommandOptions.debug_level = token.size() > 2 && token[2] == u'2' ? 2 : 1; break;
        case u'E':
        case u'e': CommandOptions.option_e = 1; break;
        case u'I':
        case u'i': CommandOptions.option_i = 1; break;
        case u'M':
        case u'm': CommandOptions.no_mmx = 1; break;
        case u'O':
        case u'o': CommandOptions.output_path = token.substr(2); break;
        case u'S':
        case u's': CommandOptions.sound_enable = 0; break;
        case u'W':
        case u'w': SettingsBlock.full_screen = 0; break;
        default: break;
    }
}

}  // namespace

void SetTextSpeed(std::int32_t index) {
    if (index >= 0 && index < static_cast<std::int32_t>(std::size(kTextSpeeds))) TextSpeed = kTextSpeeds[index];
}

void SetAutoWait(std::int32_t index) {
    if (index >= 0 && index < static_cast<std::int32_t>(std::size(kAutoWaits))) AutoWait = kAutoWaits[index];
}

std::int32_t GetTextSpeedIndex() {
    switch (TextSpeed) {
        case 0: return 0;
        case 50: return 1;
        case 400: return 3;
        default: return 2;
    }
}

std::int32_t GetAutoWaitIndex() {
    const auto* found = std::find(std::begin(kAutoWaits), std::end(kAutoWaits), AutoWait);
    return found == std::end(kAutoWaits) ? 3 : static_cast<std::int32_t>(found - std::begin(kAutoWaits));
}

std::u16string DataFolderFor(std::u16string_view data_path, std::u16string_view executable_folder) {
    std::error_code error;
    if (!data_path.empty()) {
        if (fs::is_directory(ToPath(data_path), error)) return WithSlash(data_path);
        return WithSlash(RebuildPath(data_path, nullptr, nullptr, u"", u""));
    }
    const std::u16string folder = WithSlash(executable_folder);
    if (fs::exists(ToPath(folder + u"system.saf"), error)) return folder;
    return folder + u"../data/";
}

std::u16string SettingsFolderFor(std::u16string_view fallback) {
    if (const char* folder = std::getenv("QUIBEL_SETTINGS_DIR"); folder && *folder)
        return WithSlash(Utf8ToUtf16(folder));
    // Relative data homes are invalid and ignored, as the XDG rules ask.
    if (const char* data_home = std::getenv("XDG_DATA_HOME"); data_home && data_home[0] == '/')
        return WithSlash(Utf8ToUtf16(data_home)) + u"tarrowmeld/quibel_vodur/";
    if (const char* home = std::getenv("HOME"); home && *home)
        return WithSlash(Utf8ToUtf16(home)) + u".local/share/tarrowmeld/quibel_vodur/";
    return WithSlash(fallback);
}

bool MakeDirectoryPath(std::u16string_view path) {
    std::error_code error;
    const fs::path folder = ToPath(path);
    fs::create_directories(folder, error);
    return fs::is_directory(folder, error);
}

void ParseDataPathArgument(std::u16string_view command_line, std::u16string_view executable_folder) {
    std::optional<std::u16string> first;
    ForEachToken(
        command_line, {},
        [&](std::u16string_view plain) {
            if (!first) first = plain;
        },
        [](std::u16string_view) {});
    TakeDataPath(first.value_or(u""), executable_folder);
}

void ParseOptions(std::u16string_view command_line, std::u16string_view executable_folder,
                  std::span<const std::u16string> extra) {
    CommandOptions.debug_level = 0;
    bool taken = false;
    ForEachToken(
        command_line, extra,
        [&](std::u16string_view plain) {
            if (!taken) TakeDataPath(plain, executable_folder);
            taken = true;
        },
        ApplyOption);
}

std::u16string ReadSettings(const ProfileFile& file) {
    for (const SettingsKey& key : kKeys) key.read(file.GetString(kSection, key.name, key.default_text));
    return file.GetString(kSection, u"Options", u"");
}

void WriteSettings(ProfileFile& file, bool full_screen_at_exit) {
    for (const SettingsKey& key : kKeys) file.Set(kSection, key.name, key.write(full_screen_at_exit));
}

bool LoadSettings(std::u16string_view command_line, std::u16string_view executable_folder) {
    ParseDataPathArgument(command_line, executable_folder);
    SettingsFoldersRecord& folders = SettingsFolders;
    folders.settings_folder = SettingsFolderFor(folders.data_folder);
    if (!MakeDirectoryPath(folders.settings_folder)) {
        ShowMessage(u"エラー", FormatString(u"Error: 無効なディレクトリ名です。(%s)", folders.settings_folder),
                    kMbOk | kMbIconExclamation);
        return false;
    }
    folders.settings_file = folders.settings_folder + u"quibel.ini";
    const std::optional<ProfileFile> file = ProfileFile::Load(folders.settings_file);
    if (!file) ReportUnreadSettings(folders.settings_file, errno);
    ParseOptions(command_line, executable_folder, OptionsKeyTokens(ReadSettings(file ? *file : ProfileFile())));
    SetTextSpeed(TextSpeedIndex);
    SetAutoWait(AutoWaitIndex);
    return true;
}

bool SaveSettings(bool full_screen_at_exit) {
    const std::u16string& path = SettingsFolders.settings_file;
    if (path.empty()) return false;
    std::optional<ProfileFile> file = ProfileFile::Load(path);
    if (!file) return false;
    WriteSettings(*file, full_screen_at_exit);
    return file->Save(path);
}
