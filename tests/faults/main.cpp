// zorvane-db-faults: zorvane-db for the tests, with the fault points and the
// busy timeout of tests/faults/FaultFileSystem.h taken from the environment.
#include "tests/faults/FaultFileSystem.h"
#include "tools/Commands.h"

int main(int argc, char** argv) {
    zorvane::test::fault::installFromEnvironment();
    return zorvane::tools::run(argc, argv);
}
