// zorvane-db export FILE TABLE: the table as CSV (RFC 4180): a header line of
// the column names, then one line per record in record-set order, lines ended
// by CR LF. A field is quoted when it is empty or holds a comma, a quote, CR
// or LF (quotes doubled); a null is an empty, unquoted field, so null and the
// empty text stay apart.
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"

#include <string>

namespace zorvane::tools {

void appendCsvField(std::string& out, std::string_view text) {
    const bool quote = text.empty() || text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

int runExport(const Arguments& arguments) {
    if (arguments.size() != 2)
        throw UsageError("export needs a database file and a table name");
    // The whole table is read before anything is written, so another
    // program's command meanwhile means reading it again, not a torn output.
    std::string out;
    const std::string& path = arguments[0];
    jet::readWhileBusy(path, [&] {
        out.clear();
        records::RecordCursor set(path, arguments[1], false, engineOptions());
        // The header comes from the set's own fields, so the names keep the
        // table's spelling and order.
        const std::vector<std::string>& names = set.columnNames();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i)
                out += ',';
            appendCsvField(out, names[i]);
        }
        out += "\r\n";
        while (!set.Eof()) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (i)
                    out += ',';
                if (const std::u16string* value = set.value(i))
                    appendCsvField(out, jet::toUtf8(*value));
            }
            out += "\r\n";
            set.MoveNext();
        }
    }, engineOptions().busyTimeout);
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
