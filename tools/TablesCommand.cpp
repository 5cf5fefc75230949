// zorvane-db tables FILE: the user tables, one name a line, in catalog order.
#include "tools/Commands.h"

#include "records/jet/Database.h"

#include <QFile>

namespace zorvane::tools {

int runTables(const QStringList& arguments) {
    if (arguments.size() != 1)
        throw UsageError("tables needs exactly one database file");
    const std::string path = QFile::encodeName(arguments[0]).toStdString();
    QByteArray out;
    jet::readWhileBusy(path, [&] {
        jet::Database database(path);
        out.clear();
        for (const auto& table : database.tables()) {
            out.append(table.name.data(), static_cast<qsizetype>(table.name.size()));
            out.append('\n');
        }
    });
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
