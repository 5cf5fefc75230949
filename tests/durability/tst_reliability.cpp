// What zorvane-db does around a command rather than in it: a leftover journal
// applied only to the file it was written for, the writer lock of a file
// being replaced, hard links, waiting for another program's command, and
// tables or catalogs whose pages were lost.
#include "records/jet/Format.h"
#include "tests/durability/DurabilityTestSupport.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QProcess>

#include <unistd.h>

using namespace zorvane;
using namespace zorvane::tests;
using jet::format::PageSize;

namespace {

const QString Tool = QStringLiteral(ZORVANE_DB);

std::vector<records::VendorRecord> vendors(int count, const QString& name) {
    std::vector<records::VendorRecord> out;
    for (int i = 0; i < count; ++i)
        out.push_back(test::vendorRecord(QString("AA-%1").arg(i, 4, 10, QChar('0')),
                                         QString("%1 %2").arg(name).arg(i), "Street " + QString::number(i)));
    return out;
}

// The first page holding rows of the table whose definition lies on `owner`
// (0: of the user table).
std::uint32_t dataPageOf(const QByteArray& file, std::uint32_t owner) {
    namespace f = jet::format;
    auto page = [&](std::uint32_t p) { return reinterpret_cast<const std::uint8_t*>(file.constData()) + p * PageSize; };
    for (std::uint32_t p = 3; !owner && p < file.size() / PageSize; ++p)
        owner = page(p)[0] == f::PageTableDef && page(p)[f::TdefTableTypeOffset] == f::TableTypeUser ? p : 0;
    for (std::uint32_t p = 3; p < file.size() / PageSize; ++p)
        if (page(p)[0] == f::PageData && f::le32(page(p) + f::DataOwnerOffset) == owner)
            return p;
    return 0;
}

} // namespace

class ReliabilityTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;
    QString listing_;

    ProcessResult tool(const QStringList& arguments, const QStringList& env = {}) {
        return runProcess(Tool, arguments, false, env);
    }
    // An add cut off halfway through writing its pages: a live journal stays.
    void crashAnAdd(const QString& path) {
        const ProcessResult run = tool({"add", path, "oui", "Code=ZZ", "Vendor=Cut off"},
                                       {"ZORVANE_CRASH_POINT=5", "ZORVANE_CRASH_TEAR=1"});
        QCOMPARE(run.status, 77);
        QVERIFY(QFile::exists(journalOf(path)));
    }

