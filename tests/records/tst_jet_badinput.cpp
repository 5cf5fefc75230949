// Bad input: each case ends in one jet::Error whose one-line sentence names
// the file and the reason, and zorvane-db prints that line and exits with 1.
// Never a crash, an out-of-bounds read or an endless loop.
#include "records/jet/Database.h"
#include "records/jet/Format.h"
#include "records/jet/UsageMap.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/SampleDatabases.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>

using namespace zorvane;
using namespace zorvane::test;
namespace fmt = zorvane::jet::format;

namespace {

// The sentence of the jet::Error that reading every record of `table` throws.
QString readError(const QString& path, const QString& table = "Table1") {
    return errorOf([&] {
        for (records::RecordSet set(path, table); !set.Eof(); set.MoveNext())
            for (const QString& n : set.FieldNames())
                set.Fields(n).Value();
    });
}

std::uint8_t* page(QByteArray& bytes, std::uint32_t n) {
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + n * fmt::PageSize;
}

// Where the sample file keeps what the damage cases change.
struct Places {
    std::uint32_t table1Def = 0, table1Rows = 0;  // Table1's definition and first data page
    std::uint32_t table2Def = 0, table2Next = 0;  // Table2's two definition pages
};

} // namespace

using Damage = std::function<void(QByteArray&, const Places&)>;
Q_DECLARE_METATYPE(Damage)

