// The system catalog of a new database against one that Access 2000 itself
// wrote (a fixture): the same system tables with the same columns and indexes,
// the same containers and system objects in MSysObjects, and the properties
// that make Access see an Access 2000 file whose fields take empty text.
#include "ReaderOutputs.h"

#include "records/VendorDatabase.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane;
using namespace zorvane::test;

namespace {

QString fixture() {
    return qEnvironmentVariable("ZORVANE_FIXTURES") + QStringLiteral("/compIndexTestV2000.mdb");
}

QString output(const QString& program, const QStringList& arguments) {
    const ProcessResult r = runProgram(program, arguments);
    return r.exitCode == 0 ? QString::fromUtf8(r.out) : QStringLiteral("failed: ") + QString::fromUtf8(r.err);
}

// "Id,ParentId,Name,Type,Flags" of every MSysObjects entry but `except`.
QSet<QString> catalogEntries(const QString& file, const QStringList& except) {
    const auto rows = parseCsv(output(QStringLiteral("mdb-export"),
                                      {QStringLiteral("-b"), QStringLiteral("hex"), file, QStringLiteral("MSysObjects")}));
    QSet<QString> out;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& r = rows[i];
        if (r.size() < 8 || except.contains(r[2].first))
            continue;
        out.insert(QStringList{r[0].first, r[1].first, r[2].first, r[3].first, r[7].first}.join(u','));
    }
    return out;
}

} // namespace

class ImportCatalogTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file;

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(fixture()), qPrintable(fixture()));
        file = dir.filePath(QStringLiteral("oui.mdb"));
        records::VendorRecord r;
        r.fields = {QStringLiteral("00-00-0C"), QStringLiteral("Cisco"), QString(), QString(),
                    QString(), QString(), QString(), QString()};
        records::createVendorDatabase(file, {r});
    }

    void systemTablesMatchAccess() {
        for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
            const QString ours = output(QStringLiteral("mdb-schema"), {QStringLiteral("-T"), QString::fromLatin1(table), file});
            const QString access = output(QStringLiteral("mdb-schema"), {QStringLiteral("-T"), QString::fromLatin1(table), fixture()});
            QVERIFY2(ours.contains(QStringLiteral("CREATE TABLE [%1]").arg(QString::fromLatin1(table))), qPrintable(ours));
            QCOMPARE(ours, access);
        }
    }

    void catalogHoldsWhatAccessCreates() {
        // What the fixture has beyond a new file: its own table and what
        // Access adds when it opens a file (its layout objects and table).
        const QSet<QString> access = catalogEntries(
            fixture(), {QStringLiteral("Table1"), QStringLiteral("AccessLayout"), QStringLiteral("MSysAccessObjects")});
        QSet<QString> ours = catalogEntries(file, {});
        QVERIFY(ours.remove(QStringLiteral("15,251658241,oui,1,0")));
        QCOMPARE(ours, access);
        QCOMPARE(output(zorvaneDb(), {QStringLiteral("tables"), file}).trimmed(), QStringLiteral("oui"));
    }

    void propertiesOfDatabaseAndFields() {
        QCOMPARE(output(QStringLiteral("mdb-ver"), {file}).trimmed(), QStringLiteral("JET4"));
        const QString db = output(QStringLiteral("mdb-prop"), {file, QStringLiteral("MSysDb")});
        QVERIFY2(db.contains(QStringLiteral("AccessVersion: 08.50")), qPrintable(db));
        const QString fields = output(QStringLiteral("mdb-prop"), {file, QStringLiteral("oui")});
        QStringList withEmptyText;
        for (const QString& block : fields.split(QStringLiteral("name: "), Qt::SkipEmptyParts)) {
            if (block.contains(QStringLiteral("\tAllowZeroLength: yes\n")))
                withEmptyText << block.section(u'\n', 0, 0);
        }
        QStringList names;
        for (const char* name : records::VendorFieldNames)
            names << QString::fromLatin1(name);
        withEmptyText.sort();
        names.sort();
        QCOMPARE(withEmptyText, names);
    }
};

QTEST_GUILESS_MAIN(ImportCatalogTest)
#include "tst_import_catalog.moc"
