#include "records/jet/WriterFile.h"

#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/os/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace zorvane::jet {

namespace {

std::string systemReason(int error) { return std::strerror(error); }

// Removes the temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(os::FileSystem& sys, std::string path) : sys_(sys), path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty())
            sys_.unlink(path_, nullptr);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

private:
    os::FileSystem& sys_;
    std::string path_;
};

} // namespace

void writeFileAtomically(os::FileSystem& sys, const std::string& path,
                         const std::vector<std::uint8_t>& bytes, bool replace) {
    if (path.empty())
        throw Error("No database file name was given.");
    struct stat target {};
    if (sys.stat(path, target) == 0 && S_ISDIR(target.st_mode))
        fail(path, "it is a folder");
    const std::string folder = folderOf(path);
    std::string pattern = folder + "/." + baseOf(path) + ".XXXXXX";
    os::Fd fd;
    if (const int error = sys.createTemporary(pattern, fd))
        fail(path, "cannot create a temporary file in " + folder + " (" + systemReason(error) + ")");
    TemporaryFile temp(sys, pattern);
    // A temporary file is private; a database is as readable as any new file.
    if (const int error = sys.chmod(fd.get(), 0666 & ~sys.creationMask()))
        fail(path, "cannot set the new file's permissions (" + systemReason(error) + ")");
    if (const int error = sys.writeAt(fd.get(), bytes.data(), bytes.size(), 0, "new file write"))
        fail(path, "writing failed (" + systemReason(error) + ")");
    if (const int error = sys.syncData(fd.get(), "new file sync"))
        fail(path, "flushing to disk failed (" + systemReason(error) + ")");
    if (const int error = fd.close())
        fail(path, "closing failed (" + systemReason(error) + ")");

    if (replace) {
        if (const int error = sys.rename(temp.path(), path, "new file rename"))
            fail(path, "cannot put the new file in place (" + systemReason(error) + ")");
        temp.release();
    } else {
        // A hard link fails when the name exists, so a file that appeared in
        // the meantime is never replaced.
        if (const int error = sys.link(temp.path(), path, "new file link")) {
            if (error == EEXIST)
                fail(path, "the file already exists");
            if (fileExists(sys, path) || sys.rename(temp.path(), path, "new file rename") != 0)
                fail(path, "cannot put the new file in place (" + systemReason(error) + ")");
            temp.release();
        }
    }
    // The new name is durable only once its folder is.
    os::Fd folderFd;
    int error = sys.open(folder, O_RDONLY | O_DIRECTORY, 0, folderFd);
    if (!error)
        error = sys.syncFolder(folderFd.get(), "new file folder sync");
    if (error)
        fail(path, "the new file is in place, but its folder " + folder +
                       " cannot be flushed to disk (" + systemReason(error) + ")");
}

} // namespace zorvane::jet
