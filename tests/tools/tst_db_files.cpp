// zorvane-db and the files around a database: where refresh's report of
// changes may go (never the database or its journal; links followed, devices
// and FIFOs written in place), import --force through a symbolic link, the
// temporary files a killed import leaves, and output that cannot be written;
// the faults of the test build reach the report and the clean-up too.
#include "tests/support/EngineReaders.h"
#include "tests/support/SmallListing.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace zorvane;
using namespace zorvane::test;

namespace {

ProcessResult tool(const QStringList& arguments, const QStringList& env = {}) {
    return runProcess(zorvaneDbPath(), arguments, false, env);
}

// A listing folder with one MA-L entry and one of each other registry
// (import and refresh take it with --min-entries 1).
QString writeListing(const QString& dir) {
    return writeSmallListing(dir, "00-22-72   (hex)\t\tFuel\n002272     (base 16)\t\tFuel\n\t\t\t\tUS\n\n");
}

QString vendorDatabase(const QString& folder, int records) {
    std::vector<records::VendorRecord> out;
    for (int i = 0; i < records; ++i)
        out.push_back(vendorRecord(QString("AA-%1").arg(i), QString("Vendor %1").arg(i), "Street"));
    return writeVendorDatabase(folder, out);
}

bool isLink(const QString& path) {
    struct stat st {};
    return ::lstat(qPrintable(path), &st) == 0 && S_ISLNK(st.st_mode);
}

mode_t typeOf(const QString& path) {
    struct stat st {};
    return ::lstat(qPrintable(path), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

bool oneErrorLine(const ProcessResult& r) {
    return r.status == 1 && r.out.isEmpty() && r.err.startsWith("zorvane-db: ") && r.err.count('\n') == 1 &&
           r.err.endsWith(".\n");
}

} // namespace

class DbFilesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString db_, listing_;

private slots:
    void init() {
        dir_ = scratchDir();
        db_ = vendorDatabase(dir_->path(), 20);
        listing_ = writeListing(dir_->filePath("listing"));
    }

    // The report never takes the database's place, nor its journal's,
    // through any name, with or without --dry-run: one line, nothing changed.
    void reportNeverReplacesTheDatabase_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dryRun");
        for (const bool dry : {false, true}) {
            const char* tail = dry ? " (dry run)" : "";
            QTest::addRow("the same name%s", tail) << "DB" << dry;
            QTest::addRow("another spelling%s", tail) << "SPELLING" << dry;
            QTest::addRow("a symbolic link%s", tail) << "LINK" << dry;
            QTest::addRow("its journal%s", tail) << "JOURNAL" << dry;
            QTest::addRow("a link to its journal%s", tail) << "JLINK" << dry;
        }
        QTest::addRow("a second name (hard link, dry run)") << "HARD" << true;
    }
    void reportNeverReplacesTheDatabase() {
        QFETCH(QString, name);
        QFETCH(bool, dryRun);
        const QString link = dir_->filePath("link.csv"), journalLink = dir_->filePath("jlink.csv");
        QVERIFY(QFile::link(db_, link));
        QVERIFY(QFile::link(db_ + "-journal", journalLink));
        if (name == "HARD")
            QCOMPARE(::link(qPrintable(db_), qPrintable(dir_->filePath("hard.csv"))), 0);
        // Each name whole (the scratch folder's random name may hold "DB").
        const QHash<QString, QString> names{
            {"DB", db_}, {"SPELLING", dir_->path() + "/./listing/../oui.mdb"}, {"LINK", link},
            {"JOURNAL", db_ + "-journal"}, {"JLINK", journalLink}, {"HARD", dir_->filePath("hard.csv")}};
        name = names.value(name);
        const QByteArray before = bytesOf(db_);
        QStringList command{"refresh", db_, "--min-entries", "1", "--from", listing_, "--changes", name};
        if (dryRun)
            command << "--dry-run";
        const ProcessResult r = tool(command);
        QVERIFY2(oneErrorLine(r) && r.err.startsWith("zorvane-db: " + name.toUtf8() + ": this is the database"),
                 r.err.constData());
        QCOMPARE(bytesOf(db_), before);
        QVERIFY(isLink(link) && isLink(journalLink));
        QVERIFY(!QFile::exists(db_ + "-journal"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".csv.").size(), 0);
    }

