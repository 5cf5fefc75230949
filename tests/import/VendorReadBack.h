#pragma once
// Table "oui" (or another of the same fields) of a vendor database read back by mdbtools' mdb-export, the
// mdb-reader package and `zorvane-db export`: the eight columns, and exactly
// the expected records, field by field, in order.
#include "records/VendorDatabase.h"
#include "tests/support/EngineReaders.h"

#include <QTest>

namespace zorvane::test {

inline Row rowOf(const records::VendorRecord& r) { return Row(r.fields.begin(), r.fields.end()); }
inline QStringList vendorFieldNames() {
    QStringList names;
    for (const records::vendor::FieldDescription& field : records::vendor::Fields)
        names << QString::fromLatin1(field.name.data(), static_cast<qsizetype>(field.name.size()));
    return names;
}

inline void checkReaders(const QString& file, const QList<Row>& expected, const QString& name = "oui") {
    const QStringList names = vendorFieldNames();
    const ProcessResult ours = runProcess(zorvaneDbPath(), {"export", file, name});
    QCOMPARE(ours.status, 0);
    const std::pair<QString, Table> readers[] = {{"mdb-export", readMdbExport(file, name, {"-e"})},
                                                 {"mdb-reader", readMdbReader(file, name)},
                                                 {"zorvane-db export", tableOfCsv(ours.out)}};
    for (const auto& [reader, table] : readers) {
        QCOMPARE(table.columns, names);
        // mdb-export cannot tell an empty text from a null.
        const QString d = firstDifference(reader == "mdb-export" ? emptyAsNull(expected) : expected, table.rows);
        QVERIFY2(d.isEmpty(), qPrintable(reader + " (" + name + "): " + d));
    }
}

} // namespace zorvane::test
