// The write side case by case: refusals that leave the file untouched (an
// indexed table, a read-only file, another writer, a file changed behind the
// set's back), the record set's cursor and pending values, record numbers
// that stay valid after AddNew, long values written and given back, a table
// outgrowing the reach of its inline page maps, zorvane-db's commands, and a
// structure check that finds real damage.
#include "tests/edit/EditTestSupport.h"

#include "records/jet/Database.h"
#include "records/jet/Format.h"

#include <unistd.h>

using namespace zorvane;
using namespace zorvane::test;
namespace fmt = zorvane::jet::format;

namespace {

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// zorvane-db, optionally without root rights (uid/gid 65534) so that file
// permissions hold for it when the tests run as root.
ProcessResult zorvaneDb(const QStringList& arguments, bool unprivileged = false) {
    QProcess p;
    if (unprivileged && ::geteuid() == 0) {
        p.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(120);
        });
    }
    p.start(ZORVANE_DB, arguments);
    ProcessResult r;
    p.waitForFinished(120000);
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString vendorFile(const QString& dir, int count, quint32 seed = 7) {
    std::mt19937 rng(seed);
    const QString path = QDir(dir).filePath("oui.mdb");
    records::createVendorDatabase(path, makeVendors(count, rng), true);
    return path;
}

// Live rows on the file's long-value pages.
int liveLongValueRows(const QString& path) {
    jet::PageFile file(QFile::encodeName(path).toStdString());
    int rows = 0;
    for (std::uint32_t p = 0; p < file.pageCount(); ++p) {
        const std::uint8_t* page = file.page(p);
        if (page[0] != fmt::PageData || std::memcmp(page + fmt::DataOwnerOffset, "LVAL", 4) != 0)
            continue;
        for (int s = 0; s < fmt::le16(page + fmt::DataRowCountOffset); ++s)
            rows += (fmt::le16(page + fmt::DataRowTableOffset + 2 * s) & fmt::RowDeletedRow) == 0;
    }
    return rows;
}