    // The report's file operations meet the engine's faults: a write or a
    // sync that fails leaves the database and the old report as they were;
    // a rename that fails after the refresh, or a write to a FIFO (made
    // after the refresh), says the database was refreshed. One line each
    // time, and no temporary file is left.
    void reportFailuresAreOneLine_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<bool>("fifo");
        QTest::newRow("write") << "report write" << false;
        QTest::newRow("sync") << "report sync" << false;
        QTest::newRow("rename") << "report rename" << false;
        QTest::newRow("write to a FIFO") << "report write" << true;
    }
    void reportFailuresAreOneLine() {
        QFETCH(QString, point);
        QFETCH(bool, fifo);
        const QString name = dir_->filePath("changes.csv"), log = dir_->filePath("points.log");
        const QStringList command{"refresh", db_, "--min-entries", "1", "--from", listing_, "--changes", name};
        const QByteArray before = bytesOf(db_);
        if (fifo)
            QCOMPARE(::mkfifo(qPrintable(name), 0600), 0);
        // Runs the command with `env`, a reader at the FIFO; what it read.
        auto run = [&](const QStringList& env, ProcessResult& result) {
            QProcess reader;
            if (fifo) {
                reader.start("cat", {name});
                reader.waitForStarted();
            } else {
                writeBytes(name, "old report");
            }
            result = runProcess(zorvaneDbFaultsPath(), command, false, env);
            if (!fifo)
                return QByteArray();
            reader.waitForFinished(60000);
            return reader.readAllStandardOutput();
        };
        // The point's number in a clean run; then the database as it was.
        ProcessResult clean, r;
        QVERIFY(run({"ZORVANE_FAULT_LOG=" + log}, clean).startsWith(fifo ? "change,code" : ""));
        QVERIFY2(clean.status == 0, clean.err.constData());
        QStringList points;
        for (const QString& line : QString::fromUtf8(bytesOf(log)).split('\n', Qt::SkipEmptyParts))
            points << line.section(' ', 1);
        const int number = int(points.indexOf(point)) + 1;
        QVERIFY2(number > 0 && points.count(point) == 1, qPrintable(points.join(", ")));
        QVERIFY(writeBytes(db_, before));

        QCOMPARE(run({"ZORVANE_FAIL_POINT=" + QString::number(number)}, r), QByteArray());
        QVERIFY2(oneErrorLine(r), r.err.constData());
        const QByteArray reason = point == "report rename" ? "put in place" : "written";
        if (fifo || point == "report rename") {
            QCOMPARE(r.err, "zorvane-db: " + db_.toUtf8() + ": the database was refreshed, but " + name.toUtf8() +
                                ": the report could not be " + reason + " (No space left on device).\n");
            QCOMPARE(readRecordSet(db_, "oui").rows.size(), 24);
        } else {
            QCOMPARE(r.err, "zorvane-db: " + name.toUtf8() + ": the report could not be written (No space left on "
                                "device), so " + db_.toUtf8() + " was not changed.\n");
            QCOMPARE(bytesOf(db_), before);
        }
        if (fifo)
            QCOMPARE(typeOf(name), mode_t(S_IFIFO));
        else
            QCOMPARE(bytesOf(name), QByteArray("old report"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".changes.csv.").size(), 0);
        QVERIFY(!QFile::exists(db_ + "-journal"));
    }

    // export --format ieee --to DIR follows the same rule for its four
    // files: one that leads to the database is refused before any is
    // written; a link to a file of its own is followed.
    void ieeeFilesNeverReplaceTheDatabase() {
        const QString to = dir_->filePath("out"), kept = dir_->filePath("kept.txt");
        QVERIFY(QDir().mkpath(to) && writeBytes(kept, "old"));
        QVERIFY(QFile::link(kept, to + "/oui.txt") && QFile::link(db_, to + "/iab.txt"));
        const QByteArray before = bytesOf(db_);
        ProcessResult r = tool({"export", db_, "oui", "--format", "ieee", "--to", to});
        QVERIFY2(oneErrorLine(r) && r.err.startsWith("zorvane-db: " + to.toUtf8() + "/iab.txt: this is the database itself"), r.err.constData());
        QCOMPARE(bytesOf(db_), before);
        QCOMPARE(bytesOf(kept), QByteArray("old"));
        QVERIFY(QFile::remove(to + "/iab.txt"));
        r = tool({"export", db_, "oui", "--format", "ieee", "--to", to});
        QVERIFY2(r.status == 0, r.err.constData());
        const QString plain = dir_->filePath("plain");
        QVERIFY(QDir().mkpath(plain));
        QCOMPARE(tool({"export", db_, "oui", "--format", "ieee", "--to", plain}).status, 0);
        QVERIFY(isLink(to + "/oui.txt"));
        QCOMPARE(bytesOf(kept), bytesOf(plain + "/oui.txt"));
        QCOMPARE(bytesOf(db_), before);
    }

    // A link's target gets the report (the link stays a link), a FIFO is
    // written in place (a reader gets it), a device is written and stays a
    // device (a full one fails after the refresh, saying so), a regular file
    // is replaced whole, keeping its permissions.
    void reportGoesWhereTheNameLeads_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("regular file") << "file";
        QTest::newRow("link to a file") << "link";
        QTest::newRow("link to no file yet") << "dangling";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("device (null)") << "null";
        QTest::newRow("device (full)") << "full";
    }
    void reportGoesWhereTheNameLeads() {
        QFETCH(QString, kind);
        const QString name = dir_->filePath("changes.csv"), target = dir_->filePath("reports/target.csv");
        QVERIFY(QDir().mkpath(dir_->filePath("reports")));
        QProcess reader;
        if (kind == "file") {
            QVERIFY(writeBytes(name, "old report"));
            QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        } else if (kind == "link" || kind == "dangling") {
            if (kind == "link")
                QVERIFY(writeBytes(target, "old report"));
            QVERIFY(QFile::link("reports/target.csv", name));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(qPrintable(name), 0600), 0);
            reader.start("cat", {name});
            QVERIFY(reader.waitForStarted());
        } else {
            if (::geteuid() != 0)
                QSKIP("making a device node needs root");
            QCOMPARE(::mknod(qPrintable(name), S_IFCHR | 0666, makedev(1, kind == "null" ? 3 : 7)), 0);
        }
        const mode_t type = typeOf(name);
        const ProcessResult r = tool({"refresh", db_, "--min-entries", "1", "--from", listing_, "--changes", name});
        if (kind == "full") {
            QVERIFY2(oneErrorLine(r) && r.err.contains(db_.toUtf8() + ": the database was refreshed, but " + name.toUtf8() +
                                                       ": the report could not be written (No space left on device)."),
                     r.err.constData());
        } else {
            QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
        }
        QCOMPARE(typeOf(name), type);  // the name stays what it was
        QCOMPARE(readRecordSet(db_, "oui").rows.size(), 24);
        const QByteArray report = "change,code,field,before,after\r\nadded,00-22-72,Code,,00-22-72\r\n";
        if (kind == "file") {
            QVERIFY(bytesOf(name).startsWith(report));
            struct stat st {};
            QCOMPARE(::stat(qPrintable(name), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0640));
        } else if (kind == "link" || kind == "dangling") {
            QVERIFY(bytesOf(target).startsWith(report));
        } else if (kind == "fifo") {
            QVERIFY(reader.waitForFinished(60000));
            QVERIFY(reader.readAllStandardOutput().startsWith(report));
        }
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".changes.csv.").size(), 0);
    }

    // import --force through a symbolic link replaces the file it leads to
    // (also when what the link holds is longer than a short buffer); the
    // link stays a link, and both readers see the new file through it.
    void importForceThroughALink_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("short link") << "real/oui.mdb";
        QTest::newRow("long link") << QString("./").repeated(300) + "real/oui.mdb";
    }
    void importForceThroughALink() {
        QFETCH(QString, target);
        QVERIFY(QDir().mkpath(dir_->filePath("real")));
        const QString real = vendorDatabase(dir_->filePath("real"), 5), link = dir_->filePath("link.mdb");
        QCOMPARE(::symlink(qPrintable(target), qPrintable(link)), 0);
        const ProcessResult r = tool({"import", "--min-entries", "1", "--from", listing_, "--force", link});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
        QVERIFY(isLink(link));
        QCOMPARE(QFile::symLinkTarget(link), real);
        for (const Table& t : {readRecordSet(real, "oui"), readMdbExport(link, "oui"), readMdbReader(link, "oui")}) {
            QCOMPARE(t.rows.size(), 4);
            QCOMPARE(t.rows[0][0], Value("00-22-72"));
        }
        QCOMPARE(QDir(dir_->filePath("real")).entryList(QDir::Hidden | QDir::Files), QStringList{"oui.mdb"});
    }

    // A new file gets its name by a rename: killed right after (before the
    // folder sync), the file has one name and a writer takes it; and no
    // temporary file is left.
    void newFileHasOneNameAtOnce() {
        const QString out = dir_->filePath("new.mdb");
        // Points: write, sync, naming, folder sync.
        const ProcessResult r = runProcess(zorvaneDbFaultsPath(), {"import", "--min-entries", "1", "--from", listing_, out}, false,
                                           {"ZORVANE_CRASH_POINT=4"});
        QCOMPARE(r.status, 77);
        struct stat st {};
        QCOMPARE(::stat(qPrintable(out), &st), 0);
        QCOMPARE(st.st_nlink, nlink_t(1));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".new.mdb.").size(), 0);
        const ProcessResult add = tool({"add", out, "oui", "Code=AB-CD-EF"});
        QVERIFY2(add.status == 0, add.err.constData());
        QCOMPARE(readMdbExport(out, "oui").rows.size(), 5);
    }

    // An import killed while writing leaves its temporary file; the next
    // import of that name removes it, but not one a live process holds, nor
    // a file of that name that is not a database.
    void staleTemporaryFilesAreRemoved() {
        const QString out = dir_->filePath("new.mdb");
        QStringList left;  // killed before its write, then before its sync: each run removes the last one's
        for (const char* point : {"1", "2"}) {
            const ProcessResult r = runProcess(zorvaneDbFaultsPath(), {"import", "--min-entries", "1", "--from", listing_, out}, false,
                                               {QString("ZORVANE_CRASH_POINT=") + point});
            QCOMPARE(r.status, 77);
            const QStringList now = QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".new.mdb.");
            QCOMPARE(now.size(), 1);
            QVERIFY(!left.contains(now[0]));
            left = now;
        }
        // A folder that cannot be listed costs only the clean-up: the import
        // succeeds and the stale file stays, for the next import to remove.
        const ProcessResult unlisted = runProcess(zorvaneDbFaultsPath(), {"import", "--min-entries", "1", "--from", listing_, out},
                                                  false, {"ZORVANE_FAIL_LIST=" + QString::number(EACCES)});
        QVERIFY2(unlisted.status == 0 && unlisted.err.isEmpty(), unlisted.err.constData());
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".new.mdb."), left);
        QCOMPARE(readMdbExport(out, "oui").rows.size(), 4);
        QVERIFY(QFile::remove(out));
        const QString held = dir_->filePath(".new.mdb.Held01"), other = dir_->filePath(".new.mdb.Notes1");
        QVERIFY(writeBytes(held, {}) && writeBytes(other, "my notes"));
        const int fd = ::open(qPrintable(held), O_RDWR | O_CLOEXEC);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = off_t(1) << 40;  // the byte a writer of a temporary file holds
        lock.l_len = 1;
        QCOMPARE(::fcntl(fd, F_OFD_SETLK, &lock), 0);
        const ProcessResult r = tool({"import", "--min-entries", "1", "--from", listing_, out});
        ::close(fd);
        QVERIFY2(r.status == 0, r.err.constData());
        left = QDir(dir_->path()).entryList(QDir::Hidden | QDir::Files).filter(".new.mdb.");
        left.sort();
        QCOMPARE(left, (QStringList{".new.mdb.Held01", ".new.mdb.Notes1"}));
        QCOMPARE(readMdbExport(out, "oui").rows.size(), 4);
    }

    // Every error is one line, "zorvane-db: FILE: reason.", said once, on
    // stderr; a field given twice is one of them (nothing is changed).
    void errorsAreOneLineNamingTheFile() {
        const QString csvOnly = dir_->filePath("csv"), notDb = dir_->filePath("notes.mdb"), ro = dir_->filePath("ro.mdb");
        QVERIFY(QDir().mkpath(csvOnly) && writeBytes(csvOnly + "/oui.csv", "a,b\n") && writeBytes(notDb, "notes"));
        QVERIFY(QFile::copy(db_, ro) && QFile::setPermissions(ro, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray before = bytesOf(db_);
        const QList<std::pair<QStringList, QString>> cases = {
            {{"add", db_, "nosuch", "Code=AB"}, db_ + ": there is no table \"nosuch\"."},
            {{"add", db_, "oui", "Code=AB-CD-EF", "Vendor=V", "code=CD"},
             db_ + ": field \"Code\" is given twice (Code=AB-CD-EF, code=CD)."},
            {{"update", db_, "oui", "0", "Vendor=V", "Vendor=W"}, db_ + ": field \"Vendor\" is given twice (Vendor=V, Vendor=W)."},
            {{"check", notDb}, notDb + ": the file is too short to be an Access database (5 bytes)."},
            {{"import", "--min-entries", "1", "--from", listing_ + "/oui.txt", dir_->filePath("n.mdb")},
             listing_ + "/oui.txt: this is a file, not a folder; --from names the folder that holds oui.txt, mam.txt, "
                        "oui36.txt and iab.txt."},
            {{"import", "--from", csvOnly, dir_->filePath("n.mdb")},
             csvOnly + "/oui.txt: the MA-L registry file cannot be read (No such file or directory); " +
                 dir_->filePath("n.mdb") + " was not written."},
            {{"lookup", db_, "--password"},
             "--password needs the database password after it (usage: zorvane-db COMMAND ARGUMENTS --password PASSWORD)."},
        };
        for (const auto& [command, said] : cases) {
            const ProcessResult r = tool(command);
            QVERIFY2(oneErrorLine(r) && r.err == "zorvane-db: " + said.toUtf8() + "\n", qPrintable(command.join(' ') + ": " + r.err));
        }
        QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                        QFile::ReadOther | QFile::ExeOther));
        const ProcessResult r = runProcess(zorvaneDbPath(), {"add", ro, "oui", "Code=AB"}, true);
        QVERIFY2(oneErrorLine(r) && r.err == "zorvane-db: " + ro.toUtf8() + ": the file is read-only, so it cannot be changed.\n", r.err.constData());
        QCOMPARE(bytesOf(db_), before);
    }
};

QTEST_GUILESS_MAIN(DbFilesTest)
#include "tst_db_files.moc"
