// A writer killed at every write and sync point of a command, and halfway
// through every write: the next open leaves the file exactly as it was before
// the command or exactly as the command made it, never anything between, and
// removes the journal. So does an open killed while it undoes a command.
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/FaultPoints.h"
#include "records/jet/Format.h"
#include "records/jet/PageFile.h"
#include "tests/durability/DurabilityTestSupport.h"
#include "tests/durability/PagePattern.h"

#include <QtTest>

using zorvane::jet::PageFile;
using zorvane::jet::format::PageSize;
namespace fault = zorvane::jet::fault;
using namespace zorvane::tests;

namespace {

const QString Driver = QStringLiteral(DURABILITY_DRIVER);
// The command: three pages changed, two appended.
const QString ChangedPages = QStringLiteral("1,3,5");
const int AppendedPages = 2;

QStringList pointNames(const QString& log) {
    QStringList names;
    for (const QString& line : QString::fromUtf8(bytesOf(log)).split('\n', Qt::SkipEmptyParts))
        names << line.section(' ', 1);
    return names;
}

} // namespace

class CrashPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;
    QByteArray before_;
    QByteArray after_;
    QStringList points_;  // the command's points, in order

    void fresh() {
        QVERIFY(writeBytes(path_, before_));
        QFile::remove(journalOf(path_));
    }
    ChildResult crashAt(int point, bool tear, const QStringList& command) {
        QStringList env{"ZORVANE_CRASH_POINT=" + QString::number(point)};
        if (tear)
            env << "ZORVANE_CRASH_TEAR=1";
        return runChild(Driver, command, env);
    }
    QStringList commandArguments() const {
        return {"pages", path_, ChangedPages, QString::number(AppendedPages)};
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath("oui.mdb");
        before_ = bytesOf(fixture("testV2000.mdb"));
        QVERIFY(!before_.isEmpty());
        after_ = before_;
        const auto pages = static_cast<std::uint32_t>(before_.size() / qsizetype(PageSize));
        after_.resize(before_.size() + AppendedPages * qsizetype(PageSize));
        std::vector<std::uint32_t> changed = pageList(ChangedPages.toStdString());
        for (int i = 0; i < AppendedPages; ++i)
            changed.push_back(pages + static_cast<std::uint32_t>(i));
        for (const std::uint32_t n : changed)
            fillPage(reinterpret_cast<std::uint8_t*>(after_.data()) + qsizetype(n) * qsizetype(PageSize), n);

        // One clean run: the command's points, and the state it leaves.
        fresh();
        const QString log = dir_.filePath("points.log");
        const ChildResult run = runChild(Driver, commandArguments(), {"ZORVANE_FAULT_LOG=" + log});
        QCOMPARE(run.status, 0);
        QCOMPARE(bytesOf(path_), after_);
        points_ = pointNames(log);
        // Journal write and sync, folder sync, 5 page writes, file sync,
        // journal end, and its removal when the writer closes the file.
        QCOMPARE(points_.size(), 3 + 5 + 3);
    }

    // Killed before each point, and halfway through each write: the next
    // open (by a reader) settles the file; which side it lands on follows
    // from how far the command got.
    void killedAtEveryPoint() {
        for (int point = 1; point <= points_.size(); ++point) {
            const QString name = points_[point - 1];
            for (const bool tear : {false, true}) {
                if (tear && !name.endsWith("write"))
                    continue;
                fresh();
                const ChildResult run = crashAt(point, tear, commandArguments());
                const QString where = QString("point %1 (%2%3)")
                                          .arg(point)
                                          .arg(name, tear ? ", torn" : "");
                QVERIFY2(run.status == fault::CrashStatus, qPrintable(where + ": " + run.errorText));
                // The file as the crash left it may be anything; the next
                // open settles it.
                const ChildResult open = runChild(Driver, {"open", path_, "read"});
                QVERIFY2(open.status == 0, qPrintable(where + ": " + open.errorText));
                QVERIFY2(!liveJournal(path_), qPrintable(where));
                const QByteArray now = bytesOf(path_);
                // Every page written (only the sync or the journal's end was
                // missed): the command is whole. Anything earlier: undone.
                const bool whole =
                    name == "file sync" || name == "journal end" || name == "journal remove";
                QVERIFY2(now == (whole ? after_ : before_),
                         qPrintable(where + (now == after_    ? ": after, expected before"
                                             : now == before_ ? ": before, expected after"
                                                              : ": neither before nor after")));
                zorvane::jet::Database database(path_.toStdString());
                QVERIFY(!database.tables().empty());
            }
        }
    }

    // The open that undoes a command is itself killed at each of its points
    // (and halfway through each write): the open after it still gets the
    // file back to before the command.
    void killedWhileUndoing() {
        // Killed halfway through writing the last appended page: an undo
        // restores three pages and cuts the appended ones off.
        const int lastChangedWrite = 3 + 5;
        QCOMPARE(points_[lastChangedWrite - 1], QString("page write"));
        int undoPoints = 0;
        for (int point = 1;; ++point) {
            for (const bool tear : {false, true}) {
                fresh();
                QCOMPARE(crashAt(lastChangedWrite, true, commandArguments()).status,
                         fault::CrashStatus);
                const ChildResult undo = crashAt(point, tear, {"open", path_, "write"});
                if (undo.status == 0) {
                    QVERIFY(!tear);
                    undoPoints = point - 1;
                } else {
                    QVERIFY2(undo.status == fault::CrashStatus, qPrintable(undo.errorText));
                    const ChildResult open = runChild(Driver, {"open", path_, "read"});
                    QVERIFY2(open.status == 0, qPrintable(open.errorText));
                }
                QVERIFY(!QFile::exists(journalOf(path_)));
                QVERIFY2(bytesOf(path_) == before_,
                         qPrintable(QString("undo killed at point %1%2").arg(point).arg(tear ? ", torn" : "")));
                if (undoPoints)
                    break;
            }
            if (undoPoints)
                break;
        }
        // Three pages put back, the size cut back, one sync, the removal.
        QCOMPARE(undoPoints, 3 + 1 + 1 + 1);
    }

    // A journal cut off while it was written means the file was not touched:
    // it is removed, whatever is in it.
    void tornOrForeignJournalIsRemoved() {
        for (const QByteArray& journal :
             {QByteArray(), QByteArray("ZVJOURNL"), QByteArray(5000, 'x')}) {
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
        QFile::remove(link);
        QVERIFY(QFile::link(path_, link));
        QCOMPARE(crashAt(3 + 2, true, {"pages", link, ChangedPages, "0"}).status,
                 fault::CrashStatus);
        QVERIFY(QFile::exists(journalOf(path_)));
        QVERIFY(!QFile::exists(journalOf(link)));
        PageFile file(path_.toStdString());
        QVERIFY(!QFile::exists(journalOf(path_)));
        QCOMPARE(bytesOf(path_), before_);
    }

    // A reader that opened the file before a writer died halfway through its
    // command never reads the half-written pages: its next read from disk
    // rolls the command back, and since the file changed under it, it stops
    // with an error; opened again, it reads the file as it was.
    void readerOpenAcrossAWriterThatDied() {
        fresh();
        {
            PageFile reader(path_.toStdString());
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(reader.page(1)), PageSize),
                     before_.mid(qsizetype(PageSize), qsizetype(PageSize)));
            QCOMPARE(crashAt(3 + 2, true, commandArguments()).status, fault::CrashStatus);
            QVERIFY(liveJournal(path_));
            try {
                reader.page(3);
                QFAIL("a reader read on after the file changed under it");
            } catch (const zorvane::jet::Error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).endsWith(
                             "the file was changed by another program while it was being "
                             "read; open it again."),
                         e.what());
            }
            QVERIFY(!QFile::exists(journalOf(path_)));
            QCOMPARE(bytesOf(path_), before_);
            // Pages it holds stay readable.
            QVERIFY(reader.page(1) != nullptr);
        }
        PageFile again(path_.toStdString());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(again.page(3)), PageSize),
                 before_.mid(3 * qsizetype(PageSize), qsizetype(PageSize)));

        // A finished command of another program stops the reader the same way.
        fresh();
        PageFile reader(path_.toStdString());
        reader.page(1);
        QCOMPARE(runChild(Driver, commandArguments()).status, 0);
        QVERIFY_THROWS_EXCEPTION(zorvane::jet::Error, reader.page(4));
    }
};

QTEST_GUILESS_MAIN(CrashPagesTest)
#include "tst_crash_pages.moc"
