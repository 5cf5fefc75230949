// Standard output of zorvane-db: every write checked; the password given.
#include "tools/Commands.h"

#include "records/jet/Error.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace zorvane::tools {

namespace {
[[noreturn]] void outputFailed(int error) {
    throw zorvane::jet::Error("the output could not be written (" +
                              std::string(std::strerror(error ? error : EIO)) + ").");
}
} // namespace

QString& givenPassword() {
    static QString password;
    return password;
}

void writeOut(const QByteArray& bytes) {
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
        static_cast<std::size_t>(bytes.size()))
        outputFailed(errno);
}

void flushOut() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        outputFailed(errno);
}

} // namespace zorvane::tools
