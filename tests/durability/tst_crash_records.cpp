// Record commands killed at every write and sync point: zorvane-db add,
// update (a row grown past the room on its page, and one shrunk) and delete
// on a small vendor database, each killed before every point of its command
// and halfway through every write. Afterwards the file opens, zorvane-db check
// passes, no journal is left, and mdb-export lists exactly the records from
// before the command or exactly those from after it. A second writer meets
// the lock.
#include "records/jet/Catalog.h"
#include "records/jet/Database.h"
#include "records/jet/FaultPoints.h"
#include "records/jet/Format.h"
#include "records/jet/PageFile.h"
#include "tests/durability/DurabilityTestSupport.h"

#include <QtTest>

using namespace zorvane::tests;
namespace fault = zorvane::jet::fault;
namespace format = zorvane::jet::format;

namespace {

const QString Tool = QStringLiteral(ZORVANE_DB);
const QString Driver = QStringLiteral(DURABILITY_DRIVER);
const QString Listing = QStringLiteral("/usr/share/ieee-data");

// The first entries of each registry file of the listing, cut at an entry's
// end: a vendor database of a few hundred records whose pages are full.
bool writeSmallListing(const QString& folder) {
    const struct {
        const char* name;
        int lines;
    } files[] = {{"oui.txt", 1500}, {"mam.txt", 200}, {"oui36.txt", 200}, {"iab.txt", 200}};
    for (const auto& f : files) {
        const QList<QByteArray> lines = bytesOf(Listing + "/" + f.name).split('\n');
        if (lines.size() < f.lines)
            return false;
        QByteArray out;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            out += lines[i] + '\n';
            if (i >= f.lines && lines[i].trimmed().isEmpty())
                break;
        }
        if (!writeBytes(folder + "/" + f.name, out))
            return false;
    }
    return true;
}

