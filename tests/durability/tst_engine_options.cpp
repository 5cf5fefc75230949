// The engine's options belong to the file opened with them: two files open in
// one process at once keep their own password, busy timeout, notice lines,
// index page room, mapping switch and file system. And every call the engine
// makes of the system goes through that file system, so a decorator sees it:
// the mapping of a file (a failure there is read around), the clock a new
// file is dated by, the clock and the pauses of a wait for a busy file.
#include "records/VendorDatabase.h"
#include "records/jet/CreateDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/DatabaseCheck.h"
#include "records/jet/IndexTree.h"
#include "records/jet/TableWriter.h"
#include "records/jet/ValueText.h"
#include "tests/durability/DurabilityTestSupport.h"

#include <cerrno>
#include <cstring>
#include <thread>

using namespace zorvane::jet;
using namespace zorvane::tests;

namespace {

// Counts the calls that show how pages were read, passing everything on.
struct Counting : zorvane::os::ForwardingFileSystem {
    explicit Counting(zorvane::os::FileSystem& inner = zorvane::os::posixFileSystem()) : ForwardingFileSystem(inner) {}
    long long readAt(int fd, void* data, std::size_t length, std::uint64_t offset) override {
        ++reads;
        return inner_.readAt(fd, data, length, offset);
    }
    int mapFile(int fd, std::size_t length, bool writable, void*& out) override {
        ++maps;
        return inner_.mapFile(fd, length, writable, out);
    }
    int reads = 0, maps = 0;
};

// A clock stopped at 2001-02-03 04:05:06, local time.
struct StoppedClock : zorvane::os::ForwardingFileSystem {
    StoppedClock() : ForwardingFileSystem(zorvane::os::posixFileSystem()) {}
    std::time_t now(std::tm& local) override {
        local = {};
        local.tm_year = 101, local.tm_mon = 1, local.tm_mday = 3;
        local.tm_hour = 4, local.tm_min = 5, local.tm_sec = 6;
        return 981173106;
    }
};

// A steady clock that moves only when asked to wait: a wait ends at once,
// however long it was to be.
struct ImpatientClock : zorvane::os::ForwardingFileSystem {
    ImpatientClock() : ForwardingFileSystem(zorvane::os::posixFileSystem()) {}
    std::chrono::steady_clock::time_point steadyNow() override { return std::chrono::steady_clock::time_point() + waited; }
    void sleep(std::chrono::microseconds pause) override {
        waited += pause;
        ++pauses;
    }
    std::chrono::microseconds waited{0};
    int pauses = 0;
};

Options withPassword(const std::u16string& password) {
    Options options;
    options.password = password;
    return options;
}

QString writeProtected(const QString& folder, const QString& name, const std::u16string& password) {
    CreateOptions create;
    create.password = password;
    return samples::writeSamples(folder, name, create);
}

// Every page of the file, read through `file`.
QByteArray allPages(PageFile& file) {
    QByteArray all;
    for (std::uint32_t n = 0; n < file.pageCount(); ++n)
        all += pageOf(file.page(n));
    return all;
}

} // namespace

class EngineOptionsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void init() { fault::configure(0, false, nullptr, 0); }
    void cleanup() { fault::installed().failMapping(0); }

    // Two protected files open at once, each with its own password; a file
    // opened with the other's password, or none, is refused.
    void passwordsPerFile() {
        const QString a = writeProtected(dir_.path(), "alpha.mdb", u"alpha"),
                      b = writeProtected(dir_.path(), "beta.mdb", u"beta \u00e9");
        Database first(a.toStdString(), PageFile::Mode::Read, withPassword(u"alpha"));
        Database second(b.toStdString(), PageFile::Mode::Read, withPassword(u"beta \u00e9"));
        QCOMPARE(first.tables().size(), second.tables().size());
        QCOMPARE(first.openTable("Many")->rowCount(), std::size_t(512));
        QCOMPARE(second.openTable("Many")->rowCount(), std::size_t(512));
        QCOMPARE(errorOf([&] { Database(a.toStdString(), PageFile::Mode::Read, withPassword(u"beta \u00e9")); }),
                 a + ": the password given is not the database's password.");
        QCOMPARE(errorOf([&] { Database(b.toStdString()); }),
                 b + ": the database is protected by a password, so it cannot be opened without it.");
    }

    // While a writer holds a file, a second writer with no patience is
    // refused at once, and one with plenty gets the file when the first lets
    // it go (whenever that is: no timing is asserted).
    void busyTimeoutsPerFile() {
        const QString path = samples::writeSamples(dir_.path(), "busy.mdb");
        auto holder = std::make_unique<PageFile>(path.toStdString(), PageFile::Mode::ReadWrite);
        Options impatient, patient;
        impatient.busyTimeout = std::chrono::milliseconds(0);
        patient.busyTimeout = std::chrono::minutes(10);
        QCOMPARE(errorOf([&] { PageFile(path.toStdString(), PageFile::Mode::ReadWrite, impatient); }),
                 path + ": the file is in use by another program.");
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            holder.reset();
        });
        QString error;
        {
            error = errorOf([&] { PageFile waiter(path.toStdString(), PageFile::Mode::ReadWrite, patient); });
        }
        release.join();
        QCOMPARE(error, QString("<no error>"));
    }

    // A writer waits for a held file by its file system's clock and pauses:
    // with a clock that moves only while it waits, ten minutes of patience
    // pass without the test waiting, and the file is then in use.
    void busyWaitsOnTheFileSystemsClock() {
        const QString path = samples::writeSamples(dir_.path(), "busy-clock.mdb");
        PageFile holder(path.toStdString(), PageFile::Mode::ReadWrite);
        ImpatientClock clock;
        Options options;
        options.busyTimeout = std::chrono::minutes(10);
        options.fileSystem = &clock;
        QCOMPARE(errorOf([&] { PageFile(path.toStdString(), PageFile::Mode::ReadWrite, options); }),
                 path + ": the file is in use by another program.");
        QVERIFY(clock.pauses > 1);
        QVERIFY(clock.waited >= std::chrono::minutes(10));
        QVERIFY(clock.waited < std::chrono::minutes(11));
    }

    // A journal of a removed file is set aside when a new file takes its
    // place; the line saying so goes where that file's options send it.
    void noticesPerFile() {
        QStringList toFirst, toSecond;
        Options first, second;
        first.notice = [&](const std::string& line) { toFirst << QString::fromStdString(line); };
        second.notice = [&](const std::string& line) { toSecond << QString::fromStdString(line); };
        const NewTable table{"T", {{"a", format::TypeText, 10, false}}, {}};
        for (const QString name : {"one.mdb", "two.mdb"})
            QVERIFY(writeBytes(journalOf(dir_.filePath(name)), QByteArray(4096, 'j')));
        createDatabase(dir_.filePath("one.mdb").toStdString(), {{table, {}}}, {}, first);
        createDatabase(dir_.filePath("two.mdb").toStdString(), {{table, {}}}, {}, second);
        QCOMPARE(toFirst.size(), 1);
        QCOMPARE(toSecond.size(), 1);
        QVERIFY2(toFirst[0].contains("one.mdb-journal of a removed file was not applied"), qPrintable(toFirst[0]));
        QVERIFY2(toSecond[0].contains("two.mdb-journal of a removed file was not applied"), qPrintable(toSecond[0]));
        QVERIFY(QFile::exists(journalOf(dir_.filePath("one.mdb")) + ".unmatched"));
    }

    // The same rows into two files open at once: small index pages make a
    // deeper tree in one, whole pages a shallow one in the other; both sound.
    void indexPageRoomPerFile() {
        const NewTable table{"T", {{"ID", format::TypeLong, 255, true}, {"Label", format::TypeText, 40, false}},
                             {{"PrimaryKey", {0}, true}, {"Label", {1}, false}}};
        Options small;
        small.indexPageRoom = 120;
        const std::string a = dir_.filePath("small.mdb").toStdString(), b = dir_.filePath("whole.mdb").toStdString();
        createDatabase(a, {{table, {}}});
        createDatabase(b, {{table, {}}});
        Database first(a, PageFile::Mode::ReadWrite, small), second(b, PageFile::Mode::ReadWrite);
        const TableDef defA = first.openTable("T")->def(), defB = second.openTable("T")->def();
        first.file().begin();
        second.file().begin();
        TableWriter wa(first.file(), defA), wb(second.file(), defB);
        for (int i = 0; i < 200; ++i) {
            const std::u16string label = fromUtf8("label " + std::to_string(i * 7 % 200));
            wa.insert({{1, label}});
            wb.insert({{1, label}});
        }
        wa.finish();
        wb.finish();
        first.file().commit();
        second.file().commit();
        const std::size_t deep = readIndexTree(first.file(), defA, 1).pages.size();
        const std::size_t shallow = readIndexTree(second.file(), defB, 1).pages.size();
        QVERIFY2(deep > 4 && shallow <= 2, qPrintable(QString("%1 and %2 pages").arg(deep).arg(shallow)));
        PageFile checkA(a), checkB(b);
        QVERIFY(checkDatabase(checkA).empty());
        QVERIFY(checkDatabase(checkB).empty());
    }

    // Two writers at once: one maps its pages, the other copies them; each
    // file system sees only its own file's calls. A failing file system
    // fails one file's commit while the other's commits.
    void mappingAndFileSystemPerFile() {
        const QString a = samples::writeSamples(dir_.path(), "mapped.mdb"),
                      b = samples::writeSamples(dir_.path(), "copied.mdb");
        const QByteArray before = bytesOf(a);
        Counting countA(fault::installed()), countB;
        Options mapped, copied;
        mapped.mapWhenWriting = true;
        mapped.fileSystem = &countA;
        copied.fileSystem = &countB;
        PageFile first(a.toStdString(), PageFile::Mode::ReadWrite, mapped);
        PageFile second(b.toStdString(), PageFile::Mode::ReadWrite, copied);
        const int openReadsA = countA.reads, openReadsB = countB.reads;
        QCOMPARE(allPages(first), allPages(second));
        QCOMPARE(countA.maps, 1);
        QCOMPARE(countA.reads, openReadsA);  // no page was copied
        QCOMPARE(countB.maps, 0);
        QVERIFY(countB.reads > openReadsB);

        fault::configure(0, false, "1", ENOSPC);  // the journal write of the mapped file
        for (PageFile* file : {&first, &second}) {
            file->begin();
            fillPage(file->writablePage(3), 3);
        }
        QVERIFY(errorOf([&] { first.commit(); }).contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
        second.commit();
        QCOMPARE(bytesOf(a), before);
        QCOMPARE(pageOf(bytesOf(b), 3), pattern(3));
    }

    // A fault at the mapping call reaches the fault layer, and the engine
    // reads the file by copying instead, to the same pages and the same
    // command; so does zorvane-db, whose writers map their files.
    void mappingFaultIsSeen() {
        const QString path = samples::writeSamples(dir_.path(), "fault.mdb");
        const QByteArray before = bytesOf(path);
        fault::installed().failMapping(ENOMEM);
        Counting counting(fault::installed());
        Options options;
        options.mapWhenWriting = true;
        options.fileSystem = &counting;
        {
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite, options);
            const int openReads = counting.reads;
            QCOMPARE(allPages(file), before);
            QCOMPARE(fault::installed().mappings(), std::uint64_t(1));
            QVERIFY(counting.reads > openReads);  // copied instead
            file.begin();
            fillPage(file.writablePage(3), 3);
            file.commit();
        }
        QCOMPARE(pageOf(bytesOf(path), 3), pattern(3));

        // The whole command line, with and without the fault: the same file.
        const QString tool = zorvaneDbFaultsPath(), copy = dir_.filePath("fault-copy.mdb");
        for (const QString& file : {path, copy}) {
            QVERIFY(writeBytes(file, before));
            const QStringList env = file == path ? QStringList{"ZORVANE_FAIL_MAP=" + QString::number(ENOMEM)} : QStringList{};
            const ProcessResult run = runProcess(tool, {"update", file, "Many", "7", "Name=changed"}, false, env);
            QVERIFY2(run.status == 0, run.err.constData());
        }
        QCOMPARE(bytesOf(path), bytesOf(copy));
        QVERIFY(bytesOf(path) != before);
    }

    // Every command of zorvane-db opens its file with the program's options:
    // given the password, each reads or changes a protected vendor file;
    // without it, each is refused.
    void everyCommandTakesTheProgramsOptions() {
        const QString path = dir_.filePath("protected-oui.mdb");
        zorvane::records::VendorRecord first, second;
        using namespace zorvane::records::vendor;
        first.fields[Code] = "00-1A-2B", first.fields[Vendor] = "Ayecom", first.fields[Address] = "Hsinchu";
        second.fields[Code] = "70-B3-D5-F2-F", second.fields[Vendor] = "Teleplatforms", second.fields[Address] = "Moscow";
        zorvane::records::createVendorDatabase(path, {first, second}, true, "pass word");
        const QList<QStringList> commands{
            {"tables", path},
            {"export", path, "oui"},
            {"check", path},
            {"lookup", path, "00:1a:2b:3c:4d:5e"},
            {"find", path, "oui", "--where", "Code=00-1A-2B"},
            {"search", path, "--vendor", "Aye*"},
            {"add", path, "oui", "Code=AA-BB-CC", "Vendor=Ours"},
            {"update", path, "oui", "--where", "Code=AA-BB-CC", "Vendor=Still ours"},
            {"delete", path, "oui", "--where", "Code=AA-BB-CC"},
        };
        for (const QStringList& command : commands) {
            const ProcessResult refused = runProcess(zorvaneDbFaultsPath(), command);
            QVERIFY2(refused.status == 1 && refused.err.contains("protected by a password"),
                     qPrintable(command.join(' ') + ": " + refused.err));
            const ProcessResult run = runProcess(zorvaneDbFaultsPath(), QStringList(command) << "--password" << "pass word");
            QVERIFY2(run.status == 0, qPrintable(command.join(' ') + ": " + run.err));
        }
        const ProcessResult found = runProcess(zorvaneDbFaultsPath(), {"lookup", path, "--password", "pass word", "70b3d5f2f001"});
        QVERIFY2(found.out.contains("Teleplatforms"), found.out.constData());
    }

    // A new file is dated by the clock of its file system: two files made
    // apart in time under one stopped clock are the same bytes.
    void clockThroughTheFileSystem() {
        StoppedClock clock;
        Options options;
        options.fileSystem = &clock;
        const NewTable table{"T", {{"a", format::TypeText, 10, false}}, {}};
        const std::vector<NewRow> rows{{u"x"}};
        createDatabase(dir_.filePath("clock1.mdb").toStdString(), {{table, rows}}, {}, options);
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        createDatabase(dir_.filePath("clock2.mdb").toStdString(), {{table, rows}}, {}, options);
        QCOMPARE(bytesOf(dir_.filePath("clock1.mdb")), bytesOf(dir_.filePath("clock2.mdb")));
        Database db(dir_.filePath("clock1.mdb").toStdString());
        QCOMPARE(db.tables().size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(EngineOptionsTest)
#include "tst_engine_options.moc"
