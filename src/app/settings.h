// The player's settings and the command-line options.
//
// The settings live in "quibel.ini" (section "quibel") in the settings folder, which also holds
// the save database: $QUIBEL_SETTINGS_DIR when set, else $XDG_DATA_HOME/tarrowmeld/quibel_vodur,
// else ~/.local/share/tarrowmeld/quibel_vodur, else the data folder. They are read once at start
// and written back at the end; the menu and the settings dialogs change them in between.
//
// The screen and skip switches read become 0 or 1, the font face is cut to its field on a
// character boundary, and a colour with missing numbers keeps the default for those. Numbers are
// kept as the file holds them (a negative one gives the key's default, 0 for a sound switch or a
// volume, which keep their low byte; a sound switch is on while non-zero), so that the file is
// written back as it was unless the player changed the setting. Each user bounds what it takes:
// the volumes stop at 100 % (VolumeLevel), a draw speed the menu does not offer draws every frame
// (DrawSpeedInUse), the stream size is 1 to 64 (StreamSegmentUnits), and a text-speed or
// auto-wait index outside its table is not applied (the speed stays at the one the program starts
// with) and is written back while that speed stays in use.
//
// The command line is the program's name followed by its arguments (JoinCommandLine of argv),
// read with CommandLineReader (so '@' response files work). A token beginning with '-' is an
// option chosen by its second character without regard to case; the first other token after the
// program's name names the data path, and later ones are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class ProfileFile;

// The settings block, in the order of its fields.
struct SettingsBlockRecord {
    static constexpr std::size_t kFontNameUnits = 32;  // with the terminator

    std::uint8_t full_screen = 0;                   // 1 full screen, 0 window
    std::uint8_t display_speed = 0;                 // 1 fast
    std::uint8_t text_skip1 = 1;                    // stop skipping at unread text
    std::uint8_t text_skip2 = 1;                    // cancel skipping at a choice
    std::uint8_t base_color[4] = {0, 0, 128, 128};  // red, green, blue, alpha of the text background
    char16_t font_name[kFontNameUnits] = u"ＭＳ 明朝";
    std::uint8_t enable_voice = 1;
    std::uint8_t enable_bgm = 1;
    std::uint8_t enable_se = 1;
    std::uint8_t main_volume = 100;  // percent
    std::uint8_t bgm_volume = 100;
    std::uint8_t voice_volume = 100;
    std::uint8_t se_volume = 100;

    bool operator==(const SettingsBlockRecord&) const = default;
};
extern SettingsBlockRecord SettingsBlock;

// The settings words beside the block (the draw speed is DrawSpeed of the frame step).
extern std::int32_t RefreshRate;     // 0 the display's default
extern std::int32_t SoundFreq;       // 0, 1, 2: 44100, 22050, 11025 Hz; any other value 44100 Hz
extern std::int32_t SoundPriority;   // above 0: the higher priority
extern std::int32_t StreamSize;      // eighths of a second per stream segment
extern std::int32_t TextSpeedIndex;  // into kTextSpeeds, read from the file (may lie outside it)
extern std::int32_t AutoWaitIndex;   // into kAutoWaits, read from the file (may lie outside it)

// The text-speed and auto-wait options in use, chosen from their tables by index; the program
// starts with the defaults' values.
inline constexpr std::int32_t kTextSpeeds[] = {0, 50, 200, 400};
inline constexpr std::int32_t kAutoWaits[] = {0, 1, 100, 600, 1000};
inline constexpr std::int32_t kDefaultTextSpeedIndex = 2;
inline constexpr std::int32_t kDefaultAutoWaitIndex = 3;
extern std::int32_t TextSpeed;
extern std::int32_t AutoWait;
// An index outside its table leaves the value as it is.
void SetTextSpeed(std::int32_t index);
void SetAutoWait(std::int32_t index);
// The index of the value in use; a value not in the table gives 2 (text speed) or 3 (auto wait).
std::int32_t GetTextSpeedIndex();
std::int32_t GetAutoWaitIndex();

// The words the command-line options set.
struct CommandOptionsRecord {
    std::int32_t debug_level = 0;    // -D 1, -D2 2
    std::int32_t select_driver = 0;  // --SELDRIVER: offer the display driver choice
    std::int32_t archives_only = 0;  // -A: never use the loose script folder
    std::int32_t option_e = 0;       // -E, read by nothing
    std::int32_t option_i = 0;       // -I, read by nothing
    std::int32_t no_mmx = 0;         // -M: the span engine keeps to its plain path
    std::int32_t sound_enable = 1;   // -S makes it 0
    std::u16string output_path;      // -Opath, read by nothing

    bool operator==(const CommandOptionsRecord&) const = default;
};
extern CommandOptionsRecord CommandOptions;

// Where the data and the settings are. Folders end in '/'.
struct SettingsFoldersRecord {
    std::u16string data_path;  // the first plain argument, whole (empty when none was given)
    std::u16string data_folder;
    std::u16string settings_folder;
    std::u16string settings_file;  // settings folder + "quibel.ini"
};
extern SettingsFoldersRecord SettingsFolders;

// The data folder: a data path naming an existing folder is taken whole; any other data path
// gives its own folder (name and extension dropped, "./" when it has none); without a data path,
// the executable's folder when "system.saf" lies there, else the "data" folder beside it.
std::u16string DataFolderFor(std::u16string_view data_path, std::u16string_view executable_folder);
// The settings folder by the environment rules above (`fallback` when none applies).
std::u16string SettingsFolderFor(std::u16string_view fallback);
// Creates every missing folder along the path; false when one cannot be made or a part of the
// path is not a folder.
bool MakeDirectoryPath(std::u16string_view path);

// The data path and data folder from the first plain argument of the command line.
void ParseDataPathArgument(std::u16string_view command_line, std::u16string_view executable_folder);
// The debug level becomes 0, then every option of the command line takes effect, followed by the
// `extra` tokens (the Options key's, read already); the first plain argument is taken as by
// ParseDataPathArgument.
void ParseOptions(std::u16string_view command_line, std::u16string_view executable_folder,
                  std::span<const std::u16string> extra = {});

// Reads every key of the settings section (defaults for what is missing) and returns the extra
// options of the "Options" key.
std::u16string ReadSettings(const ProfileFile& file);
// Writes every key but "Options" into the settings section, in the table's order.
void WriteSettings(ProfileFile& file, bool full_screen_at_exit);

// Start-up: data path and folder, the settings folder (created when missing), the settings file,
// then the options of the command line extended by the "Options" key. A settings folder that
// cannot be made is reported in a message box and gives false: the program then ends with 1.
// A settings file that cannot be read (not a regular file, larger than ProfileFile::kMaxFileBytes)
// is reported in a message box and the defaults are used; it is then never written back. An
// Options key naming a response file that cannot be read is reported the same way and its
// options are not used; the command line's own response files end the program (cmdline.h).
bool LoadSettings(std::u16string_view command_line, std::u16string_view executable_folder);
// End: writes the settings back into the settings file, keeping its other lines. False when the
// file could not be read or written (the file on disk is then left as it was).
bool SaveSettings(bool full_screen_at_exit);
