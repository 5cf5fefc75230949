#pragma once
// The commands of zorvane-db. Each takes the arguments after its name and
// returns the exit status; a failure throws (jet::Error or UsageError), and
// main prints its one-line message on stderr and exits with status 1.

#include <QStringList>

#include <stdexcept>

namespace zorvane::tools {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Command {
    const char* name;
    const char* arguments;  // for the usage line, e.g. "FILE TABLE"
    const char* summary;
    int (*run)(const QStringList& arguments);
};

int runTables(const QStringList& arguments);
int runExport(const QStringList& arguments);

// Writes UTF-8 text to stdout.
void writeOut(const QByteArray& bytes);

} // namespace zorvane::tools
