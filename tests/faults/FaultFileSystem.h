#pragma once
// Numbered fault points for the crash and failure tests, as a file system
// that decorates the engine's (records/os/FileSystem.h).
//
// Every file operation the engine names a point for (each write, sync,
// truncation and removal of a commit and of a rollback, and those of the
// new-file writer) passes one point; points are numbered from 1 in the order
// the process reaches them. Settings turn a point into a fault:
//   crash at N   the process ends at once with status 77 on reaching point N
//                (before its operation; torn: a write point first writes half
//                of its bytes, as a power cut would leave it);
//   fail LIST    the operations of the listed points fail with an errno
//                (default ENOSPC, the full disk); LIST is points and ranges,
//                e.g. "7" or "7,10-12" or "10-" (10 and every later one);
//   log FILE     appends "N name" per point reached.
// A test program takes them from its environment: ZORVANE_CRASH_POINT,
// ZORVANE_CRASH_TEAR=1, ZORVANE_FAIL_POINT, ZORVANE_FAIL_ERRNO and
// ZORVANE_FAULT_LOG (and ZORVANE_BUSY_TIMEOUT_MS, the page file's busy
// timeout).

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
    // 0 switches a fault off; clears the counters.
    void configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError);
    void setLog(std::string path) { log_ = std::move(path); }
    std::uint64_t reached() const { return count_; }
    std::uint64_t syncsReached() const { return syncs_; }

    int writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset,
                const char* point) override;
    int syncData(int fd, const char* point) override;
    int syncFolder(int fd, const char* point) override;
    int truncate(int fd, std::uint64_t size, const char* point) override;
    int rename(const std::string& from, const std::string& to, const char* point) override;
    int link(const std::string& from, const std::string& to, const char* point) override;
    int unlink(const std::string& path, const char* point) override;

private:
    enum class Kind { Write, Sync, Other };
    enum class Action { Go, Fail, Tear };
    // Passes one point: 0 to go on, an errno to fail with; exits at the
    // crash point (a write to be torn returns Tear).
    Action reach(const char* point, Kind kind, int& error);

    std::uint64_t crashAt_ = 0;
    bool tear_ = false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> failing_;  // inclusive ranges
    int failError_ = 0;
    std::string log_;
    std::uint64_t count_ = 0;
    std::uint64_t syncs_ = 0;
};

// The process's fault file system, installed for the engine on first use.
FaultFileSystem& installed();
// Installs it with the settings of the environment (see above), and sets the
// busy timeout given there.
void installFromEnvironment();
// For tests inside one process: installs it and configures it.
inline void configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError) {
    installed().configure(crashAt, tear, failPoints, failError);
}

} // namespace zorvane::test::fault
