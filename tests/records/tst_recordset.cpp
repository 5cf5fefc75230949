// The record set's read side on the fixture files: moves, positions, EOF,
// field look-up without regard to case, and its errors.
#include "records/RecordSet.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"

#include "records/jet/Format.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using zorvane::jet::Error;
using zorvane::records::RecordSet;

namespace {

QString fixture(const char* name) {
    return qEnvironmentVariable("ZORVANE_FIXTURES") + "/" + name;
}

// Runs `f`, which must throw jet::Error; returns its sentence.
template <typename F>
QString errorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no error>");
}

} // namespace

class RecordSetTest : public QObject {
    Q_OBJECT

private slots:
    // 512 records: the cursor lands where the walk saw each record.
    void movesAndPositions() {
        RecordSet set(fixture("compIndexTestV2000.mdb"), "Table1");
        QCOMPARE(set.RecordCount(), 512);
        QCOMPARE(set.AbsolutePosition(), 0);

        // A record's text: its code (null in some records) and its two names.
        auto current = [&] {
            return set.Fields("CD_AGENTE").Value().value_or("<null>") + "|" +
                   *set.Fields("RS_AGENTE").Value() + "|" + *set.Fields("DC_AGENTE").Value();
        };
        QStringList walked;
        for (set.MoveFirst(); !set.Eof(); set.MoveNext()) {
            QCOMPARE(set.AbsolutePosition(), qint32(walked.size()));
            walked << current();
        }
        QCOMPARE(walked.size(), 512);
        QCOMPARE(walked.first(), QString("19|abc|def"));
        QCOMPARE(walked.last(), QString("<null>|abc|efg"));
        QCOMPARE(set.AbsolutePosition(), -1);

        set.MoveLast();
        QCOMPARE(set.AbsolutePosition(), 511);
        QCOMPARE(set.PercentPosition(), 100.0f);
        QCOMPARE(current(), walked.last());

        set.MoveFirst();
        QCOMPARE(set.PercentPosition(), 0.0f);
        set.Move(0);
        QCOMPARE(set.AbsolutePosition(), 0);
        QCOMPARE(current(), walked.first());

        for (const int n : {1, 37, 255, 511}) {
            set.MoveFirst();
            set.Move(n);
            QCOMPARE(set.AbsolutePosition(), n);
            QCOMPARE(current(), walked[n]);
            QCOMPARE(set.PercentPosition(), float(n * 100.0 / 511));
        }
        // Forward from the middle, then past the end: EOF, no record.
        set.MoveFirst();
        set.Move(100);
        set.Move(10);
        QCOMPARE(set.AbsolutePosition(), 110);
        set.Move(1000);
        QVERIFY(set.Eof());
        QVERIFY(errorOf([&] { set.Fields("CD_AGENTE").Value(); }).contains("no current record"));
        QVERIFY(errorOf([&] { set.MoveNext(); }).contains("no current record"));
        QVERIFY(errorOf([&] { set.Move(1); }).contains("no current record"));
        set.MoveFirst();
        QVERIFY(errorOf([&] { set.Move(-1); }).contains("no record"));
        QCOMPARE(set.AbsolutePosition(), 0);
    }

    void singleRecordIsAtHundredPercent() {
        RecordSet set(fixture("fixedNumericTestV2000.mdb"), "test");
        QCOMPARE(set.RecordCount(), 1);
        QCOMPARE(set.PercentPosition(), 100.0f);
        QCOMPARE(*set.Fields("col1").Value(), QString("some data"));
        set.MoveNext();
        QVERIFY(set.Eof());
    }

    void emptyTable() {
        const QString file = fixture("testV2000.mdb");
        RecordSet set(file, "Table3");
        QVERIFY(set.Eof());
        QCOMPARE(set.RecordCount(), 0);
        QCOMPARE(set.AbsolutePosition(), -1);
        QCOMPARE(set.PercentPosition(), 0.0f);
        const QString last = errorOf([&] { set.MoveLast(); });
        QVERIFY2(last.contains(file) && last.contains("\"Table3\"") && last.contains("no records"),
                 qPrintable(last));
        QVERIFY(errorOf([&] { set.MoveFirst(); }).contains("no records"));
        QVERIFY(errorOf([&] { set.Fields("a").Value(); }).contains("no current record"));
        QCOMPARE(set.FieldNames(), QStringList({"a", "b"}));
    }

    void fieldNamesIgnoreCase() {
        RecordSet set(fixture("testV2000.mdb"), "table1");  // table name in another case too
        QCOMPARE(set.Fields("a").name(), QString("A"));
        QCOMPARE(*set.Fields("a").Value(), QString("abcdefg"));
        QCOMPARE(*set.Fields("A").Value(), QString("abcdefg"));
        RecordSet users(fixture("fixedTextTestV2000.mdb"), "users");
        QCOMPARE(users.Fields("C_USER_LOGIN").name(), QString("c_user_login"));
        QCOMPARE(*users.Fields("C_User_Login").Value(), QString("CORE USER"));
    }

    void nullsAndEmptyFields() {
        RecordSet set(fixture("overflowTestV2000.mdb"), "Table1");
        QCOMPARE(*set.Fields("data1").Value(), QString("row1col1"));
        QVERIFY(!set.Fields("data3").Value().has_value());
        QVERIFY(!set.Fields("DATA10").Value().has_value());
    }

