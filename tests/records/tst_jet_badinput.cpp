// Bad input: each case ends in one jet::Error whose one-line sentence names
// the file and the reason, and zorvane-db prints that line and exits with 1.
// Never a crash, an out-of-bounds read or an endless loop.
#include "records/RecordSet.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/Format.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zorvane;
namespace fmt = zorvane::jet::format;

namespace {

QByteArray fixtureBytes(const char* name) {
    QFile f(qEnvironmentVariable("ZORVANE_FIXTURES") + "/" + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read fixture %s", name);
    return f.readAll();
}

// The sentence of the jet::Error that opening `table` of `path` throws.
QString openError(const QString& path, const QString& table = "Table1") {
    try {
        records::RecordSet set(path, table);
        while (!set.Eof()) {
            for (const QString& n : set.FieldNames())
                set.Fields(n).Value();
            set.MoveNext();
        }
    } catch (const jet::Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no error>");
}

std::uint8_t* page(QByteArray& bytes, std::uint32_t n) {
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + n * fmt::PageSize;
}

} // namespace

class JetBadInput : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // One error sentence on one line, naming the file and containing `reason`;
    // the command line prints the same on stderr and exits with 1.
    void expectError(const QString& path, const QString& reason, const QString& table = "Table1") {
        const QString e = openError(path, table);
        QVERIFY2(e.startsWith(path + ": ") && e.contains(reason) && !e.contains('\n') &&
                     e.endsWith('.'),
                 qPrintable(e));
        QProcess p;
        p.start(ZORVANE_DB, {"export", path, table});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains(path.toUtf8()) && err.contains(reason.toUtf8()), err.constData());
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void pathsThatAreNoFile() {
        expectError(dir_.filePath("missing.mdb"), "does not exist");
        expectError(dir_.path(), "folder, not a database file");
        const QString inFile = write("plain.txt", "x") + "/oui.mdb";  // a file used as a folder
        expectError(inFile, "does not exist");
    }

    void unreadableFile() {
        if (geteuid() == 0)
            QSKIP("root reads every file, whatever its permissions");
        const QString path = write("locked.mdb", fixtureBytes("testV2000.mdb"));
        QFile::setPermissions(path, QFileDevice::Permissions());
        expectError(path, "cannot be opened (Permission denied)");
    }

    void filesThatAreNoDatabase() {
        expectError(write("empty.mdb", {}), "the file is empty");
        expectError(write("short.mdb", "Standard Jet DB"), "too short");
        expectError(write("zeros.mdb", QByteArray(5 * 4096, '\0')), "not an Access database file");
        QByteArray random(40 * 4096, '\0');
        QRandomGenerator rng(20240601);
        rng.fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
        expectError(write("random.mdb", random), "not an Access database file");
    }

    void otherAccessVersions() {
        QByteArray jet3 = fixtureBytes("testV2000.mdb");
        fmt::put32(page(jet3, 0) + fmt::HeaderVersionOffset, fmt::VersionJet3);
        expectError(write("jet3.mdb", jet3), "Access 97 (Jet 3)");
        QByteArray ace = fixtureBytes("testV2000.mdb");
        fmt::put32(page(ace, 0) + fmt::HeaderVersionOffset, 2);
        expectError(write("ace.mdb", ace), "Access 2007 or later");
        QByteArray aceMagic = fixtureBytes("testV2000.mdb");
        std::memcpy(page(aceMagic, 0) + fmt::HeaderMagicOffset, fmt::HeaderMagicAce, 16);
        expectError(write("accdb.mdb", aceMagic), "Access 2007 or later");
    }

    void encryptedDatabase() {
        QByteArray bytes = fixtureBytes("testV2000.mdb");
        std::uint8_t* area = page(bytes, 0) + fmt::HeaderMaskOffset;
        fmt::rc4(fmt::HeaderMaskKey, 4, area, fmt::HeaderMaskLength);  // unmask
        fmt::put32(area + (fmt::HeaderDatabaseKeyOffset - fmt::HeaderMaskOffset), 0x1234ABCD);
        fmt::rc4(fmt::HeaderMaskKey, 4, area, fmt::HeaderMaskLength);  // mask again
        expectError(write("encrypted.mdb", bytes), "encrypted");
    }

    void truncatedFiles() {
        const QByteArray whole = fixtureBytes("testV2000.mdb");
        expectError(write("two-pages.mdb", whole.left(2 * 4096)), "truncated");
        expectError(write("half-page.mdb", whole.left(2000)), "too short");
        // Cut at every page up to where Table1's rows live: an error naming
        // the missing page, or (once the pages are there) the records.
        for (int pages = 3; pages <= 30; ++pages) {
            const QString path = write("cut.mdb", whole.left(pages * 4096 + 123));
            const QString e = openError(path);
            QVERIFY2(e == "<no error>" || (e.startsWith(path + ": ") && e.contains("beyond the end of the file")),
                     qPrintable(e));
        }
        QCOMPARE(openError(write("cut.mdb", whole.left(30 * 4096))), QString("<no error>"));
    }

    void damagedStructures() {
        // Table2's definition continues from page 30 to page 708; point 708 back to 30.
        QByteArray loop = fixtureBytes("testV2000.mdb");
        QCOMPARE(fmt::le32(page(loop, 30) + fmt::TdefNextPageOffset), 708u);
        fmt::put32(page(loop, 708) + fmt::TdefNextPageOffset, 30);
        expectError(write("tdef-loop.mdb", loop), "table \"Table2\" is damaged: its definition pages form a loop",
                    "Table2");

        // Table1's usage map pointer leads past the end of the file.
        QByteArray map = fixtureBytes("testV2000.mdb");
        fmt::put32(page(map, 24) + fmt::TdefUsedPagesOffset, fmt::makePointer(0xFFFFF0, 0));
        expectError(write("map-beyond.mdb", map), "table \"Table1\" is damaged: page 16777200 lies beyond");

        // Table1's data page claims more rows than a page can index.
        QByteArray rows = fixtureBytes("testV2000.mdb");
        fmt::put16(page(rows, 27) + fmt::DataRowCountOffset, 0xFFFF);
        expectError(write("rows.mdb", rows), "runs off the page");

        // A row whose start lies inside the page header.
        QByteArray start = fixtureBytes("testV2000.mdb");
        fmt::put16(page(start, 27) + fmt::DataRowTableOffset, 3);
        expectError(write("start.mdb", start), "lies outside its page");

        // A definition page that is no definition.
        QByteArray def = fixtureBytes("testV2000.mdb");
        page(def, 24)[0] = fmt::PageData;
        expectError(write("def.mdb", def), "is not a table definition page");
    }
};

QTEST_GUILESS_MAIN(JetBadInput)
#include "tst_jet_badinput.moc"
