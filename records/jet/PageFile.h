#pragma once
// The file layer: a database file seen as numbered 4096-byte pages. Each page
// is read from disk once, on first use (or ahead of it, by preload), and kept
// for the life of the object, so walking a table touches the disk once per
// page however often it is read. Where the file's options ask for it
// (Options.h), pages are taken from a private mapping of the file instead.
//
// Writing goes in commands: begin(), then writablePage()/appendPage() for
// every page the command changes, then commit() (or rollback()). Until
// commit() nothing reaches the disk. A command is atomic and durable:
//   1. the original of every changed page is written to a rollback journal
//      beside the file ("<file>-journal") and synced (the first time after
//      opening, the folder that lists the journal is synced too); its layout:
//      docs/jet4-format.md, "The rollback journal";
//   2. the changed and appended pages are written and the file is synced:
//      from here on the command is durable (the commit point);
//   3. the journal ends: its header is zeroed, without a sync.
// That is two syncs per command, three for the first after opening. The
// journal file itself stays while the file is open for writing, so that each
// command writes over blocks the file already has and its sync carries data
// alone; it is removed when the writer closes the file. Should a power cut
// bring a journal's header back, its record of the pages after the command
// shows that they are all in place, and the next open keeps them.
//
// Opening a file (for reading or writing) whose journal is live, left by a
// command that was cut off, rolls that command back first: the saved pages go
// back, the file is cut to its old size and synced, the journal is removed. A
// journal that was itself cut off while being written (the file was not
// touched yet), or that ended, counts for nothing. A journal that does not
// belong to the file as it now is (records/jet/Journal.h: the file was rebuilt
// or replaced since) is never applied: it is renamed "<file>-journal.unmatched"
// and a notice line says so.
//
// Waiting: a writer waits for another writer's lock, and a reader for a
// command in progress, up to the busy timeout of its options (Options.h: 3
// seconds unless the program chose another); only then is the file "in use".
// The same bound holds for a commit waiting for readers' scopes.
// readWhileBusy() reads a file anew
// while another program's commands keep changing it under the reader, within
// the same bound. A writer that got the lock after another file took the
// name (mv, an import over it) opens the file at the name again (a few
// times at most), so a change never goes into a file that nobody sees any
// more; a commit checks the name once more, for programs that ignore the
// lock, and saves nothing when it leads elsewhere.
//
// Hard links: the journal lies beside the name the file was opened by (its
// symbolic links resolved), so a file with several names (hard links) could
// have a journal that an open through another name does not see. Such a file
// is therefore refused for writing; reading it is allowed.
//
// Locks (open-file-description locks, so two opens in one process exclude
// each other like two processes): a file open for writing holds an exclusive
// writer lock for as long as it is open, so a second writer gets "the file is
// in use by another program". A commit holds an exclusive commit lock from its
// journal write to the journal's end. A reader takes the commit lock shared
// for a read scope (ReadScope: one command of the reader, e.g. opening a
// table or one search), checking once for a live journal and for a change of
// the file; inside it, reading pages costs no lock or check. A page read
// outside any scope takes one for itself. So a reader never reads a command
// half done, and finding a live journal (its writer died) it rolls the
// command back first. A reader keeps the pages it has read; should another
// program change the file after the reader opened it (its size or
// modification time differ), its next scope is a ChangedError rather than
// pages that may not match those it holds.
//
// States (one at a time; moveTo() holds the legal changes):
//   Image    an in-memory image, read-only; no changes.
//   Reading  open for reading; no changes.
//   Ready    open for writing, no command open       -> Command (begin)
//   Command  a command is open                       -> Ready (commit, rollback,
//                                                       a failed commit undone)
//                                                     -> Broken (a failed commit
//                                                       that could not be undone)
//   Broken   refuses all work; the journal stays for the next open.
//
// The journal's invariants (the durability tests cite them by number):
//   J1 The file is not written before the command's journal is whole on disk:
//      written and synced, and its folder entry synced once per open.
//   J2 A journal counts only when whole and not ended: a journal cut off
//      while it was written, or whose header is zeroed, counts for nothing
//      (the file was not touched yet, or the command is complete).
//   J3 The file's sync is the commit point: a crash after it keeps the
//      command (a journal left then finds every page in place), a crash
//      before it leaves the file as before the command once it is next opened.
//   J4 A journal is applied only to the file it was written for; any other is
//      set aside as "<journal>.unmatched" with a notice, never applied.
//   J5 Only one writer: a writer holds the writer lock while the file is open;
//      a reader never reads pages while a commit holds the commit lock, and
//      the first opener to find a live journal rolls it back.
//   J6 A failed commit leaves the file and the pages in memory as before
//      begin(); where the undo itself fails, the journal is marked for undo
//      (if it can be) and stays, and the object is Broken.
//   J7 The journal file is removed when its writer closes the file, and not
//      while it is live.
//
// Every file operation goes through the OS layer (records/os/FileSystem.h);
// each write and sync of a commit and of a rollback names its point there, so
// tests can crash or fail it.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/jet/Error.h"
#include "records/jet/Options.h"
#include "records/os/FileSystem.h"

