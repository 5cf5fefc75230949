// zorvane-db with every command in this process: the dispatcher of
// tools/Run.cpp, and import and refresh with Qt strings.
#include "tools/ImportCommand.h"
#include "tools/QtCommands.h"

#include <QStringList>

#include <stdexcept>

namespace zorvane::tools {
namespace {

int runQtCommand(std::string_view name, const Arguments& arguments, int, char**) {
    QStringList list;
    for (const std::string& argument : arguments)
        list << QString::fromLocal8Bit(argument);
    if (name == "import")
        return runImport(list);
    if (name == "refresh")
        return runRefresh(list);
    if (name == "download")
        return runDownload(list);
    throw std::logic_error("no command " + std::string(name));
}

} // namespace

int run(int argc, char** argv) { return dispatch(argc, argv, runQtCommand); }

} // namespace zorvane::tools
