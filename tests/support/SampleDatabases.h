#pragma once
// The databases the engine's tests stand on, made by the engine's own writer:
// every field type a new database holds, a definition over several pages, an
// empty table, an indexed table with an AutoNumber key, and a table of 512
// records; optionally edited afterwards so that rows have been deleted and
// moved to other pages.
#include "records/RecordSet.h"
#include "records/jet/CreateDatabase.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace zorvane::test::samples {

namespace fmt = jet::format;

inline jet::NewValue text(const QString& s) { return s.toStdU16String(); }
inline const jet::NewValue null = std::nullopt;

// Table1: one field of each type, with extremes, nulls, wide characters and
// memo values in the row, on one long-value page and over several.
inline std::vector<jet::NewRow> typesRows() {
    const QString longMemo = QString("A memo on a page of its own. ").repeated(170);
    const QString chainedMemo = QString::fromUtf8("Über mehrere Seiten \u6f22\u5b57 ").repeated(700);
    return {
        {text("abcdefg"), text("short memo"), text("True"), text("0"), text("-32768"), text("-2147483648"),
         text("-922337203685477.5807"), text("0.1"), text("0.1"), text("1899-12-30 00:00:00")},
        {text(""), text(longMemo), text("False"), text("255"), text("32767"), text("2147483647"),
         text("922337203685477.5807"), text("3.4028235e+38"), text("1.7976931348623157e+308"),
         text("9999-12-31 23:59:59")},
        {null, null, null, null, null, null, null, null, null, null},
        {text(QString::fromUtf8("\u03a9mega \u00c4\u00d6\u00dc \u6f22\u5b57")), text(chainedMemo), text("True"),
         text("1"), text("-1"), text("1"), text("0.0001"), text("-0"), text("-1e-300"), text("1899-12-30 06:00:00")},
        {text("x"), text(""), text("False"), text("128"), text("0"), text("0"), text("0.0000"), text("1.5"),
         text("2.5e-10"), text("1900-03-01 00:00:01")},
        {text("2024 row"), text("memo\r\nwith lines"), text("True"), text("42"), text("1234"), text("123456789"),
         text("3.5000"), text("444.555"), text("3.141592653589793"), text("2024-02-29 13:05:00")},
    };
}

// Many: 512 records "Code", "Name", "Description"; every seventh code null.
inline std::vector<jet::NewRow> manyRows() {
    std::vector<jet::NewRow> rows;
    for (int i = 0; i < 512; ++i)
        rows.push_back({i % 7 == 6 ? null : text(QString::number(i * 3 + 19)), text(QString("name %1").arg(i)),
                        text(QString("description of record %1").arg(i))});
    return rows;
}

// Writes "samples.mdb" with Table1, Table2, Table3 (empty: "a", "b"),
// Indexed, Counter (an AutoNumber "ID" without index) and Many into
// `folder`; returns its path.
inline QString writeSamples(const QString& folder, const QString& name = "samples.mdb", jet::CreateOptions options = {}) {
    jet::NewTable types{"Table1", {}, {}}, wide{"Table2", {}, {}};
    const std::pair<const char*, std::uint8_t> fields[] = {
        {"Name", fmt::TypeText},     {"Notes", fmt::TypeMemo},   {"Flag", fmt::TypeBoolean},
        {"Small", fmt::TypeByte},    {"Medium", fmt::TypeInteger}, {"Large", fmt::TypeLong},
        {"Money", fmt::TypeCurrency}, {"Ratio", fmt::TypeSingle},  {"Measure", fmt::TypeDouble},
        {"Stamp", fmt::TypeDateTime}};
    for (const auto& [field, type] : fields)
        types.columns.push_back({field, type, 50, false});
    // Table2: 200 Long fields, so that its definition runs over two pages.
    std::vector<jet::NewRow> wideData(3), indexedData;
    for (int i = 1; i <= 200; ++i)
        wide.columns.push_back({QString("c%1").arg(i, 3, 10, QChar('0')).toStdString(), fmt::TypeLong, 255, false});
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 200; ++c)
            wideData[std::size_t(r)].push_back(c % 17 == r ? null : text(QString::number((r + 1) * 1000 + c)));
    // Indexed: an AutoNumber primary key "ID" and an index on "Num".
    for (int i = 1; i <= 300; ++i)
        indexedData.push_back({text(QString::number(i)), text(QString::number((i * 37) % 101 - 50)),
                               text(QString("label %1").arg(i))});
    const jet::NewTable indexed{
        "Indexed",
        {{"ID", fmt::TypeLong, 255, true}, {"Num", fmt::TypeLong, 255, false}, {"Label", fmt::TypeText, 40, false}},
        {{"PrimaryKey", {0}, true}, {"Num", {1}, false}}};
    const jet::NewTable many{"Many",
                             {{"Code", fmt::TypeText, 10, false}, {"Name", fmt::TypeText, 50, false},
                              {"Description", fmt::TypeText, 255, false}},
                             {}};
    const jet::NewTable empty{"Table3", {{"a", fmt::TypeText, 20, false}, {"b", fmt::TypeMemo, 255, false}}, {}};
    const jet::NewTable counter{"Counter", {{"ID", fmt::TypeLong, 255, true}, {"Label", fmt::TypeText, 20, false}}, {}};
    const std::vector<jet::NewRow> counted{{text("1"), text("one")}, {text("2"), null}, {text("7"), text("")}};
    const QString path = QDir(folder).filePath(name);
    options.overwrite = true;
    jet::createDatabase(QFile::encodeName(path).toStdString(),
                        {{types, typesRows()}, {wide, wideData}, {empty, {}}, {indexed, indexedData},
                         {counter, counted}, {many, manyRows()}},
                        options);
    return path;
}

// Deletes records 3, 5 and 200 of Many and lets records 10 and 11 grow past
// the room on their page, so that they move.
inline void editMany(const QString& path) {
    records::RecordSet set(path, "Many");
    for (const int n : {200, 5, 3}) {
        set.MoveFirst();
        set.Move(n);
        set.Delete();
        set.Requery();
    }
    for (const int n : {8, 8}) {  // records 10 and 11 after the deletes; each moves to the end
        set.MoveFirst();
        set.Move(n);
        set.Edit();
        set.Fields("Description").setValue(QString("grown ").repeated(40));
        set.Update();
    }
}

} // namespace zorvane::test::samples