    void missingFieldAndTable() {
        const QString file = fixture("testV2000.mdb");
        RecordSet set(file, "Table1");
        const QString field = errorOf([&] { set.Fields("Cdoe"); });
        QVERIFY2(field.startsWith(file + ": ") && field.contains("\"Table1\"") &&
                     field.contains("no field \"Cdoe\""),
                 qPrintable(field));
        const QString table = errorOf([&] { RecordSet(file, "oui"); });
        QVERIFY2(table.startsWith(file + ": ") && table.contains("no table \"oui\""),
                 qPrintable(table));
    }

    // Table1 has indexes, which the engine does not keep up to date: every
    // write is refused with that reason, and the set stays readable;
    // assignments and Update without Edit or AddNew say what is missing.
    void writesAreRefused() {
        RecordSet set(fixture("testV2000.mdb"), "Table1");
        for (const QString& e : {errorOf([&] { set.Edit(); }), errorOf([&] { set.AddNew(); }),
                                 errorOf([&] { set.Delete(); })})
            QVERIFY2(e.contains("\"Table1\" cannot be changed: it has indexes"), qPrintable(e));
        QVERIFY(errorOf([&] { set.Update(); }).contains("Edit or AddNew comes first"));
        QVERIFY(errorOf([&] { set.Fields("A").setValue("x"); }).contains("Edit or AddNew comes first"));
        set.MoveLast();
        set.Requery();
        QCOMPARE(set.AbsolutePosition(), 0);
        QCOMPARE(set.RecordCount(), 2);
    }

    // A table whose pages are listed by a reference usage map (the map row
    // points to usage-map pages) reads the same records as with the inline
    // map Access wrote: Table1's map is rewritten into that form on a copy.
    void referenceUsageMap() {
        namespace fmt = zorvane::jet::format;
        const QString original = fixture("compIndexTestV2000.mdb");
        QFile in(original);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        const auto newPage = std::uint32_t(bytes.size() / 4096);
        std::uint32_t pointer = 0;
        std::vector<std::uint32_t> pages;
        {
            zorvane::jet::Database db(original.toStdString());
            auto table = db.openTable("Table1");
            pointer = table->def().usedPages;
            pages = zorvane::jet::usageMapPages(db.file(), pointer, "Table1");
        }
        QVERIFY(pages.size() > 1);
        // The map row: type 1, then page pointers; the first names the new page.
        auto* page = reinterpret_cast<std::uint8_t*>(bytes.data()) + fmt::pointerPage(pointer) * 4096;
        const std::uint16_t slot = fmt::pointerRow(pointer);
        const std::size_t start = fmt::le16(page + fmt::DataRowTableOffset + 2 * slot) & fmt::RowOffsetMask;
        const std::size_t end =
            slot == 0 ? 4096 : fmt::le16(page + fmt::DataRowTableOffset + 2 * (slot - 1)) & fmt::RowOffsetMask;
        std::fill(page + start, page + end, 0);
        page[start] = fmt::UsageMapReference;
        fmt::put32(page + start + 1, newPage);
        QByteArray mapPage(4096, '\0');
        mapPage[0] = char(fmt::PageUsageMap);
        mapPage[1] = 1;
        for (const std::uint32_t p : pages)
            mapPage[qsizetype(fmt::UsageMapPageBitmap + p / 8)] |= char(1 << (p % 8));
        bytes.append(mapPage);
        QTemporaryDir dir;
        const QString copy = dir.filePath("reference-map.mdb");
        QFile out(copy);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();

        RecordSet a(original, "Table1"), b(copy, "Table1");
        QCOMPARE(b.RecordCount(), a.RecordCount());
        for (; !a.Eof(); a.MoveNext(), b.MoveNext())
            for (const QString& name : a.FieldNames())
                QCOMPARE(b.Fields(name).Value(), a.Fields(name).Value());
        QVERIFY(b.Eof());
    }

    // Walking reads each page from disk once, however often it walks.
    void pagesAreReadOnce() {
        zorvane::jet::Database db(fixture("testV2000.mdb").toStdString());
        auto table = db.openTable("Table1");
        std::u16string text;
        auto walk = [&] {
            for (std::size_t r = 0; r < table->rowCount(); ++r)
                for (std::size_t c = 0; c < table->def().columns.size(); ++c)
                    table->appendText(r, c, text);
        };
        walk();
        const auto reads = db.file().diskReads();
        QVERIFY(reads <= db.file().pageCount());
        walk();
        walk();
        QCOMPARE(db.file().diskReads(), reads);
    }

    void walkSpeed() {
        RecordSet set(fixture("compIndexTestV2000.mdb"), "Table1");
        auto code = set.Fields("CD_AGENTE");
        auto name = set.Fields("rs_agente");
        QElapsedTimer timer;
        timer.start();
        qint64 reads = 0;
        for (int pass = 0; pass < 200; ++pass) {
            for (set.MoveFirst(); !set.Eof(); set.MoveNext()) {
                reads += code.Value()->size() + name.Value()->size();
                (void)set.PercentPosition();
            }
        }
        const double ns = double(timer.nsecsElapsed()) / (200.0 * 512);
        qInfo("walk: %.0f ns per record (two field reads, a position)", ns);
        QVERIFY(reads > 0);
        QVERIFY2(ns < 20000, "walking is far slower than it should be");
    }
};

QTEST_GUILESS_MAIN(RecordSetTest)
#include "tst_recordset.moc"
