// Writing through the page file: commands reach the disk whole at commit and
// not before, in the order journal -> folder -> pages -> journal end; a failing
// write or sync at any point leaves the file and the pages in memory as they
// were; a second writer is refused; read-only files and folders give clear
// errors.
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/FaultPoints.h"
#include "records/jet/Journal.h"
#include "records/jet/Format.h"
#include "records/jet/PageFile.h"
#include "tests/durability/DurabilityTestSupport.h"
#include "tests/durability/PagePattern.h"

#include <QtTest>

#include <cerrno>
#include <cstring>

using zorvane::jet::Error;
using zorvane::jet::PageFile;
using zorvane::jet::format::PageSize;
namespace fault = zorvane::jet::fault;
using namespace zorvane::tests;

namespace {

const QString Driver = QStringLiteral(DURABILITY_DRIVER);

QByteArray pageOf(const QByteArray& file, std::uint32_t number) {
    return file.mid(qsizetype(number) * qsizetype(PageSize), qsizetype(PageSize));
}

QByteArray pattern(std::uint32_t number) {
    QByteArray bytes(qsizetype(PageSize), '\0');
    fillPage(reinterpret_cast<std::uint8_t*>(bytes.data()), number);
    return bytes;
}

// The command the tests repeat: pages 3 and 5 changed, one page appended.
void changeThreeAndFiveAndAppend(PageFile& file) {
    file.begin();
    fillPage(file.writablePage(3), 3);
    fillPage(file.writablePage(5), 5);
    const std::uint32_t added = file.appendPage();
    fillPage(file.writablePage(added), added);
}

} // namespace

class PageFileWriteTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString copy(const QString& name = QStringLiteral("testV2000.mdb")) {
        const QString target = dir_.filePath(name);
        QFile::remove(target);
        QFile::remove(journalOf(target));
        if (!QFile::copy(fixture(name), target))
            qFatal("cannot copy fixture %s", qPrintable(name));
        QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                     QFile::ReadOther);
        return target;
    }

