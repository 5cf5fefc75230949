// zorvane-db delete FILE TABLE N: deletes record N through the record set as
// the lookup window does: MoveFirst, Move N, Delete, Requery.
#include "tools/Commands.h"

#include "records/RecordCursor.h"

namespace zorvane::tools {

int runDelete(const Arguments& arguments) {
    if (arguments.size() != 3)
        throw UsageError("delete needs a database file, a table and a record number");
    const std::int32_t n = recordNumber(arguments[2]);
    records::RecordCursor set(arguments[0], arguments[1], true, engineOptions());
    set.MoveFirst();
    set.Move(n);
    set.Delete();
    set.Requery();
    return 0;
}

} // namespace zorvane::tools
