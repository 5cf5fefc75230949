#include "records/os/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/random.h>
#include <thread>
#include <unistd.h>

namespace zorvane::os {

namespace {

// Repeats a call that a signal interrupted; 0 or errno.
template <class Call>
int retry(Call call) {
    while (call() != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// Writes `length` bytes by repeating `step(done)`, one write call for the
// bytes after the first `done`, again after an interruption; 0 or errno (EIO
// for a write that took nothing).
template <class Step>
int writeWhole(std::size_t length, Step step) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = step(done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

class PosixFileSystem final : public FileSystem {
public:
    int open(const std::string& path, int flags, mode_t mode, Fd& out) override {
        int fd;
        while ((fd = ::open(path.c_str(), flags | O_CLOEXEC, mode)) < 0) {
            if (errno != EINTR)
                return errno;
        }
        out.reset(fd);
        return 0;
    }
    int createTemporary(std::string& pattern, Fd& out) override {
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            return errno;
        out.reset(fd);
        return 0;
    }
    long long readAt(int fd, void* data, std::size_t length, std::uint64_t offset) override {
        auto* bytes = static_cast<std::uint8_t*>(data);
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return -errno;
            }
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return static_cast<long long>(done);
    }
    int writeAt(int fd, const void* data, std::size_t length, std::uint64_t offset,
                const char*) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return writeWhole(length, [&](std::size_t done) {
            return ::pwrite(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        });
    }
    int write(int fd, const void* data, std::size_t length, const char*) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return writeWhole(length, [&](std::size_t done) { return ::write(fd, bytes + done, length - done); });
    }
    int syncData(int fd, const char*) override {
        return retry([&] { return ::fdatasync(fd); });
    }
    int syncFolder(int fd, const char*) override {
        const int error = retry([&] { return ::fsync(fd); });
        return error == EINVAL || error == EROFS ? 0 : error;
    }
    int truncate(int fd, std::uint64_t size, const char*) override {
        return retry([&] { return ::ftruncate(fd, static_cast<off_t>(size)); });
    }
    int rename(const std::string& from, const std::string& to, const char*) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    int link(const std::string& from, const std::string& to, const char*) override {
        return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    int renameNoReplace(const std::string& from, const std::string& to, const char*) override {
        const int error = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
        return error == ENOSYS ? EINVAL : error;
    }
    int unlink(const std::string& path, const char*) override {
        return ::unlink(path.c_str()) == 0 ? 0 : errno;
    }
    int chmod(int fd, mode_t mode) override {
        return retry([&] { return ::fchmod(fd, mode); });
    }
    int stat(const std::string& path, struct stat& out) override {
        return ::stat(path.c_str(), &out) == 0 ? 0 : errno;
    }
    int lstat(const std::string& path, struct stat& out) override {
        return ::lstat(path.c_str(), &out) == 0 ? 0 : errno;
    }
    int fstat(int fd, struct stat& out) override { return ::fstat(fd, &out) == 0 ? 0 : errno; }
    int lock(int fd, LockType type, std::uint64_t byte) override {
        return setLock(fd, type == LockType::Shared ? F_RDLCK : F_WRLCK, byte);
    }
    int unlock(int fd, std::uint64_t byte) override { return setLock(fd, F_UNLCK, byte); }
    int realPath(const std::string& path, std::string& out) override {
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real)
            return errno;
        out = real;
        std::free(real);
        return 0;
    }
    int readLink(const std::string& path, std::string& out) override {
        // Read again with more room until what the link holds fits with
        // room to spare (a full buffer may have cut it short).
        for (std::size_t room = 256;; room *= 2) {
            std::string text(room, '\0');
            const ssize_t n = ::readlink(path.c_str(), text.data(), room);
            if (n < 0)
                return errno;
            if (static_cast<std::size_t>(n) < room) {
                text.resize(static_cast<std::size_t>(n));
                out = std::move(text);
                return 0;
            }
        }
    }
    int listFolder(const std::string& path, std::vector<std::string>& names) override {
        DIR* dir = ::opendir(path.c_str());
        if (!dir)
            return errno;
        names.clear();
        int error = 0;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                error = errno;
                break;
            }
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..")
                names.emplace_back(name);
        }
        ::closedir(dir);
        return error;
    }
    int mapFile(int fd, std::size_t length, bool writable, void*& out) override {
        out = ::mmap(nullptr, length, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_PRIVATE, fd, 0);
        return out == MAP_FAILED ? errno : 0;
    }
    // Mapped with room to spare, so that an aligned stretch lies inside; the
    // spare ends go back at once.
    int mapMemory(std::size_t length, std::size_t alignment, void*& out) override {
        const std::size_t mapped = length + alignment;
        void* memory = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            return errno;
        const auto first = reinterpret_cast<std::uintptr_t>(memory);
        const auto start = (first + alignment - 1) & ~(alignment - 1);
        if (start > first)
            ::munmap(memory, start - first);
        if (const std::size_t after = first + mapped - (start + length))
            ::munmap(reinterpret_cast<void*>(start + length), after);
        out = reinterpret_cast<void*>(start);
        ::madvise(out, length, MADV_HUGEPAGE);  // only a hint
        return 0;
    }
    int unmap(void* start, std::size_t length) override {
        return ::munmap(start, length) == 0 ? 0 : errno;
    }
    int processId() override { return static_cast<int>(::getpid()); }
    uid_t effectiveUserId() override { return ::geteuid(); }
    int randomBytes(void* data, std::size_t length) override {
        auto* bytes = static_cast<std::uint8_t*>(data);
        for (std::size_t done = 0; done < length;) {
            const ssize_t n = ::getrandom(bytes + done, length - done, 0);
            if (n < 0 && errno != EINTR)
                return errno;
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        return 0;
    }
    std::time_t now(std::tm& local) override {
        const std::time_t seconds = std::time(nullptr);
        localtime_r(&seconds, &local);
        return seconds;
    }
    std::chrono::steady_clock::time_point steadyNow() override { return std::chrono::steady_clock::now(); }
    void sleep(std::chrono::microseconds pause) override { std::this_thread::sleep_for(pause); }
    mode_t creationMask() override {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }

private:
    static int setLock(int fd, short type, std::uint64_t byte) {
        struct flock lock {};
        lock.l_type = type;
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(byte);
        lock.l_len = 1;
#ifdef F_OFD_SETLK
        return retry([&] { return ::fcntl(fd, F_OFD_SETLK, &lock); });
#else
        return retry([&] { return ::fcntl(fd, F_SETLK, &lock); });
#endif
    }
};

} // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int Fd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int Fd::close() {
    if (fd_ < 0)
        return 0;
    const int error = ::close(release()) == 0 ? 0 : errno;
    return error == EINTR ? 0 : error;  // the descriptor is gone either way
}

