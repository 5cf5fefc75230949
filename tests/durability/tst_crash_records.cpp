// zorvane-db add, update (a row grown past its page, one shrunk) and delete
// on a small vendor database, killed at every write and sync point (see
// verifyCrashes), then checked; a full disk leaves the file as it was.
#include "records/jet/CreateDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/IndexTree.h"
#include "records/jet/IndexWriter.h"
#include "records/jet/PageFile.h"
#include "records/jet/TableWriter.h"
#include "tests/durability/DurabilityTestSupport.h"

using namespace zorvane::tests;
namespace format = zorvane::jet::format;

namespace {

const QString Tool = zorvaneDbFaultsPath();
const QString Listing = QStringLiteral("/usr/share/ieee-data");

// The first entries of each registry file of the listing, cut at an entry's
// end: a vendor database of a few hundred records whose pages are full.
bool writeSmallListing(const QString& folder) {
    for (const auto& [name, count] : {std::pair{"oui.txt", 1500}, {"mam.txt", 200}, {"oui36.txt", 200}, {"iab.txt", 200}}) {
        const QList<QByteArray> lines = bytesOf(Listing + "/" + name).split('\n');
        if (lines.size() < count)
            return false;
        QByteArray out;
        for (qsizetype i = 0; i < lines.size() && !(i > count && lines[i - 1].trimmed().isEmpty()); ++i)
            out += lines[i] + '\n';
        if (!writeBytes(folder + "/" + name, out))
            return false;
    }
    return true;
}

QByteArray exportOf(const QString& path) {
    const ProcessResult run = runProcess("mdb-export", {path, "oui"});
    return run.status == 0 ? run.out : "mdb-export failed: " + run.err;
}

// Rows of table "oui" moved to another page (a pointer left in their place).
int movedRows(const QString& path) {
    zorvane::jet::Database database(path.toStdString());
    const std::uint32_t owner = database.openTable("oui")->def().page;
    zorvane::jet::PageFile& file = database.file();
    int moved = 0;
    for (std::uint32_t n = 3; n < file.pageCount(); ++n) {
        const std::uint8_t* page = file.page(n);
        if (page[0] != format::PageData || format::le32(page + format::DataOwnerOffset) != owner)
            continue;
        for (std::uint16_t r = 0; r < format::le16(page + format::DataRowCountOffset); ++r)
            moved += (format::le16(page + format::DataRowTableOffset + 2 * std::size_t(r)) &
                      format::RowDeletedRow) == format::RowOverflowFlag;
    }
    return moved;
}

} // namespace

class CrashRecordsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString base_;  // the small vendor database
    QByteArray baseBytes_, baseExport_;
    QString path_;  // the working copy each run writes

    void fresh() { restore(path_, baseBytes_); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        if (!QFile::exists(Listing + "/oui.txt"))
            QSKIP("the ieee-data listing is not installed");
        const QString listing = dir_.filePath("listing");
        QVERIFY(QDir().mkpath(listing));
        QVERIFY(writeSmallListing(listing));
        base_ = dir_.filePath("base.mdb");
        const ProcessResult import = runProcess(Tool, {"import", "--min-entries", "1", "--from", listing, base_});
        QVERIFY2(import.status == 0, import.err.constData());
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
                                            "Address=1 Crash Street, Testville"} << false;
        QTest::newRow("update grows past its page")
            << QStringList{"update", "150", "Vendor=" + longText.left(250), "Address=" + longText.left(240)} << true;
        QTest::newRow("update shrinks") << QStringList{"update", "151", "Vendor=V", "Address=A"} << false;
        QTest::newRow("delete") << QStringList{"delete", "152"} << false;
    }

    void killedAtEveryPoint() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, moves);
        QStringList command{arguments.first(), path_, "oui"};
        command << arguments.mid(1);

        // The clean run: the state after, and the command's points.
        fresh();
        const QStringList names = pointsOf(Tool, command, dir_.filePath("points.log"));
        QVERIFY2(names.contains("file sync"), qPrintable(names.join(", ")));
        QCOMPARE(names.count("journal write"), 1);  // one command, one commit
        const QByteArray afterBytes = bytesOf(path_);
        const QByteArray afterExport = exportOf(path_);
        QVERIFY(afterExport != baseExport_);
        QCOMPARE(runProcess(Tool, {"check", path_}).status, 0);
        if (moves)
            QVERIFY2(movedRows(path_) > movedRows(base_), "the grown row did not move");

        // check opens the file first, which settles it, then checks it; the
        // bytes as before or after give mdb-export's records from then.
        verifyCrashes(Tool, command, names, {"check", path_}, path_, baseBytes_, afterBytes);
    }

    // An add that splits the full index page of an indexed table (its root
    // keeps its number over two new leaves), killed at every point: rows
    // and index are of the state before or after, and the check passes.
    void indexSplitKilledAtEveryPoint() {
        namespace jet = zorvane::jet;
        const QString path = dir_.filePath("indexed.mdb");
        const jet::NewTable table{"Indexed", {{"ID", jet::format::TypeLong, 255, true}, {"Label"}}, {{"PrimaryKey", {0}, true}}};
        std::vector<jet::NewRow> rows;
        for (int i = 0; i < 400; ++i)
            rows.push_back({QString::number((i - 200) * 1000003).toStdU16String(), u"x"});
        jet::createDatabase(path.toStdString(), {{table, rows}});
        const QStringList command{"add", path, "Indexed", "Label=y"};
        for (int i = 400; i < 451; ++i)  // 451 entries of 8 bytes (the first 9) fill the page
            QCOMPARE(runProcess(Tool, command).status, 0);
        const QByteArray before = bytesOf(path);
        const QStringList names = pointsOf(Tool, command, dir_.filePath("points.log"));
        const QByteArray after = bytesOf(path);
        QVERIFY(after.size() >= before.size() + 2 * qsizetype(jet::format::PageSize));  // two new leaves
        const ProcessResult check = runProcess(Tool, {"check", path});
        QVERIFY2(check.status == 0, check.out.constData());
        verifyCrashes(Tool, command, names, {"check", path}, path, before, after);
    }

    // A three-level index (pages made small here and, through the environment,
    // in the tool): an add that splits a leaf and the node above it, a delete
    // that empties the new leaf (freed), and an add that splits the leaf before
    // it into the freed page (the file does not grow), each killed at every point.
    void indexNodeSplitAndReuseKilledAtEveryPoint() {
        namespace jet = zorvane::jet;
        const QString path = dir_.filePath("deep.mdb");
        const jet::NewTable table{"Deep", {{"ID", jet::format::TypeLong, 255, true}, {"Label"}}, {{"PrimaryKey", {0}, true}}};
        jet::createDatabase(path.toStdString(), {{table, {}}});
        qputenv("ZORVANE_INDEX_PAGE_ROOM", "60");
        jet::Options small;
        small.indexPageRoom = 60;
        int rows = 0;
        for (;; ++rows) {  // one command a record, up to the add that splits a leaf and a node (not the root leaf)
            jet::Database db(path.toStdString(), jet::PageFile::Mode::ReadWrite, small);
            const jet::TableDef def = db.openTable("Deep")->def();
            const std::size_t pages = jet::readIndexTree(db.file(), def, 0).pages.size();
            db.file().begin();
            jet::TableWriter w(db.file(), def);
            w.insert({{1, u"y"}});
            w.finish();
            if (pages > 1 && jet::readIndexTree(db.file(), def, 0).pages.size() == pages + 2)
                break;  // that command is dropped
            db.file().commit();
        }
        const QStringList add{"add", path, "Deep", "Label=y"}, remove{"delete", path, "Deep", QString::number(rows)};
        const qsizetype growth[] = {2, 0, 0};  // pages
        for (int step = 0; step < 3; ++step) {
            const QStringList& command = step == 1 ? remove : add;
            const QByteArray before = bytesOf(path);
            const QStringList names = pointsOf(Tool, command, dir_.filePath("points.log"));
            const QByteArray after = bytesOf(path);
            QCOMPARE(after.size(), before.size() + growth[step] * qsizetype(PageSize));
            QCOMPARE(runProcess(Tool, {"check", path}).status, 0);
            verifyCrashes(Tool, command, names, {"check", path}, path, before, after);
            restore(path, after);
        }
        qunsetenv("ZORVANE_INDEX_PAGE_ROOM");
    }

    // A full disk at the command's first write gives a clear error and leaves
    // the file as it was (the lock is tried in tst_pagefile_write and
    // tst_edit_focused).
    void fullDiskLeavesTheFile() {
        fresh();
        const ProcessResult run = runProcess(Tool, {"delete", path_, "oui", "3"}, false, {"ZORVANE_FAIL_POINT=1"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("No space left on device") && run.err.contains("the file is as it was"),
                 run.err.constData());
        QCOMPARE(bytesOf(path_), baseBytes_);
        QVERIFY(!QFile::exists(journalOf(path_)));
        QCOMPARE(runProcess(Tool, {"check", path_}).status, 0);
        // Free again: the same command goes through.
        QCOMPARE(runProcess(Tool, {"delete", path_, "oui", "3"}).status, 0);
    }
};

QTEST_GUILESS_MAIN(CrashRecordsTest)
#include "tst_crash_records.moc"
