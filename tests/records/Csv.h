#pragma once
// A small CSV reader for the tests: RFC 4180 fields, quoted or not, records
// ended by LF or CR LF. A field keeps whether it was quoted, so an unquoted
// empty field (null) and "" (the empty text) stay apart.
#include <QByteArray>
#include <QString>
#include <QList>

namespace zorvane::test {

struct CsvField {
    QString text;
    bool quoted = false;
    bool isNull() const { return !quoted && text.isEmpty(); }
};
using CsvRecord = QList<CsvField>;

inline QList<CsvRecord> parseCsv(const QByteArray& bytes) {
    QList<CsvRecord> records;
    CsvRecord record;
    QByteArray field;
    bool quoted = false, inQuotes = false, any = false;
    auto endField = [&] {
        record.append({QString::fromUtf8(field), quoted});
        field.clear();
        quoted = false;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        any = true;
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                    field.append('"');
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field.append(c);
            }
        } else if (c == '"') {
            inQuotes = quoted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            // the LF ends the record
        } else if (c == '\n') {
            endField();
            records.append(record);
            record.clear();
            any = false;
        } else {
            field.append(c);
        }
    }
    if (any) {
        endField();
        records.append(record);
    }
    return records;
}

} // namespace zorvane::test
