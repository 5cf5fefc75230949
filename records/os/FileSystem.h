#pragma once
// The operating system as the engine sees it: one interface for every file
// operation the page file, its journal, the new-file writer and zorvane-db's
// report files make, for the memory they map, for the few facts they ask of
// the system (the process number, the user, random bytes, the clocks, the
// file-creation mask) and for their waits; and owners for what they hold
// (descriptors, locks). The engine never calls the system directly
// (tests/boundary checks the built objects); the interface's default
// implementation is POSIX, and a file can be opened with one that decorates
// it (records/jet/Options.h; tests/faults: numbered crash and failure points).
//
// Every call returns 0 or an errno value (readAt: the bytes read, or
// -errno). `point` names what an operation that changes a file or makes it
// durable is for ("journal write", "file sync"); operations passed no point
// are not hooks for a decorator's numbered points.

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace zorvane::os {

// Owns one file descriptor and closes it when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    // Closes the descriptor held (if any) and holds `fd`.
    void reset(int fd = -1);
    // Closes it now; 0 or errno (a close can report a failed write).
    int close();

private:
    int fd_ = -1;
};

enum class LockType { Shared, Exclusive };

// Whether a lock call's error means another holder (rather than a failure).
bool heldElsewhere(int error);

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual int open(const std::string& path, int flags, mode_t mode, Fd& out) = 0;
    // A new private file from `pattern` (ending in XXXXXX, which it fills in).
    virtual int createTemporary(std::string& pattern, Fd& out) = 0;
    // Reads up to `length` bytes at `offset` (less only at the file's end).
    virtual long long readAt(int fd, void* data, std::size_t length, std::uint64_t offset) = 0;
    // Writes all of `data` at `offset`.
    virtual int writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset,
                        const char* point) = 0;
    // Writes all of `data` where the descriptor stands (a FIFO, a device:
    // files without offsets).
    virtual int write(int fd, const void* data, std::size_t length, const char* point) = 0;
    // The file's data and size to disk (fdatasync).
    virtual int syncData(int fd, const char* point) = 0;
    // A folder's entries to disk; a file system that cannot sync a folder
    // counts as done.
    virtual int syncFolder(int fd, const char* point) = 0;
    virtual int truncate(int fd, std::uint64_t size, const char* point) = 0;
    virtual int rename(const std::string& from, const std::string& to, const char* point) = 0;
    // A second name for a file; EEXIST when `to` exists.
    virtual int link(const std::string& from, const std::string& to, const char* point) = 0;
    // Renames `from` to `to` only when `to` does not exist (EEXIST when it
    // does), in one step; EINVAL where the file system cannot.
    virtual int renameNoReplace(const std::string& from, const std::string& to, const char* point) = 0;
    virtual int unlink(const std::string& path, const char* point) = 0;
    virtual int chmod(int fd, mode_t mode) = 0;
    virtual int stat(const std::string& path, struct stat& out) = 0;
    virtual int lstat(const std::string& path, struct stat& out) = 0;
    virtual int fstat(int fd, struct stat& out) = 0;
    // Open-file-description lock of one byte (two opens in one process
    // exclude each other as two processes do), without waiting.
    virtual int lock(int fd, LockType type, std::uint64_t byte) = 0;
    virtual int unlock(int fd, std::uint64_t byte) = 0;
    // The file's path with every symbolic link resolved and made absolute.
    virtual int realPath(const std::string& path, std::string& out) = 0;
    // What the symbolic link at `path` holds (not resolved).
    virtual int readLink(const std::string& path, std::string& out) = 0;
    // The names in a folder ("." and ".." left out), in no particular order.
    virtual int listFolder(const std::string& path, std::vector<std::string>& names) = 0;

    // The first `length` bytes of an open file, mapped privately: readable,
    // and where `writable` writable without the writes reaching the file.
    virtual int mapFile(int fd, std::size_t length, bool writable, void*& out) = 0;
    // `length` bytes of fresh zeroed memory, aligned to `alignment` (a power
    // of two); backed by huge pages where the kernel has them (only a hint).
    virtual int mapMemory(std::size_t length, std::size_t alignment, void*& out) = 0;
    // Gives back what mapFile or mapMemory returned (the same length).
    virtual int unmap(void* start, std::size_t length) = 0;

    virtual int processId() = 0;
    // The user this process acts as (whose files it owns).
    virtual uid_t effectiveUserId() = 0;
    // Fills `data` with random bytes from the system.
    virtual int randomBytes(void* data, std::size_t length) = 0;
    // Seconds since 1970 and the local time they are.
    virtual std::time_t now(std::tm& local) = 0;
    // The steady clock (never set back), for deadlines.
    virtual std::chrono::steady_clock::time_point steadyNow() = 0;
    // Waits `pause` (or a little longer).
    virtual void sleep(std::chrono::microseconds pause) = 0;
    // The mask new files' permissions are created under.
    virtual mode_t creationMask() = 0;
};

// The system's own file operations (POSIX). Which file system a file is
// reached through is chosen per open file (records/jet/Options.h).
FileSystem& posixFileSystem();

// Passes every call on to another file system; a decorator overrides the
// calls it changes.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}
    int open(const std::string& path, int flags, mode_t mode, Fd& out) override;
    int createTemporary(std::string& pattern, Fd& out) override;
    long long readAt(int fd, void* data, std::size_t length, std::uint64_t offset) override;
    int writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset,
                const char* point) override;
    int write(int fd, const void* data, std::size_t length, const char* point) override;
    int syncData(int fd, const char* point) override;
    int syncFolder(int fd, const char* point) override;
    int truncate(int fd, std::uint64_t size, const char* point) override;
    int rename(const std::string& from, const std::string& to, const char* point) override;
    int link(const std::string& from, const std::string& to, const char* point) override;
    int renameNoReplace(const std::string& from, const std::string& to, const char* point) override;
    int unlink(const std::string& path, const char* point) override;
    int chmod(int fd, mode_t mode) override;
    int stat(const std::string& path, struct stat& out) override;
    int lstat(const std::string& path, struct stat& out) override;
    int fstat(int fd, struct stat& out) override;
    int lock(int fd, LockType type, std::uint64_t byte) override;
    int unlock(int fd, std::uint64_t byte) override;
    int realPath(const std::string& path, std::string& out) override;
    int readLink(const std::string& path, std::string& out) override;
    int listFolder(const std::string& path, std::vector<std::string>& names) override;
    int mapFile(int fd, std::size_t length, bool writable, void*& out) override;
    int mapMemory(std::size_t length, std::size_t alignment, void*& out) override;
    int unmap(void* start, std::size_t length) override;
    int processId() override;
    uid_t effectiveUserId() override;
    int randomBytes(void* data, std::size_t length) override;
    std::time_t now(std::tm& local) override;
    std::chrono::steady_clock::time_point steadyNow() override;
    void sleep(std::chrono::microseconds pause) override;
    mode_t creationMask() override;

protected:
    FileSystem& inner_;
};

// Holds one lock byte of an open file and lets it go when it goes (or when
// released). The descriptor and the file system must outlive it.
class FileLock {
public:
    FileLock(FileSystem& system, int fd, std::uint64_t byte) : system_(system), fd_(fd), byte_(byte) {}
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock, waiting up to `patience` while another holds it; 0 or
    // errno (heldElsewhere() when the wait ran out).
    int acquire(LockType type, std::chrono::steady_clock::duration patience);
    void release();
    bool held() const { return held_; }

private:
    FileSystem& system_;
    int fd_ = -1;
    std::uint64_t byte_ = 0;
    bool held_ = false;
};

} // namespace zorvane::os
