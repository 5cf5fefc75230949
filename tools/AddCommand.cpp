// zorvane-db add FILE TABLE [--allow-duplicate] FIELD=VALUE...: one new
// record, after every other record of the table, through the record set as
// the lookup window adds one: AddNew, the fields in the order given, Update.
// It prints the new record's number. In the vendor table ("oui") the Code
// must be a vendor code (stored in the table's form whatever notation it is
// given in), and one the table already holds is refused, as the window
// refuses it, unless --allow-duplicate.
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "records/jet/Error.h"
#include "records/jet/Table.h"
#include "records/jet/ValueText.h"
#include "tools/RecordChoice.h"
#include "tools/VendorCode.h"

namespace zorvane::tools {

int runAdd(const Arguments& arguments) {
    const RecordChoice choice = readChoice(arguments, 0, {"--allow-duplicate"});
    if (choice.rest.size() < 3)
        throw UsageError("add needs a database file, a table and at least one FIELD=VALUE");
    const std::string file = choice.rest[0];
    Arguments fields(choice.rest.begin() + 2, choice.rest.end());
    records::RecordCursor set(file, choice.rest[1], true, engineOptions());
    requireDistinctFields(set, file, fields);
    const std::vector<std::string>& names = set.columnNames();
    std::size_t codeColumn = 0;
    while (codeColumn < names.size() && !jet::sameName(names[codeColumn], "Code"))
        ++codeColumn;
    if (jet::sameName(set.tableName(), "oui") && codeColumn < names.size()) {
        for (std::string& assignment : fields) {
            FieldText field = splitAssignment(assignment);
            if (set.column(jet::fromUtf8(field.field)) != codeColumn)
                continue;
            const std::optional<std::string> code = storedVendorCode(field.value);
            if (!code)
                throw jet::Error(file + ": \"" + field.value + "\" is not a vendor code (6, 7 or 9 hex digits, "
                                 "as in 00-1A-2B, 20-85-93-B or 70-B3-D5-F2-F).");
            assignment = field.field + "=" + *code;
            if (choice.allowDuplicate)
                continue;
            const std::vector<std::int32_t> held = set.positionsWhere({{codeColumn, jet::fromUtf8(*code)}});
            if (!held.empty())
                throw jet::Error(file + ": table " + set.tableName() + " already holds code " + *code + " (record " +
                                 std::to_string(held.front()) + "), so nothing was added (--allow-duplicate adds "
                                 "it all the same).");
        }
    }
    set.AddNew();
    setFields(set, fields, 0);
    set.Update();
    writeOut(std::to_string(set.AddedPosition()) + "\n");
    return 0;
}

} // namespace zorvane::tools
