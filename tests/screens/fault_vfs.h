// An SQLite VFS for tests that sits on the default VFS and sees every write, sync, truncate,
// journal open and file delete the library asks of the disk. A test can make the n-th of one kind
// fail (once, or from then on, as a full disk would) with the code it chooses, or be told of each
// one before it happens (to stop a child process at an exact step of a commit).
//
// While it lives it is the default VFS of the process, so every connection the program opens goes
// through it; the earlier default is restored when it goes.
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstddef>
#include <functional>
#include <stdexcept>

namespace testsupport {

enum class FaultOp { kWrite, kSync, kTruncate, kJournalOpen, kDelete };
inline constexpr std::size_t kFaultOpCount = 5;

inline const char* FaultOpName(FaultOp op) {
    constexpr const char* kNames[kFaultOpCount] = {"write", "sync", "truncate", "journal open", "delete"};
    return kNames[static_cast<std::size_t>(op)];
}

class FaultVfs {
public:
    FaultVfs() {
        real_ = sqlite3_vfs_find(nullptr);
        if (!real_) throw std::runtime_error("no default SQLite VFS");
        vfs_.iVersion = 2;
        vfs_.szOsFile = static_cast<int>(kRealOffset) + real_->szOsFile;
        vfs_.mxPathname = real_->mxPathname;
        vfs_.zName = "qb_fault";
        vfs_.pAppData = this;
        vfs_.xOpen = &Open;
        vfs_.xDelete = &Delete;
        vfs_.xAccess = [](sqlite3_vfs* vfs, const char* name, int flags, int* out) {
            return Real(vfs)->xAccess(Real(vfs), name, flags, out);
        };
        vfs_.xFullPathname = [](sqlite3_vfs* vfs, const char* name, int size, char* out) {
            return Real(vfs)->xFullPathname(Real(vfs), name, size, out);
        };
        vfs_.xDlOpen = [](sqlite3_vfs* vfs, const char* name) { return Real(vfs)->xDlOpen(Real(vfs), name); };
        vfs_.xDlError = [](sqlite3_vfs* vfs, int size, char* out) { Real(vfs)->xDlError(Real(vfs), size, out); };
        vfs_.xDlSym = [](sqlite3_vfs* vfs, void* handle, const char* name) {
            return Real(vfs)->xDlSym(Real(vfs), handle, name);
        };
        vfs_.xDlClose = [](sqlite3_vfs* vfs, void* handle) { Real(vfs)->xDlClose(Real(vfs), handle); };
        vfs_.xRandomness = [](sqlite3_vfs* vfs, int size, char* out) {
            return Real(vfs)->xRandomness(Real(vfs), size, out);
        };
        vfs_.xSleep = [](sqlite3_vfs* vfs, int micros) { return Real(vfs)->xSleep(Real(vfs), micros); };
        vfs_.xCurrentTime = [](sqlite3_vfs* vfs, double* out) { return Real(vfs)->xCurrentTime(Real(vfs), out); };
        vfs_.xGetLastError = [](sqlite3_vfs* vfs, int size, char* out) {
            return Real(vfs)->xGetLastError(Real(vfs), size, out);
        };
        vfs_.xCurrentTimeInt64 = [](sqlite3_vfs* vfs, sqlite3_int64* out) {
            return Real(vfs)->xCurrentTimeInt64(Real(vfs), out);
        };
        if (sqlite3_vfs_register(&vfs_, 1) != SQLITE_OK) throw std::runtime_error("cannot register the fault VFS");
    }
    ~FaultVfs() {
        sqlite3_vfs_register(real_, 1);
        sqlite3_vfs_unregister(&vfs_);
    }
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    // Makes the n-th operation of `op` (counted from the last ResetCounts, from 1) fail with
    // `code`; with `sticky`, every later one of that kind fails too, until Disarm.
    void Arm(FaultOp op, int n, int code, bool sticky) {
        armed_ = true;
        op_ = op;
        n_ = n;
        code_ = code;
        sticky_ = sticky;
        fired_ = 0;
    }
    void Disarm() { armed_ = false; }
    void ResetCounts() { counts_.fill(0); }
    int Count(FaultOp op) const { return counts_[static_cast<std::size_t>(op)]; }
    // How many operations the armed fault failed.
    int Fired() const { return fired_; }
    // Called before each operation with its kind and its count so far (this one included).
    std::function<void(FaultOp, int)> before;

private:
    struct File {
        sqlite3_file base;
        FaultVfs* owner;
        sqlite3_file* real;
    };
    static constexpr std::size_t kRealOffset = (sizeof(File) + 15) / 16 * 16;

    static sqlite3_vfs* Real(sqlite3_vfs* vfs) { return static_cast<FaultVfs*>(vfs->pAppData)->real_; }
    static File* Of(sqlite3_file* file) { return reinterpret_cast<File*>(file); }
    static sqlite3_file* RealOf(sqlite3_file* file) { return Of(file)->real; }

