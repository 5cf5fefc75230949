// Writes the fuzzer's first inputs into the folder given: the sample tables,
// the same after edits that delete and move rows, and a small vendor database.
#include "tests/support/SampleDatabases.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    using namespace zorvane::test;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    try {
        samples::writeSamples(dir);
        samples::editMany(samples::writeSamples(dir, "edited.mdb"));
        writeVendorDatabase(dir, {vendorRecord("00-00-0C", "Cisco Systems, Inc", "170 West Tasman Dr.\r\nSan Jose CA 95134"),
                                  vendorRecord("70-B3-D5-F2-F", "Example", QString(), QString())});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
