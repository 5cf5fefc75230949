// zorvane-db-faults: zorvane-db for the tests, with the fault points and the
// busy timeout of tests/faults/FaultFileSystem.h taken from the environment,
// and ZORVANE_INDEX_PAGE_ROOM as IndexWriter::setPageRoomForTests.
#include "records/jet/IndexWriter.h"
#include "tests/faults/FaultFileSystem.h"
#include "tools/Commands.h"

#include <cstdlib>

int main(int argc, char** argv) {
    zorvane::test::fault::installFromEnvironment();
    if (const char* room = std::getenv("ZORVANE_INDEX_PAGE_ROOM"))
        zorvane::jet::IndexWriter::setPageRoomForTests(std::strtoul(room, nullptr, 10));
    return zorvane::tools::run(argc, argv);
}
