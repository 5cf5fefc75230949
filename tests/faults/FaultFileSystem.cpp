#include "tests/faults/FaultFileSystem.h"


#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace zorvane::test::fault {

namespace {
std::uint64_t number(const char* name) {
    const char* text = std::getenv(name);
    return text ? std::strtoull(text, nullptr, 10) : 0;
}
} // namespace

void FaultFileSystem::configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError) {
    crashAt_ = crashAt;
    tear_ = tear;
    failError_ = failError ? failError : ENOSPC;
    count_ = 0;
    mappings_ = 0;
    failing_.clear();
    std::istringstream list(failPoints ? failPoints : "");
    for (std::string item; std::getline(list, item, ',');) {
        std::uint64_t first = 0, last = 0;
        const int read = std::sscanf(item.c_str(), "%" SCNu64 "-%" SCNu64, &first, &last);
        if (read == 1)
            last = item.back() == '-' ? ~std::uint64_t(0) : first;
        if (read >= 1 && first > 0 && last >= first)
            failing_.emplace_back(first, last);
    }
}

int FaultFileSystem::reach(const char* point, bool write) {
    if (!point)
        return 0;
    const std::uint64_t n = ++count_;
    if (std::FILE* f = log_.empty() ? nullptr : std::fopen(log_.c_str(), "a")) {
        std::fprintf(f, "%" PRIu64 " %s\n", n, point);
        std::fclose(f);
    }
    if (n == crashAt_) {
        if (tear_ && write)
            return -1;
        ::_exit(CrashStatus);
    }
    for (const auto& [first, last] : failing_)
        if (n >= first && n <= last)
            return failError_;
    return 0;
}

int FaultFileSystem::writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset,
                             const char* point) {
    const int fault = reach(point, true);
    if (fault < 0) {
        inner_.writeAt(fd, data, length / 2, offset, point);
        ::_exit(CrashStatus);
    }
    return fault ? fault : inner_.writeAt(fd, data, length, offset, point);
}

int FaultFileSystem::mapFile(int fd, std::size_t length, bool writable, void*& out) {
    ++mappings_;  // not a numbered point: the crash tests' numbers stay
    return mapError_ ? mapError_ : inner_.mapFile(fd, length, writable, out);
}

FaultFileSystem& installed() {
    static FaultFileSystem faults;
    return faults;
}

jet::Options optionsFromEnvironment() {
    installed().configure(number("ZORVANE_CRASH_POINT"), number("ZORVANE_CRASH_TEAR") != 0,
                          std::getenv("ZORVANE_FAIL_POINT"), static_cast<int>(number("ZORVANE_FAIL_ERRNO")));
    if (const char* log = std::getenv("ZORVANE_FAULT_LOG"))
        installed().setLog(log);
    installed().failMapping(static_cast<int>(number("ZORVANE_FAIL_MAP")));
    installed().failListing(static_cast<int>(number("ZORVANE_FAIL_LIST")));
    jet::Options options = faultyOptions();
    if (const std::uint64_t timeout = number("ZORVANE_BUSY_TIMEOUT_MS"))
        options.busyTimeout = std::chrono::milliseconds(timeout);
    options.indexPageRoom = number("ZORVANE_INDEX_PAGE_ROOM");
    return options;
}

} // namespace zorvane::test::fault
