#include "records/jet/FaultPoints.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zorvane::jet::fault {

namespace {

struct Settings {
    std::uint64_t crashAt = 0;
    bool tear = false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> failing;  // inclusive ranges
    int failError = ENOSPC;
    const char* log = nullptr;
    std::uint64_t count = 0;
    std::uint64_t syncs = 0;
};

std::uint64_t number(const char* name) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return (end && *end == '\0') ? value : 0;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges(const char* text) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
    if (!text)
        return out;
    const std::string list = text;
    std::size_t start = 0;
    while (start < list.size()) {
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

Settings& settings() {
    static Settings s = [] {
        Settings fromEnvironment;
        fromEnvironment.crashAt = number("ZORVANE_CRASH_POINT");
        fromEnvironment.tear = number("ZORVANE_CRASH_TEAR") != 0;
        fromEnvironment.failing = ranges(std::getenv("ZORVANE_FAIL_POINT"));
        if (const std::uint64_t error = number("ZORVANE_FAIL_ERRNO"))
            fromEnvironment.failError = static_cast<int>(error);
        const char* log = std::getenv("ZORVANE_FAULT_LOG");
        fromEnvironment.log = (log && *log) ? log : nullptr;
        return fromEnvironment;
    }();
    return s;
}

} // namespace

Outcome reach(const char* name, Kind kind) {
    Settings& s = settings();
    const std::uint64_t n = ++s.count;
    if (kind == Kind::Sync)
        ++s.syncs;
    if (s.log) {
        if (std::FILE* f = std::fopen(s.log, "a")) {
            std::fprintf(f, "%llu %s\n", static_cast<unsigned long long>(n), name);
            std::fclose(f);
        }
    }
    if (n == s.crashAt) {
        if (s.tear && kind == Kind::Write)
            return {Action::Tear, 0};
        ::_exit(CrashStatus);
    }
    for (const auto& [first, last] : s.failing)
        if (n >= first && n <= last)
            return {Action::Fail, s.failError};
    return {};
}

void tearDone() { ::_exit(CrashStatus); }

void configure(std::uint64_t crashAt, bool tear, const char* failPoints, int failError) {
    Settings& s = settings();
    s.crashAt = crashAt;
    s.tear = tear;
    s.failing = ranges(failPoints);
    s.failError = failError;
    s.count = 0;
    s.syncs = 0;
}

std::uint64_t reached() { return settings().count; }
std::uint64_t syncsReached() { return settings().syncs; }

} // namespace zorvane::jet::fault
