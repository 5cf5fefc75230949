// The write side case by case: refusals that leave the file untouched, the
// cursor and pending values, a table outgrowing its inline page maps,
// zorvane-db's commands with long values, and a check that finds damage.
#include "records/VendorTable.h"
#include "records/jet/UsageMap.h"
#include "tests/edit/EditTestSupport.h"
#include "tests/support/SampleDatabases.h"

#include "records/jet/Database.h"
#include "records/jet/Format.h"

using namespace zorvane;
using namespace zorvane::test;
namespace vendor = zorvane::records::vendor;
namespace fmt = zorvane::jet::format;

namespace {

ProcessResult zorvaneDb(const QStringList& arguments) { return runProcess(zorvaneDbPath(), arguments); }

// Live rows on the file's long-value pages.
int liveLongValueRows(const QString& path) {
    jet::PageFile file(QFile::encodeName(path).toStdString());
    int rows = 0;
    for (std::uint32_t p = 0; p < file.pageCount(); ++p) {
        const std::uint8_t* page = file.page(p);
        if (page[0] == fmt::PageData && std::memcmp(page + fmt::DataOwnerOffset, "LVAL", 4) == 0)
            for (int s = 0; s < fmt::le16(page + fmt::DataRowCountOffset); ++s)
                rows += (fmt::le16(page + fmt::DataRowTableOffset + 2 * s) & fmt::RowDeletedRow) == 0;
    }
    return rows;
}

QStringList codes(const QString& path) {
    QStringList out;
    for (const Row& row : readRecordSet(path, "oui").rows)
        out << row[0].value_or("<null>");
    return out;
}

} // namespace

class EditFocusedTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

