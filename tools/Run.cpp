// zorvane-db's commands by name, its options and its error lines.
#include "tools/Commands.h"
#include "tools/ImportCommand.h"

#include "records/jet/Catalog.h"
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <string>

namespace zorvane::tools {
namespace {

// One line per command; a new command is one more line here.
const Command commands[] = {
    {"tables", "FILE", "list the user tables, one name a line", runTables},
    {"export", "FILE TABLE", "write the table as CSV, one line per record", runExport},
    {"import", "[--from DIR] [--force] OUT.mdb", "build a new vendor database from the IEEE listing", runImport},
    {"refresh", "FILE [--from DIR] [--dry-run] [--changes OUT.csv]",
     "bring the vendor database up to date with the IEEE listing, keeping the user's changes", runRefresh},
    {"add", "FILE TABLE FIELD=VALUE...", "add a record after every other, the fields given set", runAdd},
    {"update", "FILE TABLE N FIELD=VALUE...", "change fields of record N (0 = the first)", runUpdate},
    {"delete", "FILE TABLE N", "delete record N (0 = the first)", runDelete},
    {"lookup", "FILE [--csv | --json] [ADDRESS...]",
     "name the vendor of each hardware address (or prefix), given or one a line on stdin", runLookup},
    {"check", "FILE", "check the file's structure; one line per problem, status 0 when sound", runCheck},
};

void printUsage(std::FILE* to) {
    std::fputs("usage: zorvane-db COMMAND ARGUMENTS [--password PASSWORD]\n", to);
    for (const Command& c : commands)
        std::fprintf(to, "  zorvane-db %s %s\n      %s\n", c.name, c.arguments, c.summary);
}

// Errors go out on one line, whatever they hold.
void printError(std::string message) {
    for (char& ch : message)
        if (ch == '\n' || ch == '\r')
            ch = ' ';
    std::fprintf(stderr, "zorvane-db: %s\n", message.c_str());
}

} // namespace

int run(int argc, char** argv) {
    // Each command lasts a moment: a writer reads its pages from a mapping.
    jet::PageFile::setMapWhenWriting(true);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --password PW (or --password=PW), before or after the command: the
    // database password, for opening a protected file (and for import, the
    // password the new file gets).
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString password;
        if (arguments[i] == QLatin1String("--password") && i + 1 < arguments.size()) {
            password = arguments[i + 1];
            arguments.remove(i, 2);
        } else if (arguments[i].startsWith(QLatin1String("--password="))) {
            password = arguments[i].mid(11);
            arguments.remove(i);
        } else {
            continue;
        }
        givenPassword() = password;
        zorvane::jet::setGivenPassword(password.toStdU16String());
        --i;
    }
    if (arguments.isEmpty()) {
        printUsage(stderr);
        return 1;
    }
    const QString name = arguments.takeFirst();
    if (name == QLatin1String("help") || name == QLatin1String("--help") ||
        name == QLatin1String("-h")) {
        printUsage(stdout);
        return 0;
    }
    zorvane::jet::setNoticeHandler([](const std::string& line) { printError(line); });
    for (const Command& command : commands) {
        if (name != QLatin1String(command.name))
            continue;
        try {
            const int status = command.run(arguments);
            flushOut();
            return status;
        } catch (const UsageError& e) {
            printError(std::string(e.what()) + " (usage: zorvane-db " + command.name + " " +
                       command.arguments + ")");
        } catch (const zorvane::jet::Error& e) {
            printError(e.what());
        } catch (const std::exception& e) {
            printError(std::string("unexpected failure: ") + e.what());
        }
        return 1;
    }
    printError("there is no command \"" + name.toStdString() + "\" (try zorvane-db help)");
    return 1;
}

} // namespace zorvane::tools