private slots:
    void init() {
        dir_ = scratchDir();
        path_ = test::writeVendorDatabase(dir_->path(), vendors(400, "Vendor"));
        listing_ = dir_->filePath("listing");
        QDir().mkpath(listing_);
        QVERIFY(writeBytes(listing_ + "/oui.txt", "00-22-72   (hex)\t\tMicro Fuel\n002272     (base 16)\t\tMicro Fuel\n"
                                                  "\t\t\t\t1 Loop\n\t\t\t\tUS\n\n"));
    }

    // A journal left by a command cut off in one file is never applied to the
    // file that took its place: import removes it with the file it replaces,
    // and one found beside a copied-in file is set aside, with one line.
    void leftoverJournalStaysWithItsFile_data() {
        QTest::addColumn<QString>("replacement");
        QTest::newRow("import --force") << "force";
        QTest::newRow("removed, then imported") << "remove";
        QTest::newRow("another file copied over it") << "copy";
    }
    void leftoverJournalStaysWithItsFile() {
        QFETCH(QString, replacement);
        crashAnAdd(path_);
        ProcessResult finder;  // the run that finds the journal not the file's
        if (replacement == "force") {
            QCOMPARE(tool({"import", "--from", listing_, "--force", path_}).status, 0);
        } else if (replacement == "remove") {
            QVERIFY(QFile::remove(path_));
            finder = tool({"import", "--from", listing_, path_});
            QCOMPARE(finder.status, 0);
        } else {
            const QString other = test::writeVendorDatabase(dir_->filePath("listing"), vendors(150, "Other"));
            QVERIFY(writeBytes(path_, bytesOf(other)));
        }
        const QByteArray replaced = bytesOf(path_);
        const ProcessResult check = tool({"check", path_});
        QCOMPARE(check.status, 0);
        QCOMPARE(bytesOf(path_), replaced);
        QVERIFY(!QFile::exists(journalOf(path_)));
        if (replacement == "copy")
            finder = check;
        QCOMPARE(QFile::exists(journalOf(path_) + ".unmatched"), replacement != "force");
        if (replacement != "force")
            QVERIFY2(finder.err.count("was not applied") == 1, finder.err.constData());
    }

    // A writer waits for the writer lock up to the busy timeout, then the
    // file is "in use": import --force included. A file with two names is
    // refused for writing (its journal could be missed through the other).
    void writersWaitThenAreRefused() {
        const QByteArray before = bytesOf(path_);
        QProcess holder;
        holder.start(QStringLiteral(DURABILITY_DRIVER), {"hold", path_, "1"});
        QVERIFY(holder.waitForReadyRead(20000));
        ProcessResult run = tool({"add", path_, "oui", "Code=AB", "Vendor=Waited"});
        QVERIFY2(run.status == 0, run.err.constData());
        QVERIFY(holder.waitForFinished());

        const QByteArray held = bytesOf(path_);
        holder.start(QStringLiteral(DURABILITY_DRIVER), {"hold", path_, "30"});
        QVERIFY(holder.waitForReadyRead(20000));
        for (const QStringList& command : {QStringList{"import", "--from", listing_, "--force", path_},
                                           QStringList{"delete", path_, "oui", "0"}}) {
            run = tool(command, {"ZORVANE_BUSY_TIMEOUT_MS=300"});
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains((path_ + ": the file is in use by another program.").toUtf8()), run.err.constData());
        }
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(bytesOf(path_), held);
        QVERIFY(held != before);

        const QString second = dir_->filePath("second.mdb");
        QCOMPARE(::link(path_.toLocal8Bit().constData(), second.toLocal8Bit().constData()), 0);
        run = tool({"add", second, "oui", "Code=AC"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("hard links"), run.err.constData());
        QCOMPARE(bytesOf(path_), held);
    }

    // Readers and a second writer wait for the commands of a busy writer
    // instead of failing: every run succeeds and every record arrives.
    void readersAndWritersWaitForCommands() {
        const QString loop = QString("for i in $(seq 25); do '%1' add '%2' oui Code=W$1-$i || exit 1; done").arg(Tool, path_);
        QProcess first, second;
        first.start("sh", {"-c", loop, "sh", "1"});
        second.start("sh", {"-c", loop, "sh", "2"});
        QVERIFY(first.waitForStarted() && second.waitForStarted());
        int runs = 0;
        while (first.state() != QProcess::NotRunning || second.state() != QProcess::NotRunning) {
            for (const QStringList& command : {QStringList{"export", path_, "oui"}, QStringList{"check", path_}}) {
                const ProcessResult run = tool(command);
                QVERIFY2(run.status == 0, (command[0] + ": " + run.out.right(200) + run.err).toUtf8().constData());
                ++runs;
            }
            first.waitForFinished(10);
            second.waitForFinished(10);
        }
        QVERIFY2(first.exitCode() == 0 && second.exitCode() == 0,
                 (first.readAllStandardError() + second.readAllStandardError()).constData());
        QVERIFY(runs > 2);
        QCOMPARE(readRecordSet(path_, "oui").rows.size(), 450);
    }

    // A lost data page of the table: reading fails naming table and page,
    // and no write goes to the table. A lost page of the catalog: `tables`
    // fails and `check` names it and the pages no table owns any more.
    void lostPagesAreReported() {
        QByteArray file = bytesOf(path_);
        const std::uint32_t data = dataPageOf(file, 0);
        QVERIFY(data > 0);
        file.replace(data * PageSize, PageSize, QByteArray(PageSize, '\0'));
        QVERIFY(writeBytes(path_, file));
        ProcessResult run = tool({"export", path_, "oui"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("table \"oui\" is damaged") && run.err.contains(QString("page %1,").arg(data).toUtf8()),
                 run.err.constData());
        run = tool({"add", path_, "oui", "Code=AD"});
        QCOMPARE(run.status, 1);
        QCOMPARE(bytesOf(path_), file);

        path_ = test::writeVendorDatabase(dir_->path(), vendors(400, "Vendor"));
        file = bytesOf(path_);
        const std::uint32_t catalog = dataPageOf(file, 2);
        QVERIFY(catalog > 0);
        file.replace(catalog * PageSize, PageSize, QByteArray(PageSize, '\0'));
        QVERIFY(writeBytes(path_, file));
        QCOMPARE(tool({"tables", path_}).status, 1);
        run = tool({"check", path_});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains("\"MSysObjects\"") && run.out.contains(QString("page %1").arg(catalog).toUtf8()) &&
                     run.out.contains("no table owns them"),
                 run.out.constData());
    }
};

QTEST_GUILESS_MAIN(ReliabilityTest)
#include "tst_reliability.moc"
