// zorvane-db update FILE TABLE (N | --where FIELD=VALUE... [--all]) FIELD=VALUE...:
// changes fields of record N through the record set as the lookup window
// does (MoveFirst, Move N, Edit, the fields in the order given, Update), or
// of the record the --where conditions choose: exactly one must match, else
// nothing is changed and the message says how many did; with --all every
// match is changed, in one command.
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "records/jet/Error.h"
#include "records/jet/ValueText.h"
#include "tools/RecordChoice.h"

#include <charconv>

namespace zorvane::tools {

std::int32_t recordNumber(const std::string& text) {
    // Digits, perhaps after a minus sign (so "-0" is 0); nothing around them.
    std::int32_t n = -1;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, n);
    if (error != std::errc() || stop != end || n < 0)
        throw UsageError("the record number \"" + text + "\" is not a whole number of 0 or more");
    return n;
}

void setFields(records::RecordCursor& set, const Arguments& assignments, std::size_t first) {
    for (std::size_t i = first; i < assignments.size(); ++i) {
        const FieldText field = splitAssignment(assignments[i]);
        set.setValue(set.column(jet::fromUtf8(field.field)), jet::fromUtf8(field.value));
    }
}

// FIELD=VALUE arguments naming a field twice are refused before anything
// is changed.
void requireDistinctFields(const records::RecordCursor& set, const std::string& file, const Arguments& assignments) {
    std::vector<FieldText> fields;
    for (const std::string& a : assignments)
        fields.push_back(splitAssignment(a));
    columnsOf(set, file, fields);
}

bool changedThroughIndex(const std::string& file, const std::string& table, const RecordChoice& choice,
                         const Arguments* assignments) {
    std::vector<records::RecordCursor::NamedValue> where, changes;
    for (const FieldText& w : choice.where)
        where.push_back({w.field, jet::fromUtf8(w.value)});
    if (assignments)
        for (const std::string& a : *assignments) {
            const FieldText f = splitAssignment(a);
            changes.push_back({f.field, jet::fromUtf8(f.value)});
        }
    const auto outcome =
        records::RecordCursor::changeThroughIndex(file, table, where, assignments ? &changes : nullptr, choice.all,
                                                    engineOptions());
    if (!outcome)
        return false;
    const std::string what = "table " + outcome->table + " where " + describe(choice.where);
    if (outcome->matched == 0)
        throw jet::Error(file + ": no record of " + what + ", so nothing was changed.");
    if (outcome->matched > 1 && !choice.all)
        throw jet::Error(file + ": " + withThousands(static_cast<std::int64_t>(outcome->matched)) + " records of " +
                         what + " match, so nothing was changed (--all changes every one).");
    return true;
}

// The records chosen by --where for update and delete: exactly one, or
// every match with --all; none chosen is an error that changes nothing.
std::vector<std::int32_t> recordsToChange(const records::RecordCursor& set, const std::string& file,
                                          const RecordChoice& choice) {
    const std::vector<std::int32_t> found = chosenRecords(set, file, choice);
    const std::string what = "table " + set.tableName() + " where " + describe(choice.where);
    if (found.empty())
        throw jet::Error(file + ": no record of " + what + ", so nothing was changed.");
    if (found.size() > 1 && !choice.all)
        throw jet::Error(file + ": " + withThousands(static_cast<std::int64_t>(found.size())) + " records of " +
                         what + " match, so nothing was changed (--all changes every one).");
    return found;
}

int runUpdate(const Arguments& arguments) {
    const RecordChoice choice = readChoice(arguments, 0, {"--where", "--all"});
    if (choice.rest.size() < 2)
        throw UsageError("update needs a database file, a table, a record number or --where, and at least "
                         "one FIELD=VALUE");
    const std::string file = choice.rest[0], table = choice.rest[1];
    Arguments rest(choice.rest.begin() + 2, choice.rest.end());
    std::int32_t n = -1;
    if (choice.where.empty()) {
        if (choice.all)
            throw UsageError("--all goes with --where");
        if (rest.empty())
            throw UsageError("update needs a record number or --where");
        n = recordNumber(rest.front());
        rest.erase(rest.begin());
    }
    if (rest.empty())
        throw UsageError("update needs at least one FIELD=VALUE");
    if (n < 0 && changedThroughIndex(file, table, choice, &rest))
        return 0;
    records::RecordCursor set(file, table, true, engineOptions());
    requireDistinctFields(set, file, rest);
    if (n >= 0) {
        requireRecord(set, file, n);
        set.MoveFirst();
        set.Move(n);
        set.Edit();
    } else {
        set.EditAll(recordsToChange(set, file, choice));
    }
    setFields(set, rest, 0);
    set.Update();
    return 0;
}

} // namespace zorvane::tools
