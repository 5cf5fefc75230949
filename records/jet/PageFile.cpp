#include "records/jet/PageFile.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/Journal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace zorvane::jet {

using format::PageSize;

namespace {

// The two lock bytes lie far past any database's end; they lock nothing of
// the file's contents, they only name the two locks.
constexpr std::uint64_t WriterLockByte = std::uint64_t(1) << 40;
constexpr std::uint64_t CommitLockByte = WriterLockByte + 1;
// How often a writer opens the file at its name again when another file took
// the name while it waited for the lock.
constexpr int ReopenLimit = 5;

std::string reasonOf(int error) { return std::strerror(error); }

// Memory for `count` pages read together. From 2 MiB on it asks for huge
// pages: where a first touch of each small page is costly (as in some virtual
// machines), that halves the time to open a large table.
std::shared_ptr<std::uint8_t[]> pageBlock(os::FileSystem& sys, std::size_t count) {
    const std::size_t huge = std::size_t(2) << 20;
    const std::size_t bytes = (count * PageSize + huge - 1) / huge * huge;
    void* memory = nullptr;
    if (count * PageSize >= huge && sys.mapMemory(bytes, huge, memory) == 0)
        return {static_cast<std::uint8_t*>(memory), [&sys, bytes](std::uint8_t* start) { sys.unmap(start, bytes); }};
    return std::make_unique_for_overwrite<std::uint8_t[]>(count * PageSize);
}

// Removes a file; one that is gone already counts as removed. 0 or errno.
int removeFile(os::FileSystem& sys, const std::string& path, const char* point) {
    const int error = sys.unlink(path, point);
    return error == ENOENT ? 0 : error;
}

// Reads the file at `path` into `bytes`: its first `limit` bytes, or all of
// it. 0 or errno.
int readFile(os::FileSystem& sys, const std::string& path, std::vector<std::uint8_t>& bytes,
             std::size_t limit = SIZE_MAX) {
    os::Fd fd;
    struct stat st {};
    if (const int error = sys.open(path, O_RDONLY, 0, fd))
        return error;
    if (const int error = sys.fstat(fd.get(), st))
        return error;
    bytes.resize(std::min(static_cast<std::size_t>(st.st_size), limit));
    const long long got = sys.readAt(fd.get(), bytes.data(), bytes.size(), 0);
    if (got < 0)
        return static_cast<int>(-got);
    bytes.resize(static_cast<std::size_t>(got));
    return 0;
}

// Whether a journal beside the file is live: it exists, its header is valid
// (not zeroed at a commit) and so is the rest (not cut off while it was
// written, when the file was not touched yet). One that cannot be read is
// not passed over.
bool journalIsLive(os::FileSystem& sys, const std::string& path) {
    struct stat st {};
    if (sys.stat(path, st) != 0 || st.st_size < off_t(journal::HeaderSize))
        return false;
    std::vector<std::uint8_t> bytes;
    if (const int error = readFile(sys, path, bytes, journal::HeaderSize))
        return error != ENOENT;
    if (bytes.size() < journal::HeaderSize || !journal::headerIsValid(bytes.data()))
        return false;
    // Only after a crash: the whole journal is read.
    return readFile(sys, path, bytes) != 0 || journal::decode(bytes).has_value();
}

// What changes when the file's contents change: its size and modification time.
std::array<std::int64_t, 3> changeStamp(const struct stat& st) {
    return {static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

// Renames a journal that must not be applied to "<journal>.unmatched", or,
// where one lies already, the first free of "<journal>.unmatched.2", ".3"...
// (never over an earlier one); `aside` gets the name. 0 or errno.
int setAside(os::FileSystem& sys, const std::string& journal, std::string& aside) {
    for (int n = 1;; ++n) {
        aside = journal + ".unmatched" + (n > 1 ? "." + std::to_string(n) : std::string());
        int error = sys.renameNoReplace(journal, aside, nullptr);
        if (error == EINVAL)  // a file system that cannot: a look first
            error = fileExists(sys, aside) ? EEXIST : sys.rename(journal, aside, nullptr);
        if (error != EEXIST || n == 1000)
            return error;
    }
}

} // namespace

void Options::tell(const std::string& line) const {
    if (notice)
        notice(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

std::uint8_t* PageFile::mappedPage(std::uint32_t number) {
    const bool map = mode_ == Mode::ReadWrite ? options_.mapWhenWriting
                                              : options_.mapWhenReading && state_ == State::Reading;
    if (!map || state_ == State::Image || number >= committedPages_)
        return nullptr;
    if (!mapping_) {
        // The pages the file has now: later commands append past them, and
        // nothing this writer does makes the file shorter than that. Asked
        // for once: where it fails, pages are read by copying, as without it.
        if (mappingTried_)
            return nullptr;
        mappingTried_ = true;
        const std::size_t bytes = std::size_t(committedPages_) * PageSize;
        void* memory = nullptr;
        if (sys().mapFile(fd_.get(), bytes, mode_ == Mode::ReadWrite, memory) != 0)
            return nullptr;
        os::FileSystem& system = sys();
        mapping_ = {static_cast<std::uint8_t*>(memory),
                    [&system, bytes](std::uint8_t* start) { system.unmap(start, bytes); }};
        mappedPages_ = committedPages_;
    }
    return number < mappedPages_ ? mapping_.get() + std::size_t(number) * PageSize : nullptr;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool fileExists(os::FileSystem& sys, const std::string& path) {
    struct stat st {};
    return sys.lstat(path, st) == 0;
}

std::string PageFile::journalPathOf(const std::string& path) { return path + "-journal"; }

PageFile::PageFile(std::string path, Mode mode, Options options)
    : options_(std::move(options)), path_(std::move(path)), mode_(mode) {
    if (path_.empty())
        throw Error("No database file was named.");
    struct stat st {};
    const int error = sys().stat(path_, st);
    if (error == ENOENT || error == ENOTDIR) {
        // "a.mdb/" or "a.mdb/x": a file where the path needs a folder.
        for (auto slash = path_.find('/', 1); slash != std::string::npos;
             slash = path_.find('/', slash + 1)) {
            struct stat part {};
            if (sys().stat(path_.substr(0, slash), part) == 0 && !S_ISDIR(part.st_mode))
                fail(path_.substr(0, slash) + " is a file, not a folder, so this path leads nowhere");
        }
        fail("the file does not exist");
    }
    if (error)
        fail("the file cannot be opened (" + reasonOf(error) + ")");
    if (S_ISDIR(st.st_mode))
        fail("this is a folder, not a database file");
    if (!S_ISREG(st.st_mode))
        fail("this is not an ordinary file");
    openFile(mode);  // a failure closes what was opened, with the members
    recoverIfNeeded();
    state_ = mode == Mode::ReadWrite ? State::Ready : State::Reading;
}

PageFile::PageFile(std::string name, std::vector<std::uint8_t> image)
    : path_(std::move(name)), image_(std::move(image)) {
    fileSize_ = image_.size();
    pageCount_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(fileSize_ / PageSize, 0xFFFFFFu));
}

PageFile::~PageFile() {
    // A writer's ended journal goes with it, before the lock is let go (after
    // that it could be another writer's). One that failed to undo leaves it
    // for the next open (J7).
    if (state_ != State::Broken && journal_ != JournalFile::None && fileExists(sys(), journalPath_))
        removeFile(sys(), journalPath_, "journal remove");
}

// The page file's legal state changes, all in one place.
void PageFile::moveTo(State next) {
    const bool legal = (state_ == State::Ready && next == State::Command) ||
                       (state_ == State::Command && (next == State::Ready || next == State::Broken));
    if (!legal)
        fail("the file was asked for a change of state it cannot make");
    state_ = next;
}

void PageFile::fail(const std::string& reason) const {
    throw Error(path_ + ": " + reason + ".");
}

// Whether `path` still leads to the file open as `fd` (the same device and
// inode): no other file was put at the name, and it was not removed.
bool PageFile::nameLeadsToOpenFile() const {
    struct stat named {}, held {};
    return sys().stat(path_, named) == 0 && sys().fstat(fd_.get(), held) == 0 &&
           named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

void PageFile::openFile(Mode mode) {
    const bool writing = mode == Mode::ReadWrite;
    // A writer may wait for the lock while another file takes the name (mv,
    // an import over it): the change then goes to the file now at the name,
    // opened again, never to the one taken away, which nobody sees any more.
    const auto deadline = sys().steadyNow() + options_.busyTimeout;
    for (int attempt = 1;; ++attempt) {
        // The journal lies beside the file itself, whatever link or name it
        // was opened by, so every opener finds the same journal.
        std::string real;
        const std::string where = sys().realPath(path_, real) == 0 ? real : path_;
        journalPath_ = journalPathOf(where);
        folder_ = folderOf(where);
        if (const int error = sys().open(path_, writing ? O_RDWR : O_RDONLY, 0, fd_)) {
            if (writing && (error == EACCES || error == EPERM))
                fail("the file is read-only, so it cannot be changed");
            if (writing && error == EROFS)
                fail("the file lies on a read-only file system, so it cannot be changed");
            if (error == ENOENT && attempt > 1)
                fail("the file was removed while this change waited for it, so nothing was changed");
            fail("the file cannot be opened (" + reasonOf(error) + ")");
        }
        readLock_.emplace(sys(), fd_.get(), CommitLockByte);
        if (!writing)
            return;
        writerLock_.emplace(sys(), fd_.get(), WriterLockByte);
        const auto left = std::max(deadline - sys().steadyNow(),
                                   std::chrono::steady_clock::duration::zero());
        const int error = writerLock_->acquire(os::LockType::Exclusive, left);
        if (os::heldElsewhere(error))
            fail("the file is in use by another program");
        if (error)
            fail("the file cannot be locked for writing (" + reasonOf(error) + ")");
        if (nameLeadsToOpenFile())
            break;
        writerLock_.reset();
        readLock_.reset();
        fd_.reset();
        if (attempt == ReopenLimit)
            fail("other files kept taking its name while this change waited for it, so nothing "
                 "was changed");
    }
    struct stat st {};
    if (sys().fstat(fd_.get(), st) == 0 && st.st_nlink > 1)
        fail("the file has " + std::to_string(st.st_nlink) +
             " names (hard links), so a change to it cannot be made safe against a crash; "
             "copy it to a file of its own to change it");
    // Each command's salt differs from every earlier one's, in this open and
    // in earlier ones, whose journals this one writes over.
    salt_ = std::uint64_t(sys().steadyNow().time_since_epoch().count()) ^
            (std::uint64_t(sys().processId()) << 40);
    std::uint64_t random = 0;
    if (sys().randomBytes(&random, sizeof random) == 0)  // else the clock and the process number alone
        salt_ ^= random;
    if (const int folderError = sys().open(folder_, O_RDONLY | O_DIRECTORY, 0, folderFd_))
        fail("its folder " + folder_ + " cannot be opened (" + reasonOf(folderError) + ")");
}

void PageFile::readSize() {
    struct stat st {};
    if (const int error = sys().fstat(fd_.get(), st))
        fail("the file's size cannot be read (" + reasonOf(error) + ")");
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t pages = fileSize_ / PageSize;
    if (pages > 0xFFFFFFu)  // page numbers are 3 bytes in row pointers
        fail("the file is too large to be an Access 2000 database");
    pageCount_ = static_cast<std::uint32_t>(pages);
    seenChange_ = changeStamp(st);
    committedPages_ = pageCount_;
    committedSize_ = fileSize_;
    cache_.clear();
    cache_.resize(pageCount_);
}

// Leaves the file without a journal (rolled back if needed) and its size
// read; a reader leaves the commit lock free again.
void PageFile::recoverIfNeeded() {
    if (mode_ == Mode::ReadWrite) {
        os::FileLock commitLock(sys(), fd_.get(), CommitLockByte);
        const int error = commitLock.acquire(os::LockType::Exclusive, options_.busyTimeout);
        if (os::heldElsewhere(error))
            fail("the file is in use by another program");
        if (error)
            fail("the file cannot be locked for writing (" + reasonOf(error) + ")");
        if (fileExists(sys(), journalPath_))
            recover(fd_.get());
        readSize();
        return;
    }
    lockForReading();
    struct Release {
        os::FileLock& lock;
        ~Release() { lock.release(); }
    } release{*readLock_};
    readSize();
}

// A reader's shared commit lock, taken when no live journal lies beside the
// file: a journal a reader finds was left by a writer that died (a live one
// holds the lock while its journal exists), so its command is undone first,
// which takes write access and the commit lock to itself (J5).
void PageFile::lockForReading() {
    for (;;) {
        if (os::heldElsewhere(readLock_->acquire(os::LockType::Shared, options_.busyTimeout)))
            fail("the file cannot be read: another program keeps it busy writing");
        if (!journalIsLive(sys(), journalPath_))
            return;
        readLock_->release();
        os::Fd writer;
        if (const int error = sys().open(path_, O_RDWR, 0, writer))
            fail("the file cannot be read: a change to it was cut off and must be undone "
                 "first, but the file cannot be written (" + reasonOf(error) + ")");
        os::FileLock lock(sys(), writer.get(), CommitLockByte);
        if (os::heldElsewhere(lock.acquire(os::LockType::Exclusive, options_.busyTimeout)))
            fail("the file cannot be read: another program keeps it busy writing");
        if (journalIsLive(sys(), journalPath_))
            recover(writer.get());
    }
}

// Called with the commit lock held exclusively and a journal beside the file.
void PageFile::recover(int fd) {
    std::vector<std::uint8_t> bytes;
    if (const int error = readFile(sys(), journalPath_, bytes)) {
        if (error == ENOENT)
            return;
        fail("a change to the file was cut off, and its journal " + journalPath_ +
             " cannot be read (" + reasonOf(error) + ")");
    }
    const std::optional<journal::Contents> contents = journal::decode(bytes);
    if (!contents) {
        // Cut off while it was written: the file itself was not touched yet.
        if (const int error = removeFile(sys(), journalPath_, "journal remove"))
            fail("an unfinished journal " + journalPath_ + " cannot be removed (" +
                 reasonOf(error) + ")");
        return;
    }
    const journal::Contents& c = *contents;

    // Did the command finish? Then its pages are all in place and stay.
    struct stat st {};
    if (const int statError = sys().fstat(fd, st))
        fail("the file's size cannot be read (" + reasonOf(statError) + ")");
    std::vector<std::uint8_t> page(PageSize);
    auto readPage = [&](std::uint32_t number) -> const std::uint8_t* {
        const long long got = sys().readAt(fd, page.data(), PageSize, std::uint64_t(number) * PageSize);
        return got == static_cast<long long>(PageSize) ? page.data() : nullptr;
    };
    bool finished = !c.undo && static_cast<std::uint64_t>(st.st_size) == c.sizeAfter;
    if (finished) {
        std::vector<std::uint32_t> written = c.pages;
        for (std::uint64_t p = c.sizeBefore / PageSize; p < c.sizeAfter / PageSize; ++p)
            written.push_back(static_cast<std::uint32_t>(p));
        journal::Digest digest;
        for (const std::uint32_t number : written) {
            if (!readPage(number)) {
                finished = false;
                break;
            }
            digest.add32(number);
            digest.add(page.data(), PageSize);
        }
        finished = finished && digest.value() == c.afterDigest;
    }

    int error = 0;
    if (!finished) {
        const bool ours = journal::matches(c, static_cast<std::uint64_t>(st.st_size),
                                           [&](std::size_t i) { return readPage(c.pages[i]); });
        if (!ours) {
            setJournalAside();
            return;
        }
        for (std::size_t i = 0; i < c.pages.size() && !error; ++i)
            error = sys().writeAt(fd, c.originals[i], PageSize, std::uint64_t(c.pages[i]) * PageSize,
                                 "restore page");
        if (!error && static_cast<std::uint64_t>(st.st_size) != c.sizeBefore)
            error = sys().truncate(fd, c.sizeBefore, "restore size");
    }
    if (!error)
        error = sys().syncData(fd, "restore sync");
    if (error)
        fail("a change to the file was cut off and cannot be undone (" + reasonOf(error) + ")");
    if (const int removeError = removeFile(sys(), journalPath_, "journal remove"))
        fail("a change to the file that was cut off was undone, but its journal " +
             journalPath_ + " cannot be removed (" + reasonOf(removeError) + ")");
}

// A journal that is not the file's own (the file was rebuilt, replaced or
// changed through another name since) is kept aside, never applied.
void PageFile::setJournalAside() {
    std::string aside;
    if (const int error = setAside(sys(), journalPath_, aside))
        fail("a journal " + journalPath_ + " that does not belong to the file as it is now "
             "cannot be set aside (" + reasonOf(error) + ")");
    notice(path_ + ": the journal " + journalPath_ + " does not belong to the file as it is "
           "now (the file was replaced or rebuilt since), so it was not applied; it is kept as " +
           aside + ".");
}

const std::uint8_t* PageFile::page(std::uint32_t number, const char* what) {
    if (number >= pageCount_) {
        std::string reason = what ? std::string(what) + " is damaged: page " : "page ";
        reason += std::to_string(number) + " lies beyond the end of the file (" +
                  std::to_string(pageCount_) + " pages); the file is truncated or damaged";
        fail(reason);
    }
    if (state_ == State::Image)
        return image_.data() + static_cast<std::size_t>(number) * PageSize;
    if (!cache_[number])
        preload({number});
    return cache_[number].get();
}

void PageFile::preload(const std::vector<std::uint32_t>& numbers) {
    if (state_ == State::Image)
        return;
    // A reader's mapped pages too are taken under its scope's lock and checks.
    std::optional<ReadScope> mappedScope;
    if (state_ == State::Reading && options_.mapWhenReading)
        mappedScope.emplace(*this);
    std::vector<std::uint32_t> wanted;
    for (const std::uint32_t number : numbers) {
        if (number >= pageCount_ || cache_[number])
            continue;
        if (std::uint8_t* mapped = mappedPage(number)) {
            cache_[number] = std::shared_ptr<std::uint8_t[]>(mapping_, mapped);
            ++diskReads_;
        } else {
            wanted.push_back(number);
        }
    }
    if (wanted.empty())
        return;
    const std::shared_ptr<std::uint8_t[]> block = pageBlock(sys(), wanted.size());
    {
        ReadScope scope(*this);
        for (std::size_t i = 0, run = 1; i < wanted.size(); i += run, run = 1) {
            while (i + run < wanted.size() && wanted[i + run] == wanted[i] + run)
                ++run;
            const long long got = sys().readAt(fd_.get(), block.get() + i * PageSize, run * PageSize,
                                               std::uint64_t(wanted[i]) * PageSize);
            if (got != static_cast<long long>(run * PageSize)) {
                const std::uint32_t unread = wanted[i] + static_cast<std::uint32_t>(std::max(got, 0LL) / PageSize);
                fail("page " + std::to_string(unread) + " cannot be read" +
                     (got < 0 ? " (" + reasonOf(static_cast<int>(-got)) + ")" : std::string()));
            }
        }
    }
    for (std::size_t i = 0; i < wanted.size(); ++i)
        cache_[wanted[i]] = std::shared_ptr<std::uint8_t[]>(block, block.get() + i * PageSize);
    diskReads_ += wanted.size();
}

PageFile::ReadScope::ReadScope(PageFile& file) : file_(file) { file_.enterRead(); }
PageFile::ReadScope::~ReadScope() { file_.leaveRead(); }

// A reader reads from disk under the shared commit lock, and only while the
// file is still the one it opened; the outermost scope takes the lock and
// makes the checks (J5).
void PageFile::enterRead() {
    if (state_ == State::Broken)
        fail("the file must be opened again: a failed change could not be undone in place");
    if (state_ != State::Reading || readScopes_++ > 0)
        return;
    try {
        lockForReading();
    } catch (...) {
        --readScopes_;
        throw;
    }
    // Pages read before and after another program's command do not mix.
    struct stat st {};
    if (sys().fstat(fd_.get(), st) == 0 && changeStamp(st) != seenChange_) {
        readLock_->release();
        --readScopes_;
        throw ChangedError(path_ + ": the file was changed by another program while it was "
                           "being read; open it again.");
    }
}

void PageFile::leaveRead() {
    if (state_ == State::Reading && --readScopes_ == 0)
        readLock_->release();
}

// --- Writing -------------------------------------------------------------

void PageFile::begin() {
    if (state_ == State::Image || state_ == State::Reading)
        fail("the file is open for reading only, so it cannot be changed");
    if (state_ == State::Broken)
        fail("the file must be opened again: a failed change could not be undone in place");
    if (state_ == State::Command)
        fail("a change is already in progress");
    moveTo(State::Command);
    lastCommitSyncs_ = 0;
}

bool PageFile::inCommand() const { return state_ == State::Command; }

std::uint8_t* PageFile::writablePage(std::uint32_t number, const char* what) {
    if (state_ != State::Command)
        fail("a page was to be changed outside a change in progress");
    std::uint8_t* bytes = const_cast<std::uint8_t*>(page(number, what));
    if (number < committedPages_ && originals_.find(number) == originals_.end()) {
        auto original = std::make_unique<std::uint8_t[]>(PageSize);
        std::memcpy(original.get(), bytes, PageSize);
        originals_.emplace(number, std::move(original));
    }
    return bytes;
}

std::uint32_t PageFile::appendPage() {
    if (state_ != State::Command)
        fail("a page was to be added outside a change in progress");
    if (committedSize_ % PageSize != 0)
        fail("the file ends in part of a page, so no page can be added; it is damaged");
    if (pageCount_ >= 0xFFFFFFu)
        fail("the file has reached the largest size an Access 2000 database can have");
    cache_.push_back(std::make_unique<std::uint8_t[]>(PageSize));  // zeroed
    fileSize_ = std::uint64_t(pageCount_ + 1) * PageSize;
    return pageCount_++;
}

void PageFile::noteCommandPages() {
    lastCommandPages_.clear();
    for (const auto& entry : originals_)
        lastCommandPages_.push_back(entry.first);
    for (std::uint32_t number = committedPages_; number < pageCount_; ++number)
        lastCommandPages_.push_back(number);
}

// Puts the pages in memory back as they were before begin().
void PageFile::dropCommand() {
    noteCommandPages();
    for (auto& [number, original] : originals_)
        std::memcpy(cache_[number].get(), original.get(), PageSize);
    originals_.clear();
    cache_.resize(committedPages_);
    pageCount_ = committedPages_;
    fileSize_ = committedSize_;
}

void PageFile::rollback() {
    if (state_ != State::Command)
        return;
    dropCommand();
    moveTo(State::Ready);
}

void PageFile::failCommit(const std::string& reason, int error, Undo undo) {
    dropCommand();
    moveTo(undo == Undo::Done ? State::Ready : State::Broken);
    std::string outcome = "; the file is as it was";
    if (undo == Undo::Marked)
        outcome = "; it is put back the next time the file is opened";
    else if (undo == Undo::Unmarked)
        outcome = "; the next open finds it either as it was or with the change made whole";
    fail(reason + " (" + reasonOf(error) + ")" + outcome);
}

// After a write or sync of the file failed: marks the journal so that the
// next open rolls the command back whatever reached the file, puts the changed
// pages back from memory (appended ones need nothing: cutting the file back
// drops them), syncs and removes the journal. Where the file could not be put
// back the journal stays for the next open, marked or not (J6).
PageFile::Undo PageFile::restoreOriginals(std::vector<std::uint8_t>& journalBytes) {
    journal::markForUndo(journalBytes.data());
    Undo failed = Undo::Unmarked;
    os::Fd journalFd;
    if (sys().open(journalPath_, O_WRONLY, 0, journalFd) == 0 &&
        sys().writeAt(journalFd.get(), journalBytes.data(), journal::HeaderSize, 0, "journal mark") == 0 &&
        sys().syncData(journalFd.get(), "journal sync") == 0)
        failed = Undo::Marked;
    journalFd.reset();
    for (auto& [number, original] : originals_) {
        if (sys().writeAt(fd_.get(), original.get(), PageSize, std::uint64_t(number) * PageSize,
                         "restore page"))
            return failed;
    }
    struct stat st {};
    if (sys().fstat(fd_.get(), st) != 0)
        return failed;
    if (static_cast<std::uint64_t>(st.st_size) != committedSize_ &&
        sys().truncate(fd_.get(), committedSize_, "restore size"))
        return failed;
    if (sys().syncData(fd_.get(), "restore sync"))
        return failed;
    return removeFile(sys(), journalPath_, "journal remove") == 0 ? Undo::Done : failed;
}

void PageFile::commit() {
    if (state_ != State::Command)
        fail("there is no change in progress to save");
    if (originals_.empty() && pageCount_ == committedPages_) {
        lastCommandPages_.clear();
        moveTo(State::Ready);
        return;
    }
    // A program that ignores the lock may have put another file at the name
    // since it was opened: a change saved into the file taken away would be
    // lost to everyone.
    if (!nameLeadsToOpenFile()) {
        dropCommand();
        moveTo(State::Ready);
        fail("another file was put at its name, or it was removed, since it was opened, so the "
             "change was not saved; open it again");
    }
    os::FileLock commitLock(sys(), fd_.get(), CommitLockByte);
    if (const int error = commitLock.acquire(os::LockType::Exclusive, options_.busyTimeout)) {
        dropCommand();
        moveTo(State::Ready);
        if (os::heldElsewhere(error))
            fail("the change could not be saved: another program keeps the file busy "
                 "reading; the file is as it was");
        fail("the change could not be saved: the file cannot be locked (" + reasonOf(error) +
             "); the file is as it was");
    }

    // What the command writes: changed pages ascending, then appended pages.
    std::vector<std::uint32_t> pages;
    std::vector<const std::uint8_t*> originals, afters;
    for (const auto& [number, original] : originals_) {
        pages.push_back(number);
        originals.push_back(original.get());
        afters.push_back(cache_[number].get());
    }
    std::vector<std::uint32_t> written = pages;
    for (std::uint32_t number = committedPages_; number < pageCount_; ++number)
        written.push_back(number);
    journal::Digest after;
    for (const std::uint32_t number : written) {
        after.add32(number);
        after.add(cache_[number].get(), PageSize);
    }
    const std::uint64_t sizeAfter =
        pageCount_ > committedPages_ ? std::uint64_t(pageCount_) * PageSize : committedSize_;
    std::vector<std::uint8_t> bytes =
        journal::encode(committedSize_, sizeAfter, after.value(), ++salt_, pages, originals, afters);
    int syncs = 0;

    // 1. The journal, synced, written over the last command's (so the file
    // keeps its blocks and the sync carries data alone), and once per open
    // the folder entry that names it (J1).
    os::Fd journalFd;
    int error = sys().open(journalPath_, O_WRONLY, 0, journalFd);
    if (error == ENOENT) {
        struct stat st {};
        const mode_t permissions = sys().fstat(fd_.get(), st) == 0 ? (st.st_mode & 0666) : 0644;
        error = sys().open(journalPath_, O_WRONLY | O_CREAT, permissions, journalFd);
        if (!error)
            journal_ = JournalFile::Written;
    }
    if (error)
        failCommit("the change could not be saved: its journal " + journalPath_ + " cannot be created",
                   error, Undo::Done);
    if (journal_ == JournalFile::None)
        journal_ = JournalFile::Written;
    error = sys().writeAt(journalFd.get(), bytes.data(), bytes.size(), 0, "journal write");
    if (!error) {
        error = sys().syncData(journalFd.get(), "journal sync");
        ++syncs;
    }
    journalFd.reset();
    if (!error && journal_ != JournalFile::Named) {
        error = sys().syncFolder(folderFd_.get(), "folder sync");
        ++syncs;
        if (!error)
            journal_ = JournalFile::Named;
    }
    if (error) {
        sys().unlink(journalPath_, nullptr);
        journal_ = JournalFile::Written;
        failCommit("the change could not be saved: its journal " + journalPath_ + " cannot be written",
                   error, Undo::Done);
    }

    // 2. The pages, synced: the commit point (J3).
    for (const std::uint32_t number : written) {
        error = sys().writeAt(fd_.get(), cache_[number].get(), PageSize,
                             std::uint64_t(number) * PageSize, "page write");
        if (error)
            break;
    }
    if (!error) {
        error = sys().syncData(fd_.get(), "file sync");
        ++syncs;
    }
    if (error) {
        journal_ = JournalFile::Written;
        failCommit("the change could not be saved", error, restoreOriginals(bytes));
    }

    // 3. The journal ends: its header is zeroed. Should a power cut undo
    // that, the next open finds every page of the command in place and keeps
    // them. Where even the zeroing fails, the journal goes instead.
    static const std::uint8_t zeros[journal::HeaderSize] = {};
    if (sys().open(journalPath_, O_WRONLY, 0, journalFd) != 0 ||
        sys().writeAt(journalFd.get(), zeros, sizeof zeros, 0, "journal end") != 0) {
        sys().unlink(journalPath_, nullptr);
        journal_ = JournalFile::Written;
    }
    journalFd.reset();

    noteCommandPages();
    originals_.clear();
    committedPages_ = pageCount_;
    committedSize_ = sizeAfter;
    fileSize_ = sizeAfter;
    moveTo(State::Ready);
    lastCommitSyncs_ = syncs;
}

ReplaceLock::ReplaceLock(const std::string& path, const Options& options) {
    os::FileSystem& sys = options.system();
    struct stat st {};
    if (sys.stat(path, st) == ENOENT) {  // no file, or a link to none
        // The file went; a journal of it must not be applied to the new one.
        std::string folder;
        const std::string journal = PageFile::journalPathOf(
            sys.realPath(folderOf(path), folder) != 0 ? path
            : folder == "/"                           ? folder + baseOf(path)
                                                      : folder + "/" + baseOf(path));
        std::string aside;
        if (fileExists(sys, journal) && setAside(sys, journal, aside) == 0)
            options.tell(path + ": the journal " + journal + " of a removed file was not applied; it "
                   "is kept as " + aside + ".");
        return;
    }
    file_ = std::make_unique<PageFile>(path, PageFile::Mode::ReadWrite, options);
}

ReplaceLock::~ReplaceLock() = default;

} // namespace zorvane::jet
