#include "tools/ReportFile.h"

#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/jet/WriterFile.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace zorvane::tools {

namespace {

std::string reasonOf(int error) { return std::strerror(error); }

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path with its folder's links resolved (the folder must exist), or the
// path as it is.
std::string realPlace(os::FileSystem& sys, const std::string& path) {
    std::string folder;
    if (sys.realPath(jet::folderOf(path), folder) != 0)
        return path;
    return (std::filesystem::path(folder) / jet::baseOf(path)).string();
}

} // namespace

ReportFile::ReportFile(std::string name, const std::string& database, os::FileSystem& system)
    : sys_(system), name_(std::move(name)) {
    // A link leads to the file to write; a link that leads nowhere yet names
    // the file to make.
    target_ = jet::linkTarget(sys_, name_);

    // Never the database or its journal, by whatever name.
    struct stat out {}, db {};
    const bool exists = sys_.stat(target_, out) == 0;
    if (sys_.stat(database, db) == 0) {
        std::string real;
        const std::string journal = jet::PageFile::journalPathOf(sys_.realPath(database, real) == 0 ? real : database);
        struct stat journalStat {};
        if (exists && sameFile(out, db))
            fail("this is the database itself, so the report cannot be written there; nothing was "
                 "changed");
        if (realPlace(sys_, target_) == journal ||
            (exists && sys_.stat(journal, journalStat) == 0 && sameFile(out, journalStat)))
            fail("this is the database's journal, so the report cannot be written there; nothing "
                 "was changed");
    }
    if (exists && S_ISDIR(out.st_mode))
        fail("this is a folder, so the report cannot be written there");
    if (exists && !S_ISREG(out.st_mode) && !S_ISCHR(out.st_mode) && !S_ISBLK(out.st_mode) &&
        !S_ISFIFO(out.st_mode))
        fail("this is neither a file, a device nor a FIFO, so the report cannot be written there");
    inPlace_ = exists && !S_ISREG(out.st_mode);
}

ReportFile::~ReportFile() {
    if (!temporary_.empty())
        sys_.unlink(temporary_, nullptr);
}

void ReportFile::fail(const std::string& reason) const { jet::fail(name_, reason); }

void ReportFile::prepare(std::string_view bytes) {
    if (inPlace_) {
        pending_.assign(bytes);
        return;
    }
    // A new file beside the target, as readable as the file it replaces (a
    // new one: as any new file).
    std::string pattern = jet::folderOf(target_) + "/." + jet::baseOf(target_) + ".XXXXXX";
    os::Fd fd;
    if (const int error = sys_.createTemporary(pattern, fd))
        fail("the report cannot be written: no file can be made in " + jet::folderOf(target_) +
             " (" + reasonOf(error) + ")");
    temporary_ = pattern;
    struct stat old {};
    const mode_t mode = sys_.stat(target_, old) == 0 ? old.st_mode & 07777 : 0666 & ~sys_.creationMask();
    int error = sys_.chmod(fd.get(), mode);
    if (!error)
        error = sys_.writeAt(fd.get(), bytes.data(), bytes.size(), 0, "report write");
    if (!error)
        error = sys_.syncData(fd.get(), "report sync");
    if (const int closed = fd.close(); closed && !error)
        error = closed;
    if (error)
        fail("the report could not be written (" + reasonOf(error) + ")");
}

void ReportFile::commit() {
    if (!inPlace_) {
        if (const int error = sys_.rename(temporary_, target_, "report rename"))
            fail("the report could not be put in place (" + reasonOf(error) + ")");
        temporary_.clear();
        return;
    }
    os::Fd fd;
    if (const int error = sys_.open(target_, O_WRONLY | O_NOCTTY, 0, fd))
        fail("the report could not be written (" + reasonOf(error) + ")");
    int error = sys_.write(fd.get(), pending_.data(), pending_.size(), "report write");
    if (const int closed = fd.close(); closed && !error)
        error = closed;
    if (error)
        fail("the report could not be written (" + reasonOf(error) + ")");
}

} // namespace zorvane::tools
