// zorvane-db delete FILE TABLE N: deletes record N through the record set as
// the lookup window does: MoveFirst, Move N, Delete, Requery.
#include "tools/Commands.h"

#include "records/RecordSet.h"

namespace zorvane::tools {

int runDelete(const QStringList& arguments) {
    if (arguments.size() != 3)
        throw UsageError("delete needs a database file, a table and a record number");
    const qint32 n = recordNumber(arguments[2]);
    records::RecordSet set(arguments[0], arguments[1], true);
    set.MoveFirst();
    set.Move(n);
    set.Delete();
    set.Requery();
    return 0;
}

} // namespace zorvane::tools
