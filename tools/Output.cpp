// Standard output of zorvane-db: every write checked.
#include "tools/Commands.h"

#include "records/jet/Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace zorvane::tools {

namespace {
[[noreturn]] void outputFailed(int error) {
    throw zorvane::jet::Error("standard output: writing failed (" +
                              std::string(std::strerror(error ? error : EIO)) + ").");
}
} // namespace

void writeOut(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
        outputFailed(errno);
}

void flushOut() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        outputFailed(errno);
}

} // namespace zorvane::tools
