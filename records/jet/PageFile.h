#pragma once
// The file layer: a database file seen as numbered 4096-byte pages. Each page
// is read from disk once, on first use, and kept for the life of the object,
// so walking a table touches the disk once per page however often it is read.
//
// Writing goes in commands: begin(), then writablePage()/appendPage() for
// every page the command changes, then commit() (or rollback()). A command is
// atomic and durable: before the database file is touched, the original of
// every changed page is saved in a rollback journal beside the file
// ("<file>-journal") and synced; commit() writes the pages, syncs the file and
// removes the journal. Opening a file whose journal survived an interrupted
// command rolls that command back first. A file open for writing holds an OS
// lock, so a second writer gets an "in use" error.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace zorvane::jet {

class PageFile {
public:
    enum class Mode { Read, ReadWrite };

    // Opens `path`. Throws Error when the path does not exist, is a folder, or
    // cannot be opened or read; for ReadWrite also when it is read-only or
    // another process writes it ("in use").
    explicit PageFile(std::string path, Mode mode = Mode::Read);
    // A file image held in memory (for tests and fuzzing); `name` stands for
    // the file in error sentences.
    PageFile(std::string name, std::vector<std::uint8_t> image);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const std::string& path() const { return path_; }
    // Whole pages in the file (a trailing partial page is not counted).
    std::uint32_t pageCount() const { return pageCount_; }
    std::uint64_t fileSize() const { return fileSize_; }

    // The bytes of page `number` (PageSize of them). `what` names the reader's
    // purpose for the error sentence when the page lies beyond the end of the
    // file, e.g. "table \"oui\"". Throws Error.
    const std::uint8_t* page(std::uint32_t number, const char* what = nullptr);

    // How many times a page was read from disk (each page at most once).
    std::uint64_t diskReads() const { return diskReads_; }

    // --- Writing (Mode::ReadWrite only) ---
    // Starts a command. Throws when one is already open.
    void begin();
    // Page `number` to change in the current command; its original goes to
    // the journal the first time. The pointer stays valid until commit or
    // rollback, and page() returns the changed bytes from now on.
    std::uint8_t* writablePage(std::uint32_t number, const char* what = nullptr);
    // Adds a zeroed page at the end of the file in the current command;
    // returns its number.
    std::uint32_t appendPage();
    // Makes the command durable (see above). On failure the file is as it was
    // before begin() and Error is thrown.
    void commit();
    // Drops the current command's changes.
    void rollback();
    bool inCommand() const;

    // Throws the file's Error for `reason` (a phrase without the file name).
    [[noreturn]] void fail(const std::string& reason) const;

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t fileSize_ = 0;
    std::uint32_t pageCount_ = 0;
    std::uint64_t diskReads_ = 0;
    std::vector<std::unique_ptr<std::uint8_t[]>> cache_;
    std::vector<std::uint8_t> image_;
};

} // namespace zorvane::jet
