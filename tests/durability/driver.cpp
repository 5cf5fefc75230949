// The writer the crash tests kill: one command through the page file, so each
// run passes every write and sync point of a command once.
//   durability_driver pages FILE APPENDED PAGE...
//       changes the listed pages (each byte set from its page number and
//       offset) and appends APPENDED pages, in one command
//   durability_driver open FILE read|write
//       opens the file (undoing a command that was cut off) and closes it
//   durability_driver hold FILE SECONDS
//       opens the file for writing and keeps it open (the lock) that long
// Exit status 0 on success, 1 with the error sentence on stderr; a crash
// point (tests/faults/FaultFileSystem.h, from the environment) ends it with 77.
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "tests/durability/PagePattern.h"
#include "tests/faults/FaultFileSystem.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using zorvane::jet::PageFile;

int main(int argc, char** argv) {
    const zorvane::jet::Options options = zorvane::test::fault::optionsFromEnvironment();
    if (argc < 4) {
        std::fprintf(stderr, "usage: durability_driver pages|open|hold FILE ARG...\n");
        return 2;
    }
    const std::string command = argv[1];
    const std::string file = argv[2];
    try {
        if (command == "pages") {
            PageFile pages(file, PageFile::Mode::ReadWrite, options);
            pages.begin();
            for (int i = 4; i < argc; ++i) {
                const auto number = static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10));
                zorvane::tests::fillPage(pages.writablePage(number), number);
            }
            for (long i = std::strtol(argv[3], nullptr, 10); i > 0; --i) {
                const std::uint32_t number = pages.appendPage();
                zorvane::tests::fillPage(pages.writablePage(number), number);
            }
            pages.commit();
            return 0;
        }
        if (command == "open") {
            PageFile pages(file, std::string(argv[3]) == "write" ? PageFile::Mode::ReadWrite
                                                                 : PageFile::Mode::Read, options);
            if (pages.pageCount() > 0)
                pages.page(pages.pageCount() - 1);
            return 0;
        }
        if (command == "hold") {
            PageFile pages(file, PageFile::Mode::ReadWrite, options);
            std::puts("holding");
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[3])));
            return 0;
        }
    } catch (const zorvane::jet::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "durability_driver: bad arguments\n");
    return 2;
}
