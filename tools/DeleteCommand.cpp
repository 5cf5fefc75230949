// zorvane-db delete FILE TABLE (N | --where FIELD=VALUE... [--all]): deletes
// record N through the record set as the lookup window does (MoveFirst,
// Move N, Delete, Requery), or the one record the --where conditions choose
// (every match with --all, in one command).
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "tools/RecordChoice.h"

namespace zorvane::tools {

int runDelete(const Arguments& arguments) {
    const RecordChoice choice = readChoice(arguments, 0, {"--where", "--all"});
    if (choice.where.empty() && choice.all)
        throw UsageError("--all goes with --where");
    if (choice.rest.size() != (choice.where.empty() ? 3u : 2u))
        throw UsageError(choice.where.empty() ? "delete needs a database file, a table and a record number or --where"
                                              : "delete takes a record number or --where, not both");
    const std::string file = choice.rest[0];
    const std::int32_t n = choice.where.empty() ? recordNumber(choice.rest[2]) : -1;
    if (n < 0 && changedThroughIndex(file, choice.rest[1], choice, nullptr))
        return 0;
    records::RecordCursor set(file, choice.rest[1], true, engineOptions());
    if (n >= 0) {
        requireRecord(set, file, n);
        set.MoveFirst();
        set.Move(n);
        set.Delete();
    } else {
        set.DeleteAll(recordsToChange(set, file, choice));
    }
    set.Requery();
    return 0;
}

} // namespace zorvane::tools