QStringList codes(const QString& path) {
    QStringList out;
    for (const Row& row : readOurs(path, "oui").rows)
        out << row[0].value_or("<null>");
    return out;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class EditFocusedTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

private slots:
    void init() {
        dir_ = scratchDir();
        QVERIFY(dir_->isValid());
    }

    // Writing to a table with indexes is refused before the file is touched:
    // no byte changes and no journal is left, by the record set and by
    // zorvane-db alike.
    void indexedTableIsRefused() {
        const QString path = copyFixture(dir_->path(), "compIndexTestV2000.mdb");
        const QByteArray before = bytesOf(path);
        records::RecordSet set(path, "Table1");
        for (const QString& e : {errorOf([&] { set.Edit(); }), errorOf([&] { set.AddNew(); }),
                                 errorOf([&] { set.Delete(); })})
            QVERIFY2(e == path + ": table \"Table1\" cannot be changed: it has indexes, which this "
                              "engine does not keep up to date.",
                     qPrintable(e));
        QVERIFY(set.Fields("RS_AGENTE").Value().has_value());
        const ProcessResult add = zorvaneDb({"add", path, "Table1", "RS_AGENTE=x"});
        QCOMPARE(add.status, 1);
        QVERIFY2(add.err.contains("it has indexes"), add.err.constData());
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(path + "-journal"));
    }

    // A read-only file still reads; a write says why it cannot be done and
    // which table it was for, and the file stays as it was.
    void readOnlyFile() {
        QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther);
        const QString path = vendorFile(dir_->path(), 40);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        const QByteArray before = bytesOf(path);
        const ProcessResult update = zorvaneDb({"update", path, "oui", "3", "Vendor=Changed"}, true);
        QCOMPARE(update.status, 1);
        QCOMPARE(QString::fromUtf8(update.err).trimmed(),
                 "zorvane-db: " + path + ": the file is read-only, so it cannot be changed. "
                 "Table \"oui\" cannot be changed.");
        const ProcessResult read = zorvaneDb({"export", path, "oui"}, true);
        QCOMPARE(read.status, 0);
        QCOMPARE(parseCsv(read.out).size(), 41);
        QCOMPARE(bytesOf(path), before);
    }

    // While a set writes a file, no other program may; and a set whose file
    // another program changed after the set read it refuses its first change
    // (the record at its cursor may no longer be the one it shows) and reads
    // the file again.
    void otherWriters() {
        const QString path = vendorFile(dir_->path(), 60);
        records::RecordSet set(path, "oui");
        set.MoveFirst();
        set.Move(5);
        QCOMPARE(zorvaneDb({"delete", path, "oui", "0"}).status, 0);
        const QString changed = errorOf([&] { set.Edit(); });
        QVERIFY2(changed.contains("was changed by another program since it was read, so nothing "
                                  "was changed"),
                 qPrintable(changed));
        QCOMPARE(set.RecordCount(), 59);
        set.MoveFirst();
        set.Move(5);
        set.Edit();
        set.Fields("Vendor").setValue("Mine");
        set.Update();
        const ProcessResult second = zorvaneDb({"add", path, "oui", "Code=X"});
        QCOMPARE(second.status, 1);
        QVERIFY2(second.err.contains(path.toUtf8() + ": the file is in use by another program."),
                 second.err.constData());
        QCOMPARE(readMdbExport(path, "oui").rows[5][1], Value("Mine"));
        QCOMPARE(readMdbExport(path, "oui").rows.size(), 59);
    }

    // The cursor and the record being changed, step by step.
    void cursorAndPendingValues() {
        const QString path = vendorFile(dir_->path(), 50);
        const QStringList original = codes(path);
        records::RecordSet set(path, "oui");
        set.MoveFirst();
        set.Move(7);
        set.Edit();
        set.Fields("Code").setValue("AA-BB-CC");
        QCOMPARE(set.Fields("Code").Value(), Value("AA-BB-CC"));        // shows the assignment
        QCOMPARE(set.Fields("Vendor").Value(), readOurs(path, "oui").rows[7][1]);
        set.MoveNext();                                                  // drops the edit
        QCOMPARE(set.Fields("Code").Value(), Value(original[8]));
        QVERIFY(errorOf([&] { set.Update(); }).contains("Edit or AddNew comes first"));
        QCOMPARE(codes(path), original);

        // A shrinking update stays in place, the cursor on it.
        set.MoveFirst();
        set.Move(7);
        set.Edit();
        set.Fields("Code").setValue("AA-BB-CC");
        set.Fields("Vendor").setValue("V");
        set.Update();
        QCOMPARE(set.AbsolutePosition(), 7);
        QCOMPARE(set.Fields("Vendor").Value(), Value("V"));
        QCOMPARE(codes(path)[7], "AA-BB-CC");

        // A text longer than the field takes is refused at once; nothing is written.
        const QByteArray before = bytesOf(path);
        set.Edit();
        QVERIFY(errorOf([&] { set.Fields("Vendor").setValue(QString(256, 'v')); })
                    .contains("field \"Vendor\" takes at most 255 characters; the text has 256"));
        set.Update();
        QCOMPARE(bytesOf(path), before);

        // AddNew: unassigned fields read null; the new record goes last and
        // the cursor stays where it was.
        set.AddNew();
        QCOMPARE(set.Fields("Address").Value(), Value());
        set.Fields("Code").setValue("00-00-01");
        QCOMPARE(set.Fields("Code").Value(), Value("00-00-01"));
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

        // An update that outgrows its page: the record moves to the end (the
        // cursor with it) and its old slot keeps a pointer to it.
        set.MoveFirst();
        set.Move(10);
        const Value code = set.Fields("Code").Value();
        set.Edit();
        set.Fields("Vendor").setValue(QString(255, QChar(0x3A9)));
        set.Fields("address5").setValue(QString(255, QChar(0x416)));
        set.Update();
        QCOMPARE(set.AbsolutePosition(), 49);
        QCOMPARE(set.Fields("Code").Value(), code);
        jet::Database db(QFile::encodeName(path).toStdString());
        QVERIFY(db.openTable("oui")->place(49).moved());
        QCOMPARE(readMdbExport(path, "oui").rows[49][0], code);
        QCOMPARE(checkProblems(path), QStringList());
    }

    // Record numbers of listed results stay valid after Add: new records go
    // after every other, whatever page they land on.
    void recordNumbersSurviveAdd() {
        const QString path = vendorFile(dir_->path(), 400);
        records::RecordSet set(path, "oui");
        QList<std::pair<qint32, QString>> listed;
        set.MoveLast();
        set.MoveFirst();
        while (!set.Eof()) {
            if (set.Fields("Vendor").Value().value_or("").contains("Acme"))
                listed.append({set.AbsolutePosition(), *set.Fields("Code").Value()});
            set.MoveNext();
        }
        QVERIFY(listed.size() > 20);
        for (int i = 0; i < 5; ++i) {
            set.AddNew();
            set.Fields("Code").setValue(QString("FF-FF-%1").arg(i));
            set.Fields("Vendor").setValue("Acme added");
            set.Fields("Address").setValue(QString(i == 2 ? 3000 : 30, 'a'));
            set.Update();
            set.Requery();
        }
        for (const auto& [n, code] : listed) {
            set.MoveFirst();
            set.Move(n);
            QCOMPARE(set.Fields("Code").Value(), Value(code));
        }
    }

    // Memo values too long for the row go onto long-value pages (one page, or
    // a chain of them); replaced or deleted, their rows are given back.
    void longValues() {
        const QString path = vendorFile(dir_->path(), 30);
        const int before = liveLongValueRows(path);
        QString huge;
        for (int i = 0; huge.size() < 20000; ++i)
            huge += QString("Line %1 of a very long address\r\n").arg(i);
        const QString wide = QString(1800, QChar(0x6F22));  // 3600 bytes: one page of its own
        QCOMPARE(zorvaneDb({"add", path, "oui", "Code=L1", "Vendor=Long", "Address=" + huge}).status, 0);
        QCOMPARE(zorvaneDb({"add", path, "oui", "Code=L2", "Vendor=Wide", "Address=" + wide}).status, 0);
        QCOMPARE(zorvaneDb({"add", path, "oui", "Code=L3", "Vendor=Both", "Address=" + wide,
                            "Address1=" + QString(255, QChar(0x416))}).status, 0);
        const int grown = liveLongValueRows(path);
        QVERIFY2(grown >= before + 4, qPrintable(QString("%1 -> %2").arg(before).arg(grown)));
        for (const Snapshot& s : {readOurs(path, "oui"), readMdbExport(path, "oui"),
                                  readMdbReader(path, "oui")}) {
            QCOMPARE(s.rows.size(), 33);
            QCOMPARE(s.rows[30][2], Value(huge));
            QCOMPARE(s.rows[31][2], Value(wide));
            QCOMPARE(s.rows[32][2], Value(wide));
        }
        QCOMPARE(zorvaneDb({"update", path, "oui", "30", "Address=short now"}).status, 0);
        QCOMPARE(zorvaneDb({"delete", path, "oui", "31"}).status, 0);
        QCOMPARE(zorvaneDb({"delete", path, "oui", "31"}).status, 0);
        QCOMPARE(liveLongValueRows(path), before);
        QCOMPARE(readMdbReader(path, "oui").rows[30][2], Value("short now"));
        QCOMPARE(checkProblems(path), QStringList());
    }

    // A table that grows past what its inline page map reaches gets a
    // reference map, and the database's page map grows with the file.
    void outgrowsInlineMaps() {
        std::mt19937 rng(3);
        std::vector<records::VendorRecord> vendors = makeVendors(470, rng);
        for (records::VendorRecord& v : vendors)  // one record a page
            v.fields[2] = QString(1900, 'x') + *v.fields[0];
        const QString path = QDir(dir_->path()).filePath("oui.mdb");
        records::createVendorDatabase(path, vendors);
        auto mapRow = [&](bool global) {
            jet::Database db(QFile::encodeName(path).toStdString());
            const std::uint32_t pointer =
                global ? (fmt::GlobalUsageMapPage << 8) : db.openTable("oui")->def().usedPages;
            const jet::RowSpan row = jet::rowAtPointer(db.file(), pointer, "map");
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
        for (const Snapshot& s : {readMdbExport(path, "oui"), readMdbReader(path, "oui")}) {
            QCOMPARE(s.rows.size(), 550);
            QCOMPARE(s.rows[469][0], vendors[469].fields[0]);
            QCOMPARE(s.rows[549][0], Value("AD-79"));
            QCOMPARE(s.rows[549][2], Value(QString(1900, 'y') + "79"));
        }
    }

    // zorvane-db's record commands end to end, and their refusals.
    void commands() {
        const QString path = vendorFile(dir_->path(), 20);
        QStringList expected = codes(path);
        QCOMPARE(zorvaneDb({"add", path, "oui", "Code=01-02-03", "Vendor=Added, Inc.", "Address=1 Road"}).status, 0);
        expected << "01-02-03";
        QCOMPARE(zorvaneDb({"update", path, "oui", "4", "code=09-09-09"}).status, 0);  // any case
        expected[4] = "09-09-09";
        QCOMPARE(zorvaneDb({"delete", path, "oui", "0"}).status, 0);
        expected.removeFirst();
        QCOMPARE(codes(path), expected);
        QCOMPARE(readMdbExport(path, "oui").rows.last()[1], Value("Added, Inc."));

        const QByteArray before = bytesOf(path);
        const struct {
            QStringList arguments;
            const char* message;
        } refused[] = {
            {{"update", path, "oui", "20", "Vendor=x"}, "no current record"},
            {{"delete", path, "oui", "-1"}, "is not a whole number of 0 or more"},
            {{"update", path, "oui", "1", "Vendr=x"}, "has no field \"Vendr\""},
            {{"update", path, "oui", "1", "Vendor"}, "\"Vendor\" is not FIELD=VALUE"},
            {{"add", path, "oui"}, "usage: zorvane-db add"},
            {{"add", path, "nope", "Code=1"}, "there is no table \"nope\""},
        };
        for (const auto& r : refused) {
            const ProcessResult run = zorvaneDb(r.arguments);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains(r.message), run.err.constData());
        }
        QCOMPARE(bytesOf(path), before);
        const ProcessResult check = zorvaneDb({"check", path});
        QCOMPARE(check.status, 0);
        QVERIFY(check.out.endsWith("the structure is consistent (" +
                                   QByteArray::number(before.size() / 4096) + " pages).\n"));
    }

    // The check finds each kind of damage, one line for each.
    void checkFindsDamage() {
        const QString path = vendorFile(dir_->path(), 60);
        records::RecordSet set(path, "oui");
        set.MoveFirst();
        set.Edit();
        set.Fields("Vendor").setValue(QString(255, QChar(0x3A9)));
        set.Fields("Address").setValue(QString(200, QChar(0x416)));
        set.Update();
        QCOMPARE(set.AbsolutePosition(), 59);  // moved: a pointer stays in its first slot
        jet::RowPlace moved;
        std::uint32_t tdef = 0;
        {
            jet::Database db(QFile::encodeName(path).toStdString());
            auto table = db.openTable("oui");
            moved = table->place(59);
            tdef = table->def().page;
        }
        QVERIFY(moved.moved());
        const QByteArray sound = bytesOf(path);
        QCOMPARE(checkProblems(path), QStringList());

        auto damaged = [&](const std::function<void(QByteArray&)>& damage, const QString& expected) {
            QByteArray bytes = sound;
            damage(bytes);
            const QString copy = QDir(dir_->path()).filePath("damaged.mdb");
            writeBytes(copy, bytes);
            const ProcessResult run = zorvaneDb({"check", copy});
            QCOMPARE(run.status, 1);
            QVERIFY2(QString::fromUtf8(run.out).contains(expected), run.out.constData());
        };
        auto at = [](QByteArray& b, std::size_t page, std::size_t offset) {
            return reinterpret_cast<std::uint8_t*>(b.data()) + page * fmt::PageSize + offset;
        };
        damaged([&](QByteArray& b) { fmt::put16(at(b, moved.page, fmt::DataFreeSpaceOffset),
                                                fmt::le16(at(b, moved.page, fmt::DataFreeSpaceOffset)) + 1); },
                QString("page %1 records").arg(moved.page));
        damaged([&](QByteArray& b) { fmt::put32(at(b, tdef, fmt::TdefRowCountOffset), 61); },
                "table \"oui\" records 61 records, but holds 60");
        damaged([&](QByteArray& b) {
                    // The page map's bitmap starts 5 bytes into its row,
                    // the first on page 1.
                    const std::size_t row = fmt::le16(at(b, 1, fmt::DataRowTableOffset));
                    *at(b, 1, row + 5 + moved.page / 8) |= std::uint8_t(1u << (moved.page % 8));
                },
                QString("page %1 is in use by table \"oui\", but the database's page map marks it free")
                    .arg(moved.page));
        damaged([&](QByteArray& b) {
                    const std::size_t entry = fmt::DataRowTableOffset + 2u * moved.homeSlot;
                    const std::size_t start = fmt::le16(at(b, moved.homePage, entry)) & fmt::RowOffsetMask;
                    *at(b, moved.homePage, start) = std::uint8_t(moved.slot + 1);  // a wrong row
                },
                QString("no pointer leads to the moved row at page %1, row %2")
                    .arg(moved.page).arg(moved.slot));
    }
};

QTEST_GUILESS_MAIN(EditFocusedTest)
#include "tst_edit_focused.moc"
