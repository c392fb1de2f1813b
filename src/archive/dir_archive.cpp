// A plain folder used as an archive (the development layout).
#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "archive/archive_file.h"
#include "archive/compressed_file.h"
#include "archive/mapping_file.h"
#include "archive/pack_archive.h"
#include "archive/posix_file.h"
#include "lib/text.h"

namespace {

using archive_detail::UniqueFd;

bool PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The name in folder that equals name ignoring ASCII case, preferring the exact spelling, as
// a case-blind file system would find it.
std::optional<std::string> MatchInFolder(const std::string& folder, const std::string& name) {
    if (PathExists(folder + name)) return name;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 0x20 : c; };
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view candidate(entry->d_name);
        if (candidate.size() == name.size() &&
            std::equal(candidate.begin(), candidate.end(), name.begin(), [&](char a, char b) {
                return fold(static_cast<unsigned char>(a)) == fold(static_cast<unsigned char>(b));
            }))
            return std::string(candidate);
    }
    return std::nullopt;
}

class CDirArchive final : public CComImpl<IArchive> {
public:
    explicit CDirArchive(std::string root) : root_(std::move(root)) {}

    bool Exists(std::u16string_view path) override { return Resolve(path).has_value(); }

    ComPtr<IArchiveFile> OpenFile(std::u16string_view path) override {
        auto full = Resolve(path);
        if (!full) return nullptr;
        UniqueFd fd = archive_detail::OpenForReading(*full);
        auto size = fd ? archive_detail::FileSize(fd.get()) : std::nullopt;
        if (!size) return nullptr;
        return ComPtr<IArchiveFile>::Adopt(
            new CArchiveFile(ComPtr<IArchive>::Share(this), std::u16string(path), std::move(fd), 0, *size));
    }

    ComPtr<IMappingFile> OpenMapping(std::u16string_view path) override { return MakeMappingFile(OpenFile(path)); }

    // A pack in a folder is read with the version its own header names.
    ComPtr<IArchive> OpenArchive(std::u16string_view path) override {
        auto full = Resolve(path);
        if (!full) return nullptr;
        UniqueFd fd = archive_detail::OpenForReading(*full);
        auto size = fd ? archive_detail::FileSize(fd.get()) : std::nullopt;
        return size ? OpenPackAt(fd.get(), 0, *size) : nullptr;
    }

    std::vector<ArchiveListEntry> Enumerate() override { return {}; }
    ComPtr<IArchive> Duplicate() override { return ComPtr<IArchive>::Share(this); }
    bool IsCompressed(std::u16string_view) override { return false; }

    ComPtr<ICompressedFile> OpenDecompressed(std::u16string_view path) override {
        ComPtr<IArchiveFile> file = OpenFile(path);
        return file ? MakeFlatFile(std::move(file)) : nullptr;
    }

private:
    // The disk path of an entry, each component matched ignoring case; '/' or '\' separate.
    // Only names inside the folder exist: an absolute name, a ".." component or a NUL (which
    // would cut the path the system sees) is no entry.
    std::optional<std::string> Resolve(std::u16string_view path) const {
        std::string relative = Utf16ToUtf8(path);
        if (relative.empty() || relative[0] == '/' || relative[0] == '\\' || relative.find('\0') != std::string::npos)
            return std::nullopt;
        std::string full = root_;
        std::size_t start = 0;
        bool any = false;
        while (start <= relative.size()) {
            std::size_t end = relative.find_first_of("/\\", start);
            if (end == std::string::npos) end = relative.size();
            std::string part = relative.substr(start, end - start);
            start = end + 1;
            if (part.empty() || part == ".") continue;
            if (part == "..") return std::nullopt;
            if (any) full.push_back('/');
            auto match = MatchInFolder(full, part);
            if (!match) return std::nullopt;
            full += *match;
            any = true;
        }
        if (!any) return std::nullopt;
        return full;
    }

    std::string root_;  // absolute, ends in '/', in the file system's own bytes
};

}  // namespace

ComPtr<IArchive> OpenDirArchive(std::u16string_view folder) { return OpenDirArchiveNative(Utf16ToUtf8(folder)); }

ComPtr<IArchive> OpenDirArchiveNative(const std::string& folder) {
    std::string path = folder;
    for (char& c : path)
        if (c == '\\') c = '/';
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path.empty() ? "." : path, error);
    if (error || !std::filesystem::is_directory(absolute, error)) return nullptr;
    std::string root = absolute.string();
    if (root.back() != '/') root.push_back('/');
    return ComPtr<IArchive>::Adopt(new CDirArchive(std::move(root)));
}
