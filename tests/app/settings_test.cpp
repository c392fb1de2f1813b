#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/frame_step.h"
#include "app/sound_start.h"
#include "host/testhost/test_host.h"
#include "lib/profile.h"
#include "lib/text.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable (or removes it) for the life of a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class Settings : public testing::Test {
protected:
    void SetUp() override { ResetWords(); }
    void TearDown() override { DrawSpeed = 1; }

    static void ResetWords() {
        SettingsBlock = {};
        CommandOptions = {};
        SettingsFolders = {};
        DrawSpeed = RefreshRate = SoundFreq = SoundPriority = StreamSize = TextSpeedIndex = AutoWaitIndex = -7;
        TextSpeed = 200;
        AutoWait = 600;
    }
    std::u16string Dir(const std::string& name = "") const { return folder_.Path(name); }
    std::string ReadFile(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testsupport::TempFolder folder_{"settings_test"};
    const fs::path& dir_ = folder_.path();
};

// A settings file holding the settings section with these lines.
ProfileFile Section(const std::u16string& lines) {
    const std::string text = Utf16ToUtf8(u"[quibel]\n" + lines);
    return ProfileFile::Parse(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

constexpr std::nullopt_t kMissing = std::nullopt;

TEST_F(Settings, EveryKeyWithItsDefaultBadAndMissingValues) {
    struct KeyCases {
        const char16_t* key;
        int (*field)();
        std::vector<std::pair<std::optional<std::u16string>, int>> values;  // value in the file, field read
    };
    const KeyCases cases[] = {
        {u"FullScreen",
         [] { return +SettingsBlock.full_screen; },
         {{kMissing, 0}, {u"1", 1}, {u" 1 ", 1}, {u"2", 0}, {u"yes", 0}, {u"", 0}, {u"01", 0}}},
        {u"DisplaySpeed",
         [] { return +SettingsBlock.display_speed; },
         {{kMissing, 0}, {u"", 0}, {u"1", 1}, {u"256", 1}, {u"fast", 0}}},
        {u"TextSkip1", [] { return +SettingsBlock.text_skip1; }, {{kMissing, 1}, {u"", 1}, {u"0", 0}, {u"-3", 1}}},
        {u"TextSkip2", [] { return +SettingsBlock.text_skip2; }, {{kMissing, 1}, {u"0x", 0}}},
        {u"EnableVoice",
         [] { return +SettingsBlock.enable_voice; },
         {{kMissing, 1}, {u"", 1}, {u"0", 0}, {u"-5", 0}, {u"2", 2}, {u"257", 1}}},
        {u"EnableBgm", [] { return +SettingsBlock.enable_bgm; }, {{kMissing, 1}, {u"0", 0}}},
        {u"EnableSe", [] { return +SettingsBlock.enable_se; }, {{kMissing, 1}, {u"no", 0}}},
        {u"MainVolume",
         [] { return +SettingsBlock.main_volume; },
         {{kMissing, 50},
          {u"", 50},
          {u"-5", 0},
          {u"75", 75},
          {u"150", 150},
          {u"300", 44},
          {u"99999999999999999999999999", 255}}},
        {u"BgmVolume", [] { return +SettingsBlock.bgm_volume; }, {{kMissing, 50}, {u"20", 20}}},
        {u"VoiceVolume", [] { return +SettingsBlock.voice_volume; }, {{kMissing, 50}, {u"-1", 0}}},
        {u"SeVolume", [] { return +SettingsBlock.se_volume; }, {{kMissing, 50}, {u"101", 101}}},
        {u"SkipFrame",
         [] { return DrawSpeed; },
         {{kMissing, 1}, {u"", 1}, {u"-1", 1}, {u"0", 0}, {u"16", 16}, {u"3", 3}, {u"32", 32}}},
        {u"RefreshRate", [] { return RefreshRate; }, {{kMissing, 0}, {u"-60", 0}, {u"75", 75}}},
        {u"SoundFreq", [] { return SoundFreq; }, {{kMissing, 0}, {u"2", 2}, {u"3", 3}, {u"-1", 0}}},
        {u"SoundPriority", [] { return SoundPriority; }, {{kMissing, 0}, {u"-1", 0}, {u"2", 2}}},
        {u"StreamSize", [] { return StreamSize; }, {{kMissing, 4}, {u"0", 0}, {u"-2", 4}, {u"8", 8}, {u"1000", 1000}}},
        {u"MessageWait", [] { return TextSpeedIndex; }, {{kMissing, 2}, {u"0", 0}, {u"3", 3}, {u"4", 4}, {u"-1", 2}}},
        {u"MessageSkip", [] { return AutoWaitIndex; }, {{kMissing, 3}, {u"4", 4}, {u"5", 5}, {u"-2147483649", 3}}},
    };
    for (const KeyCases& c : cases) {
        for (const auto& [value, expected] : c.values) {
            SCOPED_TRACE(Utf16ToUtf8(c.key) + "=" + (value ? Utf16ToUtf8(*value) : "(missing)"));
            ResetWords();
            ReadSettings(Section(value ? std::u16string(c.key) + u"=" + *value : u""));
            EXPECT_EQ(c.field(), expected);
        }
    }
}

TEST_F(Settings, BaseColorFontNameAndOptionsValues) {
    struct ColorCase {
        std::optional<std::u16string> value;
        std::uint8_t rgba[4];
    };
    const ColorCase colors[] = {
        {std::nullopt, {64, 64, 240, 160}},
        {u"", {64, 64, 240, 160}},
        {u"300,1,2,3", {44, 1, 2, 3}},
        {u"1, 2,\t3,+4", {1, 2, 3, 4}},
        {u"10,20", {10, 20, 240, 160}},
        {u"10,x,30,40", {10, 64, 240, 160}},
        {u"1 ,2,3,4", {1, 64, 240, 160}},
        {u"1 2 3 4", {1, 64, 240, 160}},
        {u"10,,30,40", {10, 64, 240, 160}},
        {u"red", {64, 64, 240, 160}},
        {u"-1,99999999999,0,0", {255, 255, 0, 0}},
    };
    for (const ColorCase& c : colors) {
        SCOPED_TRACE(c.value ? Utf16ToUtf8(*c.value) : "(missing)");
        ReadSettings(Section(c.value ? u"BaseColor=" + *c.value : u""));
        EXPECT_EQ(std::u16string(SettingsBlock.base_color, SettingsBlock.base_color + 4),
                  std::u16string(c.rgba, c.rgba + 4));
    }

    const std::u16string long_ascii(40, u'F');
    const std::u16string pair_at_cut = std::u16string(30, u'F') + u"\U0001F600";
    const std::pair<std::optional<std::u16string>, std::u16string> fonts[] = {
        {std::nullopt, u"ＭＳ 明朝"},
        {u"", u"ＭＳ 明朝"},
        {u"IPAGothic", u"IPAGothic"},
        {long_ascii, std::u16string(31, u'F')},
        {pair_at_cut, std::u16string(30, u'F')},
    };
    for (const auto& [value, expected] : fonts) {
        ReadSettings(Section(value ? u"FontName=" + *value : u""));
        EXPECT_EQ(std::u16string(SettingsBlock.font_name), expected);
    }

    EXPECT_EQ(ReadSettings(Section(u"")), u"");
    EXPECT_EQ(ReadSettings(Section(u"Options= -w  -d2 ")), u"-w  -d2");
}

TEST_F(Settings, WrittenInTableOrderKeepingForeignLinesAndReadBackAlike) {
    SettingsBlock = {0, 1, 0, 1, {1, 2, 3, 4}, u"IPAGothic", 0, 1, 0, 10, 20, 30, 40};
    DrawSpeed = 16;
    RefreshRate = 75;
    SoundFreq = 1;
    SoundPriority = 1;
    StreamSize = 8;
    TextSpeed = 400;
    AutoWait = 1000;
    ProfileFile file = Section(u"; mine\nfontname=old\nExtra=kept\nOptions=-d\n[other]\nFullScreen=9\n");
    WriteSettings(file, false);
    EXPECT_EQ(file.Serialize(),
              "[quibel]\n; mine\nFontName=IPAGothic\nExtra=kept\nOptions=-d\n"
              "FullScreen=0\nDisplaySpeed=1\nTextSkip1=0\nTextSkip2=1\nBaseColor=1,2,3,4\n"
              "EnableVoice=0\nEnableBgm=1\nEnableSe=0\nMainVolume=10\nBgmVolume=20\nVoiceVolume=30\nSeVolume=40\n"
              "SkipFrame=16\nRefreshRate=75\nSoundFreq=1\nSoundPriority=1\nStreamSize=8\nMessageWait=3\n"
              "MessageSkip=4\n[other]\nFullScreen=9\n");

    const SettingsBlockRecord written = SettingsBlock;
    ResetWords();
    EXPECT_EQ(ReadSettings(file), u"-d");
    EXPECT_EQ(SettingsBlock, written);
    EXPECT_EQ(TextSpeedIndex, 3);
    EXPECT_EQ(AutoWaitIndex, 4);
    EXPECT_EQ(DrawSpeed, 16);
    EXPECT_EQ(StreamSize, 8);

    WriteSettings(file, true);
    EXPECT_EQ(file.Get(u"quibel", u"FullScreen"), u"1");
}

// A number the program bounds where it uses it goes back into the file as it stood, unless the
// player chose another value in between.
TEST_F(Settings, NumbersBoundedInUseAreWrittenBackAsTheFileHeldThem) {
    const struct {
        const char16_t* line;
        void (*change)();  // what the player did between reading and writing (null: nothing)
        const char16_t* written;
    } cases[] = {
        {u"EnableVoice=2", nullptr, u"2"},
        {u"SkipFrame=3", nullptr, u"3"},
        {u"SkipFrame=3", [] { DrawSpeed = 4; }, u"4"},
        {u"StreamSize=100", nullptr, u"100"},
        {u"StreamSize=0", nullptr, u"0"},
        {u"MainVolume=150", nullptr, u"150"},
        {u"MainVolume=150", [] { SettingsBlock.main_volume = 30; }, u"30"},
        {u"SeVolume=255", nullptr, u"255"},
        {u"MessageWait=7", nullptr, u"7"},
        {u"MessageWait=7", [] { SetTextSpeed(3); }, u"3"},
        {u"MessageWait=3", [] { SetTextSpeed(2); }, u"2"},
        {u"MessageSkip=9", nullptr, u"9"},
        {u"MessageSkip=9", [] { SetAutoWait(0); }, u"0"},
        {u"MessageSkip=1", nullptr, u"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.line) + (c.change ? " changed" : ""));
        ResetWords();
        ProfileFile file = Section(std::u16string(c.line) + u"\n");
        ReadSettings(file);
        SetTextSpeed(TextSpeedIndex);  // as the start-up applies them
        SetAutoWait(AutoWaitIndex);
        if (c.change) c.change();
        WriteSettings(file, false);
        const std::u16string line(c.line);
        EXPECT_EQ(file.Get(u"quibel", line.substr(0, line.find(u'='))), c.written);
    }
    // An index outside its table leaves the speeds the program starts with.
    ResetWords();
    ReadSettings(Section(u"MessageWait=4\nMessageSkip=5\n"));
    SetTextSpeed(TextSpeedIndex);
    SetAutoWait(AutoWaitIndex);
    EXPECT_EQ(std::pair(TextSpeed, AutoWait), std::pair(200, 600));
    // What the users take of what the file holds.
    const std::pair<std::int32_t, std::int32_t> speeds[] = {{0, 0}, {1, 1}, {8, 8}, {16, 16}, {3, 1}, {32, 1}};
    for (const auto& [speed, in_use] : speeds) EXPECT_EQ(DrawSpeedInUse(speed), in_use) << speed;
    const std::pair<std::int32_t, std::uint32_t> sizes[] = {{0, 4}, {1, 1}, {64, 64}, {65, 64}, {100, 64}};
    for (const auto& [size, units] : sizes) EXPECT_EQ(StreamSegmentUnits(size), units) << size;
}

TEST_F(Settings, TextSpeedAndAutoWaitTables) {
    const std::int32_t sets[][3] = {{-1, -9, -9},  {0, 0, 0},   {3, 400, 600},
                                    {4, -9, 1000}, {5, -9, -9}, {1 << 30, -9, -9}};
    for (const auto& [index, speed, wait] : sets) {  // an index outside its table changes nothing
        TextSpeed = AutoWait = -9;
        SetTextSpeed(index);
        SetAutoWait(index);
        EXPECT_EQ(std::pair(TextSpeed, AutoWait), std::pair(speed, wait)) << index;
    }
    const std::int32_t reads[][3] = {{0, 0, 0},   {1, 2, 1},   {50, 1, 3}, {100, 2, 2}, {200, 2, 3},
                                     {400, 3, 3}, {600, 2, 3}, {-1, 2, 3}, {1000, 2, 4}};
    for (const auto& [value, speed_index, wait_index] : reads) {  // values outside the tables read as defaults
        TextSpeed = AutoWait = value;
        EXPECT_EQ(std::pair(GetTextSpeedIndex(), GetAutoWaitIndex()), std::pair(speed_index, wait_index)) << value;
    }
}

using Options = CommandOptionsRecord;
// The options record with one field changed.
Options With(std::int32_t Options::*field, std::int32_t value) {
    Options options;
    options.*field = value;
    return options;
}

TEST_F(Settings, EveryOption) {
    const struct {
        const char16_t* line;
        CommandOptionsRecord expected;
        int full_screen;
    } cases[] = {
        {u"quibel", {}, 1},
        {u"quibel -D", With(&Options::debug_level, 1), 1},
        {u"quibel -d2", With(&Options::debug_level, 2), 1},
        {u"quibel -d3", With(&Options::debug_level, 1), 1},
        {u"quibel --seldriver", With(&Options::select_driver, 1), 1},
        {u"quibel --SELDRIVERS -", {}, 1},
        {u"quibel -a", With(&Options::archives_only, 1), 1},
        {u"quibel -E", With(&Options::option_e, 1), 1},
        {u"quibel -i", With(&Options::option_i, 1), 1},
        {u"quibel -M", With(&Options::no_mmx, 1), 1},
        {u"quibel -Oout.log",
         [] {
             Options r;
             r.output_path = u"out.log";
             return r;
         }(),
         1},
        {u"quibel -s", With(&Options::sound_enable, 0), 1},
        {u"quibel -W", {}, 0},
        {u"quibel -x -zz", {}, 1},
        {u"-s quibel", {}, 1},  // the program's name is never an option
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.line));
        CommandOptions = {};
        CommandOptions.debug_level = 2;  // each parse starts from debug level 0
        SettingsBlock.full_screen = 1;
        ParseOptions(c.line, Dir());
        EXPECT_EQ(CommandOptions, c.expected);
        EXPECT_EQ(SettingsBlock.full_screen, c.full_screen);
    }
}

// The data path and the data folder.
std::pair<std::u16string, std::u16string> Folders() { return {SettingsFolders.data_path, SettingsFolders.data_folder}; }

TEST_F(Settings, DataPathAndDataFolder) {
    fs::create_directories(dir_ / "game data");
    fs::create_directories(dir_ / "bin");
    const std::u16string game = Dir("game data");
    const std::u16string bin = Dir("bin");

    ParseDataPathArgument(u"quibel -d \"" + game + u"\" second", bin);
    EXPECT_EQ(Folders(), std::pair(game, game + u"/"));

    const std::pair<std::u16string, std::u16string> paths[] = {
        {game + u"/", game + u"/"},
        {game + u"/start.dat", game + u"/"},
        {u"start.dat", u"./"},
        {u"", bin + u"/../data/"},
    };
    for (const auto& [path, folder] : paths) EXPECT_EQ(DataFolderFor(path, bin), folder) << Utf16ToUtf8(path);
    std::ofstream(dir_ / "bin" / "system.saf") << "x";
    EXPECT_EQ(DataFolderFor(u"", bin), bin + u"/");

    ParseDataPathArgument(u"quibel", bin);
    EXPECT_EQ(Folders(), std::pair(std::u16string(), bin + u"/"));
    // Options take the first plain argument too, and leave the data path alone without one.
    ParseOptions(u"quibel -w", bin);
    EXPECT_EQ(SettingsFolders.data_folder, bin + u"/");
    ParseOptions(u"quibel -w other.dat second.dat", bin);
    EXPECT_EQ(Folders(), std::pair(std::u16string(u"other.dat"), std::u16string(u"./")));
}

TEST_F(Settings, SettingsFolderFromTheEnvironment) {
    struct Case {
        const char *settings, *data_home, *home;
        std::u16string expected;
    };
    const Case cases[] = {
        {"/s/dir", "/xdg", "/home/p", u"/s/dir/"},
        {"", "/xdg/", "/home/p", u"/xdg/tarrowmeld/quibel_vodur/"},
        {nullptr, "relative", "/home/p", u"/home/p/.local/share/tarrowmeld/quibel_vodur/"},
        {nullptr, nullptr, nullptr, u"fallback/"},
    };
    for (const Case& c : cases) {
        ScopedEnv settings("QUIBEL_SETTINGS_DIR", c.settings);
        ScopedEnv data_home("XDG_DATA_HOME", c.data_home);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(SettingsFolderFor(u"fallback"), c.expected);
    }
}

TEST_F(Settings, LoadAndSaveThroughTheSettingsFolder) {
    const std::u16string folder = Dir("made/on/demand");
    ScopedEnv env("QUIBEL_SETTINGS_DIR", Utf16ToUtf8(folder).c_str());
    ASSERT_TRUE(LoadSettings(u"quibel", Dir()));
    EXPECT_TRUE(fs::is_directory(dir_ / "made/on/demand"));  // made with its parents
    // A UTF-16 file with the player's own lines; it comes back as UTF-8 with them kept.
    const std::u16string text = u"[quibel]\r\nFullScreen=1\r\nMessageWait=3\r\nOptions=-W -d2\r\n; 私のメモ\r\n";
    {
        std::ofstream out(dir_ / "made/on/demand/quibel.ini", std::ios::binary);
        out << "\xFF\xFE";
        for (char16_t c : text) out << static_cast<char>(c & 0xFF) << static_cast<char>(c >> 8);
    }
    ASSERT_TRUE(LoadSettings(u"quibel -s", Dir("bin")));
    EXPECT_EQ(SettingsFolders.settings_file, folder + u"/quibel.ini");
    EXPECT_EQ(SettingsBlock.full_screen, 0);  // -W from the Options key
    EXPECT_EQ(std::pair(CommandOptions.debug_level, CommandOptions.sound_enable), std::pair(2, 0));
    EXPECT_EQ(std::pair(TextSpeed, AutoWait), std::pair(400, 600));

    SetAutoWait(0);
    ASSERT_TRUE(SaveSettings(true));
    const std::string saved = ReadFile("made/on/demand/quibel.ini");
    // Keys in place, missing ones after the section's last key, the comment kept at the end.
    EXPECT_EQ(saved.rfind("[quibel]\r\nFullScreen=1\r\nMessageWait=3\r\nOptions=-W -d2\r\nDisplaySpeed=0\r\n", 0), 0u);
    EXPECT_NE(saved.find("MessageSkip=0\r\n; 私のメモ\r\n"), std::string::npos);
    EXPECT_EQ(saved.size(), saved.find("; 私のメモ\r\n") + std::string("; 私のメモ\r\n").size());
}

TEST_F(Settings, FolderThatCannotBeMadeAndFileThatCannotBeRead) {
    std::ofstream(dir_ / "plain") << "x";
    {
        ScopedEnv env("QUIBEL_SETTINGS_DIR", (dir_ / "plain" / "sub").c_str());
        testhost::TestHost host;  // its scripted modal layer takes the program's boxes
        EXPECT_FALSE(LoadSettings(u"quibel", Dir()));
        const auto& boxes = host.scripted_modal().boxes;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption + u"|" + boxes[0].text,
                  u"エラー|Error: 無効なディレクトリ名です。(" + Dir("plain/sub") + u"/)");
        EXPECT_EQ(boxes[0].style, kMbOk | kMbIconExclamation);
    }
    // A settings "file" that cannot be read (a link to a folder, a file too large to be one):
    // defaults are used, the player is told why, and the file is left as it is.
    fs::create_directories(dir_ / "link" / "folder");
    fs::create_directory_symlink(dir_ / "link" / "folder", dir_ / "link" / "quibel.ini");
    fs::create_directories(dir_ / "big");
    std::ofstream(dir_ / "big" / "quibel.ini") << "[quibel]\nMainVolume=7\n";
    fs::resize_file(dir_ / "big" / "quibel.ini", ProfileFile::kMaxFileBytes + 1);  // sparse
    const std::pair<std::string, std::u16string> unreadable[] = {{"link", u"is a folder"},
                                                                 {"big", u"is larger than 65536 bytes"}};
    for (const auto& [name, reason] : unreadable) {
        const fs::path file = dir_ / name / "quibel.ini";
        const std::u16string path = Utf8ToUtf16(file.string());
        ScopedEnv env("QUIBEL_SETTINGS_DIR", (dir_ / name).c_str());
        testsupport::CaptureReports reports;
        ASSERT_TRUE(LoadSettings(u"quibel", Dir()));
        EXPECT_EQ(SettingsBlock.main_volume, 50);
        EXPECT_EQ(reports.debug, u"Settings file " + path + u" " + reason + u"; defaults used\n");
        ASSERT_EQ(reports.boxes.size(), 1u);
        EXPECT_NE(reports.boxes[0].text.find(path + u" " + reason + u"."), std::u16string::npos);
        EXPECT_FALSE(SaveSettings(false));
        EXPECT_TRUE(name == "link" ? fs::is_symlink(file) : fs::file_size(file) == ProfileFile::kMaxFileBytes + 1);
    }
}

// A response file of the Options key that cannot be read drops that key's options, with a
// message naming the key; the command line's own options stay.
TEST_F(Settings, OptionsKeyWithAnUnreadableResponseFileIsNotUsed) {
    std::ofstream(dir_ / "quibel.ini") << "[quibel]\nFullScreen=1\nOptions=-W @/dev/zero -S\n";
    ScopedEnv env("QUIBEL_SETTINGS_DIR", dir_.c_str());
    testsupport::CaptureReports reports;
    ASSERT_TRUE(LoadSettings(u"quibel -d", Dir()));
    EXPECT_EQ(SettingsBlock.full_screen, 1);
    EXPECT_EQ(std::pair(CommandOptions.debug_level, CommandOptions.sound_enable), std::pair(1, 1));
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].text, u"Settings file " + Dir("quibel.ini") +
                                         u", key Options: the response file @/dev/zero is not a regular file; the "
                                         u"key's options are not used.");
}

}  // namespace
