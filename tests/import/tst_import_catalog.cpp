// The system catalog of a new database against one that Access 2000 itself
// wrote (a fixture): the same system tables with the same columns and indexes,
// the same containers and system objects in MSysObjects, and the properties
// that make Access see an Access 2000 file whose fields take empty text.
#include "tests/import/VendorReadBack.h"

#include <QSet>

using namespace zorvane;
using namespace zorvane::test;

namespace {

QString accessFile() { return fixturePath("compIndexTestV2000.mdb"); }

QString output(const QString& program, const QStringList& arguments) {
    const ProcessResult r = runProcess(program, arguments);
    return r.status == 0 ? QString::fromUtf8(r.out) : "failed: " + QString::fromUtf8(r.err);
}

// "Id,ParentId,Name,Type,Flags" of every MSysObjects entry but `except`.
QSet<QString> catalogEntries(const QString& file, const QStringList& except) {
    QSet<QString> out;
    for (const Row& r : readMdbExport(file, "MSysObjects", {"-b", "hex"}).rows)
        if (r.size() >= 8 && !except.contains(r[2].value_or("")))
            out.insert(QStringList{r[0].value_or(""), r[1].value_or(""), r[2].value_or(""), r[3].value_or(""),
                                   r[7].value_or("")}.join(','));
    return out;
}

quint32 le(const QByteArray& b, qsizetype at, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

// The keys (entries without the row they lead to) of each index of
// MSysObjects, read from the root page its definition names, by index.
std::vector<QSet<QByteArray>> catalogIndexKeys(const QString& path) {
    const QByteArray file = bytesOf(path);
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
            if (quint8(page[0x1B + bit / 8]) & (1 << (bit % 8))) {
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

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    QString file_ = dir_->filePath("oui.mdb");

private slots:
    void initTestCase() {
        records::VendorRecord r;
        r.fields = {"00-00-0C", "Cisco", "", "", "", "", "", ""};
        records::createVendorDatabase(file_, {r});
    }

    // The system tables, the catalog's entries and its indexes as Access
    // wrote them for a new file.
    void matchesAccess() {
        REQUIRE_ACCESS_FIXTURES();
        const QString Access = accessFile();
        for (const QString table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
            const QString ours = output("mdb-schema", {"-T", table, file_});
            QVERIFY2(ours.contains("CREATE TABLE [" + table + "]"), qPrintable(ours));
            QCOMPARE(ours, output("mdb-schema", {"-T", table, Access}));
        }
        // What the fixture has beyond a new file: its own table and what
        // Access adds when it opens a file (its layout objects and table).
        QSet<QString> entries = catalogEntries(file_, {});
        QVERIFY(entries.remove("15,251658241,oui,1,0"));
        QCOMPARE(entries, catalogEntries(Access, {"Table1", "AccessLayout", "MSysAccessObjects"}));
        QCOMPARE(output(zorvaneDbPath(), {"tables", file_}).trimmed(), QString("oui"));

        // The catalog's two indexes (ParentId with Name, and Id) hold the same
        // keys as Access wrote for the same entries: the fixture has more
        // entries, and ours has "oui".
        const auto ours = catalogIndexKeys(file_);
        const auto access = catalogIndexKeys(Access);
        QCOMPARE(ours.size(), std::size_t(2));
        QCOMPARE(access.size(), std::size_t(2));
        QCOMPARE(ours[0].size(), qsizetype(15));
        QCOMPARE(ours[1].size(), qsizetype(15));
        // ParentId 0x0F000001 (Tables) with the name "oui"; id 15 the fixture's table has too.
        QCOMPARE(ours[0] - access[0], QSet<QByteArray>({QByteArray::fromHex("7f8f0000017f646f590100")}));
        QCOMPARE(ours[1] - access[1], QSet<QByteArray>());
    }

    void propertiesOfDatabaseAndFields() {
        QCOMPARE(output("mdb-ver", {file_}).trimmed(), QString("JET4"));
        QVERIFY(output("mdb-prop", {file_, "MSysDb"}).contains("AccessVersion: 08.50"));
        QStringList withEmptyText, names = vendorFieldNames();
        for (const QString& block : output("mdb-prop", {file_, "oui"}).split("name: ", Qt::SkipEmptyParts))
            if (block.contains("\tAllowZeroLength: yes\n"))
                withEmptyText << block.section('\n', 0, 0);
        withEmptyText.sort();
        names.sort();
        QCOMPARE(withEmptyText, names);
    }
};

QTEST_GUILESS_MAIN(ImportCatalogTest)
#include "tst_import_catalog.moc"
