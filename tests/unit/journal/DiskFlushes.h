#pragma once

// Counts the flushes to the disk that SQLite asks for, through a file system of its own (a VFS)
// over the default one: the journal's waits for the disk, seen from below.

#include <sqlite3.h>

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>

namespace vanto::testing {

/// While it lives, every database that SQLite opens goes through the default file system with
/// the flushes of write-ahead logs and of database files counted. Connections opened meanwhile
/// keep counting after it has gone; only the counts stop mattering.
class DiskFlushes {
  public:
    DiskFlushes() {
        auto& counting = Counting::shared();
        counting.logFlushes = 0;
        counting.fileFlushes = 0;
        sqlite3_vfs_register(&counting.vfs, 1);
    }
    ~DiskFlushes() { sqlite3_vfs_register(Counting::shared().real, 1); }
    DiskFlushes(const DiskFlushes&) = delete;
    DiskFlushes& operator=(const DiskFlushes&) = delete;

    /// Flushes of write-ahead logs: one for each commit that waits for the disk.
    int ofLog() const { return Counting::shared().logFlushes; }
    /// Flushes of database files: a checkpoint's, which folds the log back into the file.
    int ofFile() const { return Counting::shared().fileFlushes; }

  private:
    // Kept after the default file system's own part of each file: the count its flushes go to,
    // and its own methods, which the file uses through a copy whose xSync counts first.
    struct Tail {
        std::atomic<int>* flushes;
        const sqlite3_io_methods* own;
    };

    struct Counting {
        sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
        std::size_t tailAt = (static_cast<std::size_t>(real->szOsFile) + 7) / 8 * 8;
        sqlite3_vfs vfs = counting(*real, tailAt);
        std::atomic<int> logFlushes{0};
        std::atomic<int> fileFlushes{0};
        std::mutex mutex;
        std::map<const sqlite3_io_methods*, sqlite3_io_methods> counted;

        // Never destroyed: a connection opened through it may outlive any test.
        static Counting& shared() {
            static auto* counting = new Counting;
            return *counting;
        }
    };

    static Tail& tailOf(sqlite3_file* file) {
        return *reinterpret_cast<Tail*>(reinterpret_cast<char*>(file) + Counting::shared().tailAt);
    }

    static sqlite3_vfs counting(const sqlite3_vfs& real, std::size_t tailAt) {
        sqlite3_vfs vfs = real;
        vfs.zName = "vanto-test-disk-flushes";
        vfs.pNext = nullptr;
        vfs.szOsFile = static_cast<int>(tailAt + sizeof(Tail));
        vfs.xOpen = [](sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                       int* outFlags) {
            auto& counting = Counting::shared();
            const int code = counting.real->xOpen(counting.real, name, file, flags, outFlags);
            if (file->pMethods != nullptr) {
                tailOf(file) = {(flags & SQLITE_OPEN_WAL) != 0       ? &counting.logFlushes
                                : (flags & SQLITE_OPEN_MAIN_DB) != 0 ? &counting.fileFlushes
                                                                     : nullptr,
                                file->pMethods};
                const std::lock_guard lock(counting.mutex);
                auto [copy, added] = counting.counted.try_emplace(file->pMethods, *file->pMethods);
                copy->second.xSync = [](sqlite3_file* counted, int syncFlags) {
                    if (auto* flushes = tailOf(counted).flushes) {
                        ++*flushes;
                    }
                    return tailOf(counted).own->xSync(counted, syncFlags);
                };
                file->pMethods = &copy->second;
            }
            return code;
        };
        return vfs;
    }
};

}  // namespace vanto::testing
