// zorvane-db export FILE TABLE: the table as CSV (RFC 4180): a header line of
// the column names, then one line per record in record-set order, lines ended
// by CR LF. A field is quoted when it is empty or holds a comma, a quote, CR
// or LF (quotes doubled); a null is an empty, unquoted field, so null and the
// empty text stay apart.
#include "tools/Commands.h"

#include "records/RecordSet.h"
#include "records/jet/PageFile.h"

#include <QFile>

namespace zorvane::tools {

void appendCsvField(QByteArray& out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const bool quote = bytes.isEmpty() || bytes.contains(',') || bytes.contains('"') ||
                       bytes.contains('\r') || bytes.contains('\n');
    if (!quote) {
        out.append(bytes);
        return;
    }
    out.append('"');
    for (const char c : bytes) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

int runExport(const QStringList& arguments) {
    if (arguments.size() != 2)
        throw UsageError("export needs a database file and a table name");
    // The whole table is read before anything is written, so another
    // program's command meanwhile means reading it again, not a torn output.
    QByteArray out;
    const std::string path = QFile::encodeName(arguments[0]).toStdString();
    jet::readWhileBusy(path, [&] {
        out.clear();
        records::RecordSet set(arguments[0], arguments[1]);
        // The header comes from the set's own fields, so the names keep the
        // table's spelling and order.
        QStringList names = set.FieldNames();
        std::vector<records::Field> fields;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i)
                out.append(',');
            appendCsvField(out, names[i]);
            fields.push_back(set.Fields(names[i]));
        }
        out.append("\r\n");
        while (!set.Eof()) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (i)
                    out.append(',');
                if (const auto value = fields[i].Value())
                    appendCsvField(out, *value);
            }
            out.append("\r\n");
            set.MoveNext();
        }
    });
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
