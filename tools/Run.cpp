// zorvane-db's commands by name, its options and its error lines.
#include "tools/Commands.h"

#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"

#include <cstdio>
#include <exception>
#include <string>

namespace zorvane::tools {
namespace {

struct Command {
    const char* name;
    const char* arguments;  // for the usage line, e.g. "FILE TABLE"
    const char* summary;
    int (*run)(const Arguments& arguments);  // none: one of those that need Qt
};

// One line per command; a new command is one more line here.
const Command commands[] = {
    {"tables", "FILE", "list the user tables, one name a line", runTables},
    {"export", "FILE TABLE [--format FORMAT] [--to DIR]",
     "write the table as CSV, one line per record (FORMAT csv, the default), or as JSON Lines\n"
     "      (json); for table oui also the vendor file of another program, to standard output:\n"
     "        wireshark  Wireshark's manuf (24-, 28- and 36-bit prefixes, short and long name);\n"
     "                   Wireshark 4.0 reads it from its data folder only: /usr/share/wireshark,\n"
     "                   or the folder WIRESHARK_DATA_DIR names (for a user without special\n"
     "                   privileges); newer versions also from the personal configuration\n"
     "                   folder (~/.config/wireshark)\n"
     "        nmap       nmap-mac-prefixes, 24-bit prefixes; nmap reads it from the folder given\n"
     "                   with --datadir (else NMAPDIR, ~/.nmap, /usr/share/nmap)\n"
     "        arp-scan   the vendor file of arp-scan --ouifile=FILE (default ieee-oui.txt in the\n"
     "                   working folder, then /usr/share/arp-scan/ieee-oui.txt)\n"
     "        ieee       the IEEE's oui.txt, mam.txt, oui36.txt and iab.txt, written into --to DIR,\n"
     "                   which import --from DIR and refresh --from DIR read (as do other\n"
     "                   readers of the IEEE's files)",
     runExport},
    {"import", "[--from DIR] [--force] [--min-entries N] OUT.mdb", "build a new vendor database from the IEEE listing", nullptr},
    {"refresh", "FILE [--from DIR | --download [--url BASE]] [--dry-run] [--changes OUT.csv] [--min-entries N]",
     "bring the vendor database up to date with the IEEE listing, keeping the user's changes", nullptr},
    {"download", "[--url BASE] [--to DIR] [--quiet] [--timeout SECONDS] [--min-entries N]",
     "fetch the IEEE listing into DIR (default ~/.cache/zorvane/ieee-data), replacing it only when whole", nullptr},
    {"add", "FILE TABLE [--allow-duplicate] FIELD=VALUE...",
     "add a record after every other, the fields given set, and print its number; in table oui\n"
     "      the Code must be a vendor code (any notation; stored as 00-1A-2B, 20-85-93-B or\n"
     "      70-B3-D5-F2-F) that the table does not hold yet (--allow-duplicate: held or not)", runAdd},
    {"update", "FILE TABLE (N | --where FIELD=VALUE... [--all]) FIELD=VALUE...",
     "change fields of record N (0 = the first), or of the one record where every --where\n"
     "      FIELD=VALUE holds (--all: of every such record), found through an index when one fits", runUpdate},
    {"delete", "FILE TABLE (N | --where FIELD=VALUE... [--all])",
     "delete record N (0 = the first), or the one record where every --where FIELD=VALUE holds\n"
     "      (--all: every such record)",
     runDelete},
    {"find", "FILE TABLE [--where FIELD=VALUE]... [--like FIELD=PATTERN]...",
     "the records where every condition holds, as CSV with their numbers first (column record);\n"
     "      VALUE: the field's text, letter case aside; PATTERN: * any characters, ? one", runFind},
    {"search", "FILE (--code TERM | --vendor TERM) [--json]",
     "search the vendor table as the lookup window does (a * at the start of TERM: ends with,\n"
     "      at the end: begins with, at both: inside); code, vendor and address as CSV, or JSON Lines", runSearch},
    {"lookup", "FILE [--csv | --json] [--strict] [ADDRESS...]",
     "name the vendor of each hardware address (or prefix), given or found in the lines of stdin", runLookup},
    {"check", "FILE", "check the file's structure; one line per problem, status 0 when sound", runCheck},
};

void printUsage(std::FILE* to) {
    std::fputs("usage: zorvane-db COMMAND ARGUMENTS [--password PASSWORD]\n"
               "       zorvane-db --version\n", to);
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

std::string& password() {
    static std::string given;
    return given;
}

} // namespace

const std::string& givenPassword() { return password(); }

jet::Options& engineOptions() {
    static jet::Options options;
    return options;
}

int dispatch(int argc, char** argv, OtherCommand other) {
    // Each command lasts a moment: a writer reads its pages from a mapping.
    engineOptions().mapWhenWriting = true;
    Arguments arguments(argv + 1, argv + argc);
    // --password PW (or --password=PW), before or after the command: the
    // database password, for opening a protected file (and for import, the
    // password the new file gets).
    for (std::size_t i = 0; i < arguments.size();) {
        const auto at = arguments.begin() + static_cast<std::ptrdiff_t>(i);
        if (arguments[i] == "--password" && i + 1 < arguments.size()) {
            password() = arguments[i + 1];
            arguments.erase(at, at + 2);
        } else if (arguments[i] == "--password") {
            printError("--password needs the database password after it (usage: zorvane-db COMMAND ARGUMENTS "
                       "--password PASSWORD).");
            return 1;
        } else if (arguments[i].starts_with("--password=")) {
            password() = arguments[i].substr(11);
            arguments.erase(at);
        } else {
            ++i;
            continue;
        }
        engineOptions().password = jet::fromUtf8(password());
    }
    if (arguments.empty()) {
        printUsage(stderr);
        return 1;
    }
    const std::string name = arguments.front();
    arguments.erase(arguments.begin());
    if (name == "help" || name == "--help" || name == "-h") {
        printUsage(stdout);
        try {
            flushOut();
        } catch (const zorvane::jet::Error& e) {
            printError(e.what());
            return 1;
        }
        return 0;
    }
    if (name == "--version" || name == "version") {
        std::fputs("zorvane-db " ZORVANE_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    engineOptions().notice = [](const std::string& line) { printError(line); };
    for (const Command& command : commands) {
        if (name != command.name)
            continue;
        try {
            const int status = command.run ? command.run(arguments) : other(name, arguments, argc, argv);
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
    printError("there is no command \"" + name + "\" (try zorvane-db help)");
    return 1;
}

} // namespace zorvane::tools
