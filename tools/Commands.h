#pragma once
// The commands of zorvane-db. Each takes the arguments after its name, as the
// command line gives them (local 8-bit text: UTF-8), and returns the exit
// status; a failure throws (jet::Error or UsageError), and main prints its
// one-line message on stderr and exits with status 1. The commands here need
// no Qt; import and refresh do (tools/QtCommands.h), and zorvane-db runs them
// in its companion zorvane-db-full.

#include "records/Csv.h"
#include "records/jet/Options.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::records {
class RecordCursor;
}

namespace zorvane::tools {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Arguments = std::vector<std::string>;

// Runs a command of those that need Qt: `name` with `arguments` (the
// command line without --password and the name); `argc`/`argv` are the
// whole command line.
using OtherCommand = int (*)(std::string_view name, const Arguments& arguments, int argc, char** argv);

// zorvane-db as a whole: the command named on the command line run on the
// rest; the exit status. Import and refresh go to `other`.
int dispatch(int argc, char** argv, OtherCommand other);
// Every command in this process (zorvane-db-full and the tests; library
// zorvane_db_commands, which needs Qt).
int run(int argc, char** argv);

int runTables(const Arguments& arguments);
int runExport(const Arguments& arguments);
int runAdd(const Arguments& arguments);
int runUpdate(const Arguments& arguments);
int runDelete(const Arguments& arguments);
int runCheck(const Arguments& arguments);
int runLookup(const Arguments& arguments);
int runFind(const Arguments& arguments);
int runSearch(const Arguments& arguments);

// For add and update: sets every FIELD=VALUE of `assignments` from `first`
// on, in order, on the record being edited or added (VALUE may be empty; it
// is text).
void setFields(records::RecordCursor& set, const Arguments& assignments, std::size_t first);
// A record number argument: 0 or more, as MoveFirst then Move N reaches it.
std::int32_t recordNumber(const std::string& text);

// CSV fields as every command writes them (records/Csv.h).
using records::appendCsvField;
using records::CsvEmptyText;
// Appends UTF-8 `text` as a JSON string, quotes included.
void appendJsonString(std::string& out, std::string_view text);

// Writes UTF-8 text to stdout; flushOut() sends what is buffered. Both throw
// jet::Error ("standard output: writing failed (REASON).") when a write fails.
void writeOut(std::string_view bytes);
void flushOut();
// For commands that build a whole database in memory (import, refresh).
void preferHugePagesForTheHeap();
// The database password given with --password, as given (empty: none).
const std::string& givenPassword();
// What every command opens its files with: dispatch() sets the password, the
// mapping switch and the notice lines; a test build sets more before.
jet::Options& engineOptions();

} // namespace zorvane::tools
