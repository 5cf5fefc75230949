// The record set's read side on the sample tables: moves, positions, EOF,
// field look-up without regard to case, its errors, and a walk that reads
// each page once and is fast (a table listed by a reference usage map is read
// in tst_edit_focused).
#include "records/jet/Database.h"
#include "records/jet/Format.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/SampleDatabases.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QtTest>

using namespace zorvane;
using namespace zorvane::test;
using records::RecordSet;

class RecordSetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    QString samples_ = samples::writeSamples(dir_->path());

private slots:
    // 512 records: the cursor lands where the walk saw each record.
    void movesAndPositions() {
        RecordSet set(samples_, "Many");
        QCOMPARE(set.RecordCount(), 512);
        // A record's text: its code (null in some records) and its two texts.
        auto current = [&] {
            return set.Fields("CODE").Value().value_or("<null>") + "|" + *set.Fields("Name").Value() +
                   "|" + *set.Fields("description").Value();
        };
        QStringList written;
        for (const jet::NewRow& row : samples::manyRows())
            written << (row[0] ? QString::fromStdU16String(*row[0]) : "<null>") + "|" +
                           QString::fromStdU16String(*row[1]) + "|" + QString::fromStdU16String(*row[2]);
        QStringList walked;
        for (; !set.Eof(); set.MoveNext()) {
            QCOMPARE(set.AbsolutePosition(), qint32(walked.size()));
            walked << current();
        }
        QCOMPARE(walked, written);
        QCOMPARE(set.AbsolutePosition(), -1);
        set.MoveLast();
        QCOMPARE(set.AbsolutePosition(), 511);
        QCOMPARE(set.PercentPosition(), 100.0f);
        QCOMPARE(current(), walked.last());
        for (const int n : {0, 1, 37, 255, 511}) {
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
        for (const QString& e : {errorOf([&] { set.Fields("Code").Value(); }), errorOf([&] { set.MoveNext(); }),
                                 errorOf([&] { set.Move(1); })})
            QVERIFY2(e.contains("no current record"), qPrintable(e));
        set.MoveFirst();
        QVERIFY(errorOf([&] { set.Move(-1); }).contains("no record"));
        QCOMPARE(set.AbsolutePosition(), 0);
    }

    // One record is at 100 percent; an empty table has no record to move to.
    void singleAndEmptyTables() {
        const QString single = writeVendorDatabase(dir_->path(), {vendorRecord("00-00-01", "some data")});
        RecordSet one(single, "oui");
        QCOMPARE(one.RecordCount(), 1);
        QCOMPARE(one.PercentPosition(), 100.0f);

        RecordSet empty(samples_, "Table3");
        QVERIFY(empty.Eof());
        QCOMPARE(empty.RecordCount(), 0);
        QCOMPARE(empty.AbsolutePosition(), -1);
        QCOMPARE(empty.PercentPosition(), 0.0f);
        QCOMPARE(empty.FieldNames(), QStringList({"a", "b"}));
        const QString last = errorOf([&] { empty.MoveLast(); });
        QVERIFY2(last.contains(samples_) && last.contains("\"Table3\"") && last.contains("no records"), qPrintable(last));
        QVERIFY(errorOf([&] { empty.MoveFirst(); }).contains("no records"));
        QVERIFY(errorOf([&] { empty.Fields("a").Value(); }).contains("no current record"));
    }

    // Every value of every type reads back as the text it was written from
    // (a Boolean without value as False).
    void valuesReadAsWritten() {
        QList<Row> written;
        for (const jet::NewRow& row : samples::typesRows()) {
            Row r;
            for (const jet::NewValue& v : row)
                r.append(v ? Value(QString::fromStdU16String(*v)) : r.size() == 2 ? Value("False") : Value());
            written.append(r);
        }
        QCOMPARE(firstDifference(written, readRecordSet(samples_, "Table1").rows), QString());
    }

    // Table and field names match in any case; nulls read as no value; a
    // missing field or table is an error naming the file, table and field.
    void fieldsByName() {
        RecordSet set(samples_, "table1");
        QCOMPARE(set.Fields("NAME").name(), QString("Name"));
        QCOMPARE(*set.Fields("name").Value(), QString("abcdefg"));
        QCOMPARE(*set.Fields("sMaLl").Value(), QString("0"));
        QCOMPARE(*set.Fields("stamp").Value(), QString("1899-12-30 00:00:00"));
        set.MoveFirst();
        set.Move(2);
        for (const QString& n : set.FieldNames())
            QCOMPARE(set.Fields(n).Value(), n == "Flag" ? Value("False") : Value());
        const QString field = errorOf([&] { set.Fields("Cdoe"); });
        QVERIFY2(field.startsWith(samples_ + ": ") && field.contains("\"Table1\"") && field.contains("no field \"Cdoe\""),
                 qPrintable(field));
        const QString table = errorOf([&] { RecordSet(samples_, "oui"); });
        QVERIFY2(table.startsWith(samples_ + ": ") && table.contains("no table \"oui\""), qPrintable(table));
    }

    // Walking reads each page from disk once, however often it walks (its
    // speed is bench/import's).
    void walkReadsPagesOnce() {
        jet::Database db(samples_.toStdString());
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
};

QTEST_GUILESS_MAIN(RecordSetTest)
#include "tst_recordset.moc"
