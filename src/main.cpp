// quibel: the game. Options follow the game's own command line (a dash and a letter, e.g. -W for
// a window, -S without sound, -D for the debug menu, --SELDRIVER for the display choice, @FILE
// for more options from a file); the first plain argument names the data folder. Unknown letters
// pass unnoticed, as the game's command line always let them; an unknown long option is a mistake
// the player is told of (usage on stderr, exit 2).
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/application.h"
#include "host/ui/desktop_report_sink.h"
#include "lib/cmdline.h"
#include "lib/error.h"
#include "lib/text.h"
#include "screens/screen_services.h"

namespace {

constexpr const char* kUsage =
    "usage: quibel [DATA_FOLDER] [-W] [-S] [-A] [-D|-D2] [-M] [--SELDRIVER] [@OPTIONS_FILE]\n"
    "  DATA_FOLDER  where system.saf, script.saf and sound.saf lie (default: beside the program,\n"
    "               or the data folder next to it)\n"
    "  -W  play in a window    -S  no sound    -A  archives only, never the loose script folder\n"
    "  -D  debug menu (-D2 more traces)        -M  plain drawing path only\n"
    "  --SELDRIVER  choose the display driver before the window opens\n"
    "Settings and saves: $XDG_DATA_HOME/tarrowmeld/quibel_vodur (or $QUIBEL_SETTINGS_DIR).\n";

// The folder of the running executable, so that the data beside it is found from anywhere.
std::u16string ExecutableFolder(const char* argv0) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) self = std::filesystem::absolute(argv0, error);
    return Utf8ToUtf16(self.parent_path().string());
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    // Only the arguments: an Options line in the settings file is the game's own business. "--"
    // alone names no option and is passed over.
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--", 2) == 0 && argv[i][2] != '\0' && ::strcasecmp(argv[i], "--SELDRIVER") != 0) {
            std::fprintf(stderr, "quibel: unknown option %s\n", argv[i]);
            std::fputs(kUsage, stderr);
            return 2;
        }
    // Boxes before the window opens and after it has gone are shown on the desktop; while the
    // window lives it shows them itself.
    host::DesktopReportSink desktop_reports;
    const ScopedReportSink report_scope(&desktop_reports);
    ApplicationPlatform platform;
    platform.open_host = [] { return host::OpenSdlHost(kWindowTitle); };
    InstallScreens(platform);
    try {
        return RunApplication(JoinCommandLine(std::span<const char* const>(argv, static_cast<std::size_t>(argc))),
                              ExecutableFolder(argv[0]), platform);
    } catch (const ExceptionHandle& error) {
        std::fprintf(stderr, "quibel: %s(%u): %s\n", Utf16ToUtf8(error.file).c_str(), error.line,
                     Utf16ToUtf8(error.message).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quibel: %s\n", error.what());
    }
    return 1;
}
