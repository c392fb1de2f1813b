#include "app/start_data.h"

#include <algorithm>
#include <filesystem>
#include <span>

#include "app/app_script.h"
#include "app/game_data.h"
#include "app/picture_transitions.h"
#include "app/scheduler.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "app/system_image.h"
#include "archive/archive.h"
#include "host/fonts/font_faces.h"
#include "host/ui/menu.h"
#include "lib/error.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "script/variables.h"
#include "sound/sound.h"

namespace {

constexpr std::u16string_view kSource = u"main";
constexpr std::u16string_view kSystemArchive = u"system.saf";

bool FileExists(const std::u16string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(Utf16ToUtf8(path)), error);
}

void Gray(const GameCycleServices& services, std::span<const int> commands, bool grayed) {
    if (!services.menu) return;
    for (int command : commands) services.menu->Gray(command, grayed);
}

// The release of the data, whether the start-up ended normally or not.
void ReleaseData() {
    FontFaces.clear();
    SystemImage.Reset();
    TextScript::ClearVariableTable(TextScript::LiveVariables());
    TextScript::ClearVariableTable(TextScript::VariableSnapshot());
    StopAllSounds();
    SystemArchive.Reset();
    ScriptArchive.Reset();
    SoundArchive.Reset();
}

// The splash; a request made during it decides how the first cycle starts.
std::int32_t RunSplash(const GameCycleServices& services) {
    Gray(services, kMenuStartGrayed, true);
    Gray(services, kMenuSplashGrayed, true);
    std::int32_t mode = 0;
    try {
        BrandSplash();
    } catch (const ScriptException& request) {
        mode = CycleResultOfRequest(request, 0);
    }
    Gray(services, kMenuSplashGrayed, false);
    return mode;
}

}  // namespace

std::u16string DataBaseFolder(std::u16string_view folder) {
    std::u16string base(folder);
    if (base.empty()) base = u"./";
    if (base.back() != u'/') base.push_back(u'/');
    const std::u16string beside = base + u"../data/";
    if (!FileExists(base + std::u16string(kSystemArchive)) && FileExists(beside + std::u16string(kSystemArchive)))
        return beside;
    // Found there, or nowhere: then the folder given is the one the missing archive is reported in.
    return base;
}

void OpenDataArchives(std::u16string_view base_folder, bool archives_only) {
    const std::u16string base(base_folder);
    const std::u16string system_path = base + std::u16string(kSystemArchive);
    SystemArchive = OpenSafArchive(system_path);
    // The system sounds and the system image come from it: without it nothing can be shown.
    if (!SystemArchive) ThrowError(kSource, __LINE__, 0, 0, u"データがありません。(%s)", system_path);
    const bool loose = !archives_only && FileExists(base + u"script/data/" + std::u16string(kStartScript));
    const std::u16string script_path = base + (loose ? u"script/data" : u"script.saf");
    const std::u16string sound_path = base + (loose ? u"script/sound" : u"sound.saf");
    ScriptArchive = loose ? OpenDirArchive(script_path) : OpenSafArchive(script_path);
    SoundArchive = loose ? OpenDirArchive(sound_path) : OpenSafArchive(sound_path);
    // Without scripts or sounds the game cannot start: the player is told which one is missing.
    if (!ScriptArchive) ThrowError(kSource, __LINE__, 0, 0, u"データがありません。(%s)", script_path);
    if (!SoundArchive) ThrowError(kSource, __LINE__, 0, 0, u"データがありません。(%s)", sound_path);
}

void StartData(std::u16string_view data_folder, const GameCycleServices& services) {
    const ScopeExit release(ReleaseData);
    OpenDataArchives(DataBaseFolder(data_folder), CommandOptions.archives_only != 0);
    LoadSystemSounds();
    LoadSystemImage(*SystemArchive);
    FontFaces = host::ListMessageFaces(SettingsBlockRecord::kFontNameUnits);
    SetMasterVolume(VolumeToAttenuation(VolumeLevel(SettingsBlock.main_volume)));
    std::fill(std::begin(SeenFlags), std::end(SeenFlags), std::uint8_t{0});
    LoadSystemConfig(*ScriptArchive);

    std::int32_t mode = RunSplash(services);
    do {
        ResetThreadSlots();
        Gray(services, kMenuStartGrayed, true);
        mode = RunSession(kStartScript, mode, services);
        StopAllSounds();
    } while (mode != 0);
}
