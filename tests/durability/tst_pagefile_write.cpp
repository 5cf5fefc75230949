// Writing through the page file: commands reach the disk whole at commit and
// not before; the journal counts only whole; a failing write or sync at any
// point leaves the file and the pages in memory as they were; a second writer
// is refused; read-only files and folders give clear errors.
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "tests/durability/DurabilityTestSupport.h"

#include <cerrno>
#include <cstring>

using zorvane::jet::Error;
using zorvane::jet::PageFile;
using namespace zorvane::tests;

namespace {

// The command the tests repeat: pages 3 and 5 changed, one page appended.
void changeThreeAndFiveAndAppend(PageFile& file) {
    file.begin();
    fillPage(file.writablePage(3), 3);
    fillPage(file.writablePage(5), 5);
    const std::uint32_t added = file.appendPage();
    fillPage(file.writablePage(added), added);
}

void setMode(const QString& path, QFile::Permissions extra = {}) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | extra);
}

} // namespace

class PageFileWriteTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    // A fresh database file of a few dozen pages.
    QString copy(const QString& name = QStringLiteral("samples.mdb")) {
        QFile::remove(journalOf(dir_.filePath(name)));
        return samples::writeSamples(dir_.path(), name);
    }

private slots:
    void init() { fault::configure(0, false, nullptr, 0); }

    // Nothing reaches the disk before commit; rollback restores memory; a
    // commit writes exactly the changed and appended pages, with three syncs
    // the first time and two after, and the closing writer removes the journal (J1, J7).
    void commitAndRollback() {
        const QString path = copy();
        const QByteArray before = bytesOf(path);
        const auto pages = static_cast<std::uint32_t>(before.size() / qsizetype(PageSize));
        {
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite);
            QVERIFY_THROWS_EXCEPTION(Error, file.writablePage(3));  // outside a command
            changeThreeAndFiveAndAppend(file);
            QVERIFY_THROWS_EXCEPTION(Error, file.begin());
            QCOMPARE(file.pageCount(), pages + 1);
            QCOMPARE(pageOf(file.page(3)), pattern(3));
            QCOMPARE(bytesOf(path), before);  // not written yet
            file.rollback();
            QVERIFY(!file.inCommand());
            QCOMPARE(file.pageCount(), pages);
            QCOMPARE(pageOf(file.page(3)), pageOf(before, 3));
            file.begin();  // an empty command touches nothing
            file.commit();
            QVERIFY(!QFile::exists(journalOf(path)));
            QCOMPARE(bytesOf(path), before);

            changeThreeAndFiveAndAppend(file);
            file.commit();
            QCOMPARE(file.lastCommitSyncs(), 3);  // the first also syncs the folder
            // The ended journal stays while the writer has the file; a reader
            // passes over it.
            QVERIFY(QFile::exists(journalOf(path)));
            QVERIFY(!liveJournal(path));
            PageFile reader(path.toStdString());
            QCOMPARE(pageOf(reader.page(5)), pattern(5));
            QVERIFY_THROWS_EXCEPTION(Error, reader.begin());
            file.begin();
            fillPage(file.writablePage(5), 5);
            file.commit();
            QCOMPARE(file.lastCommitSyncs(), 2);
        }
        QVERIFY(!QFile::exists(journalOf(path)));
        const QByteArray after = bytesOf(path);
        QCOMPARE(after.size(), before.size() + qsizetype(PageSize));
        for (std::uint32_t n = 0; n <= pages; ++n)
            QCOMPARE(pageOf(after, n), n == 3 || n == 5 || n == pages ? pattern(n) : pageOf(before, n));
    }

    // The journal counts only whole, with this command's salt on every entry:
    // a zeroed header, a cut-off tail, a flipped byte or entries an earlier
    // command left under a new header make it count for nothing (J2).
    void journalCountsOnlyWhole() {
        namespace journal = zorvane::jet::journal;
        const QByteArray a3 = pattern(3), a5 = pattern(5), b3 = pattern(30), b5 = pattern(50);
        auto bytes = [](const QByteArray& b) { return reinterpret_cast<const std::uint8_t*>(b.constData()); };
        const auto first = journal::encode(8 * PageSize, 9 * PageSize, 77, 1, {3, 5}, {bytes(a3), bytes(a5)});
        auto second = journal::encode(8 * PageSize, 8 * PageSize, 78, 2, {3, 5}, {bytes(b3), bytes(b5)});
        auto decoded = journal::decode(first);
        QVERIFY(decoded);
        QCOMPARE(decoded->sizeAfter, std::uint64_t(9 * PageSize));
        QCOMPARE(decoded->pages, (std::vector<std::uint32_t>{3, 5}));
        QCOMPARE(pageOf(decoded->originals[1]), a5);

        auto longer = second;  // written over a longer one: the tail counts for nothing
        longer.insert(longer.end(), first.begin(), first.end());
        QVERIFY(journal::decode(longer));
        auto mixed = first;  // a new header over the old entries
        std::copy(second.begin(), second.begin() + journal::HeaderSize, mixed.begin());
        QVERIFY(!journal::decode(mixed));
        QVERIFY(!journal::decode(std::vector<std::uint8_t>(first.begin(), first.end() - 1)));
        for (const std::size_t at : {std::size_t(20), journal::HeaderSize + 9, first.size() - 3}) {
            auto flipped = first;
            flipped[at] ^= 0x10;
            QVERIFY2(!journal::decode(flipped), qPrintable(QString::number(at)));
        }
        auto ended = first;
        std::fill(ended.begin(), ended.begin() + journal::HeaderSize, 0);
        QVERIFY(!journal::decode(ended));
        // Marked for undo: still whole, but its pages never count as in place.
        journal::markForUndo(second.data());
        QVERIFY(journal::decode(second)->undo);
    }

    // A write or sync that fails at any point before the commit is made (the
    // full disk, a failing device) leaves the file as it was, no journal, the
    // pages in memory as they were, and the file usable for the next command (J6).
    void failingWriteAtEveryPoint_data() {
        QTest::addColumn<int>("error");
        QTest::newRow("full disk") << ENOSPC;
        QTest::newRow("device error") << EIO;
    }
    void failingWriteAtEveryPoint() {
        QFETCH(int, error);
        const QString path = copy();
        const QByteArray before = bytesOf(path);
        // Journal write and sync, folder sync, three page writes, file sync;
        // point 8, ending the journal, comes after the commit is made.
        for (int failAt = 1; failAt < 8; ++failAt) {
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite, fault::faultyOptions());
            changeThreeAndFiveAndAppend(file);
            fault::configure(0, false, std::to_string(failAt).c_str(), error);
            const QString text = errorOf([&] { file.commit(); });
            fault::configure(0, false, nullptr, 0);
            QVERIFY2(text.startsWith(path) && text.contains(QString::fromLocal8Bit(std::strerror(error))) &&
                         text.contains("the file is as it was"),
                     qPrintable(QString("point %1: %2").arg(failAt).arg(text)));
            QVERIFY(!file.inCommand());
            QCOMPARE(bytesOf(path), before);
            QVERIFY(!QFile::exists(journalOf(path)));
            QCOMPARE(pageOf(file.page(3)), pageOf(before, 3));
            QCOMPARE(qsizetype(file.pageCount()) * qsizetype(PageSize), before.size());
            changeThreeAndFiveAndAppend(file);  // still usable
            file.commit();
            QCOMPARE(pageOf(bytesOf(path), 5), pattern(5));
            QVERIFY(writeBytes(path, before));
        }
    }

    // When undoing a failed write fails too (the device keeps failing), the
    // journal stays and the object refuses further work. Where the journal
    // could be marked, the next open puts the file back; where not even that
    // worked, the next open finds the command whole (all its pages landed) (J6).
    void failedUndoIsFinishedByTheNextOpen_data() {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<bool>("changeKept");
        // 7: the file sync; 8, 9: marking the journal; 10-: the undo.
        QTest::newRow("journal marked") << "7,10-" << "it is put back the next time the file is opened." << false;
        QTest::newRow("nothing works") << "7-" << "the next open finds it either as it was or with the change made whole." << true;
    }
    void failedUndoIsFinishedByTheNextOpen() {
        QFETCH(QString, failing);
        QFETCH(QString, outcome);
        QFETCH(bool, changeKept);
        const QString path = copy();
        const QByteArray before = bytesOf(path);
        QByteArray written;
        {
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite, fault::faultyOptions());
            changeThreeAndFiveAndAppend(file);
            fault::configure(0, false, failing.toLatin1().constData(), EIO);
            const QString text = errorOf([&] { file.commit(); });
            fault::configure(0, false, nullptr, 0);
            QVERIFY2(text.endsWith(outcome), qPrintable(text));
            QVERIFY(QFile::exists(journalOf(path)));
            QVERIFY_THROWS_EXCEPTION(Error, file.begin());
            written = bytesOf(path);
            QVERIFY(written != before);
        }
        PageFile reader(path.toStdString());
        QVERIFY(!QFile::exists(journalOf(path)));
        QCOMPARE(bytesOf(path), changeKept ? written : before);
    }

    // Two writers never hold the same file: a second open for writing in this
    // process is refused (another process's: tst_reliability) while readers
    // still get in (J5).
    void secondWriterIsRefused() {
        const QString path = copy();
        const QString inUse = path + ": the file is in use by another program.";
        {
            PageFile first(path.toStdString(), PageFile::Mode::ReadWrite);
            QCOMPARE(errorOf([&] { PageFile second(path.toStdString(), PageFile::Mode::ReadWrite); }), inUse);
            PageFile reader(path.toStdString());
            QVERIFY(reader.page(2) != nullptr);
        }
        // Released when the writer closes.
        PageFile again(path.toStdString(), PageFile::Mode::ReadWrite);
    }

    // A program that ignores the lock moves another file to the name, or
    // removes the name, while a writer holds the file: the commit saves
    // nothing (it would go to a file nobody sees) and says so; the file at
    // the name is untouched.
    void commitRefusedWhenTheNameLeadsElsewhere() {
        for (const bool removed : {false, true}) {
            const QString path = copy(), other = copy("other.mdb");
            const QByteArray otherBytes = bytesOf(other);
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite);
            changeThreeAndFiveAndAppend(file);
            QCOMPARE(removed ? ::unlink(qPrintable(path)) : ::rename(qPrintable(other), qPrintable(path)), 0);
            const QString error = errorOf([&] { file.commit(); });
            QVERIFY2(error.startsWith(path + ": another file was put at its name, or it was removed, since it was opened, so the change was not saved"), qPrintable(error));
            QVERIFY(!file.inCommand());
            QCOMPARE(bytesOf(path), removed ? QByteArray() : otherBytes);
            QVERIFY(!QFile::exists(journalOf(path)));
        }
    }

    // J5: a reader's command (a read scope) takes the commit lock and checks
    // for a journal once, however many pages it reads (between its commands
    // writers commit: tst_crash_pages readerOpenAcrossAWriterThatDied).
    void readScopeLocksOncePerCommand() {
        struct Counting : zorvane::os::ForwardingFileSystem {
            Counting() : ForwardingFileSystem(zorvane::os::posixFileSystem()) {}
            int lock(int fd, zorvane::os::LockType type, std::uint64_t byte) override { return ++locks, inner_.lock(fd, type, byte); }
            int stat(const std::string& path, struct stat& out) override { return ++stats, inner_.stat(path, out); }
            int locks = 0, stats = 0;
        } counting;
        const QString path = copy();
        zorvane::jet::Options options;
        options.fileSystem = &counting;
        PageFile reader(path.toStdString(), PageFile::Mode::Read, options);
        counting.locks = counting.stats = 0;
        {
            PageFile::ReadScope scope(reader);
            for (std::uint32_t n = 0; n < reader.pageCount(); ++n)
                reader.page(n);
        }
        QCOMPARE(reader.diskReads(), std::uint64_t(reader.pageCount()));
        QCOMPARE(counting.locks, 1);
        QCOMPARE(counting.stats, 1);
    }

    // Permissions (checked by a child without root rights when the tests run
    // as root): a read-only file cannot be opened for writing; a read-only
    // folder lets a command fail before the file is touched; a reader that
    // finds a journal it cannot act on says so.
    void readOnlyFileAndFolder() {
        QTemporaryDir locked;
        QVERIFY(locked.isValid());
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                 QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                 QFile::ExeOther);
        const QString path = locked.filePath("oui.mdb");
        samples::writeSamples(locked.path(), "oui.mdb");
        const QByteArray before = bytesOf(path);
        const bool root = ::geteuid() == 0;
        if (root) {
            const ProcessResult probe = runProcess("true", {}, true);
            if (probe.status != 0)
                QSKIP(qPrintable("a child of root cannot give up its rights here, so permissions cannot be tried: " +
                                 QString::fromUtf8(probe.err).trimmed()));
        }
        auto run = [&](const QStringList& arguments, const QStringList& env = {}) {
            return runProcess(Driver, arguments, env.isEmpty(), env);  // crashes run as the owner
        };
        setMode(path);
        ProcessResult r = run({"open", path, "write"});
        QVERIFY2(r.status == 1, qPrintable(QString("status %1: %2").arg(r.status).arg(QString::fromUtf8(r.err))));
        QCOMPARE(QString::fromUtf8(r.err).trimmed(), path + ": the file is read-only, so it cannot be changed.");
        QCOMPARE(run({"open", path, "read"}).status, 0);

        // A journal cut off while it was written (point 1, halfway): the
        // file was not touched, so even a reader that cannot write reads on.
        setMode(path, QFile::WriteOwner);
        QCOMPARE(run({"pages", path, "0", "3"}, {"ZORVANE_CRASH_POINT=1", "ZORVANE_CRASH_TEAR=1"}).status,
                 fault::CrashStatus);
        QVERIFY(bytesOf(journalOf(path)).startsWith("ZVJOURNL"));  // its header made it
        QVERIFY(!liveJournal(path));
        setMode(path);
        r = run({"open", path, "read"});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(bytesOf(path), before);

        // A journal left beside it that this user cannot act on (the writer
        // died halfway through writing its page, point 4).
        setMode(path, QFile::WriteOwner);
        QCOMPARE(run({"pages", path, "0", "3"}, {"ZORVANE_CRASH_POINT=4", "ZORVANE_CRASH_TEAR=1"}).status,
                 fault::CrashStatus);
        QVERIFY(liveJournal(path));
        setMode(path);
        r = run({"open", path, "read"});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("a change to it was cut off and must be undone first, but the file cannot be written"),
                 r.err.constData());
        // Who may write undoes it on open, even just to read; a child of
        // root may write the file but not remove the journal from root's folder.
        setMode(path, QFile::WriteOwner | QFile::WriteOther);
        r = run({"open", path, "read"});
        if (root)
            QVERIFY2(r.status == 1 && r.err.contains("cannot be removed"), r.err.constData());
        QCOMPARE(runProcess(Driver, {"open", path, "read"}).status, 0);
        QVERIFY(!QFile::exists(journalOf(path)));
        QCOMPARE(bytesOf(path), before);

        // The folder read-only, the file writable: no journal, no change.
        if (!root)
            QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
        r = run({"pages", path, "1", "3", "5"});
        if (!root)
            QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("-journal cannot be created (Permission denied); the file is as it was."),
                 r.err.constData());
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(journalOf(path)));
    }
};

QTEST_GUILESS_MAIN(PageFileWriteTest)
#include "tst_pagefile_write.moc"
