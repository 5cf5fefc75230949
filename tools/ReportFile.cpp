#include "tools/ReportFile.h"

#include "records/jet/Error.h"
#include "records/jet/PageFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zorvane::tools {

namespace {

namespace fs = std::filesystem;

std::string reasonOf(int error) { return std::strerror(error); }

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path with its folder's links resolved (the folder must exist), or the
// path as it is.
std::string realPlace(const std::string& path) {
    std::error_code ec;
    const fs::path folder = fs::canonical(jet::folderOf(path), ec);
    return ec ? path : (folder / jet::baseOf(path)).string();
}

// Writes all of `bytes` to `fd`; 0 or errno.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

} // namespace

ReportFile::ReportFile(std::string name, const std::string& database) : name_(std::move(name)) {
    // A link leads to the file to write; a link that leads nowhere yet names
    // the file to make.
    target_ = name_;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(target_.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        if (links == 40)
            fail("the name leads through too many symbolic links");
        std::error_code ec;
        const fs::path to = fs::read_symlink(target_, ec);
        if (ec)
            fail("the symbolic link cannot be read (" + ec.message() + ")");
        target_ = to.is_absolute() ? to.string() : (fs::path(jet::folderOf(target_)) / to).string();
    }

    // Never the database or its journal, by whatever name.
    struct stat out {}, db {};
    const bool exists = ::stat(target_.c_str(), &out) == 0;
    if (::stat(database.c_str(), &db) == 0) {
        std::error_code ec;
        const fs::path real = fs::canonical(database, ec);
        const std::string journal = jet::PageFile::journalPathOf(ec ? database : real.string());
        struct stat journalStat {};
        if (exists && sameFile(out, db))
            fail("this is the database itself, so the report cannot be written there; nothing was "
                 "changed");
        if (realPlace(target_) == journal ||
            (exists && ::stat(journal.c_str(), &journalStat) == 0 && sameFile(out, journalStat)))
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
        ::unlink(temporary_.c_str());
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
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        fail("the report cannot be written: no file can be made in " + jet::folderOf(target_) +
             " (" + reasonOf(errno) + ")");
    temporary_ = pattern;
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target_.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int error = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (!error)
        error = writeAll(fd, bytes);
    if (!error && ::fdatasync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error)
        fail("the report could not be written (" + reasonOf(error) + ")");
}

void ReportFile::commit() {
    if (!inPlace_) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0)
            fail("the report could not be put in place (" + reasonOf(errno) + ")");
        temporary_.clear();
        return;
    }
    const int fd = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail("the report could not be written (" + reasonOf(errno) + ")");
    int error = writeAll(fd, pending_);
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error)
        fail("the report could not be written (" + reasonOf(error) + ")");
}

} // namespace zorvane::tools
