// A writer killed at every write and sync point of a command, and halfway
// through every write: the next open leaves the file exactly as it was before
// the command or exactly as the command made it, and removes the journal. So
// does an open killed while it undoes a command, and a reader that had the
// file open when the writer died.
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "tests/durability/DurabilityTestSupport.h"

using zorvane::jet::PageFile;
using namespace zorvane::tests;

class CrashPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;
    QByteArray before_, after_;
    QStringList points_;  // the command's points, in order

    void fresh() { restore(path_, before_); }
    // The command: pages 1, 3 and 5 changed, two appended.
    QStringList command(const QString& path) const { return {"pages", path, "2", "1", "3", "5"}; }
    int crashAt(int point, bool tear, const QStringList& arguments) {
        return runProcess(Driver, arguments, false, crashEnvironment(point, tear)).status;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath("oui.mdb");
        before_ = bytesOf(samples::writeSamples(dir_.path(), "samples.mdb"));
        QVERIFY(!before_.isEmpty());
        after_ = before_;
        const auto pages = static_cast<std::uint32_t>(before_.size() / qsizetype(PageSize));
        after_.resize(before_.size() + 2 * qsizetype(PageSize));
        for (const std::uint32_t n : {1u, 3u, 5u, pages, pages + 1})
            fillPage(reinterpret_cast<std::uint8_t*>(after_.data()) + n * qsizetype(PageSize), n);

        // One clean run: the command's points, in the order that keeps it
        // whole or undoable (journal, folder, pages, file sync, journal end),
        // and the state it leaves.
        fresh();
        points_ = pointsOf(Driver, command(path_), dir_.filePath("points.log"));
        QCOMPARE(points_, (QStringList{"journal write", "journal sync", "folder sync", "page write",
                                       "page write", "page write", "page write", "page write",
                                       "file sync", "journal end", "journal remove"}));
        QCOMPARE(bytesOf(path_), after_);
    }

    // The next open (by a reader) settles the file; which side it lands on
    // follows from how far the command got (J1, J3).
    void killedAtEveryPoint() {
        verifyCrashes(Driver, command(path_), points_, {"open", path_, "read"}, path_, before_, after_);
    }

    // The open that undoes a command is itself killed at each of its points
    // (and halfway through each write): the open after it still gets the
    // file back to before the command (J3).
    void killedWhileUndoing() {
        // Killed halfway through writing the last appended page: an undo
        // restores three pages and cuts the appended ones off.
        int undoPoints = 0;
        for (int point = 1; !undoPoints; ++point) {
            for (const bool tear : {false, true}) {
                fresh();
                QCOMPARE(crashAt(3 + 5, true, command(path_)), fault::CrashStatus);
                const int undo = crashAt(point, tear, {"open", path_, "write"});
                if (undo == 0) {
                    QVERIFY(!tear);
                    undoPoints = point - 1;
                    break;
                }
                QCOMPARE(undo, fault::CrashStatus);
                QCOMPARE(runProcess(Driver, {"open", path_, "read"}).status, 0);
                QVERIFY(!QFile::exists(journalOf(path_)));
                QVERIFY2(bytesOf(path_) == before_, qPrintable(QString("undo killed at %1").arg(point)));
            }
        }
        QVERIFY(!QFile::exists(journalOf(path_)));
        QVERIFY(bytesOf(path_) == before_);
        // Three pages put back, the size cut back, one sync, the removal.
        QCOMPARE(undoPoints, 3 + 1 + 1 + 1);
    }

    // A journal cut off while it was written means the file was not touched:
    // it is removed, whatever is in it (J2).
    void tornOrForeignJournalIsRemoved() {
        for (const QByteArray& journal : {QByteArray(), QByteArray("ZVJOURNL"), QByteArray(5000, 'x')}) {
            fresh();
            QVERIFY(writeBytes(journalOf(path_), journal));
            PageFile file(path_.toStdString(), PageFile::Mode::ReadWrite);
            QVERIFY(!QFile::exists(journalOf(path_)));
            QCOMPARE(bytesOf(path_), before_);
        }
    }

    // A writer that opened the file through a link and died leaves the
    // journal beside the file itself, where an open by its real name finds it.
    void journalFoundWhateverTheName() {
        fresh();
        const QString link = dir_.filePath("link.mdb");
        QVERIFY(QFile::link(path_, link));
        QCOMPARE(crashAt(3 + 2, true, command(link)), fault::CrashStatus);
        QVERIFY(QFile::exists(journalOf(path_)));
        QVERIFY(!QFile::exists(journalOf(link)));
        PageFile file(path_.toStdString());
        QVERIFY(!QFile::exists(journalOf(path_)));
        QCOMPARE(bytesOf(path_), before_);
    }

    // A reader that opened the file before a writer died halfway through its
    // command never reads the half-written pages: its next read rolls the
    // command back and, since the file changed under it, stops with an error;
    // opened again, it reads the file as it was (J5).
    void readerOpenAcrossAWriterThatDied() {
        fresh();
        {
            PageFile reader(path_.toStdString());
            QCOMPARE(pageOf(reader.page(1)), pageOf(before_, 1));
            QCOMPARE(crashAt(3 + 2, true, command(path_)), fault::CrashStatus);
            QVERIFY(liveJournal(path_));
            QVERIFY(errorOf([&] { reader.page(3); })
                        .endsWith("the file was changed by another program while it was being read; open it again."));
            QVERIFY(!QFile::exists(journalOf(path_)));
            QCOMPARE(bytesOf(path_), before_);
            QVERIFY(reader.page(1) != nullptr);  // pages it holds stay readable
        }
        PageFile again(path_.toStdString());
        QCOMPARE(pageOf(again.page(3)), pageOf(before_, 3));

        // A finished command of another program stops the reader the same way.
        fresh();
        PageFile reader(path_.toStdString());
        reader.page(1);
        QCOMPARE(runProcess(Driver, command(path_)).status, 0);
        QVERIFY_THROWS_EXCEPTION(zorvane::jet::Error, reader.page(4));
    }
};

QTEST_GUILESS_MAIN(CrashPagesTest)
#include "tst_crash_pages.moc"
