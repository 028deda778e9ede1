#pragma once

// Counts the flushes to the disk that SQLite asks for, through a file system of its own (a VFS)
// that wraps the default one: the journal's waits for the disk, seen from below.

#include <sqlite3.h>

#include <atomic>

namespace vanto::testing {

/// While it lives, every database that SQLite opens goes through a wrapper of the default file
/// system that counts the flushes of write-ahead logs and of database files. Connections opened
/// meanwhile keep the wrapper after it has gone; only the counting stops mattering.
class DiskFlushes {
  public:
    DiskFlushes() {
        auto& wrapper = Wrapper::shared();
        wrapper.logFlushes = 0;
        wrapper.fileFlushes = 0;
        sqlite3_vfs_register(&wrapper.vfs, 1);
    }
    ~DiskFlushes() { sqlite3_vfs_register(Wrapper::shared().real, 1); }
    DiskFlushes(const DiskFlushes&) = delete;
    DiskFlushes& operator=(const DiskFlushes&) = delete;

    /// Flushes of write-ahead logs: one for each commit that waits for the disk.
    int ofLog() const { return Wrapper::shared().logFlushes; }
    /// Flushes of database files: a checkpoint's, which folds the log back into the file.
    int ofFile() const { return Wrapper::shared().fileFlushes; }

  private:
    // A file of the wrapper: which kind it is, followed by the default file system's own.
    struct File {
        sqlite3_file base;
        std::atomic<int>* flushes;

        static sqlite3_file* inner(sqlite3_file* file) {
            return reinterpret_cast<sqlite3_file*>(reinterpret_cast<File*>(file) + 1);
        }
    };

    struct Wrapper {
        sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
        sqlite3_vfs vfs = wrapping(*real);
        std::atomic<int> logFlushes{0};
        std::atomic<int> fileFlushes{0};

        // Never destroyed: a connection opened through it may outlive any test.
        static Wrapper& shared() {
            static auto* wrapper = new Wrapper;
            return *wrapper;
        }
    };

    static sqlite3_vfs wrapping(const sqlite3_vfs& real) {
        sqlite3_vfs vfs = real;
        vfs.zName = "vanto-test-disk-flushes";
        vfs.pNext = nullptr;
        vfs.szOsFile = static_cast<int>(sizeof(File)) + real.szOsFile;
        vfs.xOpen = [](sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                       int* outFlags) {
            auto& wrapper = Wrapper::shared();
            auto* counted = reinterpret_cast<File*>(file);
            counted->base.pMethods = nullptr;
            counted->flushes = (flags & SQLITE_OPEN_WAL) != 0       ? &wrapper.logFlushes
                               : (flags & SQLITE_OPEN_MAIN_DB) != 0 ? &wrapper.fileFlushes
                                                                    : nullptr;
            const int code =
                wrapper.real->xOpen(wrapper.real, name, File::inner(file), flags, outFlags);
            if (File::inner(file)->pMethods != nullptr) {
                counted->base.pMethods = &kMethods;
            }
            return code;
        };
        return vfs;
    }

    // Each method hands the call to the default file system's file; xSync counts it first.
    template <auto method>
    static constexpr auto forward = [](sqlite3_file* f, auto... arguments) {
        return (File::inner(f)->pMethods->*method)(File::inner(f), arguments...);
    };
    using M = sqlite3_io_methods;
    static constexpr sqlite3_io_methods kMethods = {
        3,
        forward<&M::xClose>,
        forward<&M::xRead>,
        forward<&M::xWrite>,
        forward<&M::xTruncate>,
        [](sqlite3_file* f, int flags) {
            if (auto* flushes = reinterpret_cast<File*>(f)->flushes) {
                ++*flushes;
            }
            return File::inner(f)->pMethods->xSync(File::inner(f), flags);
        },
        forward<&M::xFileSize>,
        forward<&M::xLock>,
        forward<&M::xUnlock>,
        forward<&M::xCheckReservedLock>,
        forward<&M::xFileControl>,
        forward<&M::xSectorSize>,
        forward<&M::xDeviceCharacteristics>,
        forward<&M::xShmMap>,
        forward<&M::xShmLock>,
        forward<&M::xShmBarrier>,
        forward<&M::xShmUnmap>,
        forward<&M::xFetch>,
        forward<&M::xUnfetch>,
    };
};

}  // namespace vanto::testing