namespace zorvane::jet {

class PageFile {
public:
    enum class Mode { Read, ReadWrite };

    // Opens `path`. Throws Error when the path does not exist, is a folder, or
    // cannot be opened or read; for ReadWrite also when it is read-only or
    // another process writes it ("in use"). Rolls back a command that was cut
    // off (see above); for a Read open that cannot write the file, a journal
    // left behind is an Error. The file keeps `options` (Options.h) for
    // everything done with it.
    explicit PageFile(std::string path, Mode mode = Mode::Read, Options options = {});
    // A file image held in memory (for tests and fuzzing); `name` stands for
    // the file in error sentences. It is read-only.
    PageFile(std::string name, std::vector<std::uint8_t> image);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const std::string& path() const { return path_; }
    const Options& options() const { return options_; }
    // Whole pages in the file (a trailing partial page is not counted),
    // counting the pages appended by the current command.
    std::uint32_t pageCount() const { return pageCount_; }
    std::uint64_t fileSize() const { return fileSize_; }

    // The bytes of page `number` (PageSize of them). `what` names the reader's
    // purpose for the error sentence when the page lies beyond the end of the
    // file, e.g. "table \"oui\"". Throws Error.
    const std::uint8_t* page(std::uint32_t number, const char* what = nullptr);

    // Reads the listed pages that are not held yet from disk at once (runs of
    // consecutive ones with one read each), as page() would one by one; pages
    // beyond the end are left for page() to report. Throws Error.
    void preload(const std::vector<std::uint32_t>& numbers);

    // How many times a page was read from disk (each page at most once).
    std::uint64_t diskReads() const { return diskReads_; }

    // --- Writing (Mode::ReadWrite only) ---
    // Starts a command. Throws when one is already open.
    void begin();
    // Page `number` to change in the current command; its original goes to
    // the journal the first time. The pointer stays valid until commit or
    // rollback, and page() returns the changed bytes from now on. (It is the
    // same buffer page() returns, so pointers into it see the change.)
    std::uint8_t* writablePage(std::uint32_t number, const char* what = nullptr);
    // Adds a zeroed page at the end of the file in the current command;
    // returns its number.
    std::uint32_t appendPage();
    // Makes the command durable (see above). On failure the file is as it was
    // before begin(), the pages in memory are too, no command is open, and
    // Error is thrown.
    void commit();
    // Drops the current command's changes (nothing reached the disk yet);
    // every page holds its bytes from before begin() again. Without a
    // command open it does nothing.
    void rollback();
    bool inCommand() const;

    // Throws the file's Error for `reason` (a phrase without the file name).
    [[noreturn]] void fail(const std::string& reason) const;

    // "<path>-journal" (the journal lies beside the file a link leads to).
    static std::string journalPathOf(const std::string& path);

    // One command of a reader (see above): the shared commit lock and one
    // check of the journal and of the file, for as long as it lives. Scopes
    // nest; for an image or a file open for writing it does nothing. Throws
    // Error, or ChangedError when another program changed the file since it
    // was opened.
    class ReadScope {
    public:
        explicit ReadScope(PageFile& file);
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;

