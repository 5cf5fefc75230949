#pragma once
// Numbered fault points over the engine's file system (records/os): every
// operation the engine names a point for passes one, numbered from 1 in the
// order the process reaches them. At the crash point the process ends with
// status 77 before the operation (torn: after half of a write's bytes); the
// failing points ("7", "7,10-12", "10-") fail with an errno (default ENOSPC);
// a log gets "N name" per point. From the environment: ZORVANE_CRASH_POINT,
// ZORVANE_CRASH_TEAR=1, ZORVANE_FAIL_POINT, ZORVANE_FAIL_ERRNO,
// ZORVANE_FAULT_LOG; ZORVANE_FAIL_MAP (an errno) fails every mapping of a file
// (the engine then reads the file by copying); ZORVANE_FAIL_LIST (an errno)
// fails every listing of a folder; for the engine's options
// ZORVANE_BUSY_TIMEOUT_MS and
// ZORVANE_INDEX_PAGE_ROOM. The engine passes the faults only for files opened
// with options that name this file system (faultyOptions()).

#include "records/jet/Options.h"
#include "records/os/FileSystem.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zorvane::test::fault {

inline constexpr int CrashStatus = 77;

class FaultFileSystem : public os::ForwardingFileSystem {
public:
    FaultFileSystem() : ForwardingFileSystem(os::posixFileSystem()) {}
    // 0 and nullptr switch the faults off; the count starts again.
    void configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError);
    void setLog(std::string path) { log_ = std::move(path); }
    // Every mapping of a file fails with `error` (0: none fails).
    void failMapping(int error) { mapError_ = error; }
    // How many mappings of a file were asked for since the last configure().
    std::uint64_t mappings() const { return mappings_; }
    // Every listing of a folder fails with `error` (0: none fails).
    void failListing(int error) { listError_ = error; }

    int writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset, const char* point) override;
    int write(int fd, const void* data, std::size_t length, const char* point) override {
        return pass(point, &FileSystem::write, fd, data, length, point);
    }
    int syncData(int fd, const char* point) override { return pass(point, &FileSystem::syncData, fd, point); }
    int syncFolder(int fd, const char* point) override { return pass(point, &FileSystem::syncFolder, fd, point); }
    int truncate(int fd, std::uint64_t size, const char* point) override {
        return pass(point, &FileSystem::truncate, fd, size, point);
    }
    int rename(const std::string& from, const std::string& to, const char* point) override {
        return pass(point, &FileSystem::rename, from, to, point);
    }
    int link(const std::string& from, const std::string& to, const char* point) override {
        return pass(point, &FileSystem::link, from, to, point);
    }
    int renameNoReplace(const std::string& from, const std::string& to, const char* point) override {
        return pass(point, &FileSystem::renameNoReplace, from, to, point);
    }
    int unlink(const std::string& path, const char* point) override {
        return pass(point, &FileSystem::unlink, path, point);
    }
    int mapFile(int fd, std::size_t length, bool writable, void*& out) override;
    int listFolder(const std::string& path, std::vector<std::string>& names) override {
        return listError_ ? listError_ : inner_.listFolder(path, names);
    }

private:
    // Passes a point (none: no point): 0, or the errno to fail with; -1 for
    // a write to tear. Ends the process at the crash point.
    int reach(const char* point, bool write = false);
    // The inner file system's operation, unless its point fails.
    template <typename Op, typename... Args> int pass(const char* point, Op op, Args&&... args) {
        const int fault = reach(point);
        return fault ? fault : (inner_.*op)(std::forward<Args>(args)...);
    }

    std::uint64_t crashAt_ = 0, count_ = 0;
    bool tear_ = false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> failing_;  // inclusive ranges
    int failError_ = 0;
    int mapError_ = 0;
    int listError_ = 0;
    std::uint64_t mappings_ = 0;
    std::string log_;
};

// The process's fault file system.
FaultFileSystem& installed();
// `base` with the fault file system as its file system.
inline jet::Options faultyOptions(jet::Options base = {}) {
    base.fileSystem = &installed();
    return base;
}
// Configures it from the environment (see above); the options that use it,
// with the busy timeout and index page room the environment gives.
jet::Options optionsFromEnvironment();
// For tests inside one process.
inline void configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError) {
    installed().configure(crashAt, tear, failPoints, failError);
}

} // namespace zorvane::test::fault
