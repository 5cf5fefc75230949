// Update, Add and Delete in the lookup window, driven by clicks and keys, each
// checked against the file itself: a fresh record set and mdb-export.
#include "tests/lookup/LookupWindowDriver.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QTemporaryDir>
#include <QTimer>

using namespace zorvane;
using test::ScriptedMessageBoxes;
using test::vendorRecord;
using Record = std::array<std::optional<QString>, 8>;

namespace {

const QString CrLf = QStringLiteral("\r\n");

std::vector<records::VendorRecord> vendorRecords()
{
    std::vector<records::VendorRecord> table = {
        vendorRecord("00-00-0C", "Cisco Systems, Inc", "170 West Tasman Dr" + CrLf + "San Jose CA",
                     "170 West Tasman Dr", "San Jose CA"),
        vendorRecord("00-A0-C9", "Intel Corporation", "2111 NE 25th Ave"),
        vendorRecord("33-33-01", "Triple Co", "Triple 1"),
        vendorRecord("33-33-02", "Triple Co", "Triple 2", "Triple 2 first"),
        vendorRecord("33-33-03", "Triple Co", "Triple 3"),
        vendorRecord("44-44-44", "triple co", "lower case"),
        vendorRecord("AA-BB-CC", "ACME NETWORKS, INC", "6 Road Runner Way"),
        vendorRecord("22-22-22", std::nullopt, std::nullopt),
    };
    table[3].fields[records::vendor::Address5] = QStringLiteral("Triple 2 fifth");
    return table;
}

std::vector<Record> vendorTable()
{
    std::vector<Record> out;
    for (const records::VendorRecord& r : vendorRecords())
        out.push_back(r.fields);
    return out;
}

} // namespace

class TstRecordEditing : public test::LookupWindowDriver {
    Q_OBJECT

    QTemporaryDir sources;
    QString smallTable, largeTable;
    std::unique_ptr<QTemporaryDir> work;
    QString database;
    QString immutable;   // a file given the immutable attribute, to take off again
    static constexpr int LargeRecords = 33000;

