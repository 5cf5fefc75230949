// The lookup window's code box takes hardware addresses and prefixes in the
// usual notations: typed with real key events and searched with Enter, each
// is turned into the stored code the address could match (the longest code
// of the table that begins it), the box shows that term, and the search then
// lists what a search for that code typed by hand lists. A code typed in the
// code form, and other text, is searched for as typed.
#include "lookup/CodeNotation.h"
#include "tests/lookup/LookupWindowDriver.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QTemporaryDir>

using namespace zorvane;
using test::entries;
using test::ScriptedMessageBoxes;
using test::vendorRecord;

class TstCodeNotation : public test::LookupWindowDriver {
    Q_OBJECT

    QTemporaryDir folder;
    QString database;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        database = test::writeVendorDatabase(folder.path(), {
            vendorRecord("00-1a-2b-3c-4", "Lower Case Block", "1 Low St"),
            vendorRecord("00-1A-2B", "Ayecom Technology Co., Ltd.", "2 Main St"),
            vendorRecord("00-1A-2B-3", "Mid Block Ltd", "3 Mid St"),
            vendorRecord("70-B3-D5", "IEEE Registration Authority", "4 RA St"),
            vendorRecord("70-B3-D5-F2-F", "TELEPLATFORMS", "5 Polbina St"),
            vendorRecord("70-B3-D5-F2-F", "Second Of The Same", "6 Twin St"),
            vendorRecord("3C-22-FB", "Apple, Inc.", "1 Infinite Loop"),
        });
    }
    void init() { QVERIFY(open(database)); }
    void cleanup() { window.reset(); }

    void typedNotations_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<QStringList>("codes");
        const QStringList all1A2B = {"00-1A-2B", "00-1A-2B-3", "00-1a-2b-3c-4"};
        QTest::newRow("colons, MA-S") << "00:1a:2b:3c:4d:5e" << "00-1a-2b-3c-4" << QStringList{"00-1a-2b-3c-4"};
        QTest::newRow("short group") << "0:1a:2b:3c:4d:5e" << "00-1a-2b-3c-4" << QStringList{"00-1a-2b-3c-4"};
        QTest::newRow("dashes, address") << "00-1A-2B-3C-4D-5E" << "00-1a-2b-3c-4" << QStringList{"00-1a-2b-3c-4"};
        QTest::newRow("EUI-64") << "001a.2b3c.4d5e.6f70" << "00-1a-2b-3c-4" << QStringList{"00-1a-2b-3c-4"};
        QTest::newRow("MA-M") << "00:1a:2b:3d:00:01" << "00-1A-2B-3" << QStringList{"00-1A-2B-3", "00-1a-2b-3c-4"};
        QTest::newRow("MA-L only") << "001a.2b40.0000" << "00-1A-2B" << all1A2B;
        QTest::newRow("bare prefix") << "001A2B" << "00-1A-2B" << all1A2B;
        QTest::newRow("colon prefix") << "00:1a:2b" << "00-1A-2B" << all1A2B;
        QTest::newRow("halves") << "70b3d5-f2f001" << "70-B3-D5-F2-F" << QStringList{"70-B3-D5-F2-F"};
        QTest::newRow("cisco dots") << "70b3.d5f2.f001" << "70-B3-D5-F2-F" << QStringList{"70-B3-D5-F2-F"};
        QTest::newRow("lower case") << "3c:22:fb:11:22:33" << "3C-22-FB" << QStringList{"3C-22-FB"};
        // Already a code: searched as typed, whatever the table holds.
        QTest::newRow("code form") << "00-1a-2b-3" << "00-1a-2b-3" << QStringList{"00-1A-2B-3", "00-1a-2b-3c-4"};
        QTest::newRow("code form, half octet") << "70-B3-D5-F" << "70-B3-D5-F" << QStringList{"70-B3-D5-F2-F"};
        QTest::newRow("wildcard") << "*2B" << "*2B" << QStringList{"00-1A-2B"};
        QTest::newRow("partial") << "1A-2B" << "1A-2B" << all1A2B;
    }
    void typedNotations()
    {
        QFETCH(QString, typed);
        QFETCH(QString, searched);
        QFETCH(QStringList, codes);
        ScriptedMessageBoxes boxes;
        search(cmbCode(), typed);
        QCOMPARE(boxes.asked.size(), 0);
        QCOMPARE(cmbCode()->currentText(), searched);
        QCOMPARE(test::sortedEntries(cmbCode()), test::sorted(codes));
        QCOMPARE(panel(1)->text(), QStringLiteral("Done"));
        // A code chosen after such a search shows its record as after any other.
        QVERIFY(choose(cmbCode(), codes.first()));
        QVERIFY(!txtAddress()->toPlainText().isEmpty());
    }

    // An address no code begins: its first six digits are searched for, and
    // nothing is found.
    void unknownAddress()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "cc:dd:ee:00:00:01");
        verifyAsked(boxes, 1, "No Matches Found", "Search Failed", MsgButtons::Ok, MsgIcon::Warning);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("CC-DD-EE"));
        QCOMPARE(cmbCode()->count(), 0);
    }

    // The notations that turn into a code, and those that stay as typed.
    void whatIsAnAddress()
    {
        for (const char* address : {"00:1a:2b:3c:4d:5e", "001A2B", "001a2b3c", "00-1A-2B-3C-4D-5E", "001a.2b",
                                    "70:B3:D5:F2:F", "00-1A-2B-3C-4D"})
            QVERIFY2(lookup::addressInCodeBox(address), address);
        for (const char* typed : {"00-1A-2B", "70-B3-D5-F2-F", "00-1a-2b-3", "0C", "*00:1a:2b", " 00:1a:2b",
                                  "00:1a:2b:3c:4d:5e:6f", "decades", "1A-2B", "", "00\u00a0:1a:2b"})
            QVERIFY2(!lookup::addressInCodeBox(QString::fromUtf8(typed)), typed);
    }
};

QTEST_MAIN(TstCodeNotation)
#include "tst_codenotation.moc"