bool heldElsewhere(int error) { return error == EAGAIN || error == EACCES; }

FileSystem& posixFileSystem() {
    static PosixFileSystem posix;
    return posix;
}


int ForwardingFileSystem::open(const std::string& path, int flags, mode_t mode, Fd& out) {
    return inner_.open(path, flags, mode, out);
}
int ForwardingFileSystem::createTemporary(std::string& pattern, Fd& out) {
    return inner_.createTemporary(pattern, out);
}
long long ForwardingFileSystem::readAt(int fd, void* data, std::size_t length, std::uint64_t offset) {
    return inner_.readAt(fd, data, length, offset);
}
int ForwardingFileSystem::writeAt(int fd, const void* data, std::size_t length,
                                  std::uint64_t offset, const char* point) {
    return inner_.writeAt(fd, data, length, offset, point);
}
int ForwardingFileSystem::write(int fd, const void* data, std::size_t length, const char* point) {
    return inner_.write(fd, data, length, point);
}
int ForwardingFileSystem::syncData(int fd, const char* point) { return inner_.syncData(fd, point); }
int ForwardingFileSystem::syncFolder(int fd, const char* point) { return inner_.syncFolder(fd, point); }
int ForwardingFileSystem::truncate(int fd, std::uint64_t size, const char* point) {
    return inner_.truncate(fd, size, point);
}
int ForwardingFileSystem::rename(const std::string& from, const std::string& to, const char* point) {
    return inner_.rename(from, to, point);
}
int ForwardingFileSystem::link(const std::string& from, const std::string& to, const char* point) {
    return inner_.link(from, to, point);
}
int ForwardingFileSystem::renameNoReplace(const std::string& from, const std::string& to, const char* point) {
    return inner_.renameNoReplace(from, to, point);
}
int ForwardingFileSystem::unlink(const std::string& path, const char* point) {
    return inner_.unlink(path, point);
}
int ForwardingFileSystem::chmod(int fd, mode_t mode) { return inner_.chmod(fd, mode); }
int ForwardingFileSystem::stat(const std::string& path, struct stat& out) { return inner_.stat(path, out); }
int ForwardingFileSystem::lstat(const std::string& path, struct stat& out) { return inner_.lstat(path, out); }
int ForwardingFileSystem::fstat(int fd, struct stat& out) { return inner_.fstat(fd, out); }
int ForwardingFileSystem::lock(int fd, LockType type, std::uint64_t byte) {
    return inner_.lock(fd, type, byte);
}
int ForwardingFileSystem::unlock(int fd, std::uint64_t byte) { return inner_.unlock(fd, byte); }
int ForwardingFileSystem::realPath(const std::string& path, std::string& out) {
    return inner_.realPath(path, out);
}
int ForwardingFileSystem::readLink(const std::string& path, std::string& out) {
    return inner_.readLink(path, out);
}
int ForwardingFileSystem::listFolder(const std::string& path, std::vector<std::string>& names) {
    return inner_.listFolder(path, names);
}
int ForwardingFileSystem::mapFile(int fd, std::size_t length, bool writable, void*& out) {
    return inner_.mapFile(fd, length, writable, out);
}
int ForwardingFileSystem::mapMemory(std::size_t length, std::size_t alignment, void*& out) {
    return inner_.mapMemory(length, alignment, out);
}
int ForwardingFileSystem::unmap(void* start, std::size_t length) { return inner_.unmap(start, length); }
int ForwardingFileSystem::processId() { return inner_.processId(); }
uid_t ForwardingFileSystem::effectiveUserId() { return inner_.effectiveUserId(); }
int ForwardingFileSystem::randomBytes(void* data, std::size_t length) {
    return inner_.randomBytes(data, length);
}
std::time_t ForwardingFileSystem::now(std::tm& local) { return inner_.now(local); }
std::chrono::steady_clock::time_point ForwardingFileSystem::steadyNow() { return inner_.steadyNow(); }
void ForwardingFileSystem::sleep(std::chrono::microseconds pause) { inner_.sleep(pause); }
mode_t ForwardingFileSystem::creationMask() { return inner_.creationMask(); }

int FileLock::acquire(LockType type, std::chrono::steady_clock::duration patience) {
    const auto deadline = system_.steadyNow() + patience;
    auto pause = std::chrono::microseconds(100);
    for (;;) {
        const int error = system_.lock(fd_, type, byte_);
        held_ = error == 0;
        if (!heldElsewhere(error) || system_.steadyNow() >= deadline)
            return error;
        system_.sleep(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
}

void FileLock::release() {
    if (held_)
        system_.unlock(fd_, byte_);
    held_ = false;
}

} // namespace zorvane::os
