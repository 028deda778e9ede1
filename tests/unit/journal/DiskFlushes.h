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
    static constexpr sqlite3_io_methods kMethods = {
        3,
        [](sqlite3_file* f) { return File::inner(f)->pMethods->xClose(File::inner(f)); },
        [](sqlite3_file* f, void* data, int size, sqlite3_int64 at) {
            return File::inner(f)->pMethods->xRead(File::inner(f), data, size, at);
        },
        [](sqlite3_file* f, const void* data, int size, sqlite3_int64 at) {
            return File::inner(f)->pMethods->xWrite(File::inner(f), data, size, at);
        },
        [](sqlite3_file* f, sqlite3_int64 size) {
            return File::inner(f)->pMethods->xTruncate(File::inner(f), size);
        },
        [](sqlite3_file* f, int flags) {
            if (auto* flushes = reinterpret_cast<File*>(f)->flushes) {
                ++*flushes;
            }
            return File::inner(f)->pMethods->xSync(File::inner(f), flags);
        },
        [](sqlite3_file* f, sqlite3_int64* size) {
            return File::inner(f)->pMethods->xFileSize(File::inner(f), size);
        },
        [](sqlite3_file* f, int lock) {
            return File::inner(f)->pMethods->xLock(File::inner(f), lock);
        },
        [](sqlite3_file* f, int lock) {
            return File::inner(f)->pMethods->xUnlock(File::inner(f), lock);
        },
        [](sqlite3_file* f, int* reserved) {
            return File::inner(f)->pMethods->xCheckReservedLock(File::inner(f), reserved);
        },
        [](sqlite3_file* f, int operation, void* argument) {
            return File::inner(f)->pMethods->xFileControl(File::inner(f), operation, argument);
        },
        [](sqlite3_file* f) { return File::inner(f)->pMethods->xSectorSize(File::inner(f)); },
        [](sqlite3_file* f) {
            return File::inner(f)->pMethods->xDeviceCharacteristics(File::inner(f));
        },
        [](sqlite3_file* f, int region, int size, int extend, void volatile** memory) {
            return File::inner(f)->pMethods->xShmMap(File::inner(f), region, size, extend, memory);
        },
        [](sqlite3_file* f, int offset, int count, int flags) {
            return File::inner(f)->pMethods->xShmLock(File::inner(f), offset, count, flags);
        },
        [](sqlite3_file* f) { File::inner(f)->pMethods->xShmBarrier(File::inner(f)); },
        [](sqlite3_file* f, int remove) {
            return File::inner(f)->pMethods->xShmUnmap(File::inner(f), remove);
        },
        [](sqlite3_file* f, sqlite3_int64 at, int size, void** page) {
            return File::inner(f)->pMethods->xFetch(File::inner(f), at, size, page);
        },
        [](sqlite3_file* f, sqlite3_int64 at, void* page) {
            return File::inner(f)->pMethods->xUnfetch(File::inner(f), at, page);
        },
    };
};

}  // namespace vanto::testing
