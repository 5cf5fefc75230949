#pragma once
// What a program chooses for a database file it opens. The value is given
// when the file is opened (PageFile, Database, records::RecordCursor,
// createDatabase) and the open file keeps its own copy, which everything
// working on that file reads (PageFile::options()); so two files open in one
// process can differ in each of these. A default value is what a program
// gets without asking: no password, 3 seconds, pages copied, notices on
// stderr, whole index pages, POSIX.

#include "records/os/FileSystem.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace zorvane::jet {

struct Options {
    // The database password to open a protected file with (empty: none); a
    // file whose header holds another is refused (checkHeader).
    std::u16string password;
    // How long a writer waits for another writer's lock, and a reader for a
    // command in progress, before the file is "in use" (PageFile.h).
    std::chrono::milliseconds busyTimeout{3000};
    // Whether a file open for writing reads its pages through a private
    // mapping of the file instead of copying them into memory of its own.
    // The writer lock keeps every cooperating program from changing the file
    // under the mapping, and a page the command changes becomes private to
    // this process on its first change, as a copied page is; a read of a
    // large table then costs neither zeroed memory nor copies. The price:
    // should a program that ignores the lock cut the file short while it is
    // open, or the disk fail on a mapped page, the process ends with SIGBUS
    // instead of an Error. For short commands (zorvane-db's), not for a
    // window that keeps a file open for hours.
    bool mapWhenWriting = false;
    // The same for a file open for reading: its pages are read through a
    // private, read-only mapping. The mapping shows what the file holds now,
    // not a copy made when a page was first read, so a program that sets this
    // holds a PageFile::ReadScope for as long as it uses the pages (no command
    // of another program can commit meanwhile); the SIGBUS caveat above holds
    // too. For zorvane-db's short reading commands.
    bool mapWhenReading = false;
    // Where a line for the user that reports no failure goes (a journal set
    // aside, say); empty: stderr, as it is.
    std::function<void(const std::string& line)> notice;
    // Bytes an index page offers its entries (0: the whole page); tests lower
    // it so that a few thousand rows split leaves and nodes.
    std::size_t indexPageRoom = 0;
    // The operating system the file is reached through (nullptr: POSIX);
    // tests give a decorator (tests/faults).
    os::FileSystem* fileSystem = nullptr;

    os::FileSystem& system() const { return fileSystem ? *fileSystem : os::posixFileSystem(); }
    void tell(const std::string& line) const;
};

} // namespace zorvane::jet