    private:
        PageFile& file_;
    };
    // Syncs issued by the last successful commit (for the benchmark).
    int lastCommitSyncs() const { return lastCommitSyncs_; }
    // The pages the last command changed or added, ascending, once it was
    // committed or rolled back (after a rollback they hold their bytes from
    // before it again; added ones are gone). Readers that located rows on
    // other pages can keep them.
    const std::vector<std::uint32_t>& lastCommandPages() const { return lastCommandPages_; }

private:
    enum class State { Image, Reading, Ready, Command, Broken };
    // Whether this writer's journal file lies beside the file, and whether
    // the folder entry naming it was synced.
    enum class JournalFile { None, Written, Named };
    // What undoing a failed commit in place came to.
    enum class Undo { Done, Marked, Unmarked };

    void moveTo(State next);
    void openFile(Mode mode);
    bool nameLeadsToOpenFile() const;
    void recoverIfNeeded();
    void lockForReading();
    void enterRead();
    void leaveRead();
    void recover(int fd);
    void setJournalAside();
    void readSize();
    void dropCommand();
    [[noreturn]] void failCommit(const std::string& reason, int error, Undo undo);
    Undo restoreOriginals(std::vector<std::uint8_t>& journalBytes);
    void noteCommandPages();
    os::FileSystem& sys() const { return options_.system(); }
    void notice(const std::string& line) const { options_.tell(line); }

    Options options_;
    std::string path_;
    std::string journalPath_;
    std::string folder_;
    Mode mode_ = Mode::Read;
    State state_ = State::Image;
    JournalFile journal_ = JournalFile::None;
    os::Fd fd_;
    os::Fd folderFd_;
    // Declared after the descriptor, so they go before it closes.
    std::optional<os::FileLock> writerLock_;  // held while open for writing
    std::optional<os::FileLock> readLock_;    // the commit lock, shared, in a read scope
    int readScopes_ = 0;
    std::uint64_t fileSize_ = 0;
    std::uint32_t pageCount_ = 0;
    std::uint64_t diskReads_ = 0;
    std::vector<std::shared_ptr<std::uint8_t[]>> cache_;  // pages preloaded together share a block
    std::shared_ptr<std::uint8_t[]> mapping_;  // the file's first mappedPages_ pages, mapped privately
    std::uint32_t mappedPages_ = 0;
    bool mappingTried_ = false;
    // The page's bytes in the mapping (made on first use), or nullptr where
    // pages are read by copying.
    std::uint8_t* mappedPage(std::uint32_t number);
    std::vector<std::uint8_t> image_;

    // The current command.
    std::uint64_t salt_ = 0;
    std::array<std::int64_t, 3> seenChange_{};  // the file's size and time when opened
    std::uint64_t committedSize_ = 0;
    std::uint32_t committedPages_ = 0;
    std::map<std::uint32_t, std::unique_ptr<std::uint8_t[]>> originals_;
    int lastCommitSyncs_ = 0;
    std::vector<std::uint32_t> lastCommandPages_;
};

// The folder part of `path` ("." when it has none), and the rest.
std::string folderOf(const std::string& path);
std::string baseOf(const std::string& path);
bool fileExists(os::FileSystem& sys, const std::string& path);

// Holds the writer lock of the database file at `path` (waiting up to the busy
// timeout, then "in use") while a new file is put in its place; a command cut
// off in the old file is rolled back first, so no journal outlives it. No file
// at `path`: a journal left there (its file was removed) is set aside.
class ReplaceLock {
public:
    explicit ReplaceLock(const std::string& path, const Options& options = {});
    ~ReplaceLock();
    ReplaceLock(const ReplaceLock&) = delete;
    ReplaceLock& operator=(const ReplaceLock&) = delete;

private:
    std::unique_ptr<PageFile> file_;
};

// Runs `read` (which opens the file and reads it from the start) again while
// another program's command changes the file under it, for up to the busy
// timeout of `options` (those the file is opened with), waiting on their file
// system's clock; after that the file at `path` is "in use by another
// program".
template <class Read>
auto readWhileBusy(const std::string& path, Read read, const Options& options = {}) -> decltype(read()) {
    os::FileSystem& sys = options.system();
    const auto deadline = sys.steadyNow() + options.busyTimeout;
    for (auto pause = std::chrono::milliseconds(1);;
         pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
        try {
            return read();
        } catch (const ChangedError&) {
            if (sys.steadyNow() >= deadline)
                throw Error(path + ": the file is in use by another program.");
        }
        sys.sleep(pause);
    }
}

} // namespace zorvane::jet
