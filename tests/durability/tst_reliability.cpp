// Around the commands: leftover journals, the writer lock of a replaced file,
// hard links, waiting for other programs, lost table and catalog pages.
#include "tests/support/SmallListing.h"
#include "tests/durability/DurabilityTestSupport.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include "addresses/VendorIndex.h"
#include "records/os/FileSystem.h"

#include <functional>

#include <fcntl.h>
#include <unistd.h>

using namespace zorvane;
using namespace zorvane::tests;
namespace f = jet::format;

namespace {

ProcessResult tool(const QStringList& arguments, const QStringList& env = {}) {
    return runProcess(zorvaneDbFaultsPath(), arguments, false, env);
}

QString database(const QString& folder, int records) {
    std::vector<records::VendorRecord> out;
    for (int i = 0; i < records; ++i)
        out.push_back(test::vendorRecord(QString("AA-%1").arg(i), QString("Vendor %1").arg(i), "Street"));
    return test::writeVendorDatabase(folder, out);
}

// `file` with the first data page of the user table (catalog: of MSysObjects) zeroed; its number.
std::uint32_t zeroDataPage(const QString& path, bool catalog) {
    QByteArray file = bytesOf(path);
    auto page = [&](std::uint32_t p) { return reinterpret_cast<const std::uint8_t*>(file.constData()) + p * f::PageSize; };
    std::uint32_t owner = catalog ? f::CatalogTableDefPage : 0, p = 3;
    for (; !owner; ++p)
        owner = page(p)[0] == f::PageTableDef && page(p)[f::TdefTableTypeOffset] == f::TableTypeUser ? p : 0;
    for (p = 3; page(p)[0] != f::PageData || f::le32(page(p) + f::DataOwnerOffset) != owner; ++p) {}
    file.replace(p * f::PageSize, f::PageSize, QByteArray(f::PageSize, '\0'));
    return writeBytes(path, file) ? p : 0;
}

// Waits until `process` has the file at `path` open; false when it ended first.
bool waitUntilOpen(QProcess& process, const QString& path) {
    const QString fds = QString("/proc/%1/fd").arg(process.processId());
    auto hasFile = [&] {
        for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (QFile::symLinkTarget(fds + "/" + fd) == path)
                return true;
        return false;
    };
    while (process.state() == QProcess::Running && !hasFile())
        QTest::qWait(10);
    return process.state() == QProcess::Running;
}

} // namespace

class ReliabilityTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_, listing_;

