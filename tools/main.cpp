// zorvane-db: the command-line companion over the same engine as the program.
// It links no Qt, so a record command starts as fast as the engine allows;
// import and refresh are run by zorvane-db-full, which this program
// becomes with the same arguments. zorvane-db-full is looked for beside this
// program (a build tree, an unpacked folder) and where it is installed
// (ZORVANE_DB_FULL_FROM_BIN: its folder, relative to that of zorvane-db).
#include "tools/Commands.h"

#include "records/jet/Error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

using zorvane::tools::Arguments;

int runInFull(std::string_view name, const Arguments&, int, char** argv) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path folder = error ? fs::path(".") : self.parent_path();
    const fs::path places[] = {folder, (folder / ZORVANE_DB_FULL_FROM_BIN).lexically_normal()};
    int failure = ENOENT;
    char* const given = argv[0];
    for (const fs::path& place : places) {
        const std::string program = (place / "zorvane-db-full").string();
        argv[0] = const_cast<char*>(program.c_str());
        ::execv(program.c_str(), argv);
        if (errno != ENOENT)
            failure = errno;
    }
    argv[0] = given;
    throw zorvane::jet::Error(std::string(name) + " is run by zorvane-db-full, which could not be " +
                              "started from " + places[0].string() + " or " + places[1].string() +
                              " (" + std::strerror(failure) + ").");
}

} // namespace

int main(int argc, char** argv) { return zorvane::tools::dispatch(argc, argv, runInFull); }