    void makeWritable()
    {
        if (!immutable.isEmpty())
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), immutable});
        immutable.clear();
        if (!database.isEmpty())
            QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);
    }
    // A copy of `source` to change, with the window open over it.
    void openCopy(const QString& source)
    {
        window.reset();
        work = std::make_unique<QTemporaryDir>();
        database = QDir(work->path()).filePath(QStringLiteral("oui.mdb"));
        QVERIFY(QFile::copy(source, database));
        QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(open(database));
    }
    void editMode()
    {
        toggleEditMode();
        QVERIFY(window->editMode());
    }
    // After a change: the boxes and lists empty, still in edit mode.
    void verifyCleared()
    {
        QVERIFY(listsEmpty() && txtAddress()->toPlainText().isEmpty());
        QCOMPARE(bar("prg1")->value(), 0);
        QVERIFY(window->editMode());
    }
    // The file holds `expected`, read by the engine and by mdb-export (in any
    // order: where the writer places new rows is its own affair).
    void verifyTable(const std::vector<Record>& expected, bool anyOrder = false)
    {
        QList<test::Row> rows;
        for (const Record& r : expected)
            rows.append(test::Row(r.begin(), r.end()));
        auto ordered = [anyOrder](QList<test::Row> table) {
            if (anyOrder)
                std::sort(table.begin(), table.end());
            return table;
        };
        QCOMPARE(ordered(test::readRecordSet(database, "oui").rows), ordered(rows));
        QCOMPARE(ordered(test::readMdbExport(database, "oui", {"-e"}).rows), ordered(rows));
    }
    // What an engine error leaves: one warning naming the file and the reason,
    // nothing written, the boxes and lists as they were, still in edit mode.
    void verifyRefusedByEngine(ScriptedMessageBoxes& boxes, const QString& reason, const QString& vendorText,
                               const QByteArray& file)
    {
        QCOMPARE(boxes.asked.size(), 1);
        const QString text = boxes.asked[0].text;
        QVERIFY2(text.contains(QLatin1String("oui.mdb")) && text.contains(reason), qPrintable(text));
        QCOMPARE(boxes.asked[0].icon, MsgIcon::Warning);
        QCOMPARE(boxes.asked[0].title, QStringLiteral("Zorvane"));
        boxes.asked.clear();
        QCOMPARE(cmbVendor()->currentText(), vendorText);
        QVERIFY(cmbCode()->count() > 0);
        QVERIFY(window->editMode());
        QCOMPARE(test::bytesOf(database), file);
    }
    void searchAndChoose(const QString& term, const QString& code)
    {
        search(cmbCode(), term);
        QVERIFY(choose(cmbCode(), code));
    }
    void chooseToEdit(const QString& term, const QString& code)
    {
        searchAndChoose(term, code);
        editMode();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(sources.isValid());
        QDir(sources.path()).mkdir(QStringLiteral("large"));
        smallTable = test::writeVendorDatabase(sources.path(), vendorRecords());
        std::vector<records::VendorRecord> large;
        for (int i = 0; i < LargeRecords; ++i)
            large.push_back(vendorRecord(QStringLiteral("AB-%1").arg(i, 5, 10, QLatin1Char('0')),
                                         QStringLiteral("Vendor %1").arg(i), QStringLiteral("Street %1").arg(i)));
        largeTable = test::writeVendorDatabase(sources.filePath(QStringLiteral("large")), large);
    }
    void init() { openCopy(smallTable); }
    void cleanup()
    {
        makeWritable();
        window.reset();
        work.reset();
    }

    void updateWritesTheChosenRecord()
    {
        ScriptedMessageBoxes boxes;
        searchAndChoose("33-33", "33-33-02");
        QCOMPARE(window->recordNum(), 3);
        editMode();
        retype(cmbCode(), "33-33-20");
        retype(cmbVendor(), "Triple Two Ltd");
        // Shift+Enter starts a new line in the address box.
        retype(txtAddress(), "2 Main St");
        QTest::keyClick(txtAddress(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(txtAddress(), "Springfield");
        click("cmdUpdate");
        verifyCleared();
        std::vector<Record> expected = vendorTable();
        expected[3][0] = QStringLiteral("33-33-20");
        expected[3][1] = QStringLiteral("Triple Two Ltd");
        expected[3][2] = "2 Main St" + CrLf + "Springfield";
        verifyTable(expected);

        // A two-line address, with only the name changed, stays as it was.
        search(cmbVendor(), "cisco");
        QVERIFY(choose(cmbVendor(), "Cisco Systems, Inc"));
        retype(cmbVendor(), "Cisco Systems, Inc.");
        click("cmdUpdate");
        expected[0][1] = QStringLiteral("Cisco Systems, Inc.");
        // Blanks are text: a one-blank address is written as it is.
        searchAndChoose("AA-BB", "AA-BB-CC");
        retype(txtAddress(), " ");
        click("cmdUpdate");
        expected[6][2] = QStringLiteral(" ");
        verifyTable(expected);
        QCOMPARE(boxes.asked.size(), 0);
    }

    // Update and Delete with no record chosen since the lists were last filled.
    void nothingChosenRefusals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("update") << "cmdUpdate";
        QTest::newRow("delete") << "CmdDelete";
    }
    void nothingChosenRefusals()
    {
        QFETCH(QString, command);
        const bool update = command == "cmdUpdate";
        const char* text = update ? "You must first search for a Vendor to Edit"
                                  : "Please search for a vendor you wish to delete\rthen retry this operation.";
        const char* title = update ? "Zorvane" : "Nothing to Delete";
        ScriptedMessageBoxes boxes;
        const QByteArray before = test::bytesOf(database);
        auto refused = [&](int asked) {
            click(qPrintable(command));
            verifyAsked(boxes, asked, text, title);
            if (asked == 1)   // later, a closed drop-down list may have taken the window's focus
                QVERIFY(cmbVendor()->hasFocus());
            verifyOutOfEditMode();
        };
        // Nothing searched at all (Update: the address emptied after a choice).
        if (update) {
            chooseToEdit("33-33", "33-33-01");
            retype(txtAddress(), QString());
        } else {
            editMode();
        }
        refused(1);
        // Results listed but none chosen since the search: every box may hold
        // text, yet no record is named.
        searchAfresh(cmbCode(), "33-33");
        editMode();
        retype(txtAddress(), "Somewhere");
        refused(2);
        // A choice made before the lists were emptied names no record either.
        QVERIFY(choose(cmbCode(), "33-33-02"));
        click("cmdClear");
        editMode();
        retype(cmbCode(), "33-33-02");
        retype(cmbVendor(), "Triple Co");
        retype(txtAddress(), "Elsewhere");
        refused(3);
        // Entries in only the vendor list: in edit mode a second search adds to
        // the lists, and choosing a name it did not find empties the code list.
        click("cmdClear");
        editMode();
        searchAndChoose("33-33", "33-33-01");
        retype(cmbVendor(), QString());
        retype(cmbCode(), "AA-BB");
        QTest::keyClick(cmbCode(), Qt::Key_Return);
        QVERIFY(choose(cmbVendor(), "Triple Co"));
        QCOMPARE(cmbCode()->count(), 0);
        refused(4);
        QCOMPARE(test::bytesOf(database), before);
        QCOMPARE(boxes.unexpected, 4);   // all OK-only
    }

    void addRefusals()
    {
        ScriptedMessageBoxes boxes;
        const QByteArray before = test::bytesOf(database);
        searchAndChoose("33-33", "33-33-01");   // vendor box: "Triple Co"
        editMode();
        retype(cmbCode(), "33-33-09");
        const int vendorEntries = cmbVendor()->count();
        boxes.answer(MsgResult::No);
        click("cmdAdd");
        verifyAsked(boxes, 1,
                    "The Record you are trying to add\ris already in the database.\r"
                    "Would you like to clear the\rsearch results so that you may\radd a vendor?",
                    "Record Already Exists", MsgButtons::YesNo, MsgIcon::None);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("33-33-09"));
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("Triple Co"));
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("Triple 1"));
        QCOMPARE(cmbCode()->count(), 3);
        QCOMPARE(cmbVendor()->count(), vendorEntries);
        boxes.answer(MsgResult::Yes);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 2);
        verifyCleared();

        // A new name with the address box empty.
        retype(cmbCode(), "55-55-55");
        retype(cmbVendor(), "Fifth Co");
        click("cmdAdd");
        verifyAsked(boxes, 3, "Please fill in all of the information and click Add again", "Zorvane");
        QVERIFY(window->editMode());
        QCOMPARE(QApplication::focusWidget(), button("cmdAdd"));   // where the click put it
        // An empty name box is never a listed result, even where the vendor
        // list holds more entries than the search filled rows.
        searchAfresh(cmbCode(), "AA-BB");
        for (int i = 0; i < 3; ++i)
            QVERIFY(choose(cmbCode(), "AA-BB-CC"));   // each choice adds a vendor entry
        QVERIFY(cmbVendor()->count() > window->results().filledRows());
        retype(cmbVendor(), QString());
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 4);
        QCOMPARE(boxes.asked[3].text, QStringLiteral("Please fill in all of the information and click Add again"));
        QCOMPARE(test::bytesOf(database), before);
    }

    // The table keeps one record per code: a code already there is refused
    // whatever the last search listed (here: nothing), and so is a second Add.
    // Exit then closes the record set, so that no journal stays behind.
    void addRefusesAnExistingCodeAndExitCloses()
    {
        ScriptedMessageBoxes boxes;
        boxes.answer(MsgResult::Ok);
        search(cmbCode(), "99-99-99");   // No Matches Found
        editMode();
        retype(cmbCode(), "00-a0-c9");   // Intel's, in other letters
        retype(cmbVendor(), "Other Co");
        retype(txtAddress(), "1 Other Rd");
        boxes.answer(MsgResult::No);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(boxes.asked[1].title, QStringLiteral("Record Already Exists"));
        verifyTable(vendorTable());
        retype(cmbCode(), "99-99-99");
        click("cmdAdd");
        boxes.answer(MsgResult::Yes);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 3);
        QCOMPARE(boxes.asked[2].title, QStringLiteral("Record Already Exists"));
        verifyCleared();
        std::vector<Record> expected = vendorTable();
        expected.push_back({"99-99-99", "Other Co", "1 Other Rd"});
        verifyTable(expected);

        const QString journal = database + QStringLiteral("-journal");
        QVERIFY(QFile::exists(journal));   // the window still holds the writer
        boxes.answer(MsgResult::Yes);
        QTimer::singleShot(0, this, [this] { click("cmdExit"); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!QFile::exists(journal));
        verifyTable(expected);
    }

    void addNewRecordsFoundLater()
    {
        ScriptedMessageBoxes boxes;
        boxes.answer(MsgResult::Ok);
        search(cmbCode(), "77-77-77");   // No Matches Found
        editMode();
        retype(cmbVendor(), "Seventy Seven");
        // Ctrl+Enter starts a new line in the address box, Enter alone searches.
        retype(txtAddress(), "77 Sunset Blvd");
        QTest::keyClick(txtAddress(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(txtAddress(), "Los Angeles");
        click("cmdAdd");
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("77-77-77"));
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("77 Sunset Blvd\nLos Angeles"));
        QVERIFY(window->editMode());

        // A name that differs from a listed result only in case is new; the
        // lists, the results and the chosen record number stay.
        click("cmdClear");
        searchAndChoose("33-33", "33-33-03");
        const qint32 recordNum = window->recordNum();
        retype(cmbCode(), "33-33-04");
        retype(cmbVendor(), "TRIPLE CO");
        retype(txtAddress(), "Triple 4");
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(cmbCode()->count(), 3);
        QCOMPARE(cmbVendor()->count(), 4);
        QCOMPARE(window->recordNum(), recordNum);
        QCOMPARE(window->results().filledRows(), 3);
        std::vector<Record> expected = vendorTable();
        expected.push_back({"77-77-77", "Seventy Seven", "77 Sunset Blvd" + CrLf + "Los Angeles"});
        expected.push_back({"33-33-04", "TRIPLE CO", "Triple 4"});
        verifyTable(expected, true);

        // Later searches find them.
        toggleEditMode();   // out of edit mode, so that typing starts a new term
        searchAfresh(cmbCode(), "77-77");
        QCOMPARE(cmbVendor()->itemText(0), QStringLiteral("Seventy Seven"));
        click("cmdClear");
        searchAndChoose("33-33", "33-33-04");
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("Triple 4"));
        QCOMPARE(boxes.asked.size(), 1);
    }

    void deleteRemovesTheChosenRecord()
    {
        ScriptedMessageBoxes boxes;
        search(cmbVendor(), "triple");
        QVERIFY(choose(cmbVendor(), "Triple Co"));   // the last of its rows: 33-33-03
        QVERIFY(choose(cmbCode(), "33-33-02"));
        editMode();
        click("CmdDelete");
        verifyCleared();
        std::vector<Record> expected = vendorTable();
        expected.erase(expected.begin() + 3);
        verifyTable(expected);
        // The record after it moved up one place and is reached there.
        click("cmdCloseEdit");
        verifyOutOfEditMode();
        search(cmbCode(), "33-33");
        QCOMPARE(cmbCode()->count(), 2);
        QVERIFY(choose(cmbCode(), "33-33-03"));
        QCOMPARE(window->recordNum(), 3);
        editMode();
        click("CmdDelete");
        expected.erase(expected.begin() + 3);
        verifyTable(expected);
        QCOMPARE(boxes.asked.size(), 0);
    }

    void recordNumbersPastSixteenBits()
    {
        openCopy(largeTable);
        ScriptedMessageBoxes boxes;
        searchAndChoose("AB-32999", "AB-32999");
        QCOMPARE(window->recordNum(), 32999);
        editMode();
        retype(cmbVendor(), "Far Vendor");
        click("cmdUpdate");
        toggleEditMode();
        chooseToEdit("AB-32800", "AB-32800");
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 0);

        records::RecordSet set(database, QStringLiteral("oui"));
        QCOMPARE(set.RecordCount(), LargeRecords - 1);
        auto at = [&set](qint32 n, const char* field) {
            set.MoveFirst();
            set.Move(n);
            return set.Fields(QLatin1String(field)).Value().value_or(QString());
        };
        QCOMPARE(at(32998, "Code"), QStringLiteral("AB-32999"));
        QCOMPARE(at(32998, "Vendor"), QStringLiteral("Far Vendor"));
        QCOMPARE(at(32799, "Code"), QStringLiteral("AB-32799"));
        QCOMPARE(at(32800, "Code"), QStringLiteral("AB-32801"));
        // The records 32768 places lower are untouched.
        QCOMPARE(at(32999 - 32768, "Vendor"), QStringLiteral("Vendor 231"));
        QCOMPARE(at(32800 - 32768, "Code"), QStringLiteral("AB-00032"));
    }

    // A file that cannot be written, one that another program is changing, and
    // a name too long for its field: each command is refused with the engine's
    // reason and nothing written; once the cause is gone the same window writes.
    void engineRefusals_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only file") << "read-only" << "read-only";
        QTest::newRow("file in use") << "in use" << "in use";
        QTest::newRow("name too long") << "too long" << "Vendor";
    }
    void engineRefusals()
    {
        QFETCH(QString, cause);
        QFETCH(QString, reason);
        ScriptedMessageBoxes boxes;
        const QString vendor = cause == "too long" ? QString(256, QLatin1Char('V')) : QStringLiteral("Changed Co");
        chooseToEdit("33-33", "33-33-01");
        retype(cmbVendor(), vendor);
        std::unique_ptr<records::RecordSet> other;
        if (cause == "read-only") {
            // Permission bits do not stop root; the immutable attribute does.
            QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            if (QFile(database).open(QIODevice::ReadWrite)) {
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), database});
                immutable = database;
                if (QFile(database).open(QIODevice::ReadWrite))
                    QSKIP("no way to make a file read-only here");
            }
        } else if (cause == "in use") {
            // Another program starts changing the file and keeps it open.
            other = std::make_unique<records::RecordSet>(database, QStringLiteral("oui"));
            other->MoveFirst();
            other->Edit();
        }
        const QByteArray before = test::bytesOf(database);
        click("cmdUpdate");
        verifyRefusedByEngine(boxes, reason, vendor, before);
        if (cause != "too long") {
            click("CmdDelete");
            verifyRefusedByEngine(boxes, reason, vendor, before);
        }
        retype(cmbCode(), "99-99-99");
        click("cmdAdd");
        verifyRefusedByEngine(boxes, reason, vendor, before);

        makeWritable();
        other.reset();
        const QString fitting = cause == "too long" ? QString(255, QLatin1Char('V')) : vendor;
        retype(cmbVendor(), fitting);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 0);
        std::vector<Record> expected = vendorTable();
        expected.push_back(Record{"99-99-99", fitting, "Triple 1"});
        verifyTable(expected);
    }

    // Another program deletes records before the chosen one while the window
    // shows its search: the chosen record number then leads to another record,
    // or to none. Neither is written or deleted.
    void chosenRecordMovedByAnotherProgram()
    {
        ScriptedMessageBoxes boxes;
        std::vector<Record> expected = vendorTable();
        auto deleteFirstTwo = [this, &expected] {
            records::RecordSet other(database, QStringLiteral("oui"));
            for (int i = 0; i < 2; ++i) {
                other.MoveFirst();
                other.Delete();
                expected.erase(expected.begin());
            }
        };
        chooseToEdit("33-33", "33-33-02");
        retype(txtAddress(), "Triple 2 new");
        deleteFirstTwo();   // record 3 is now 44-44-44
        const QByteArray file = test::bytesOf(database);
        // The engine notices the change, refuses and reads the table again.
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY2(boxes.asked[0].text.contains(QLatin1String("another program")), qPrintable(boxes.asked[0].text));
        // Record 3 is another vendor now: refused, by Update and by Delete.
        for (const char* command : {"cmdUpdate", "CmdDelete"}) {
            click(command);
            QCOMPARE(boxes.asked.size(), 2);
            QCOMPARE(boxes.asked[1].text,
                     QStringLiteral("The vendor chosen in the list is no longer record 3 of table \"oui\": the "
                                    "table has changed since the search. Search for the vendor again and "
                                    "choose it."));
            QCOMPARE(boxes.asked[1].icon, MsgIcon::Warning);
            boxes.asked.removeLast();
            QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("Triple 2 new"));
        }
        QCOMPARE(test::bytesOf(database), file);
        verifyTable(expected);
        // A new search finds the record where it is now.
        boxes.asked.clear();
        click("cmdClear");
        searchAndChoose("33-33-02", "33-33-02");
        QCOMPARE(window->recordNum(), 1);
        retype(txtAddress(), "Triple 2 new");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);
        expected[1][2] = QStringLiteral("Triple 2 new");
        verifyTable(expected);

        // The last record, once records before it are gone, lies past the end
        // of the table. (From its first change on, the window keeps the file
        // for itself, so this starts over with a fresh copy.)
        openCopy(smallTable);
        expected = vendorTable();
        searchAndChoose("22-22", "22-22-22");
        QCOMPARE(window->recordNum(), 7);
        editMode();
        deleteFirstTwo();
        const QByteArray shorter = test::bytesOf(database);
        click("CmdDelete");   // another program changed the file
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 2);
        QVERIFY2(boxes.asked[1].text.contains(QLatin1String("no current record")), qPrintable(boxes.asked[1].text));
        QCOMPARE(boxes.asked[1].icon, MsgIcon::Warning);
        QCOMPARE(test::bytesOf(database), shorter);
        verifyTable(expected);
    }
};

QTEST_MAIN(TstRecordEditing)
#include "tst_recordediting.moc"