private slots:
    void init() { dir_ = scratchDir(); }

    // Writes to a table with indexes or an AutoNumber field are refused
    // before the file is touched, by the record set and by zorvane-db alike;
    // the set stays readable.
    // Tables with indexes and AutoNumber fields are written, their indexes
    // kept; a key an index does not allow is refused and nothing changes.
    void indexedTables() {
        const QString path = samples::writeSamples(dir_->path());
        {
            records::RecordSet set(path, "Indexed");
            set.AddNew();
            set.Fields("Label").setValue("added");
            set.Update();
            set.MoveFirst();
            set.Edit();
            set.Fields("Label").setValue("changed");
            set.Update();
            set.Delete();
        }
        const ProcessResult counted = zorvaneDb({"add", path, "Counter", "Label=x"});
        QVERIFY2(counted.status == 0, counted.err.constData());
        QCOMPARE(readMdbExport(path, "Counter").rows.last(), (Row{Value("8"), Value("x")}));
        QCOMPARE(readMdbReader(path, "Indexed").rows.last(), (Row{Value("301"), Value(), Value("added")}));
        const QByteArray before = bytesOf(path);
        const ProcessResult add = zorvaneDb({"add", path, "Indexed", "ID=5", "Label=x"});
        QCOMPARE(add.status, 1);
        QVERIFY2(add.err.contains("would give index \"PrimaryKey\" of table \"Indexed\" two records with the same key, "
                                  "which the index does not allow."), add.err.constData());
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(path + "-journal"));
        const ProcessResult check = zorvaneDb({"check", path});
        QVERIFY2(check.status == 0, check.out.constData());
    }

    // A set whose file another program changed after it read it refuses its
    // first change and reads again (a second writer: tst_pagefile_write).
    void otherWriters() {
        const QString path = vendorFile(dir_->path(), 60);
        records::RecordSet set(path, "oui");
        set.Move(5);
        QCOMPARE(zorvaneDb({"delete", path, "oui", "0"}).status, 0);
        QVERIFY(errorOf([&] { set.Edit(); })
                    .contains("was changed by another program since it was read, so nothing was changed"));
        QCOMPARE(set.RecordCount(), 59);
        set.MoveFirst();
        set.Move(5);
        set.Edit();
        set.Fields("Vendor").setValue("Mine");
        set.Update();
        const Table exported = readMdbExport(path, "oui");
        QCOMPARE(exported.rows.size(), 59);
        QCOMPARE(exported.rows[5][vendor::Vendor], Value("Mine"));
    }

    // The cursor and the record being changed, step by step.
    void cursorAndPendingValues() {
        const QString path = vendorFile(dir_->path(), 50);
        const QStringList original = codes(path);
        records::RecordSet set(path, "oui");
        set.Move(7);
        set.Edit();
        set.Fields("Code").setValue("AA-BB-CC");
        QCOMPARE(set.Fields("Code").Value(), Value("AA-BB-CC"));  // shows the assignment
        set.MoveNext();                                            // drops the edit
        QCOMPARE(set.Fields("Code").Value(), Value(original[8]));
        QVERIFY(errorOf([&] { set.Update(); }).contains("Edit or AddNew comes first"));
        QCOMPARE(codes(path), original);

        // A shrinking update stays in place, the cursor on it; a text longer
        // than its field is refused at once.
        set.MoveFirst();
        set.Move(7);
        set.Edit();
        set.Fields("Code").setValue("AA-BB-CC");
        set.Fields("Vendor").setValue("V");
        QVERIFY(errorOf([&] { set.Fields("Vendor").setValue(QString(256, 'v')); })
                    .contains("field \"Vendor\" takes at most 255 characters; the text has 256"));
        set.Update();
        QCOMPARE(set.AbsolutePosition(), 7);
        QCOMPARE(readRecordSet(path, "oui").rows[7].mid(0, 2), Row({"AA-BB-CC", "V"}));

        // AddNew: unassigned fields read null; the record goes last and the
        // cursor stays where it was.
        set.AddNew();
        QCOMPARE(set.Fields("Address").Value(), Value());
        set.Fields("Code").setValue("00-00-01");
        set.Update();
        QCOMPARE(set.AbsolutePosition(), 7);
        QCOMPARE(set.RecordCount(), 51);
        set.MoveLast();
        QCOMPARE(set.Fields("Code").Value(), Value("00-00-01"));
        QCOMPARE(set.Fields("Vendor").Value(), Value());

        // Delete: no current record until the cursor moves; MoveNext reaches
        // the record that followed; Requery makes the first record current.
        set.MoveFirst();
        set.Move(2);
        set.Delete();
        QCOMPARE(set.AbsolutePosition(), -1);
        QVERIFY(errorOf([&] { set.Fields("Code").Value(); }).contains("(it was deleted)"));
        set.MoveNext();
        QCOMPARE(set.Fields("Code").Value(), Value(original[3]));
        QCOMPARE(set.AbsolutePosition(), 2);
        set.Requery();
        QCOMPARE(set.AbsolutePosition(), 0);
        QCOMPARE(set.RecordCount(), 50);
        QCOMPARE(checkProblems(path), QStringList());
    }

    // A table that grows past what its inline page map reaches gets a
    // reference map, and the database's page map grows with the file; the
    // record set reads the table through it as the other readers do.
    void outgrowsInlineMaps() {
        std::mt19937 rng(3);
        std::vector<records::VendorRecord> vendors = makeVendors(470, rng);
        for (records::VendorRecord& v : vendors)  // one record a page
            v.fields[records::vendor::Address] = QString(1900, 'x') + *v.fields[records::vendor::Code];
        const QString path = writeVendorDatabase(dir_->path(), vendors);
        auto mapRow = [&](bool global) {
            jet::Database db(QFile::encodeName(path).toStdString());
            const jet::RowSpan row = jet::rowAtPointer(
                db.file(), global ? (fmt::GlobalUsageMapPage << 8) : db.openTable("oui")->def().usedPages, "map");
            return std::pair<int, int>(row.data[0], int(row.length));
        };
        QCOMPARE(mapRow(false).first, int(fmt::UsageMapInline));
        const int globalBefore = mapRow(true).second;
        {
            records::RecordSet set(path, "oui");
            for (int i = 0; i < 80; ++i) {
                set.AddNew();
                set.Fields("Code").setValue(QString("AD-%1").arg(i));
                set.Fields("Address").setValue(QString(1900, 'y') + QString::number(i));
                set.Update();
            }
        }
        QCOMPARE(mapRow(false).first, int(fmt::UsageMapReference));
        QVERIFY(mapRow(true).second > globalBefore);
        QCOMPARE(checkProblems(path), QStringList());
        for (const Table& t : {readRecordSet(path, "oui"), readMdbExport(path, "oui"), readMdbReader(path, "oui")}) {
            QCOMPARE(t.rows.size(), 550);
            QCOMPARE(t.rows[469][vendor::Code], vendors[469].fields[vendor::Code]);
            QCOMPARE(t.rows[549].mid(0, 3), Row({"AD-79", Value(), QString(1900, 'y') + "79"}));
        }
    }

    // zorvane-db's record commands end to end, and their refusals. Memo
    // values too long for the row go onto long-value pages (a chain of them, or
    // one page each); replaced or deleted, their rows are given back.
    void commands() {
        const QString path = vendorFile(dir_->path(), 20);
        const int longRows = liveLongValueRows(path);
        QString huge;
        for (int i = 0; huge.size() < 20000; ++i)
            huge += QString("Line %1 of a very long address\r\n").arg(i);
        const QString wide = QString(1800, QChar(0x6F22));  // 3600 bytes: one page of its own
        QStringList expected = codes(path);
        QCOMPARE(zorvaneDb({"add", path, "oui", "Code=01-02-03", "Vendor=Added, Inc.", "Address=" + huge}).status, 0);
        QCOMPARE(zorvaneDb({"add", path, "oui", "Code=0a:0b:0c", "Address=" + wide,
                            "Address1=" + QString(255, QChar(0x416))}).status, 0);
        QCOMPARE(zorvaneDb({"update", path, "oui", "4", "code=09-09-09"}).status, 0);  // any case
        QCOMPARE(zorvaneDb({"delete", path, "oui", "0"}).status, 0);
        expected << "01-02-03" << "0A-0B-0C";  // stored in the table's form
        expected[4] = "09-09-09";
        expected.removeFirst();
        QCOMPARE(codes(path), expected);
        QVERIFY(liveLongValueRows(path) >= longRows + 3);
        for (const Table& t : {readRecordSet(path, "oui"), readMdbExport(path, "oui"), readMdbReader(path, "oui")}) {
            QCOMPARE(t.rows[19].mid(1, 2), Row({"Added, Inc.", huge}));
            QCOMPARE(t.rows[20][2], Value(wide));
        }
        QCOMPARE(zorvaneDb({"update", path, "oui", "19", "Address=short now"}).status, 0);
        QCOMPARE(zorvaneDb({"delete", path, "oui", "20"}).status, 0);
        QCOMPARE(liveLongValueRows(path), longRows);
        QCOMPARE(readMdbReader(path, "oui").rows[19][2], Value("short now"));

        const QByteArray before = bytesOf(path);
        const std::pair<QStringList, const char*> refused[] = {
            {{"update", path, "oui", "21", "Vendor=x"}, "table oui has 20 records (0 to 19), so there is no record 21."},
            {{"delete", path, "oui", "-1"}, "is not a whole number of 0 or more"},
            {{"update", path, "oui", "1", "Vendr=x"}, "has no field \"Vendr\""},
            {{"update", path, "oui", "1", "Vendor"}, "\"Vendor\" is not FIELD=VALUE"},
            {{"add", path, "oui"}, "usage: zorvane-db add"},
            {{"add", path, "nope", "Code=1"}, "there is no table \"nope\""},
        };
        for (const auto& [arguments, message] : refused) {
            const ProcessResult run = zorvaneDb(arguments);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains(message), run.err.constData());
        }
        QCOMPARE(bytesOf(path), before);
        const ProcessResult check = zorvaneDb({"check", path});
        QCOMPARE(check.status, 0);
        QVERIFY(check.out.endsWith("the structure is consistent (" + QByteArray::number(before.size() / 4096) +
                                   " pages).\n"));
    }

    // The check finds each kind of damage, one line for each.
    void checkFindsDamage() {
        const QString path = vendorFile(dir_->path(), 60);
        {
            records::RecordSet set(path, "oui");
            set.Edit();
            set.Fields("Vendor").setValue(QString(255, QChar(0x3A9)));
            set.Fields("Address").setValue(QString(200, QChar(0x416)));
            set.Update();
        }
        jet::Database db(QFile::encodeName(path).toStdString());
        const auto table = db.openTable("oui");
        const jet::RowPlace moved = table->place(59);  // the first record, moved: a pointer stays behind
        const std::uint32_t tdef = table->def().page;
        QVERIFY(moved.moved());
        const QByteArray sound = bytesOf(path);
        QCOMPARE(checkProblems(path), QStringList());
        auto at = [](QByteArray& b, std::size_t page, std::size_t offset) {
            return reinterpret_cast<std::uint8_t*>(b.data()) + page * fmt::PageSize + offset;
        };
        // Clears `page` in the inline usage map (from page 0) at row pointer `map`.
        auto unmark = [&](QByteArray& b, std::uint32_t map, std::uint32_t page) {
            const std::size_t row = fmt::le16(at(b, fmt::pointerPage(map), fmt::DataRowTableOffset + 2u * fmt::pointerRow(map)));
            *at(b, fmt::pointerPage(map), (row & fmt::RowOffsetMask) + 5 + page / 8) &= std::uint8_t(~(1u << (page % 8)));
        };
        const jet::TableDef catalog = jet::readTableDef(db.file(), fmt::CatalogTableDefPage, "MSysObjects");
        const std::uint32_t catalogPage = jet::UsageMap::at(db.file(), catalog.usedPages, "").pages().front();
        const std::pair<std::function<void(QByteArray&)>, QString> cases[] = {
            {[&](QByteArray& b) {
                 std::uint8_t* free = at(b, moved.page, fmt::DataFreeSpaceOffset);
                 fmt::put16(free, std::uint16_t(fmt::le16(free) + 1));
             },
             QString("page %1 records").arg(moved.page)},
            {[&](QByteArray& b) { fmt::put32(at(b, tdef, fmt::TdefRowCountOffset), 61); },
             "table \"oui\" records 61 records, but holds 60"},
            {[&](QByteArray& b) {  // the page map's bitmap: 5 bytes into the first row on page 1
                 *at(b, 1, fmt::le16(at(b, 1, fmt::DataRowTableOffset)) + 5 + moved.page / 8) |=
                     std::uint8_t(1u << (moved.page % 8));
             },
             QString("page %1 is in use by table \"oui\", but the database's page map marks it free").arg(moved.page)},
            {[&](QByteArray& b) {  // the pointer left behind leads to a wrong row
                 const std::size_t entry = fmt::DataRowTableOffset + 2u * moved.homeSlot;
                 *at(b, moved.homePage, fmt::le16(at(b, moved.homePage, entry)) & fmt::RowOffsetMask) =
                     std::uint8_t(moved.slot + 1);
             },
             QString("no pointer leads to the moved row at page %1, row %2").arg(moved.page).arg(moved.slot)},
            {[&](QByteArray& b) { unmark(b, table->def().usedPages, moved.page); },  // a page no table owns
             QString("page %1 is marked in use in the database's page map, but no table owns it").arg(moved.page)},
            {[&](QByteArray& b) { unmark(b, catalog.usedPages, catalogPage); },  // a lost catalog page
             QString("page %1 is marked in use in the database's page map, but no table owns it").arg(catalogPage)},
        };
        const QString copy = QDir(dir_->path()).filePath("damaged.mdb");
        for (const auto& [damage, expected] : cases) {
            QByteArray bytes = sound;
            damage(bytes);
            QVERIFY(writeBytes(copy, bytes));
            const ProcessResult run = zorvaneDb({"check", copy});
            QCOMPARE(run.status, 1);
            QVERIFY2(QString::fromUtf8(run.out).contains(expected), run.out.constData());
        }
    }
};

QTEST_GUILESS_MAIN(EditFocusedTest)
#include "tst_edit_focused.moc"
