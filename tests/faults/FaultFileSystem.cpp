#include "tests/faults/FaultFileSystem.h"

#include "records/jet/PageFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace zorvane::test::fault {

namespace {

std::uint64_t number(const char* name) {
    const char* text = std::getenv(name);
    char* end = nullptr;
    const unsigned long long value = text && *text ? std::strtoull(text, &end, 10) : 0;
    return end && *end == '\0' ? value : 0;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges(const char* text) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
    const std::string list = text ? text : "";
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(start, end - start);
        const std::size_t dash = item.find('-');
        const std::uint64_t first = std::strtoull(item.c_str(), nullptr, 10);
        std::uint64_t last = first;
        if (dash != std::string::npos)
            last = dash + 1 < item.size() ? std::strtoull(item.c_str() + dash + 1, nullptr, 10)
                                          : ~std::uint64_t(0);
        if (first > 0 && last >= first)
            out.emplace_back(first, last);
        start = end + 1;
    }
    return out;
}

} // namespace

void FaultFileSystem::configure(std::uint64_t crashAt, bool tear, const char* failPoints,
                                int failError) {
    crashAt_ = crashAt;
    tear_ = tear;
    failing_ = ranges(failPoints);
    failError_ = failError ? failError : ENOSPC;
    count_ = syncs_ = 0;
}

FaultFileSystem::Action FaultFileSystem::reach(const char* point, Kind kind, int& error) {
    error = 0;
    if (!point)
        return Action::Go;
    const std::uint64_t n = ++count_;
    if (kind == Kind::Sync)
        ++syncs_;
    if (!log_.empty()) {
        if (std::FILE* f = std::fopen(log_.c_str(), "a")) {
            std::fprintf(f, "%llu %s\n", static_cast<unsigned long long>(n), point);
            std::fclose(f);
        }
    }
    if (n == crashAt_) {
        if (tear_ && kind == Kind::Write)
            return Action::Tear;
        ::_exit(CrashStatus);
    }
    for (const auto& [first, last] : failing_)
        if (n >= first && n <= last) {
            error = failError_;
            return Action::Fail;
        }
    return Action::Go;
}

int FaultFileSystem::writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset,
                             const char* point) {
    int error;
    const Action action = reach(point, Kind::Write, error);
    if (action == Action::Fail)
        return error;
    if (action == Action::Tear) {
        inner_.writeAt(fd, data, length / 2, offset, point);
        ::_exit(CrashStatus);
    }
    return inner_.writeAt(fd, data, length, offset, point);
}

// The other points: the fault, or the operation.
#define ZORVANE_FAULT_POINT(kind, call) \
    int error;                          \
    if (reach(point, kind, error) == Action::Fail) \
        return error;                   \
    return call;

int FaultFileSystem::syncData(int fd, const char* point) {
    ZORVANE_FAULT_POINT(Kind::Sync, inner_.syncData(fd, point))
}
int FaultFileSystem::syncFolder(int fd, const char* point) {
    ZORVANE_FAULT_POINT(Kind::Sync, inner_.syncFolder(fd, point))
}
int FaultFileSystem::truncate(int fd, std::uint64_t size, const char* point) {
    ZORVANE_FAULT_POINT(Kind::Other, inner_.truncate(fd, size, point))
}
int FaultFileSystem::rename(const std::string& from, const std::string& to, const char* point) {
    ZORVANE_FAULT_POINT(Kind::Other, inner_.rename(from, to, point))
}
int FaultFileSystem::link(const std::string& from, const std::string& to, const char* point) {
    ZORVANE_FAULT_POINT(Kind::Other, inner_.link(from, to, point))
}
int FaultFileSystem::unlink(const std::string& path, const char* point) {
    ZORVANE_FAULT_POINT(Kind::Other, inner_.unlink(path, point))
}

FaultFileSystem& installed() {
    static FaultFileSystem faults;
    os::setFileSystem(&faults);
    return faults;
}

void installFromEnvironment() {
    FaultFileSystem& faults = installed();
    faults.configure(number("ZORVANE_CRASH_POINT"), number("ZORVANE_CRASH_TEAR") != 0,
                     std::getenv("ZORVANE_FAIL_POINT"), static_cast<int>(number("ZORVANE_FAIL_ERRNO")));
    if (const char* log = std::getenv("ZORVANE_FAULT_LOG"))
        faults.setLog(log);
    if (const std::uint64_t timeout = number("ZORVANE_BUSY_TIMEOUT_MS"))
        jet::PageFile::setBusyTimeout(std::chrono::milliseconds(timeout));
}

} // namespace zorvane::test::fault
