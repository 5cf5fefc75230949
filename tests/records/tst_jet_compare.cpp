// Every table of every fixture file, read by our engine, against the two
// independent readers mdbtools (mdb-export) and mdb-reader (npm): the same
// columns, the same records in the same order, text exactly, numbers and
// dates by value. User tables are read through the record set, the system
// tables (which hold memo and OLE values of every size) through the table
// layer. zorvane-db's own CSV is checked against the record set as well.
#include "records/RecordSet.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/ValueText.h"
#include "tests/records/Csv.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <cmath>
#include <optional>

using namespace zorvane;
using zorvane::test::CsvRecord;
using zorvane::test::parseCsv;
namespace fmt = zorvane::jet::format;

namespace {

using Value = std::optional<QString>;

struct OurTable {
    QStringList names;
    QList<std::uint8_t> types;
    QList<QList<Value>> rows;
};

QByteArray run(const QString& program, const QStringList& arguments, int* exitCode = nullptr,
               QByteArray* errors = nullptr) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000))
        qFatal("%s did not finish", qPrintable(program));
    if (exitCode)
        *exitCode = p.exitCode();
    if (errors)
        *errors = p.readAllStandardError();
    else if (p.exitCode() != 0)
        qWarning("%s %s: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

QStringList lines(const QByteArray& bytes) {
    QStringList out = QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
    for (QString& l : out)
        l = l.trimmed();
    return out;
}

// The system tables of a file with their definition pages, from MSysObjects.
QList<std::pair<QString, std::uint32_t>> systemTables(jet::Database& db) {
    jet::Table catalog(db.file(), jet::readTableDef(db.file(), fmt::CatalogTableDefPage,
                                                   "MSysObjects"));
    const int id = catalog.columnIndex("Id"), name = catalog.columnIndex("Name"),
              type = catalog.columnIndex("Type"), flags = catalog.columnIndex("Flags");
    QList<std::pair<QString, std::uint32_t>> out;
    for (std::size_t r = 0; r < catalog.rowCount(); ++r) {
        const auto t = catalog.bytes(r, std::size_t(type));
        const auto f = catalog.bytes(r, std::size_t(flags));
        const auto i = catalog.bytes(r, std::size_t(id));
        if (!t.hasValue || fmt::le16(t.data) != 1 || !f.hasValue ||
            (fmt::le32(f.data) & fmt::ObjectFlagsSystemMask) == 0)
            continue;
        std::u16string text;
        catalog.appendText(r, std::size_t(name), text);
        out.append({QString::fromStdU16String(text), fmt::le32(i.data) & 0xFFFFFF});
    }
    return out;
}

OurTable readUserTable(const QString& file, const QString& table) {
    OurTable t;
    jet::Database db(file.toStdString());
    for (const auto& c : db.openTable(table.toStdString())->def().columns)
        t.types.append(c.type);
    records::RecordSet set(file, table);
    t.names = set.FieldNames();
    while (!set.Eof()) {
        QList<Value> row;
        for (const QString& n : t.names)
            row.append(set.Fields(n).Value());
        t.rows.append(row);
        set.MoveNext();
    }
    return t;
}

OurTable readSystemTable(jet::Database& db, const QString& name, std::uint32_t page) {
    OurTable t;
    jet::Table table(db.file(), jet::readTableDef(db.file(), page, name.toStdString()));
    for (const auto& c : table.def().columns) {
        t.types.append(c.type);
        t.names.append(QString::fromStdString(c.name));
    }
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        QList<Value> row;
        for (std::size_t c = 0; c < table.def().columns.size(); ++c) {
            std::u16string text;
            if (table.appendText(r, c, text))
                row.append(QString::fromStdU16String(text));
            else
                row.append(std::nullopt);
        }
        t.rows.append(row);
    }
    return t;
}

// A decimal text without sign noise, leading or trailing zeros.
QString normalDecimal(QString s) {
    s = s.trimmed();
    bool negative = s.startsWith('-');
    if (negative || s.startsWith('+'))
        s.remove(0, 1);
    if (s.contains('.')) {
        while (s.endsWith('0'))
            s.chop(1);
        if (s.endsWith('.'))
            s.chop(1);
    }
    while (s.size() > 1 && s.startsWith('0') && s[1] != '.')
        s.remove(0, 1);
    if (s.isEmpty() || s == "0")
        return "0";
    return negative ? "-" + s : s;
}

QDateTime utc(const QString& s) {
    QDateTime d = QDateTime::fromString(s.left(19).replace('T', ' '), "yyyy-MM-dd HH:mm:ss");
    d.setTimeSpec(Qt::UTC);
    if (s.size() > 19 && s[19] == '.')
        d = d.addMSecs(s.mid(20, 3).toInt());
    return d;
}