QByteArray exportOf(const QString& path) {
    QProcess p;
    p.start("mdb-export", {path, "oui"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return "mdb-export failed: " + p.readAllStandardError();
    return p.readAllStandardOutput();
}

// Data pages of table "oui" that hold a moved row's pointer.
int movedRows(const QString& path) {
    zorvane::jet::Database database(path.toStdString());
    const auto table = database.openTable("oui");
    zorvane::jet::PageFile& file = database.file();
    int moved = 0;
    for (std::uint32_t n = 3; n < file.pageCount(); ++n) {
        const std::uint8_t* page = file.page(n);
        if (page[0] != format::PageData ||
            format::le32(page + format::DataOwnerOffset) != table->def().page)
            continue;
        const std::uint16_t rows = format::le16(page + format::DataRowCountOffset);
        for (std::uint16_t r = 0; r < rows; ++r) {
            const std::uint16_t entry =
                format::le16(page + format::DataRowTableOffset + 2 * std::size_t(r));
            if ((entry & format::RowDeletedRow) == format::RowOverflowFlag)
                ++moved;
        }
    }
    return moved;
}

} // namespace

class CrashRecordsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString base_;        // the small vendor database
    QByteArray baseBytes_;
    QByteArray baseExport_;
    QString path_;        // the working copy each run writes

    void fresh() {
        QVERIFY(writeBytes(path_, baseBytes_));
        QFile::remove(journalOf(path_));
    }
    QStringList points(const QStringList& command) {
        fresh();
        const QString log = dir_.filePath("points.log");
        QFile::remove(log);
        const ChildResult run = runChild(Tool, command, {"ZORVANE_FAULT_LOG=" + log});
        if (run.status != 0)
            qWarning("%s", qPrintable(run.errorText));
        QStringList names;
        for (const QString& line : QString::fromUtf8(bytesOf(log)).split('\n', Qt::SkipEmptyParts))
            names << line.section(' ', 1);
        return names;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const ChildResult help = runChild(Tool, {"help"});
        for (const char* command : {"add", "update", "delete", "check"})
            if (!help.outputText.contains(QString("zorvane-db %1 ").arg(command)))
                QSKIP("zorvane-db has no add, update, delete and check commands in this build");
        if (!QFile::exists(Listing + "/oui.txt"))
            QSKIP("the ieee-data listing is not installed");
        const QString listing = dir_.filePath("listing");
        QVERIFY(QDir().mkpath(listing));
        QVERIFY(writeSmallListing(listing));
        base_ = dir_.filePath("base.mdb");
        const ChildResult import = runChild(Tool, {"import", "--from", listing, base_});
        QVERIFY2(import.status == 0, qPrintable(import.errorText));
        baseBytes_ = bytesOf(base_);
        baseExport_ = exportOf(base_);
        QVERIFY(baseExport_.count('\n') > 300);
        path_ = dir_.filePath("oui.mdb");
    }

    void killedAtEveryPoint_data() {
        QTest::addColumn<QStringList>("arguments");  // after FILE TABLE
        QTest::addColumn<bool>("moves");              // the row must move to another page
        const QString longText = QString("Grown ").repeated(40);
        QTest::newRow("add") << QStringList{"add", "Code=FE-DC-BA", "Vendor=Crash Test Vendor",
                                            "Address=1 Crash Street, Testville"}
                             << false;
        QTest::newRow("update grows past its page")
            << QStringList{"update", "150", "Vendor=" + longText.left(250),
                           "Address=" + longText.left(240)}
            << true;
        QTest::newRow("update shrinks")
            << QStringList{"update", "151", "Vendor=V", "Address=A"} << false;
        QTest::newRow("delete") << QStringList{"delete", "152"} << false;
    }

    void killedAtEveryPoint() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, moves);
        QStringList command{arguments.first(), path_, "oui"};
        command << arguments.mid(1);

        // The clean run: the state after, and the command's points.
        const QStringList names = points(command);
        QVERIFY2(names.contains("file sync"), qPrintable(names.join(", ")));
        QCOMPARE(names.count("journal write"), 1);  // one command, one commit
        const QByteArray afterBytes = bytesOf(path_);
        const QByteArray afterExport = exportOf(path_);
        QVERIFY(afterExport != baseExport_);
        QCOMPARE(runChild(Tool, {"check", path_}).status, 0);
        if (moves)
            QVERIFY2(movedRows(path_) > movedRows(base_), "the grown row did not move");

        for (int point = 1; point <= names.size(); ++point) {
            const QString name = names[point - 1];
            for (const bool tear : {false, true}) {
                if (tear && !name.endsWith("write"))
                    continue;
                const QString where =
                    QString("point %1 (%2%3)").arg(point).arg(name, tear ? ", torn" : "");
                fresh();
                QStringList env{"ZORVANE_CRASH_POINT=" + QString::number(point)};
                if (tear)
                    env << "ZORVANE_CRASH_TEAR=1";
                const ChildResult crashed = runChild(Tool, command, env);
                QVERIFY2(crashed.status == fault::CrashStatus,
                         qPrintable(where + ": " + crashed.errorText));
                // check opens the file first, which settles it.
                const ChildResult check = runChild(Tool, {"check", path_});
                QVERIFY2(check.status == 0,
                         qPrintable(where + ": " + check.errorText + check.outputText));
                QVERIFY2(!liveJournal(path_), qPrintable(where));
                const QByteArray now = exportOf(path_);
                const bool whole =
                    name == "file sync" || name == "journal end" || name == "journal remove";
                QVERIFY2(now == (whole ? afterExport : baseExport_),
                         qPrintable(where + (now == afterExport  ? ": after, expected before"
                                             : now == baseExport_ ? ": before, expected after"
                                                                  : ": neither before nor after")));
                QCOMPARE(bytesOf(path_), whole ? afterBytes : baseBytes_);
            }
        }
    }

    // A record command on a file another program writes is refused with the
    // "in use" sentence, and the file stays as it was.
    void secondWriterGetsInUse() {
        fresh();
        QProcess holder;
        holder.start(Driver, {"hold", path_, "30"});
        QVERIFY(holder.waitForReadyRead(20000));
        const ChildResult run = runChild(Tool, {"delete", path_, "oui", "3"});
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errorText.contains(path_ + ": the file is in use by another program."),
                 qPrintable(run.errorText));
        QCOMPARE(bytesOf(path_), baseBytes_);
        // Free again: the same command goes through.
        QCOMPARE(runChild(Tool, {"delete", path_, "oui", "3"}).status, 0);
    }

    // A full disk at the command's first write: a clear error, the file as it
    // was, check passes.
    void fullDisk() {
        fresh();
        const ChildResult run =
            runChild(Tool, {"delete", path_, "oui", "3"}, {"ZORVANE_FAIL_POINT=1"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errorText.contains("No space left on device") &&
                     run.errorText.contains("the file is as it was"),
                 qPrintable(run.errorText));
        QCOMPARE(bytesOf(path_), baseBytes_);
        QVERIFY(!QFile::exists(journalOf(path_)));
        QCOMPARE(runChild(Tool, {"check", path_}).status, 0);
    }
};

QTEST_GUILESS_MAIN(CrashRecordsTest)
#include "tst_crash_records.moc"
