#include "lookup/ResultArray.h"
#include "records/RecordSet.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zorvane;
using lookup::ResultArray;
using test::vendorRecord;

class TstResultArray : public QObject {
    Q_OBJECT
private slots:
    void rowsCopyRecordsWithTheirNumbers()
    {
        QTemporaryDir folder;
        auto spread = vendorRecord("00-00-02", "Spread", "Main address", QString(), "second line");
        spread.fields[records::vendor::Address5] = QStringLiteral("fifth line");
        const QString path = test::writeVendorDatabase(
            folder.path(), {vendorRecord("00-00-01", "First", "1 First St", "Suite 1", "Floor 2"),
                            spread,
                            vendorRecord(std::nullopt, std::nullopt, std::nullopt)});
        records::RecordSet set(path, QStringLiteral("oui"));
        ResultArray rows;
        rows.writeRow(4)[0] = QStringLiteral("left over");
        rows.Recreate();
        QCOMPARE(rows.at(4, ResultArray::Code), QString());

        qint32 intArrayCtr = 0;
        set.MoveFirst();
        while (!set.Eof()) {
            FillArray(set, rows, intArrayCtr);
            set.MoveNext();
        }
        QCOMPARE(intArrayCtr, 3);
        QCOMPARE(rows.filledRows(), 3);

        // Code, name, address1 to address5, address, record number.
        auto row = [&rows](qint32 r) {
            QStringList columns;
            for (int c = 0; c < ResultArray::Columns; ++c)
                columns << rows.at(r, c);
            return columns;
        };
        QCOMPARE(row(0), QStringList({"00-00-01", "First", "Suite 1", "Floor 2", "", "", "", "1 First St", "0"}));
        // An empty Address1 is not closed up: the later lines keep their columns.
        QCOMPARE(row(1), QStringList({"00-00-02", "Spread", "", "second line", "", "", "fifth line", "Main address", "1"}));
        QCOMPARE(row(2), QStringList({"", "", "", "", "", "", "", "", "2"}));   // nulls read as empty text

        qint32 intRecordNum = -1;
        const qint32 Ctr = 2;
        GetintRecordNum(rows, intRecordNum, Ctr);
        QCOMPARE(intRecordNum, 2);
        // A row the search did not fill reads as empty, and as record 0.
        GetintRecordNum(rows, intRecordNum, 3);
        QCOMPARE(intRecordNum, 0);
        QCOMPARE(rows.at(3, ResultArray::Address), QString());
        GetintRecordNum(rows, intRecordNum, -1);
        QCOMPARE(intRecordNum, 0);
        // Past 5001 rows and 16-bit record numbers.
        rows.writeRow(6000)[ResultArray::RecordNum] = QStringLiteral("46599");
        QCOMPARE(rows.filledRows(), 6001);
        GetintRecordNum(rows, intRecordNum, 6000);
        QCOMPARE(intRecordNum, 46599);
    }
};

QTEST_APPLESS_MAIN(TstResultArray)
#include "tst_resultarray.moc"