// Is our canonical text the same value as another reader's text of it?
// `theirs` is how the other reader wrote the value as text.
bool sameValue(std::uint8_t type, const QString& ours, const QString& theirs) {
    switch (type) {
    case fmt::TypeText:
    case fmt::TypeMemo:
        return ours == theirs;
    case fmt::TypeByte:
    case fmt::TypeInteger:
    case fmt::TypeLong:
        return ours == QString::number(theirs.toLongLong());
    case fmt::TypeSingle:
        return float(ours.toDouble()) == float(theirs.toDouble());
    case fmt::TypeDouble: {
        const double a = ours.toDouble(), b = theirs.toDouble();
        return a == b || std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
    }
    case fmt::TypeCurrency:
    case fmt::TypeNumeric:
        return normalDecimal(ours) == normalDecimal(theirs);
    case fmt::TypeDateTime:
        return std::llabs(utc(ours).msecsTo(utc(theirs))) < 1000;
    case fmt::TypeBoolean:
        return ours == ((theirs == "1" || theirs == "true" || theirs == "TRUE") ? "True" : "False");
    default:  // GUID, binary, OLE: hex
        return ours.compare(theirs, Qt::CaseInsensitive) == 0;
    }
}

QString jsonText(const QJsonValue& v) {
    if (v.isBool())
        return v.toBool() ? "true" : "false";
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

QString shortText(const QString& s) { return s.size() > 80 ? s.left(77) + "..." : s; }
QString show(const Value& v) { return v ? '"' + shortText(*v) + '"' : QStringLiteral("null"); }

} // namespace

class JetCompare : public QObject {
    Q_OBJECT

    QString fixtures_;
    QString script_;
    QString prefix_;
    QHash<QString, QJsonObject> readerFiles_;

    // What mdb-reader reads from `file` (one run of node per file).
    const QJsonObject& readerFile(const QString& file) {
        if (!readerFiles_.contains(file))
            readerFiles_[file] = QJsonDocument::fromJson(run("node", {script_, prefix_, file})).object();
        return readerFiles_[file];
    }

    QStringList fixtureFiles() const {
        QStringList out;
        for (const QFileInfo& f : QDir(fixtures_).entryInfoList({"*.mdb"}, QDir::Files))
            out << f.filePath();
        return out;
    }

    // Compares one table read by us with both readers; returns the number of
    // records compared, or -1 when mdb-reader cannot read the table at all.
    int compareTable(const QString& file, const QString& table, const OurTable& ours) {
        const QString where = QFileInfo(file).fileName() + " " + table;
        const QJsonObject json = readerFile(file)["data"].toObject()[table].toObject();
        if (!json.contains("columns"))
            return -1;
        // mdbtools
        const auto exported = parseCsv(run("mdb-export", {"-T", "%Y-%m-%d %H:%M:%S", "-b", "hex",
                                                          file, table}));
        if (exported.isEmpty())
            qFatal("mdb-export gave nothing for %s", qPrintable(where));
        QStringList exportNames;
        for (const auto& f : exported.first())
            exportNames << f.text;
        if (exportNames != ours.names)
            qFatal("%s: columns differ from mdb-export: %s / %s", qPrintable(where),
                   qPrintable(ours.names.join(',')), qPrintable(exportNames.join(',')));
        // mdb-reader
        QStringList readerNames;
        for (const auto& c : json["columns"].toArray())
            readerNames << c.toObject()["name"].toString();
        const QJsonArray readerRows = json["rows"].toArray();

        QStringList problems;
        if (readerNames != ours.names)
            problems << "columns differ from mdb-reader: " + readerNames.join(',');
        if (exported.size() - 1 != ours.rows.size())
            problems << QString("%1 records, mdb-export %2").arg(ours.rows.size()).arg(exported.size() - 1);
        if (readerRows.size() != ours.rows.size())
            problems << QString("%1 records, mdb-reader %2").arg(ours.rows.size()).arg(readerRows.size());
        for (qsizetype r = 0; r < ours.rows.size() && problems.size() < 10; ++r) {
            for (qsizetype c = 0; c < ours.names.size(); ++c) {
                const Value& v = ours.rows[r][c];
                const std::uint8_t type = ours.types[c];
                const QString cell = QString("record %1 field %2: ours %3").arg(r).arg(ours.names[c], show(v));
                if (r + 1 < exported.size()) {
                    const auto& e = exported[r + 1][c];
                    // mdb-export cannot tell a null from the empty text in binary columns.
                    const bool exportNull = e.isNull() && !(type == fmt::TypeBinary && v && v->isEmpty());
                    // mdb-export ends binary values at their first zero byte.
                    const bool cutBinary = v && (type == fmt::TypeBinary || type == fmt::TypeOle) &&
                                           v->startsWith(e.text, Qt::CaseInsensitive) &&
                                           v->mid(e.text.size(), 2) == "00";
                    if (!cutBinary &&
                        (exportNull != !v.has_value() || (v && !sameValue(type, *v, e.text))))
                        problems << cell + ", mdb-export " + (e.isNull() ? "null" : '"' + shortText(e.text) + '"');
                }
                if (r < readerRows.size()) {
                    const QJsonValue j = readerRows[r].toArray()[c];
                    if (j.isNull() != !v.has_value() || (v && !sameValue(type, *v, jsonText(j))))
                        problems << cell + ", mdb-reader " + (j.isNull() ? "null" : shortText(jsonText(j)));
                }
            }
        }
        if (!problems.isEmpty())
            qWarning("%s:\n  %s", qPrintable(where), qPrintable(problems.join("\n  ")));
        [&] { QVERIFY2(problems.isEmpty(), qPrintable(where + " differs")); }();
        return int(ours.rows.size());
    }

private slots:
    void initTestCase() {
        fixtures_ = qEnvironmentVariable("ZORVANE_FIXTURES");
        script_ = qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/records/mdbreader_dump.mjs";
        prefix_ = qEnvironmentVariable("ZORVANE_BINARY_DIR") + "/npm";
        QVERIFY2(QFileInfo::exists(prefix_ + "/node_modules/mdb-reader/package.json"),
                 "mdb-reader is not installed in <build>/npm");
        QVERIFY(!fixtureFiles().isEmpty());
    }

