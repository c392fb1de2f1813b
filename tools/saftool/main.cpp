// saftool: lists, reads, extracts and writes the game's archives. `--help` prints the usage; a
// command line it cannot read (an unknown option among them) ends it with 2.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive.h"
#include "lib/report_hook.h"
#include "lib/text.h"
#include "saf_writer.h"
#include "tools/usage.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: saftool list ARCHIVE [--open ENTRY]...\n"
    "       saftool cat ARCHIVE [--open ENTRY]... PATH\n"
    "       saftool extract ARCHIVE [--open ENTRY]... DIR\n"
    "       saftool pack [--version 5|6] [--scramble] [--compress none|zlib|lzss] SRCDIR OUT\n";

// The engine's assertion for an unsupported pack version is a dialog; here the failure is
// told in the tool's own one-line message instead.
class QuietReports : public ReportSink {
public:
    int MessageBox(std::u16string_view, std::u16string_view, unsigned) override { return kIdIgnore; }
    void DebugOutput(std::u16string_view) override {}
};

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "saftool: %s\n", message.c_str());
    return 1;
}

// The archive named on the command line (its bytes passed on as they are), then each --open in
// turn. Only a folder or a regular file is opened, so a pipe or device fails at once.
ComPtr<IArchive> OpenChain(const std::string& path, const std::vector<std::string>& opens, std::string& error) {
    struct stat info {};
    ComPtr<IArchive> archive;
    if (::stat(path.c_str(), &info) != 0) {
        error = "cannot open archive " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        archive = OpenDirArchiveNative(path);
    } else if (!S_ISREG(info.st_mode)) {
        error = "cannot open archive " + path + ": not a regular file or folder";
        return nullptr;
    } else {
        archive = OpenSafArchiveNative(path);
    }
    if (!archive) {
        error = "cannot open archive " + path + " (unreadable, or not a version 5 or 6 pack)";
        return nullptr;
    }
    for (const std::string& entry : opens) {
        archive = archive->OpenArchive(Utf8ToUtf16(entry));
        if (!archive) {
            error = "cannot open nested archive " + entry;
            return nullptr;
        }
    }
    return archive;
}

// A whole entry, or the reason it cannot be had.
std::optional<std::vector<std::uint8_t>> LoadEntry(IArchive& archive, std::u16string_view name, std::string& error) {
    ComPtr<ICompressedFile> decoder = archive.OpenDecompressed(name);
    if (!decoder) {
        error = "cannot open entry (outside the pack, or not a regular file)";
        return std::nullopt;
    }
    if (decoder->GetSize() > kMaxEntryLoadBytes) {
        error = "entry declares " + std::to_string(decoder->GetSize()) + " bytes, more than the limit of " +
                std::to_string(kMaxEntryLoadBytes >> 20) + " MiB";
        return std::nullopt;
    }
    auto bytes = LoadArchiveEntry(archive, name);
    if (!bytes) error = "cannot read entry (truncated, corrupt, or not of its declared size)";
    return bytes;
}

int RefuseOption(std::string_view option) { return tools::RefuseOption("saftool", option, kUsage); }

// Splits "ARCHIVE [--open ENTRY]... REST..." into its parts; another option is left in `unknown`.
bool ParseArchiveArgs(const std::vector<std::string>& args, std::string& archive, std::vector<std::string>& opens,
                      std::vector<std::string>& rest, std::string& unknown) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--open") {
            if (++i == args.size()) return false;
            opens.push_back(args[i]);
        } else if (tools::IsOption(args[i])) {
            unknown = args[i];
            return false;
        } else if (archive.empty()) {
            archive = args[i];
        } else {
            rest.push_back(args[i]);
        }
    }
    return !archive.empty();
}

int List(IArchive& archive) {
    for (const ArchiveListEntry& entry : archive.Enumerate())
        std::printf("%s\t%llu\t%llu\n", Utf16ToUtf8(entry.path).c_str(), static_cast<unsigned long long>(entry.size),
                    static_cast<unsigned long long>(entry.offset));
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the listing");
}

int Cat(IArchive& archive, const std::string& path) {
    std::u16string name = Utf8ToUtf16(path);
    if (!archive.Exists(name)) return Fail("no such entry: " + path);
    std::string error;
    auto bytes = LoadEntry(archive, name, error);
    if (!bytes) return Fail(error + ": " + path);
    if (std::fwrite(bytes->data(), 1, bytes->size(), stdout) != bytes->size() || std::fflush(stdout) != 0)
        return Fail("cannot write to stdout");
    return 0;
}

// Only plain relative names may be written under the target folder.
bool SafeRelative(const std::string& path) {
    if (path.empty() || path[0] == '/') return false;
    for (const fs::path& part : fs::path(path))
        if (part == "." || part == ".." || part.empty()) return false;
    return true;
}

int Extract(IArchive& archive, const std::string& target) {
    int status = 0;
    for (const ArchiveListEntry& entry : archive.Enumerate()) {
        const std::string path = Utf16ToUtf8(entry.path);
        if (!SafeRelative(path)) {
            status = Fail("skipped unsafe name: " + path);
            continue;
        }
        std::string reason;
        auto bytes = LoadEntry(archive, entry.path, reason);
        if (!bytes) {
            status = Fail(reason + ": " + path);
            continue;
        }
        const fs::path out_path = fs::path(target) / path;
        std::error_code error;
        fs::create_directories(out_path.parent_path(), error);
        std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) status = Fail("cannot write " + out_path.string());
    }
    return status;
}

int Pack(const std::vector<std::string>& args) {
    PackOptions options;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--scramble") {
            options.scramble = true;
        } else if (arg == "--version" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value != "5" && value != "6") return Usage();
            options.version = static_cast<std::uint8_t>(value[0] - '0');
        } else if (arg == "--compress" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value == "none")
                options.compression = PackCompression::kNone;
            else if (value == "zlib")
                options.compression = PackCompression::kZlib;
            else if (value == "lzss")
                options.compression = PackCompression::kLzss;
            else
                return Usage();
        } else if (tools::IsOption(arg)) {
            // --version and --compress come here only without their value.
            return arg == "--version" || arg == "--compress" ? Usage() : RefuseOption(arg);
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() != 2) return Usage();
    try {
        PackFolder(paths[0], paths[1], options);
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (tools::AnswerHelp(argc, argv, kUsage)) return 0;
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (tools::IsOption(command)) return RefuseOption(command);
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "pack") return Pack(args);

    std::string archive_path, unknown;
    std::vector<std::string> opens, rest;
    if (!ParseArchiveArgs(args, archive_path, opens, rest, unknown))
        return unknown.empty() ? Usage() : RefuseOption(unknown);
    const std::size_t wanted = command == "list" ? 0 : 1;
    if ((command != "list" && command != "cat" && command != "extract") || rest.size() != wanted) return Usage();
    QuietReports quiet;
    ScopedReportSink scope(&quiet);
    std::string error;
    ComPtr<IArchive> archive = OpenChain(archive_path, opens, error);
    if (!archive) return Fail(error);
    if (command == "list") return List(*archive);
    if (command == "cat") return Cat(*archive, rest[0]);
    return Extract(*archive, rest[0]);
}
