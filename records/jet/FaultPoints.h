#pragma once
// Numbered fault points for crash and failure tests of the file layer.
//
// Every write, sync, truncation and removal the page file makes while it
// saves or undoes a command first passes one point; points are numbered from 1
// in the order the process reaches them. Two environment variables, read once
// per process, turn a point into a fault:
//   ZORVANE_CRASH_POINT=N   the process ends at once with status 77 on reaching
//                           point N (before its operation; with
//                           ZORVANE_CRASH_TEAR=1 a write point first writes
//                           half of its bytes, as a power cut would leave it);
//   ZORVANE_FAIL_POINT=LIST the operations of the listed points fail with
//                           ZORVANE_FAIL_ERRNO (default ENOSPC, the full
//                           disk); LIST is points and ranges, e.g. "7" or
//                           "7,10-12" or "10-" (10 and every later one).
// ZORVANE_FAULT_LOG=FILE appends "N name" per point reached, so a test can
// count and name the points of a command. With none of them set a point costs
// one counter increment and one comparison.

#include <cstdint>

namespace zorvane::jet::fault {

inline constexpr int CrashStatus = 77;

enum class Action { Go, Fail, Tear };
enum class Kind { Write, Sync, Other };

struct Outcome {
    Action action = Action::Go;
    int error = 0;  // for Fail: the errno value to report
};

// Passes one point. Exits the process when it is the crash point (except with
// Action::Tear, where the caller writes half and then calls tearDone()). Only
// a Write can be torn.
Outcome reach(const char* name, Kind kind);
[[noreturn]] void tearDone();

// For tests inside one process: the same settings as the environment gives
// (0 switches a fault off); clears the counter.
void configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError);
// Points reached since the process started or configure() was last called.
std::uint64_t reached();
// Of those, the syncs (fdatasync or fsync calls).
std::uint64_t syncsReached();

} // namespace zorvane::jet::fault