    void userTablesMatchBothReaders() {
        int tables = 0, records = 0;
        for (const QString& file : fixtureFiles()) {
            const QStringList names = lines(run("mdb-tables", {"-1", file}));
            QStringList readerNames;
            for (const auto& n : readerFile(file)["tables"].toArray())
                readerNames << n.toString();
            jet::Database db(file.toStdString());
            QStringList ourNames;
            for (const auto& t : db.tables())
                ourNames << QString::fromStdString(t.name);
            QCOMPARE(ourNames, names);
            QCOMPARE(ourNames, readerNames);
            for (const QString& table : ourNames) {
                const int compared = compareTable(file, table, readUserTable(file, table));
                if (QTest::currentTestFailed())
                    return;
                QVERIFY2(compared >= 0, qPrintable("mdb-reader cannot read " + table));
                records += compared;
                ++tables;
            }
        }
        qInfo("%d user tables, %d records compared", tables, records);
        QVERIFY(records > 500);
    }

    void systemTablesMatchBothReaders() {
        int tables = 0, records = 0, unreadable = 0;
        for (const QString& file : fixtureFiles()) {
            jet::Database db(file.toStdString());
            const QStringList listed = lines(run("mdb-tables", {"-S", "-1", file}));
            for (const auto& [name, page] : systemTables(db)) {
                QVERIFY2(listed.contains(name), qPrintable(name));
                // Every value reads (or the table is reported damaged).
                const OurTable ours = readSystemTable(db, name, page);
                const int compared = compareTable(file, name, ours);
                if (QTest::currentTestFailed())
                    return;
                if (compared < 0) {
                    ++unreadable;  // a column type mdb-reader does not know
                    continue;
                }
                records += compared;
                ++tables;
            }
        }
        qInfo("%d system tables, %d records compared; %d tables only we can read", tables,
              records, unreadable);
        QVERIFY(tables >= 4 * 6);
    }

    // zorvane-db tables lists what mdb-tables lists; zorvane-db export writes
    // exactly the record set's values, null apart from the empty text.
    void commandLineMatchesRecordSet() {
        for (const QString& file : fixtureFiles()) {
            int code = -1;
            QCOMPARE(lines(run(ZORVANE_DB, {"tables", file}, &code)),
                     lines(run("mdb-tables", {"-1", file})));
            QCOMPARE(code, 0);
            jet::Database db(file.toStdString());
            for (const auto& t : db.tables()) {
                const QString table = QString::fromStdString(t.name);
                const QByteArray csv = run(ZORVANE_DB, {"export", file, table}, &code);
                QCOMPARE(code, 0);
                QVERIFY(csv.endsWith("\r\n"));
                const auto records = parseCsv(csv);
                const OurTable ours = readUserTable(file, table);
                QCOMPARE(records.size(), ours.rows.size() + 1);
                QStringList header;
                for (const auto& f : records.first())
                    header << f.text;
                QCOMPARE(header, ours.names);
                for (qsizetype r = 0; r < ours.rows.size(); ++r) {
                    QCOMPARE(records[r + 1].size(), ours.names.size());
                    for (qsizetype c = 0; c < ours.names.size(); ++c) {
                        const Value& v = ours.rows[r][c];
                        QCOMPARE(records[r + 1][c].isNull(), !v.has_value());
                        if (v)
                            QCOMPARE(records[r + 1][c].text, *v);
                    }
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(JetCompare)
#include "tst_jet_compare.moc"