    // SQLITE_OK to go on, or the code the operation fails with.
    int Pass(FaultOp op) {
        const int count = ++counts_[static_cast<std::size_t>(op)];
        if (before) before(op, count);
        if (!armed_ || op != op_ || count < n_ || (count > n_ && !sticky_)) return SQLITE_OK;
        ++fired_;
        return code_;
    }

    static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out_flags) {
        FaultVfs* self = static_cast<FaultVfs*>(vfs->pAppData);
        File* wrapper = Of(file);
        // SQLite closes only a file whose methods are set, so they stay null until the real open worked.
        wrapper->base.pMethods = nullptr;
        wrapper->owner = self;
        wrapper->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kRealOffset);
        if (flags & SQLITE_OPEN_MAIN_JOURNAL) {
            if (const int code = self->Pass(FaultOp::kJournalOpen); code != SQLITE_OK) return code;
        }
        const int result = self->real_->xOpen(self->real_, name, wrapper->real, flags, out_flags);
        if (wrapper->real->pMethods) wrapper->base.pMethods = &kMethods;
        return result;
    }
    static int Delete(sqlite3_vfs* vfs, const char* name, int sync_dir) {
        FaultVfs* self = static_cast<FaultVfs*>(vfs->pAppData);
        if (const int code = self->Pass(FaultOp::kDelete); code != SQLITE_OK) return code;
        return self->real_->xDelete(self->real_, name, sync_dir);
    }

    static int Close(sqlite3_file* file) {
        const int result = RealOf(file)->pMethods->xClose(RealOf(file));
        file->pMethods = nullptr;
        return result;
    }
    static int Read(sqlite3_file* file, void* out, int size, sqlite3_int64 offset) {
        return RealOf(file)->pMethods->xRead(RealOf(file), out, size, offset);
    }
    static int Write(sqlite3_file* file, const void* data, int size, sqlite3_int64 offset) {
        if (const int code = Of(file)->owner->Pass(FaultOp::kWrite); code != SQLITE_OK) return code;
        return RealOf(file)->pMethods->xWrite(RealOf(file), data, size, offset);
    }
    static int Truncate(sqlite3_file* file, sqlite3_int64 size) {
        if (const int code = Of(file)->owner->Pass(FaultOp::kTruncate); code != SQLITE_OK) return code;
        return RealOf(file)->pMethods->xTruncate(RealOf(file), size);
    }
    static int Sync(sqlite3_file* file, int flags) {
        if (const int code = Of(file)->owner->Pass(FaultOp::kSync); code != SQLITE_OK) return code;
        return RealOf(file)->pMethods->xSync(RealOf(file), flags);
    }
    static int FileSize(sqlite3_file* file, sqlite3_int64* out) {
        return RealOf(file)->pMethods->xFileSize(RealOf(file), out);
    }
    static int Lock(sqlite3_file* file, int level) { return RealOf(file)->pMethods->xLock(RealOf(file), level); }
    static int Unlock(sqlite3_file* file, int level) { return RealOf(file)->pMethods->xUnlock(RealOf(file), level); }
    static int CheckReservedLock(sqlite3_file* file, int* out) {
        return RealOf(file)->pMethods->xCheckReservedLock(RealOf(file), out);
    }
    static int FileControl(sqlite3_file* file, int op, void* arg) {
        return RealOf(file)->pMethods->xFileControl(RealOf(file), op, arg);
    }
    static int SectorSize(sqlite3_file* file) { return RealOf(file)->pMethods->xSectorSize(RealOf(file)); }
    static int DeviceCharacteristics(sqlite3_file* file) {
        return RealOf(file)->pMethods->xDeviceCharacteristics(RealOf(file));
    }

    // Version 1: no shared memory (the save file keeps a rollback journal) and no memory mapping,
    // so every page goes through Write and Read above.
    static constexpr sqlite3_io_methods kMethods = {1,
                                                    &Close,
                                                    &Read,
                                                    &Write,
                                                    &Truncate,
                                                    &Sync,
                                                    &FileSize,
                                                    &Lock,
                                                    &Unlock,
                                                    &CheckReservedLock,
                                                    &FileControl,
                                                    &SectorSize,
                                                    &DeviceCharacteristics,
                                                    nullptr,
                                                    nullptr,
                                                    nullptr,
                                                    nullptr,
                                                    nullptr,
                                                    nullptr};

    sqlite3_vfs* real_ = nullptr;
    sqlite3_vfs vfs_{};
    std::array<int, kFaultOpCount> counts_{};
    bool armed_ = false;
    FaultOp op_ = FaultOp::kWrite;
    int n_ = 0;
    int code_ = SQLITE_OK;
    bool sticky_ = false;
    int fired_ = 0;
};

}  // namespace testsupport
