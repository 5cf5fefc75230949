#include "records/jet/WriterFile.h"

#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/os/FileSystem.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace zorvane::jet {

namespace {

std::string systemReason(int error) { return std::strerror(error); }

// The byte a temporary file's writer locks for as long as the file exists.
constexpr std::uint64_t TemporaryLockByte = std::uint64_t(1) << 40;
constexpr std::size_t RandomPartLength = 6;  // mkstemp's XXXXXX

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

// Whether `bytes` (a file's first bytes, `size` in all) can be what this
// writer leaves when killed: nothing yet, or the start of a database.
bool looksLikeOurs(const std::uint8_t* bytes, long long got, std::uint64_t size) {
    static const char signature[] = "Standard Jet DB";
    if (size == 0)
        return true;
    return got >= 4 + 15 && bytes[0] == 0 && std::memcmp(bytes + 4, signature, 15) == 0;
}

// Removes the temporary files a killed writer of `base` left in `folder`:
// named as ours, owned by this user, a database or empty, and held by no
// process (their lock is free). Best effort: what cannot be removed stays.
void removeStaleTemporaries(os::FileSystem& sys, const std::string& folder, const std::string& base) {
    const std::string prefix = "." + base + ".";
    std::vector<std::string> names;
    if (sys.listFolder(folder, names) != 0)
        return;
    const uid_t user = sys.effectiveUserId();
    for (const std::string& name : names) {
        if (name.size() != prefix.size() + RandomPartLength || !name.starts_with(prefix))
            continue;
        const std::string path = folder + "/" + name;
        os::Fd fd;
        struct stat st {};
        if (sys.open(path, O_RDWR | O_NOFOLLOW | O_NONBLOCK, 0, fd) != 0 || sys.fstat(fd.get(), st) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != user || st.st_nlink != 1)
            continue;
        os::FileLock lock(sys, fd.get(), TemporaryLockByte);
        if (lock.acquire(os::LockType::Exclusive, std::chrono::seconds(0)) != 0)
            continue;  // its writer is at work
        std::uint8_t head[32] = {};
        const long long got = sys.readAt(fd.get(), head, sizeof head, 0);
        struct stat named {};
        if (looksLikeOurs(head, got, std::uint64_t(st.st_size)) && sys.lstat(path, named) == 0 &&
            named.st_dev == st.st_dev && named.st_ino == st.st_ino)
            sys.unlink(path, nullptr);
    }
}

} // namespace

std::string linkTarget(os::FileSystem& sys, const std::string& path) {
    namespace fs = std::filesystem;
    std::string target = path;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (sys.lstat(target, st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        if (links == 40)
            fail(path, "the name leads through too many symbolic links");
        std::string text;
        if (const int error = sys.readLink(target, text))
            fail(path, "the symbolic link cannot be read (" + systemReason(error) + ")");
        const fs::path to = text;
        target = to.is_absolute() ? text : (fs::path(folderOf(target)) / to).string();
    }
}

void writeFileAtomically(os::FileSystem& sys, const std::string& path,
                         const std::vector<std::uint8_t>& bytes, bool replace) {
    if (path.empty())
        throw Error("No database file name was given.");
    // Replacing through a symbolic link replaces the file it leads to; the
    // link stays. (A new file never follows a link: the name is taken.)
    const std::string target = replace ? linkTarget(sys, path) : path;
    struct stat existing {};
    if (sys.stat(target, existing) == 0 && S_ISDIR(existing.st_mode))
        fail(path, "it is a folder");
    const std::string folder = folderOf(target);
    removeStaleTemporaries(sys, folder, baseOf(target));

    // The temporary file, locked from the start: a writer that removes
    // stale ones between its making and its lock is noticed, and it is made
    // again.
    std::string made;
    os::Fd fd;
    std::optional<os::FileLock> lock;  // let go before the descriptor closes
    for (int attempt = 1;; ++attempt) {
        std::string pattern = folder + "/." + baseOf(target) + ".XXXXXX";
        if (const int error = sys.createTemporary(pattern, fd))
            fail(path, "cannot create a temporary file in " + folder + " (" + systemReason(error) + ")");
        lock.emplace(sys, fd.get(), TemporaryLockByte);
        struct stat held {}, named {};
        if (lock->acquire(os::LockType::Exclusive, std::chrono::seconds(0)) == 0 &&
            sys.fstat(fd.get(), held) == 0 && sys.lstat(pattern, named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            made = pattern;
            break;
        }
        lock.reset();
        fd.reset();
        if (attempt == 5)
            fail(path, "cannot keep a temporary file in " + folder + ": another program keeps removing it");
    }
    TemporaryFile temp(sys, made);
    // A temporary file is private; a database is as readable as any new file.
    if (const int error = sys.chmod(fd.get(), 0666 & ~sys.creationMask()))
        fail(path, "cannot set the new file's permissions (" + systemReason(error) + ")");
    if (const int error = sys.writeAt(fd.get(), bytes.data(), bytes.size(), 0, "new file write"))
        fail(path, "writing failed (" + systemReason(error) + ")");
    if (const int error = sys.syncData(fd.get(), "new file sync"))
        fail(path, "flushing to disk failed (" + systemReason(error) + ")");

    if (replace) {
        if (const int error = sys.rename(temp.path(), target, "new file rename"))
            fail(path, "cannot put the new file in place (" + systemReason(error) + ")");
    } else {
        // The name is taken only while it is free, so a file that appeared in
        // the meantime is never replaced, and the new file never has two
        // names (a writer would refuse it, and a power cut could keep both).
        int error = sys.renameNoReplace(temp.path(), target, "new file rename");
        if (error == EINVAL) {
            // A file system without that: a second name, then the first goes.
            error = sys.link(temp.path(), target, "new file link");
            if (!error)
                sys.unlink(temp.path(), nullptr);
        }
        if (error == EEXIST)
            fail(path, "the file already exists");
        if (error)
            fail(path, "cannot put the new file in place (" + systemReason(error) + ")");
    }
    temp.release();
    lock.reset();
    if (const int error = fd.close())
        fail(path, "closing failed (" + systemReason(error) + ")");
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
