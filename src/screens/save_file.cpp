#include "screens/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "lib/text.h"

namespace {

// The files SQLite keeps beside a database. A hot journal left beside a new file of the same name
// would be played into it, so each goes with its database.
constexpr const char* kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};
constexpr std::u16string_view kDatExtension = u".dat";
constexpr std::u16string_view kNewFileSuffix = u".new";
// More files kept aside within one second than anyone makes by hand.
constexpr int kMaxAsideTries = 100;

// SQLite's lock bytes in a database file: the pending byte, the reserved byte and the shared
// range, 512 bytes from 1 GiB; and the byte of the shared-memory file that every connection to a
// write-ahead log holds while it is open.
constexpr off_t kDatabaseLockStart = 0x40000000;
constexpr off_t kDatabaseLockBytes = 512;
constexpr off_t kSharedMemoryOpenByte = 128;

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A lock of `type` on `length` bytes from `start` of an open file description of our own: it
// meets the locks of every other program (and of SQLite in this process, which holds none while a
// file is moved). False when another holds any of those bytes.
bool LockRange(const FileHandle& file, off_t start, off_t length, short type = F_WRLCK) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return ::fcntl(file.get(), F_OFD_SETLK, &lock) == 0;
}

// Gives `from` the second name `to`, never replacing a file of that name: a hard link, or a
// synced copy where the file system has no links. Empty on success, else the system's words.
std::string LinkOrCopy(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return {};
    if (errno == EEXIST || Exists(to)) return std::strerror(EEXIST);
    std::error_code error;
    if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, error)) return error.message();
    const FileHandle copy(::open(to.c_str(), O_RDONLY | O_CLOEXEC));
    return copy.valid() && ::fsync(copy.get()) == 0 ? "" : std::strerror(errno);
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::u16string& path) {
    struct stat status {};
    if (::stat(Utf16ToUtf8(path).c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                        static_cast<std::int64_t>(status.st_size),
                        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

bool CanKeepAside(const std::u16string& path) {
    const std::string native = Utf16ToUtf8(path);
    struct stat status {};
    if (::stat(native.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    return ::access(Utf16ToUtf8(FolderOf(path)).c_str(), W_OK | X_OK) == 0;
}

SaveFileLock::SaveFileLock(const std::u16string& path) {
    const std::string native = Utf16ToUtf8(path);
    // Closing the descriptors (with the lock) releases the locks of their descriptions.
    database_ = FileHandle(::open(native.c_str(), O_RDWR | O_CLOEXEC));
    // A file this process may only read is locked for reading (a write lock needs write access),
    // which still meets every program that writes it.
    const bool read_only = !database_.valid();
    if (read_only) database_ = FileHandle(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (!database_.valid()) return;
    held_ = LockRange(database_, kDatabaseLockStart, kDatabaseLockBytes, read_only ? F_RDLCK : F_WRLCK);
    sharedMemory_ = FileHandle(::open((native + "-shm").c_str(), O_RDWR | O_CLOEXEC));
    if (held_ && sharedMemory_.valid()) held_ = LockRange(sharedMemory_, kSharedMemoryOpenByte, 1);
}

std::u16string NewFileName(const std::u16string& path) { return path + std::u16string(kNewFileSuffix); }

void RemoveNewFile(const std::u16string& path) {
    const std::string fresh = Utf16ToUtf8(NewFileName(path));
    for (const char* suffix : kCompanionSuffixes) ::unlink((fresh + suffix).c_str());
    ::unlink(fresh.c_str());
}

std::u16string AsideName(const std::u16string& path, std::time_t when) {
    std::u16string stem = path;
    if (stem.ends_with(kDatExtension)) stem.resize(stem.size() - kDatExtension.size());
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    const std::u16string base = stem + Utf8ToUtf16(stamp);
    for (int n = 1; n < kMaxAsideTries; ++n) {
        const std::u16string name = base + (n == 1 ? u"" : u"-" + Utf8ToUtf16(std::to_string(n))) + u".dat";
        const std::string native = Utf16ToUtf8(name);
        bool taken = Exists(native);
        for (const char* suffix : kCompanionSuffixes) taken = taken || Exists(native + suffix);
        if (!taken) return name;
    }
    return base + u"-" + Utf8ToUtf16(std::to_string(kMaxAsideTries)) + u".dat";
}

std::u16string SwapInNewFile(const std::u16string& path, const std::u16string& fresh, const std::u16string& aside) {
    const std::string from = Utf16ToUtf8(path);
    const std::string to = Utf16ToUtf8(aside);
    // The old file keeps its name until the new one takes it: a crash before the rename leaves it
    // in use as it was, with a second name.
    if (const std::string failed = LinkOrCopy(from, to); !failed.empty())
        return Utf8ToUtf16(from + " -> " + to + ": " + failed);
    // Its journals go with it and leave the name: the new file must not meet them.
    for (const char* suffix : kCompanionSuffixes) {
        if (!Exists(from + suffix)) continue;
        std::string failed = LinkOrCopy(from + suffix, to + suffix);
        if (failed.empty() && ::unlink((from + suffix).c_str()) != 0) failed = std::strerror(errno);
        if (!failed.empty()) return Utf8ToUtf16(from + suffix + ": " + failed);
    }
    // Either name is the old file as it was, so a failure here leaves nothing to undo.
    if (std::rename(Utf16ToUtf8(fresh).c_str(), from.c_str()) != 0)
        return Utf8ToUtf16(Utf16ToUtf8(fresh) + " -> " + from + ": " + std::strerror(errno));
    SyncFolderOf(path);
    return {};
}
