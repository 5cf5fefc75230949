// zorvane-db tables FILE: the user tables, one name a line, in catalog order.
#include "tools/Commands.h"

#include "records/jet/Database.h"

#include <string>

namespace zorvane::tools {

int runTables(const Arguments& arguments) {
    if (arguments.size() != 1)
        throw UsageError("tables needs exactly one database file");
    const std::string& path = arguments[0];
    std::string out;
    jet::readWhileBusy(path, [&] {
        jet::Database database(path, jet::PageFile::Mode::Read, engineOptions());
        out.clear();
        for (const auto& table : database.tables()) {
            out += table.name;
            out += '\n';
        }
    }, engineOptions());
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
