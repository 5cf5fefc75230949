#pragma once
// A report file that a command writes beside its work on a database (refresh
// --changes). The name the user gives may be a new file, a regular file to
// replace, a symbolic link, a device or a FIFO:
//   - the database itself (the same file, by any name or link) and its
//     journal are refused before anything is done;
//   - a link is followed: its target is written, the link stays;
//   - a regular file (or none yet) is replaced whole: the report is written
//     to a temporary file beside it, which takes its name at commit(), so a
//     command that fails leaves the old report as it was;
//   - a device or a FIFO is written in place, at commit() (never replaced by
//     a regular file);
//   - anything else (a folder, a socket) is refused.
// Errors are jet::Error, "NAME: reason." naming the report as given. Every
// file operation goes through the file system given (records/os).

#include "records/os/FileSystem.h"

#include <string>
#include <string_view>

namespace zorvane::tools {

class ReportFile {
public:
    // Checks `name` against the database at `database`; throws when the
    // report cannot go there.
    ReportFile(std::string name, const std::string& database,
               os::FileSystem& system = os::posixFileSystem());
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // The report's bytes: written to the temporary file now (a regular
    // file), or kept for commit() (a device, a FIFO).
    void prepare(std::string_view bytes);
    // The report in place.
    void commit();

private:
    [[noreturn]] void fail(const std::string& reason) const;

    os::FileSystem& sys_;
    std::string name_;       // as given
    std::string target_;     // the file written: the name, its links followed
    std::string temporary_;  // beside the target, until commit (regular files)
    std::string pending_;    // for a device or a FIFO
    bool inPlace_ = false;   // a device or a FIFO
};

} // namespace zorvane::tools