private slots:
    // The shipped program reads no test settings and has no fault points;
    // its test build has both.
    void shippedProgramHasNoFaultHooks() {
        const QByteArray shipped = bytesOf(ZORVANE_DB);
        QVERIFY(shipped.size() > 100000 && !shipped.contains("ZORVANE_"));
        QVERIFY(bytesOf(zorvaneDbFaultsPath()).contains("ZORVANE_CRASH_POINT"));
    }

    void init() {
        dir_ = scratchDir();
        path_ = database(dir_->path(), 400);
        listing_ = dir_->filePath("listing");
        QDir().mkpath(listing_);
        QVERIFY(!writeSmallListing(listing_, "00-22-72   (hex)\t\tFuel\n002272     (base 16)\t\tFuel\n\t\t\t\tUS\n\n").isEmpty());
    }

    // A journal left by an add cut off halfway is never applied to the file
    // that took its place: import rolls it back in the file it replaces, one
    // found beside another file is set aside, with one line (J4).
    void leftoverJournalStaysWithItsFile_data() {
        QTest::addColumn<QString>("replacement");
        QTest::newRow("import --force") << "force";
        QTest::newRow("removed, then imported") << "remove";
        QTest::newRow("another file copied over it") << "copy";
    }
    void leftoverJournalStaysWithItsFile() {
        QFETCH(QString, replacement);
        QCOMPARE(tool({"add", path_, "oui", "Code=FE-ED-01"}, {"ZORVANE_CRASH_POINT=5", "ZORVANE_CRASH_TEAR=1"}).status, 77);
        QVERIFY(QFile::exists(journalOf(path_)));
        ProcessResult finder;  // the run that finds a journal not the file's
        if (replacement == "copy")
            QVERIFY(writeBytes(path_, bytesOf(database(listing_, 150))));
        else if (replacement == "remove" && QFile::remove(path_))
            finder = tool({"import", "--min-entries", "1", "--from", listing_, path_});
        else
            QCOMPARE(tool({"import", "--min-entries", "1", "--from", listing_, "--force", path_}).status, 0);
        const QByteArray replaced = bytesOf(path_);
        const ProcessResult check = tool({"check", path_});
        QVERIFY2(check.status == 0 && bytesOf(path_) == replaced, check.out.constData());
        QVERIFY(!QFile::exists(journalOf(path_)));
        QCOMPARE(QFile::exists(journalOf(path_) + ".unmatched"), replacement != "force");
        const QByteArray said = (replacement == "copy" ? check : finder).err;
        QCOMPARE(said.count("was not applied"), replacement == "force" ? 0 : 1);
    }

    // A second journal that does not belong to the file is kept beside the
    // first, never over it: "-journal.unmatched", then ".unmatched.2".
    void unmatchedJournalsAreAllKept() {
        QByteArray journals[2];
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(tool({"add", path_, "oui", "Code=FE-ED-1" + QString::number(round)},
                          {"ZORVANE_CRASH_POINT=5", "ZORVANE_CRASH_TEAR=1"}).status, 77);
            journals[round] = bytesOf(journalOf(path_));
            QVERIFY(writeBytes(path_, bytesOf(database(listing_, 150 + round))));
            const ProcessResult check = tool({"check", path_});
            QVERIFY2(check.status == 0 && check.err.count('\n') == 1 && check.err.contains("was not applied"), check.err.constData());
        }
        QVERIFY(!journals[0].isEmpty() && journals[0] != journals[1]);
        QCOMPARE(bytesOf(journalOf(path_) + ".unmatched"), journals[0]);
        QCOMPARE(bytesOf(journalOf(path_) + ".unmatched.2"), journals[1]);
    }

    // The new-file writer's failures are reported: a failed write leaves no
    // file, not even the temporary one; a failed folder sync (points: write,
    // sync, link, folder sync) says the file may not outlast a power cut.
    void newFileFailuresAreReported() {
        const QString out = dir_->filePath("new.mdb");
        ProcessResult r = tool({"import", "--min-entries", "1", "--from", listing_, out}, {"ZORVANE_FAIL_POINT=1"});
        QVERIFY2(r.status == 1 && r.err.contains(out.toUtf8() + ": writing failed (No space left on device)."), r.err.constData());
        QVERIFY(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden).filter("new.mdb").isEmpty());
        r = tool({"import", "--min-entries", "1", "--from", listing_, out}, {"ZORVANE_FAIL_POINT=4"});
        QVERIFY2(r.status == 1 && r.err.contains("cannot be flushed to disk (No space left on device)."), r.err.constData());
    }

    // A writer waits for the writer lock up to the busy timeout, then the
    // file is "in use", import --force included. A file with two names is
    // refused for writing (its journal could be missed through the other).
    void writersWaitThenAreRefused() {
        QProcess holder;
        holder.start(Driver, {"hold", path_, "1"});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(tool({"add", path_, "oui", "Code=FE-ED-02"}, {"ZORVANE_BUSY_TIMEOUT_MS=600000"}).status, 0);
        QVERIFY(holder.waitForFinished());
        const QByteArray held = bytesOf(path_);
        holder.start(Driver, {"hold", path_, "30"});
        QVERIFY(holder.waitForReadyRead(20000));
        for (const QStringList& command : {QStringList{"import", "--min-entries", "1", "--from", listing_, "--force", path_},
                                           QStringList{"delete", path_, "oui", "0"}})
            QVERIFY(tool(command, {"ZORVANE_BUSY_TIMEOUT_MS=300"}).err.contains(path_.toUtf8() + ": the file is in use by another program."));
        holder.kill();
        holder.waitForFinished();
        const QString second = dir_->filePath("second.mdb");
        QCOMPARE(::link(qPrintable(path_), qPrintable(second)), 0);
        QVERIFY(tool({"add", second, "oui", "Code=FE-ED-03"}).err.contains("hard links"));
        QCOMPARE(bytesOf(path_), held);
    }

    // A writer that waited for the lock while another file was put at the
    // name (mv, import --force) writes into the file now at the name, never
    // into the one taken away: its change is in the file everyone sees.
    void waitingWriterFollowsTheName_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("rows");      // the replacement's rows afterwards
        QTest::addColumn<QString>("code");  // a code the change leaves in it
        QTest::newRow("add") << QStringList{"add", "oui", "Code=FE-ED-21"} << 151 << "FE-ED-21";
        QTest::newRow("update") << QStringList{"update", "oui", "3", "Code=FE-ED-22"} << 150 << "FE-ED-22";
        QTest::newRow("delete") << QStringList{"delete", "oui", "0"} << 149 << "AA-0";
        QTest::newRow("refresh") << QStringList{"refresh", "--min-entries", "1", "--from", "LISTING"} << 154 << "00-22-72";
    }
    void waitingWriterFollowsTheName() {
        QFETCH(QStringList, command);
        QFETCH(int, rows);
        QFETCH(QString, code);
        command.replaceInStrings("LISTING", listing_);
        command.insert(1, path_);
        const QString other = dir_->filePath("other");
        QVERIFY(QDir().mkpath(other));
        const QString backup = database(other, 150);

        QProcess holder, writer;
        holder.start(Driver, {"hold", path_, "600"});
        QVERIFY(holder.waitForReadyRead(60000));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVANE_BUSY_TIMEOUT_MS", "600000");
        writer.setProcessEnvironment(env);
        writer.start(zorvaneDbFaultsPath(), command);
        QVERIFY(writer.waitForStarted(60000));
        // The writer has the file open (and waits for its lock)...
        QVERIFY2(waitUntilOpen(writer, path_), writer.readAllStandardError().constData());
        // ...when another file takes the name, and the holder lets go.
        QCOMPARE(::rename(qPrintable(backup), qPrintable(path_)), 0);
        holder.kill();
        holder.waitForFinished();
        QVERIFY(writer.waitForFinished(180000));
        const QByteArray err = writer.readAllStandardError();
        QVERIFY2(writer.exitCode() == 0 && err.isEmpty(), err.constData());
        const Table now = readRecordSet(path_, "oui");
        QCOMPARE(now.rows.size(), rows);
        bool found = false;
        for (const Row& row : now.rows)
            found = found || row[0] == code;
        QCOMPARE(found, command[0] != "delete");
        QCOMPARE(readMdbExport(path_, "oui").rows.size(), rows);
        QCOMPARE(tool({"check", path_}).status, 0);
        QVERIFY(!QFile::exists(journalOf(path_)));
    }

    // A reader meets a commit in progress (here: its lock, held by the test)
    // and waits the busy timeout, the one bound for every wait: with a tenth
    // of a second it then says the file is busy; with ten minutes it still
    // waits after eleven seconds, gets in once the lock goes, and succeeds.
    // (A fixed ten seconds of its own made it fail there; a busy machine can
    // only make this check milder, never fail it.)
    void readerWaitsForACommitOnlyTheBusyTimeout() {
        const int fd = ::open(qPrintable(path_), O_RDWR | O_CLOEXEC);
        QVERIFY(fd >= 0);
        struct flock commit {};
        commit.l_type = F_WRLCK;
        commit.l_whence = SEEK_SET;
        commit.l_start = (off_t(1) << 40) + 1;  // the commit lock's byte
        commit.l_len = 1;
        QCOMPARE(::fcntl(fd, F_OFD_SETLK, &commit), 0);
        const ProcessResult read = tool({"export", path_, "oui"}, {"ZORVANE_BUSY_TIMEOUT_MS=100"});
        QVERIFY2(read.status == 1 && read.err == "zorvane-db: " + path_.toUtf8() +
                     ": the file cannot be read: another program keeps it busy writing.\n", read.err.constData());
        QProcess reader;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVANE_BUSY_TIMEOUT_MS", "600000");
        reader.setProcessEnvironment(env);
        reader.start(zorvaneDbFaultsPath(), {"export", path_, "oui"});
        QVERIFY(reader.waitForStarted(60000));
        QVERIFY(waitUntilOpen(reader, path_));
        QVERIFY(!reader.waitForFinished(11000));
        ::close(fd);
        QVERIFY(reader.waitForFinished(180000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        QCOMPARE(reader.readAllStandardOutput().count("\r\n"), 401);
    }

    // Readers and a second writer wait for a busy writer's commands instead
    // of failing: every run succeeds and every record arrives.
    void readersAndWritersWaitForCommands() {
        // A wait as long as a loaded machine may need (the test build takes
        // it from the environment): the test is about waiting, not its bound.
        const QString patience = "ZORVANE_BUSY_TIMEOUT_MS=600000";
        const QString loop = QString("for i in $(seq 25); do %1 '%2' add '%3' oui Code=FEE$0$((i + 10)) || exit 1; done").arg(patience, zorvaneDbFaultsPath(), path_);
        QProcess writers[2];
        for (int i = 0; i < 2; ++i)
            writers[i].start("sh", {"-c", loop, QString::number(i)});
        while (writers[0].state() != QProcess::NotRunning || writers[1].state() != QProcess::NotRunning) {
            for (const QStringList& command : {QStringList{"export", path_, "oui"}, QStringList{"check", path_},
                                               QStringList{"find", path_, "oui", "--like", "Code=FEE*"},
                                               QStringList{"lookup", path_, "fe:e0:10"}}) {
                const ProcessResult run = tool(command, {patience});
                QVERIFY2(run.status == 0, (command[0] + ": " + run.out.right(200) + run.err).toUtf8().constData());
                if (command[0] != "find")
                    continue;
                // find reads through a mapping: what it lists is one state of the file.
                const QList<CsvRecord> lines = parseCsv(run.out);
                for (qsizetype i = 1; i < lines.size(); ++i)
                    QVERIFY2(lines[i][1].text.startsWith("FEE") && (i == 1 || lines[i][0].text.toInt() > lines[i - 1][0].text.toInt()),
                             run.out.constData());
            }
            writers[0].waitForFinished(10);
            writers[1].waitForFinished(10);
        }
        QVERIFY2(writers[0].exitCode() == 0 && writers[1].exitCode() == 0, writers[0].readAllStandardError().constData());
        QCOMPARE(readRecordSet(path_, "oui").rows.size(), 450);
    }

    // lookup's reader, when another program's command changes the file
    // between two of its reads, reads the file again from the start: the
    // answer is the file as that command left it, never a mix or a failure.
    void lookupReadsAgainAfterAChangeMidway() {
        // Runs `change` once, when the reader's first read scope has ended;
        // counts the opens of the database.
        struct ChangeOnce : os::ForwardingFileSystem {
            using ForwardingFileSystem::ForwardingFileSystem;
            std::function<void()> change;
            int opens = 0;
            int open(const std::string& path, int flags, mode_t mode, os::Fd& out) override {
                ++opens;
                return ForwardingFileSystem::open(path, flags, mode, out);
            }
            int unlock(int fd, std::uint64_t byte) override {
                const int result = ForwardingFileSystem::unlock(fd, byte);
                if (change)
                    std::exchange(change, nullptr)();
                return result;
            }
        } system(os::posixFileSystem());
        QVERIFY(QDir().mkpath(dir_->filePath("midway")));
        const QString path = test::writeVendorDatabase(dir_->filePath("midway"), {
            test::vendorRecord("00-1A-2B", "Before", "Street"), test::vendorRecord("3C-22-FB", "Apple, Inc.", "Cupertino")});
        ProcessResult changed;
        system.change = [&] { changed = tool({"update", path, "oui", "0", "Vendor=Changed Midway"}); };
        jet::Options options;
        options.fileSystem = &system;
        const addresses::VendorIndex index = addresses::VendorIndex::read(path.toStdString(), nullptr, options);
        QVERIFY2(changed.status == 0, changed.err.constData());
        QVERIFY2(system.opens >= 2, "the file was read once only");
        QCOMPARE(index.recordCount(), std::size_t(2));
        const addresses::Vendor* found = index.find(addresses::codeDigits(u"00-1A-2B"));
        QVERIFY(found);
        QCOMPARE(QString::fromStdString(found->name), QString("Changed Midway"));
    }

    // A lost data page of the table: reading fails naming table and page,
    // and no write reaches the table. A lost page of the catalog: `tables`
    // fails, `check` names it and the pages no table owns any more.
    void lostPagesAreReported() {
        const std::uint32_t data = zeroDataPage(path_, false);
        const QByteArray file = bytesOf(path_), err = tool({"export", path_, "oui"}).err;
        QVERIFY2(err.contains(QString("table \"oui\" is damaged: it records 400 records, but its pages hold").toUtf8()) &&
                     err.contains(QString("; page %1, which").arg(data).toUtf8()), err.constData());
        QCOMPARE(tool({"add", path_, "oui", "Code=FE-ED-04"}).status, 1);
        QCOMPARE(bytesOf(path_), file);

        path_ = database(dir_->path(), 400);
        const std::uint32_t catalog = zeroDataPage(path_, true);
        QCOMPARE(tool({"tables", path_}).status, 1);
        const ProcessResult check = tool({"check", path_});
        QVERIFY2(check.status == 1 && check.out.contains(QString("table \"MSysObjects\"'s page usage map marks page %1,").arg(catalog).toUtf8()) &&
                     check.out.contains("no table owns them"), check.out.constData());
    }
};

QTEST_GUILESS_MAIN(ReliabilityTest)
#include "tst_reliability.moc"
