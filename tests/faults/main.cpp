// zorvane-db-faults: zorvane-db for the tests, its files opened with the
// options of tests/faults/FaultFileSystem.h taken from the environment (the
// fault points, the busy timeout, the index page room).
#include "tests/faults/FaultFileSystem.h"
#include "tools/Commands.h"

int main(int argc, char** argv) {
    zorvane::tools::engineOptions() = zorvane::test::fault::optionsFromEnvironment();
    return zorvane::tools::run(argc, argv);
}