class JetBadInput : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    const QString samples_ = samples::writeSamples(dir_->path());
    const QByteArray sampleBytes_ = bytesOf(samples_);

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_->filePath(name);
        if (!writeBytes(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // One error sentence on one line, naming the file and containing `reason`;
    // the command line prints the same on stderr and exits with 1.
    static void expectError(const QString& path, const QString& reason, const QString& table = "Table1") {
        const QString e = readError(path, table);
        QVERIFY2(e.startsWith(path + ": ") && e.contains(reason) && !e.contains('\n') && e.endsWith('.'), qPrintable(e));
        const ProcessResult r = runProcess(zorvaneDbPath(), {"export", path, table});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(r.err.contains(path.toUtf8()) && r.err.contains(reason.toUtf8()), r.err.constData());
    }

private slots:
    void pathsAndFilesThatAreNoDatabase() {
        expectError(dir_->filePath("missing.mdb"), "does not exist");
        expectError(dir_->path(), "folder, not a database file");
        expectError(write("plain.txt", "x") + "/oui.mdb", "is a file, not a folder");  // a file used as a folder
        if (::geteuid() != 0) {  // root reads every file, whatever its permissions
            const QString locked = write("locked.mdb", sampleBytes_);
            QFile::setPermissions(locked, QFileDevice::Permissions());
            expectError(locked, "cannot be opened (Permission denied)");
        }
        expectError(write("empty.mdb", {}), "the file is empty");
        expectError(write("short.mdb", "Standard Jet DB"), "too short");
        expectError(write("zeros.mdb", QByteArray(5 * 4096, '\0')), "not an Access database file");
        QByteArray random(40 * 4096, '\0');
        QRandomGenerator(20240601).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
        expectError(write("random.mdb", random), "not an Access database file");
    }

    // The sample file changed in one place.
    void damagedFile_data() {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("table");
        QTest::newRow("jet3") << Damage([](QByteArray& b, const Places&) { fmt::put32(page(b, 0) + fmt::HeaderVersionOffset, fmt::VersionJet3); })
                              << "Access 97 (Jet 3)" << "Table1";
        QTest::newRow("ace") << Damage([](QByteArray& b, const Places&) { fmt::put32(page(b, 0) + fmt::HeaderVersionOffset, 2); })
                             << "Access 2007 or later" << "Table1";
        QTest::newRow("accdb") << Damage([](QByteArray& b, const Places&) { std::memcpy(page(b, 0) + fmt::HeaderMagicOffset, fmt::HeaderMagicAce, 16); })
                               << "Access 2007 or later" << "Table1";
        QTest::newRow("encrypted") << Damage([](QByteArray& b, const Places&) {
            std::uint8_t* area = page(b, 0) + fmt::HeaderMaskOffset;
            fmt::rc4(fmt::HeaderMaskKey, 4, area, fmt::HeaderMaskLength);  // unmask, set a key, mask again
            fmt::put32(area + (fmt::HeaderDatabaseKeyOffset - fmt::HeaderMaskOffset), 0x1234ABCD);
            fmt::rc4(fmt::HeaderMaskKey, 4, area, fmt::HeaderMaskLength);
        }) << "encrypted" << "Table1";
        QTest::newRow("truncated") << Damage([](QByteArray& b, const Places&) { b.truncate(2 * 4096); }) << "truncated" << "Table1";
        QTest::newRow("half page") << Damage([](QByteArray& b, const Places&) { b.truncate(2000); }) << "too short" << "Table1";
        QTest::newRow("definition loop") << Damage([](QByteArray& b, const Places& at) { fmt::put32(page(b, at.table2Next) + fmt::TdefNextPageOffset, at.table2Def); })
                                         << "table \"Table2\" is damaged: its definition pages form a loop" << "Table2";
        QTest::newRow("map beyond") << Damage([](QByteArray& b, const Places& at) {
            fmt::put32(page(b, at.table1Def) + fmt::TdefUsedPagesOffset, fmt::makePointer(0xFFFFF0, 0));
        }) << "table \"Table1\" is damaged: page 16777200 lies beyond" << "Table1";
        QTest::newRow("row count") << Damage([](QByteArray& b, const Places& at) { fmt::put16(page(b, at.table1Rows) + fmt::DataRowCountOffset, 0xFFFF); })
                                   << "runs off the page" << "Table1";
        QTest::newRow("row start") << Damage([](QByteArray& b, const Places& at) { fmt::put16(page(b, at.table1Rows) + fmt::DataRowTableOffset, 3); })
                                   << "lies outside its page" << "Table1";
        QTest::newRow("no definition") << Damage([](QByteArray& b, const Places& at) { page(b, at.table1Def)[0] = fmt::PageData; })
                                       << "is not a table definition page" << "Table1";
    }

    void damagedFile() {
        QFETCH(Damage, damage);
        QFETCH(QString, reason);
        QFETCH(QString, table);
        Places at;
        {
            jet::Database db(samples_.toStdString());
            const auto table1 = db.openTable("Table1"), table2 = db.openTable("Table2");
            at.table1Def = table1->def().page;
            at.table1Rows = jet::UsageMap::at(db.file(), table1->def().usedPages, "Table1").pages().front();
            at.table2Def = table2->def().page;
            at.table2Next = fmt::le32(db.file().page(at.table2Def) + fmt::TdefNextPageOffset);
        }
        QVERIFY(at.table2Next != 0);
        QByteArray bytes = sampleBytes_;
        damage(bytes, at);
        expectError(write(QString(QTest::currentDataTag()).replace(' ', '-') + ".mdb", bytes), reason, table);
    }

    // Cut at every page: an error naming the missing page, or (once the
    // pages are there) the records.
    void cutAtEveryPage() {
        const qsizetype pages = sampleBytes_.size() / 4096;
        for (qsizetype cut = 3; cut < pages; ++cut) {
            const QString path = write("cut.mdb", sampleBytes_.left(cut * 4096 + 123));
            const QString e = readError(path);
            QVERIFY2(e == "<no error>" || (e.startsWith(path + ": ") && e.contains("beyond the end of the file")), qPrintable(e));
        }
        QCOMPARE(readError(write("cut.mdb", sampleBytes_)), QString("<no error>"));
    }
};

QTEST_GUILESS_MAIN(JetBadInput)
#include "tst_jet_badinput.moc"
