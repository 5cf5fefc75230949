// zorvane-db check FILE: the file's structure, checked (see
// records/jet/DatabaseCheck.h). One line per problem on stdout and status
// 1; a sound file gives one line saying so and status 0.
#include "tools/Commands.h"

#include "records/jet/PageFile.h"
#include "records/jet/Catalog.h"
#include "records/jet/DatabaseCheck.h"

#include <numeric>
#include <string>

namespace zorvane::tools {

int runCheck(const Arguments& arguments) {
    if (arguments.size() != 1)
        throw UsageError("check needs exactly one database file");
    const std::string& path = arguments[0];
    std::vector<std::string> problems;
    std::uint32_t pages = 0;
    jet::readWhileBusy(path, [&] {
        jet::PageFile file(path, jet::PageFile::Mode::Read, engineOptions());
        jet::PageFile::ReadScope scope(file);
        // A file that is no database at all is an error, as for every
        // command; the problems below are those of a database.
        jet::checkHeader(file);
        std::vector<std::uint32_t> all(file.pageCount());  // the check reads every page
        std::iota(all.begin(), all.end(), 0u);
        file.preload(all);
        problems = jet::checkDatabase(file);
        pages = file.pageCount();
    }, engineOptions());
    std::string out;
    for (std::string line : problems) {
        for (char& c : line)
            if (c == '\n' || c == '\r')
                c = ' ';
        out += line;
        out += '\n';
    }
    if (problems.empty())
        out += path + ": the structure is consistent (" + std::to_string(pages) + " pages).\n";
    writeOut(out);
    return problems.empty() ? 0 : 1;
}

} // namespace zorvane::tools
