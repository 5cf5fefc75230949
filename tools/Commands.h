#pragma once
// The commands of zorvane-db. Each takes the arguments after its name and
// returns the exit status; a failure throws (jet::Error or UsageError), and
// main prints its one-line message on stderr and exits with status 1.

#include <QStringList>

#include <stdexcept>

namespace zorvane::records {
class RecordSet;
}

namespace zorvane::tools {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// zorvane-db as a whole: the command named in argv[1] run on the rest; the
// exit status.
int run(int argc, char** argv);

struct Command {
    const char* name;
    const char* arguments;  // for the usage line, e.g. "FILE TABLE"
    const char* summary;
    int (*run)(const QStringList& arguments);
};

int runTables(const QStringList& arguments);
int runExport(const QStringList& arguments);
int runAdd(const QStringList& arguments);
int runUpdate(const QStringList& arguments);
int runDelete(const QStringList& arguments);
int runCheck(const QStringList& arguments);
int runLookup(const QStringList& arguments);
int runRefresh(const QStringList& arguments);

// For add and update: sets every FIELD=VALUE of `assignments`, in order, on
// the record being edited or added (VALUE may be empty; it is text).
void setFields(records::RecordSet& set, const QStringList& assignments);
// A record number argument: 0 or more, as MoveFirst then Move N reaches it.
qint32 recordNumber(const QString& text);

// Appends `text` as one CSV field (RFC 4180): quoted when it is empty or holds
// a comma, a quote, CR or LF.
void appendCsvField(QByteArray& out, const QString& text);

// Writes UTF-8 text to stdout; flushOut() sends what is buffered. Both throw
// jet::Error ("the output could not be written (REASON).") when a write fails.
void writeOut(const QByteArray& bytes);
void flushOut();
// For commands that build a whole database in memory (import, refresh).
void preferHugePagesForTheHeap();
// The database password given with --password (empty: none).
QString& givenPassword();

} // namespace zorvane::tools
