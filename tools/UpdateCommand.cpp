// zorvane-db update FILE TABLE N FIELD=VALUE...: changes fields of record N
// through the record set as the lookup window does: MoveFirst, Move N, Edit,
// the fields in the order given, Update.
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "records/jet/Error.h"
#include "records/jet/ValueText.h"

#include <algorithm>
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
    std::vector<std::size_t> given;
    for (std::size_t i = first; i < assignments.size(); ++i) {
        const std::string& assignment = assignments[i];
        const std::size_t equals = assignment.find('=');
        if (equals == 0 || equals == std::string::npos)
            throw UsageError("\"" + assignment + "\" is not FIELD=VALUE");
        const std::size_t column = set.column(jet::fromUtf8(assignment.substr(0, equals)));
        // A field given twice would keep one value silently.
        if (std::find(given.begin(), given.end(), column) != given.end())
            jet::fail(assignments[0], "the field \"" + set.columnNames()[column] +
                                          "\" is given more than once, so nothing was changed");
        given.push_back(column);
        set.setValue(column, jet::fromUtf8(assignment.substr(equals + 1)));
    }
}

int runUpdate(const Arguments& arguments) {
    if (arguments.size() < 4)
        throw UsageError("update needs a database file, a table, a record number and at least "
                         "one FIELD=VALUE");
    const std::int32_t n = recordNumber(arguments[2]);
    records::RecordCursor set(arguments[0], arguments[1], true);
    set.MoveFirst();
    set.Move(n);
    set.Edit();
    setFields(set, arguments, 3);
    set.Update();
    return 0;
}

} // namespace zorvane::tools
