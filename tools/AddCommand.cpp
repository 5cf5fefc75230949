// zorvane-db add FILE TABLE FIELD=VALUE...: one new record, after every other
// record of the table, through the record set as the lookup window adds one:
// AddNew, the fields in the order given, Update. (The window then calls
// Requery to list the new record; nothing reads the set here afterwards.)
#include "tools/Commands.h"

#include "records/RecordCursor.h"

namespace zorvane::tools {

int runAdd(const Arguments& arguments) {
    if (arguments.size() < 3)
        throw UsageError("add needs a database file, a table and at least one FIELD=VALUE");
    records::RecordCursor set(arguments[0], arguments[1], true, engineOptions());
    set.AddNew();
    setFields(set, arguments, 2);
    set.Update();
    return 0;
}

} // namespace zorvane::tools
