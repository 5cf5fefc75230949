// The system catalog of a new database against one that Access 2000 itself
// wrote (a fixture): the same system tables with the same columns and indexes,
// the same containers and system objects in MSysObjects, and the properties
// that make Access see an Access 2000 file whose fields take empty text.
#include "ReaderOutputs.h"

#include "records/VendorDatabase.h"

#include <QFile>
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

quint32 le(const QByteArray& b, qsizetype at, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

// The keys (entries without the row they lead to) of each index of
// MSysObjects, read from the root page its definition names, by index.
std::vector<QSet<QByteArray>> catalogIndexKeys(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray file = f.readAll();
    const QByteArray def = file.mid(2 * 4096, 4096);
    const quint32 columns = le(def, 0x2D, 2), realIndexes = le(def, 0x33, 4);
    qsizetype at = 0x3F + 12 * realIndexes + 25 * columns;
    for (quint32 c = 0; c < columns; ++c)
        at += 2 + le(def, at, 2);
    std::vector<QSet<QByteArray>> out;
    for (quint32 i = 0; i < realIndexes; ++i, at += 52) {
        const QByteArray page = file.mid(le(def, at + 38, 4) * 4096, 4096);
        QSet<QByteArray> keys;
        qsizetype start = 0x1E0;
        for (qsizetype bit = 1; 0x1E0 + bit <= page.size(); ++bit) {
            if (static_cast<quint8>(page[0x1B + bit / 8]) & (1 << (bit % 8))) {
                keys.insert(page.mid(start, 0x1E0 + bit - start - 4));
                start = 0x1E0 + bit;
            }
        }
        out.push_back(keys);
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

    // The catalog's two indexes (ParentId with Name, and Id) hold the same keys
    // as Access wrote for the same entries: the fixture has more entries, and
    // ours has "oui".
    void catalogIndexesMatchAccess() {
        const auto ours = catalogIndexKeys(file);
        const auto access = catalogIndexKeys(fixture());
        QCOMPARE(ours.size(), std::size_t(2));
        QCOMPARE(access.size(), std::size_t(2));
        QCOMPARE(ours[0].size(), qsizetype(15));
        QCOMPARE(ours[1].size(), qsizetype(15));
        // ParentId 0x0F000001 (Tables) with the name "oui".
        QCOMPARE(ours[0] - access[0], QSet<QByteArray>({QByteArray::fromHex("7f8f0000017f646f590100")}));
        // Id 15: the fixture's own table has that id too.
        QCOMPARE(ours[1] - access[1], QSet<QByteArray>());
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