private slots:
    void init() { fault::configure(0, false, nullptr, 0); }

    // Nothing reaches the disk before commit; rollback restores memory; a
    // commit writes exactly the changed and appended pages and removes the
    // journal; the file stays a database the reader opens.
    void commitAndRollback() {
        const QString path = copy();
        const QByteArray before = bytesOf(path);
        const auto pages = static_cast<std::uint32_t>(before.size() / qsizetype(PageSize));
        {
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite);
            changeThreeAndFiveAndAppend(file);
            QVERIFY(file.inCommand());
            QCOMPARE(file.pageCount(), pages + 1);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(file.page(3)), PageSize), pattern(3));
            QCOMPARE(bytesOf(path), before);  // not written yet
            file.rollback();
            QVERIFY(!file.inCommand());
            QCOMPARE(file.pageCount(), pages);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(file.page(3)), PageSize),
                     pageOf(before, 3));
            QCOMPARE(bytesOf(path), before);

            // An empty command touches nothing.
            file.begin();
            file.commit();
            QVERIFY(!QFile::exists(journalOf(path)));
            QCOMPARE(bytesOf(path), before);

            changeThreeAndFiveAndAppend(file);
            file.commit();
            // The first command after opening syncs the journal's folder too.
            QCOMPARE(file.lastCommitSyncs(), 3);
            QVERIFY(!file.inCommand());
            QCOMPARE(file.fileSize(), std::uint64_t(pages + 1) * PageSize);
            // The journal file stays, ended, while the writer has the file;
            // a reader passes over it.
            QVERIFY(QFile::exists(journalOf(path)));
            QVERIFY(!liveJournal(path));
            PageFile reader(path.toStdString());
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(reader.page(5)), PageSize), pattern(5));
            QVERIFY(QFile::exists(journalOf(path)));
            // Later commands write over it: two syncs.
            file.begin();
            fillPage(file.writablePage(5), 5);
            file.commit();
            QCOMPARE(file.lastCommitSyncs(), 2);
        }
        QVERIFY(!QFile::exists(journalOf(path)));
        const QByteArray after = bytesOf(path);
        QCOMPARE(after.size(), before.size() + qsizetype(PageSize));
        for (std::uint32_t n = 0; n <= pages; ++n) {
            const bool changed = n == 3 || n == 5 || n == pages;
            QCOMPARE(pageOf(after, n), changed ? pattern(n) : pageOf(before, n));
        }

        // The reader sees a database whose untouched pages are intact.
        const QString second = copy(QStringLiteral("delTestV2000.mdb"));
        {
            PageFile file(second.toStdString(), PageFile::Mode::ReadWrite);
            file.begin();
            const std::uint32_t added = file.appendPage();
            fillPage(file.writablePage(added), added);
            file.commit();
        }
        zorvane::jet::Database database(second.toStdString());
        QVERIFY(!database.tables().empty());
    }

    // The journal's own checks: it counts only whole, with this command's
    // salt on every entry; a zeroed header, a cut-off tail, a flipped byte or
    // entries an earlier command left under a new header make it count for
    // nothing.
    void journalCountsOnlyWhole() {
        namespace journal = zorvane::jet::journal;
        const QByteArray a3 = pattern(3), a5 = pattern(5), b3 = pattern(30), b5 = pattern(50);
        auto bytes = [](const QByteArray& b) { return reinterpret_cast<const std::uint8_t*>(b.constData()); };
        const std::vector<std::uint8_t> first =
            journal::encode(8 * PageSize, 9 * PageSize, 77, 1, {3, 5}, {bytes(a3), bytes(a5)});
        std::vector<std::uint8_t> second =
            journal::encode(8 * PageSize, 8 * PageSize, 78, 2, {3, 5}, {bytes(b3), bytes(b5)});

        auto decoded = journal::decode(first);
        QVERIFY(decoded);
        QCOMPARE(decoded->sizeBefore, std::uint64_t(8 * PageSize));
        QCOMPARE(decoded->sizeAfter, std::uint64_t(9 * PageSize));
        QCOMPARE(decoded->afterDigest, std::uint64_t(77));
        QCOMPARE(decoded->pages, (std::vector<std::uint32_t>{3, 5}));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(decoded->originals[1]), PageSize), a5);

        // Written over a longer journal of an earlier command: the tail counts for nothing.
        std::vector<std::uint8_t> longer = second;
        longer.insert(longer.end(), first.begin(), first.end());
        QVERIFY(journal::decode(longer));
        // The new header written, the old entries still in place.
        std::vector<std::uint8_t> mixed = first;
        std::copy(second.begin(), second.begin() + journal::HeaderSize, mixed.begin());
        QVERIFY(!journal::decode(mixed));
        // Cut off, or one byte changed anywhere.
        QVERIFY(!journal::decode(std::vector<std::uint8_t>(first.begin(), first.end() - 1)));
        for (const std::size_t at : {std::size_t(20), journal::HeaderSize + 9,
                                     first.size() - 3}) {
            std::vector<std::uint8_t> flipped = first;
            flipped[at] ^= 0x10;
            QVERIFY2(!journal::decode(flipped), qPrintable(QString::number(at)));
        }
        // Ended at commit.
        std::vector<std::uint8_t> ended = first;
        std::fill(ended.begin(), ended.begin() + journal::HeaderSize, 0);
        QVERIFY(!journal::headerIsValid(ended.data()));
        QVERIFY(!journal::decode(ended));
        // Marked for undo: still whole, but no file size matches "after".
        journal::markForUndo(second.data());
        decoded = journal::decode(second);
        QVERIFY(decoded);
        QCOMPARE(decoded->sizeAfter, ~std::uint64_t(0));
    }

    // Misuse gives errors, not damage.
    void misuse() {
        const QString path = copy();
        PageFile reader(path.toStdString());
        QVERIFY_THROWS_EXCEPTION(Error, reader.begin());
        PageFile file(path.toStdString(), PageFile::Mode::ReadWrite);
        QVERIFY_THROWS_EXCEPTION(Error, file.writablePage(3));
        QVERIFY_THROWS_EXCEPTION(Error, file.appendPage());
        QVERIFY_THROWS_EXCEPTION(Error, file.commit());
        file.begin();
        QVERIFY_THROWS_EXCEPTION(Error, file.begin());
        QVERIFY_THROWS_EXCEPTION(Error, file.writablePage(file.pageCount()));
        file.rollback();
        PageFile image("image.mdb", std::vector<std::uint8_t>(PageSize * 4));
        QVERIFY_THROWS_EXCEPTION(Error, image.begin());
    }

    // The journal is written and synced, and the folder synced, before the
    // file is touched; the file is synced before the journal ends, and the writer removes
    // the ended journal when it closes the file.
    void orderOfWritesAndSyncs() {
        const QString path = copy();
        const QString log = dir_.filePath("points.log");
        QFile::remove(log);
        const ChildResult run = runChild(Driver, {"pages", path, "3,5", "1"},
                                         {"ZORVANE_FAULT_LOG=" + log});
        QCOMPARE(run.status, 0);
        QStringList names;
        for (const QString& line : QString::fromUtf8(bytesOf(log)).split('\n', Qt::SkipEmptyParts))
            names << line.section(' ', 1);
        QCOMPARE(names, (QStringList{"journal write", "journal sync", "folder sync", "page write",
                                     "page write", "page write", "file sync", "journal end",
                                     "journal remove"}));
    }

    // A write or sync that fails at any point (the full disk, a failing
    // device) leaves the file as it was, no journal, the pages in memory as
    // they were, and the file usable for the next command.
    void failingWriteAtEveryPoint_data() {
        QTest::addColumn<int>("error");
        QTest::newRow("full disk") << ENOSPC;
        QTest::newRow("device error") << EIO;
    }
    void failingWriteAtEveryPoint() {
        QFETCH(int, error);
        const QString path = copy();
        const QByteArray before = bytesOf(path);
        std::uint64_t points = 0;
        {
            const QString probe = copy(QStringLiteral("delTestV2000.mdb"));
            PageFile file(probe.toStdString(), PageFile::Mode::ReadWrite);
            changeThreeAndFiveAndAppend(file);
            fault::configure(0, false, nullptr, 0);
            file.commit();
            points = fault::reached();
        }
        QCOMPARE(points, std::uint64_t(8));
        // The last point, ending the journal, comes after the commit point.
        for (std::uint64_t failAt = 1; failAt < points; ++failAt) {
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite);
            changeThreeAndFiveAndAppend(file);
            fault::configure(0, false, std::to_string(failAt).c_str(), error);
            try {
                file.commit();
                QFAIL(qPrintable(QString("commit succeeded despite failing point %1").arg(failAt)));
            } catch (const Error& e) {
                const QString text = QString::fromUtf8(e.what());
                QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(error))),
                         qPrintable(text));
                QVERIFY2(text.contains("the file is as it was"), qPrintable(text));
                QVERIFY2(text.startsWith(path), qPrintable(text));
            }
            fault::configure(0, false, nullptr, 0);
            QVERIFY(!file.inCommand());
            QCOMPARE(bytesOf(path), before);
            QVERIFY(!QFile::exists(journalOf(path)));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(file.page(3)), PageSize),
                     pageOf(before, 3));
            QCOMPARE(std::uint64_t(file.pageCount()) * PageSize, std::uint64_t(before.size()));
            // Still usable: the same command now goes through.
            changeThreeAndFiveAndAppend(file);
            file.commit();
            QCOMPARE(pageOf(bytesOf(path), 5), pattern(5));
            QVERIFY(writeBytes(path, before));
        }
    }

    // When undoing a failed write fails too (the device keeps failing), the
    // journal stays and the object refuses further work. Where the journal
    // could be marked, the next open puts the file back; where not even that
    // worked, the next open finds the command whole (all its pages landed).
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
            PageFile file(path.toStdString(), PageFile::Mode::ReadWrite);
            changeThreeAndFiveAndAppend(file);
            fault::configure(0, false, failing.toLatin1().constData(), EIO);
            try {
                file.commit();
                QFAIL("commit succeeded despite a failing sync");
            } catch (const Error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).endsWith(outcome), e.what());
            }
            fault::configure(0, false, nullptr, 0);
            QVERIFY(QFile::exists(journalOf(path)));
            QVERIFY_THROWS_EXCEPTION(Error, file.begin());
            written = bytesOf(path);
            QVERIFY(written != before);
        }
        PageFile reader(path.toStdString());
        QVERIFY(!QFile::exists(journalOf(path)));
        QCOMPARE(bytesOf(path), changeKept ? written : before);
    }

    // Two writers never hold the same file: a second open for writing, from
    // this process or another, is refused while readers still get in.
    void secondWriterIsRefused() {
        const QString path = copy();
        {
            PageFile first(path.toStdString(), PageFile::Mode::ReadWrite);
            try {
                PageFile second(path.toStdString(), PageFile::Mode::ReadWrite);
                QFAIL("a second writer opened the file");
            } catch (const Error& e) {
                QCOMPARE(QString::fromUtf8(e.what()),
                         path + ": the file is in use by another program.");
            }
            const ChildResult other = runChild(Driver, {"open", path, "write"});
            QCOMPARE(other.status, 1);
            QCOMPARE(other.errorText.trimmed(), path + ": the file is in use by another program.");
            PageFile reader(path.toStdString());
            QVERIFY(reader.page(2) != nullptr);
        }
        // Released when the writer closes.
        PageFile again(path.toStdString(), PageFile::Mode::ReadWrite);

        // Held by another process.
        const QString held = copy(QStringLiteral("delTestV2000.mdb"));
        QProcess holder;
        holder.start(Driver, {"hold", held, "30"});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("holding"));
        try {
            PageFile second(held.toStdString(), PageFile::Mode::ReadWrite);
            QFAIL("a second writer opened the file held by another process");
        } catch (const Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).endsWith("the file is in use by another program."),
                     e.what());
        }
        holder.kill();
        holder.waitForFinished();
        PageFile afterHolder(held.toStdString(), PageFile::Mode::ReadWrite);
    }

    // Permissions (checked by a child without root rights when the tests run
    // as root): a read-only file cannot be opened for writing; a read-only
    // folder lets a command fail before the file is touched; a reader that
    // finds a journal it cannot act on says so.
    void readOnlyFileAndFolder() {
        QTemporaryDir locked;
        QVERIFY(locked.isValid());
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ExeOwner | QFile::ReadGroup |
                                                 QFile::ExeGroup | QFile::ReadOther |
                                                 QFile::ExeOther);
        const QString path = locked.filePath("oui.mdb");
        QVERIFY(QFile::copy(fixture("testV2000.mdb"), path));
        const QByteArray before = bytesOf(path);
        const bool root = ::geteuid() == 0;
        // The file read-only.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        ChildResult run = runChild(Driver, {"open", path, "write"}, {}, true);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.errorText.trimmed(), path + ": the file is read-only, so it cannot be changed.");
        run = runChild(Driver, {"open", path, "read"}, {}, true);
        QCOMPARE(run.status, 0);

        // A journal cut off while it was written (point 1, halfway): the
        // file was not touched, so even a reader that cannot write reads on.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
        run = runChild(Driver, {"pages", path, "3", "0"},
                       {"ZORVANE_CRASH_POINT=1", "ZORVANE_CRASH_TEAR=1"});
        QCOMPARE(run.status, fault::CrashStatus);
        QVERIFY(bytesOf(journalOf(path)).startsWith("ZVJOURNL"));  // its header made it
        QVERIFY(!liveJournal(path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        run = runChild(Driver, {"open", path, "read"}, {}, true);
        QVERIFY2(run.status == 0, qPrintable(run.errorText));
        QCOMPARE(bytesOf(path), before);

        // A journal left beside it that this user cannot act on (the writer
        // died halfway through writing its page, point 4).
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
        run = runChild(Driver, {"pages", path, "3", "0"},
                       {"ZORVANE_CRASH_POINT=4", "ZORVANE_CRASH_TEAR=1"});
        QCOMPARE(run.status, fault::CrashStatus);
        QVERIFY(QFile::exists(journalOf(path)));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        run = runChild(Driver, {"open", path, "read"}, {}, true);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errorText.contains("a change to it was cut off and must be undone first, but "
                                        "the file cannot be written"),
                 qPrintable(run.errorText));
        // Who may write undoes it on open, even just to read.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther | QFile::WriteOther);
        run = runChild(Driver, {"open", path, "read"}, {}, true);
        if (root) {
            // The unprivileged child may write the file but not remove the
            // journal from root's folder.
            QCOMPARE(run.status, 1);
            QVERIFY2(run.errorText.contains("cannot be removed"), qPrintable(run.errorText));
        }
        run = runChild(Driver, {"open", path, "read"});
        QCOMPARE(run.status, 0);
        QVERIFY(!QFile::exists(journalOf(path)));
        QCOMPARE(bytesOf(path), before);

        // The folder read-only, the file writable: no journal, no change.
        if (!root)
            QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
        run = runChild(Driver, {"pages", path, "3,5", "1"}, {}, true);
        if (!root)
            QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errorText.contains("-journal cannot be created (Permission denied); the file "
                                        "is as it was."),
                 qPrintable(run.errorText));
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(journalOf(path)));
    }
};

QTEST_GUILESS_MAIN(PageFileWriteTest)
#include "tst_pagefile_write.moc"
