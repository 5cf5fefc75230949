#include "records/jet/WriterFile.h"

#include "records/jet/Error.h"
#include "records/jet/PageFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvane::jet {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& reason) {
    throw Error(path + ": " + reason + ".");
}

std::string systemReason(int error) { return std::strerror(error); }

std::string baseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes the temporary file unless released.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::string path_;
};

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         bool replace) {
    if (path.empty())
        throw Error("No database file name was given.");
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        fail(path, "it is a folder");
    const std::string folder = folderOf(path);
    std::string pattern = folder + "/." + baseOf(path) + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail(path, "cannot create a temporary file in " + folder + " (" + systemReason(errno) + ")");
    TemporaryFile temp(pattern);
    // mkstemp makes the file private; a database is as readable as any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            fail(path, "writing failed (" + systemReason(error) + ")");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        fail(path, "flushing to disk failed (" + systemReason(error) + ")");
    }
    if (::close(fd) != 0)
        fail(path, "closing failed (" + systemReason(errno) + ")");

    if (replace) {
        if (::rename(temp.path().c_str(), path.c_str()) != 0)
            fail(path, "cannot put the new file in place (" + systemReason(errno) + ")");
    } else {
        // A hard link fails when the name exists, so a file that appeared in
        // the meantime is never replaced.
        if (::link(temp.path().c_str(), path.c_str()) != 0) {
            const int error = errno;
            if (error == EEXIST)
                fail(path, "the file already exists");
            if (fileExists(path) ||
                ::rename(temp.path().c_str(), path.c_str()) != 0)
                fail(path, "cannot put the new file in place (" + systemReason(error) + ")");
            temp.release();
        }
    }
    syncFolder(folder);
}

} // namespace zorvane::jet
