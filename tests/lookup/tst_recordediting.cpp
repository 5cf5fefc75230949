// Update, Add and Delete in the lookup window, driven by clicks and keys, each
// checked against the file itself: a fresh record set and mdb-export.
#include "lookup/frmMain.h"
#include "records/RecordSet.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace zorvane;
using test::ScriptedMessageBoxes;
using test::vendorRecord;
using Record = std::array<std::optional<QString>, 8>;

namespace {

const QString CrLf = QStringLiteral("\r\n");

std::vector<records::VendorRecord> vendorTable()
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
    table[3].fields[7] = QStringLiteral("Triple 2 fifth");
    return table;
}

std::vector<Record> asRecords(const std::vector<records::VendorRecord>& table)
{
    std::vector<Record> out;
    for (const records::VendorRecord& r : table)
        out.push_back(r.fields);
    return out;
}

// Every record of the file in the record set's order, read by a record set of its own.
std::vector<Record> readTable(const QString& path)
{
    records::RecordSet set(path, QStringLiteral("oui"));
    std::vector<Record> out;
    for (set.MoveFirst(); set.RecordCount() > 0 && !set.Eof(); set.MoveNext()) {
        Record r;
        for (std::size_t i = 0; i < r.size(); ++i)
            r[i] = set.Fields(QLatin1String(records::VendorFieldNames[i])).Value();
        out.push_back(r);
    }
    return out;
}

// The same as mdb-export writes it: one line per record, fields separated by
// tabs, carriage returns and line feeds escaped, nulls as "(null)".
QStringList exportLines(const std::vector<Record>& table)
{
    QStringList lines;
    for (const Record& r : table) {
        QStringList fields;
        for (const std::optional<QString>& f : r) {
            QString text = f ? *f : QStringLiteral("(null)");
            text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
            text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
            text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
            text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
            fields << text;
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines;
}

QStringList mdbExport(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("mdb-export"), {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-e"),
                                           QStringLiteral("-d"), QStringLiteral("\t"), QStringLiteral("-0"),
                                           QStringLiteral("(null)"), path, QStringLiteral("oui")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {QStringLiteral("mdb-export failed: ") + QString::fromUtf8(p.readAllStandardError())};
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList sortedLines(QStringList lines)
{
    lines.sort();
    return lines;
}

} // namespace

class TstRecordEditing : public QObject {
    Q_OBJECT

    QTemporaryDir sources;
    QString smallTable;
    QString largeTable;
    std::unique_ptr<QTemporaryDir> work;
    QString database;
    std::unique_ptr<frmMain> window;
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

    template <typename T> T* child(const char* name) const
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QComboBox* cmbCode() const { return child<QComboBox>("cmbCode"); }
    QComboBox* cmbVendor() const { return child<QComboBox>("cmbVendor"); }
    QPlainTextEdit* txtAddress() const { return child<QPlainTextEdit>("txtAddress"); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // A copy of `source` to change, with the window open over it.
    void open(const QString& source)
    {
        window.reset();
        work = std::make_unique<QTemporaryDir>();
        database = QDir(work->path()).filePath(QStringLiteral("oui.mdb"));
        QVERIFY(QFile::copy(source, database));
        QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner));
        window = std::make_unique<frmMain>(database);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QApplication::setActiveWindow(window.get());
        QTRY_VERIFY(window->isActiveWindow());
    }
    void search(QComboBox* box, const QString& term)
    {
        box->setFocus();
        QTest::keyClicks(box, term);
        QTest::keyClick(box, Qt::Key_Return);
    }
    // Chooses the first entry reading `text` with the mouse.
    void choose(QComboBox* box, const QString& text)
    {
        const int row = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY2(row >= 0, qPrintable(text));
        box->showPopup();
        QAbstractItemView* list = box->view();
        QTRY_VERIFY(list->isVisible());
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        QCOMPARE(box->currentText(), text);
    }
    // The Edit command on the menu bar.
    void toggleEditMode()
    {
        QMenuBar* bar = window->menuBar();
        QAction* mnuAdd = child<QAction>("mnuAdd");
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(mnuAdd).center());
    }
    void editMode()
    {
        toggleEditMode();
        QVERIFY(window->editMode());
    }
    // Replaces the text of a box as the user does: select all, then type.
    void retype(QWidget* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
    }
    void verifyOutOfEditMode()
    {
        QVERIFY(!window->editMode());
        for (const char* name : {"cmdUpdate", "cmdAdd", "CmdDelete"})
            QVERIFY2(!button(name)->isEnabled(), name);
        QCOMPARE(child<QAction>("mnuAdd")->text(), QStringLiteral("&Edit"));
    }
    void verifyCleared()
    {
        QCOMPARE(cmbCode()->count() + cmbVendor()->count(), 0);
        QVERIFY(cmbCode()->currentText().isEmpty());
        QVERIFY(cmbVendor()->currentText().isEmpty());
        QVERIFY(txtAddress()->toPlainText().isEmpty());
        QCOMPARE(child<QProgressBar>("prg1")->value(), 0);
    }
    // The file holds `expected`, read by the engine and by mdb-export.
    void verifyTable(const std::vector<Record>& expected)
    {
        QCOMPARE(readTable(database), expected);
        QCOMPARE(mdbExport(database), exportLines(expected));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(sources.isValid());
        QDir(sources.path()).mkdir(QStringLiteral("large"));
        smallTable = test::writeVendorDatabase(sources.path(), vendorTable());
        std::vector<records::VendorRecord> large;
        for (int i = 0; i < LargeRecords; ++i)
            large.push_back(vendorRecord(QStringLiteral("AB-%1").arg(i, 5, 10, QLatin1Char('0')),
                                         QStringLiteral("Vendor %1").arg(i),
                                         QStringLiteral("Street %1").arg(i)));
        largeTable = test::writeVendorDatabase(sources.filePath(QStringLiteral("large")), large);
    }
    void init() { open(smallTable); }
    void cleanup()
    {
        makeWritable();
        window.reset();
        work.reset();
    }

    void updateWritesTheChosenRecord()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-02");
        QCOMPARE(window->recordNum(), 3);
        editMode();
        retype(cmbCode(), "33-33-20");
        retype(cmbVendor(), "Triple Two Ltd");
        // Shift+Enter starts a new line in the address box.
        retype(txtAddress(), "2 Main St");
        QTest::keyClick(txtAddress(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(txtAddress(), "Springfield");
        click("cmdUpdate");

        QCOMPARE(boxes.asked.size(), 0);
        verifyCleared();
        QVERIFY(window->editMode());
        std::vector<Record> expected = asRecords(vendorTable());
        expected[3][0] = QStringLiteral("33-33-20");
        expected[3][1] = QStringLiteral("Triple Two Ltd");
        expected[3][2] = "2 Main St" + CrLf + "Springfield";
        verifyTable(expected);

        // A record whose address has two lines, with only its name changed,
        // keeps the address as it was.
        search(cmbVendor(), "cisco");
        choose(cmbVendor(), "Cisco Systems, Inc");
        retype(cmbVendor(), "Cisco Systems, Inc.");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);
        expected[0][1] = QStringLiteral("Cisco Systems, Inc.");
        verifyTable(expected);

        // Blanks are text: a one-blank address is written as it is.
        search(cmbCode(), "AA-BB");
        choose(cmbCode(), "AA-BB-CC");
        retype(txtAddress(), " ");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);
        expected[6][2] = QStringLiteral(" ");
        verifyTable(expected);
    }

    void updateRefusals()
    {
        ScriptedMessageBoxes boxes;
        const QByteArray before = fileBytes(database);
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-01");
        editMode();
        retype(txtAddress(), QString());
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(boxes.asked[0].text, QStringLiteral("You must first search for a Vendor to Edit"));
        QCOMPARE(boxes.asked[0].title, QStringLiteral("Zorvane"));
        QCOMPARE(boxes.asked[0].buttons, MsgButtons::Ok);
        QCOMPARE(boxes.asked[0].icon, MsgIcon::None);
        QVERIFY(cmbVendor()->hasFocus());
        verifyOutOfEditMode();
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("33-33-01"));

        // Results listed but none chosen since the search: every box holds
        // text (term, count, an address typed in), yet no record is named.
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "33-33");
        editMode();
        retype(txtAddress(), "Somewhere");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(boxes.asked[1].text, QStringLiteral("You must first search for a Vendor to Edit"));
        verifyOutOfEditMode();

        // A choice made before the lists were emptied names no record either.
        choose(cmbCode(), "33-33-02");
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        editMode();
        retype(cmbCode(), "33-33-02");
        retype(cmbVendor(), "Triple Co");
        retype(txtAddress(), "Elsewhere");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 3);
        verifyOutOfEditMode();
        QCOMPARE(fileBytes(database), before);
        verifyTable(asRecords(vendorTable()));
        QCOMPARE(boxes.unexpected, 3);   // all OK-only
    }

    void addRefusals()
    {
        ScriptedMessageBoxes boxes;
        const QByteArray before = fileBytes(database);
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-01");   // vendor box: "Triple Co"
        editMode();
        retype(cmbCode(), "33-33-09");
        const int vendorEntries = cmbVendor()->count();

        boxes.answer(MsgResult::No);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(boxes.asked[0].text,
                 QStringLiteral("The Record you are trying to add\ris already in the database.\r"
                                "Would you like to clear the\rsearch results so that you may\r"
                                "add a vendor?"));
        QCOMPARE(boxes.asked[0].title, QStringLiteral("Record Already Exists"));
        QCOMPARE(boxes.asked[0].buttons, MsgButtons::YesNo);
        QCOMPARE(boxes.asked[0].icon, MsgIcon::None);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("33-33-09"));
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("Triple Co"));
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("Triple 1"));
        QCOMPARE(cmbCode()->count(), 3);
        QCOMPARE(cmbVendor()->count(), vendorEntries);
        QVERIFY(window->editMode());

        boxes.answer(MsgResult::Yes);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(boxes.asked[1].title, QStringLiteral("Record Already Exists"));
        verifyCleared();
        QVERIFY(window->editMode());

        // A new name with the address box empty.
        retype(cmbCode(), "55-55-55");
        retype(cmbVendor(), "Fifth Co");
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 3);
        QCOMPARE(boxes.asked[2].text, QStringLiteral("Please fill in all of the information and click Add again"));
        QCOMPARE(boxes.asked[2].title, QStringLiteral("Zorvane"));
        QCOMPARE(boxes.asked[2].buttons, MsgButtons::Ok);
        QVERIFY(window->editMode());
        QCOMPARE(QApplication::focusWidget(), button("cmdAdd"));   // where the click put it
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("Fifth Co"));

        // An empty name box is never a listed result, even where the vendor
        // list holds more entries than the search filled rows.
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "AA-BB");
        for (int i = 0; i < 3; ++i)
            choose(cmbCode(), "AA-BB-CC");   // each choice adds a vendor entry
        QVERIFY(cmbVendor()->count() > window->results().filledRows());
        retype(cmbVendor(), QString());
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 4);
        QCOMPARE(boxes.asked[3].text, QStringLiteral("Please fill in all of the information and click Add again"));
        QCOMPARE(fileBytes(database), before);
    }

    void addNewRecordsFoundLater()
    {
        ScriptedMessageBoxes boxes;
        boxes.answer(MsgResult::Ok);
        search(cmbCode(), "77-77-77");   // No Matches Found
        QCOMPARE(boxes.asked.size(), 1);
        editMode();
        retype(cmbVendor(), "Seventy Seven");
        // Ctrl+Enter starts a new line in the address box, Enter alone searches.
        retype(txtAddress(), "77 Sunset Blvd");
        QTest::keyClick(txtAddress(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(txtAddress(), "Los Angeles");
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("77-77-77"));
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("Seventy Seven"));
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("77 Sunset Blvd\nLos Angeles"));
        QVERIFY(window->editMode());

        // A name that differs from a listed result only in case is new; the
        // lists, the results and the chosen record number stay.
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-03");
        const qint32 recordNum = window->recordNum();
        const qint32 rows = window->results().filledRows();
        retype(cmbCode(), "33-33-04");
        retype(cmbVendor(), "TRIPLE CO");
        retype(txtAddress(), "Triple 4");
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(cmbCode()->count(), 3);
        QCOMPARE(cmbVendor()->count(), 4);
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("TRIPLE CO"));
        QCOMPARE(window->recordNum(), recordNum);
        QCOMPARE(window->results().filledRows(), rows);

        std::vector<Record> expected = asRecords(vendorTable());
        const QStringList before = exportLines(expected);
        Record seventy{QStringLiteral("77-77-77"), QStringLiteral("Seventy Seven"), "77 Sunset Blvd" + CrLf + "Los Angeles"};
        Record triple{QStringLiteral("33-33-04"), QStringLiteral("TRIPLE CO"), QStringLiteral("Triple 4")};
        QCOMPARE(sortedLines(mdbExport(database)),
                 sortedLines(before + exportLines({seventy, triple})));
        const std::vector<Record> table = readTable(database);
        QCOMPARE(table.size(), expected.size() + 2);
        QCOMPARE(sortedLines(exportLines(table)), sortedLines(before + exportLines({seventy, triple})));

        // Later searches find them.
        toggleEditMode();   // out of edit mode, so that typing starts a new term
        verifyOutOfEditMode();
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "77-77");
        QCOMPARE(cmbVendor()->itemText(0), QStringLiteral("Seventy Seven"));
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "33-33");
        QCOMPARE(cmbCode()->count(), 4);
        choose(cmbCode(), "33-33-04");
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("Triple 4"));
        QCOMPARE(boxes.asked.size(), 1);
    }

    void deleteRemovesTheChosenRecord()
    {
        ScriptedMessageBoxes boxes;
        search(cmbVendor(), "triple");
        choose(cmbVendor(), "Triple Co");   // the last of its rows: 33-33-03
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("33-33-03"));
        choose(cmbCode(), "33-33-02");
        editMode();
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 0);
        verifyCleared();
        QVERIFY(window->editMode());
        std::vector<Record> expected = asRecords(vendorTable());
        expected.erase(expected.begin() + 3);
        verifyTable(expected);

        click("cmdCloseEdit");
        verifyOutOfEditMode();
        search(cmbCode(), "33-33");
        QCOMPARE(cmbCode()->count(), 2);
        QVERIFY(cmbCode()->findText(QStringLiteral("33-33-02")) < 0);

        // The record after it moved up one place and is reached there.
        choose(cmbCode(), "33-33-03");
        QCOMPARE(window->recordNum(), 3);
        editMode();
        click("CmdDelete");
        expected.erase(expected.begin() + 3);
        verifyTable(expected);
        QCOMPARE(boxes.asked.size(), 0);
    }

    void deleteRefusals()
    {
        ScriptedMessageBoxes boxes;
        const QByteArray before = fileBytes(database);
        editMode();
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(boxes.asked[0].text,
                 QStringLiteral("Please search for a vendor you wish to delete\rthen retry this operation."));
        QCOMPARE(boxes.asked[0].title, QStringLiteral("Nothing to Delete"));
        QCOMPARE(boxes.asked[0].buttons, MsgButtons::Ok);
        QCOMPARE(boxes.asked[0].icon, MsgIcon::None);
        QVERIFY(cmbVendor()->hasFocus());
        verifyOutOfEditMode();

        // Entries in only the vendor list: in edit mode a second search adds
        // to the lists, and choosing a name it did not find empties the code
        // list and finds no row. No record is chosen, so nothing is deleted.
        editMode();
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-01");
        retype(cmbVendor(), QString());
        retype(cmbCode(), "AA-BB");
        QTest::keyClick(cmbCode(), Qt::Key_Return);
        choose(cmbVendor(), "Triple Co");
        QCOMPARE(cmbCode()->count(), 0);
        QVERIFY(cmbVendor()->count() > 0);
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(boxes.asked[1].title, QStringLiteral("Nothing to Delete"));
        verifyOutOfEditMode();

        // Listed results, none chosen since the search.
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "33-33");
        editMode();
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 3);
        QCOMPARE(boxes.asked[2].title, QStringLiteral("Nothing to Delete"));
        QCOMPARE(fileBytes(database), before);
    }

    void recordNumbersPastSixteenBits()
    {
        open(largeTable);
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "AB-32999");
        choose(cmbCode(), "AB-32999");
        QCOMPARE(window->recordNum(), 32999);
        editMode();
        retype(cmbVendor(), "Far Vendor");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);

        toggleEditMode();
        search(cmbCode(), "AB-32800");
        choose(cmbCode(), "AB-32800");
        editMode();
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

    // What an engine error leaves: one warning naming the file, nothing
    // written, the boxes and lists as they were, still in edit mode.
    void verifyRefusedByEngine(ScriptedMessageBoxes& boxes, const QString& reason,
                               const QString& vendorText, const QByteArray& file)
    {
        QCOMPARE(boxes.asked.size(), 1);
        const QString text = boxes.asked[0].text;
        QVERIFY2(text.contains(QLatin1String("oui.mdb")) && text.contains(reason), qPrintable(text));
        QCOMPARE(boxes.asked[0].icon, MsgIcon::Warning);
        QCOMPARE(boxes.asked[0].buttons, MsgButtons::Ok);
        QCOMPARE(boxes.asked[0].title, QStringLiteral("Zorvane"));
        boxes.asked.clear();
        QCOMPARE(cmbVendor()->currentText(), vendorText);
        QVERIFY(cmbCode()->count() > 0);
        QVERIFY(window->editMode());
        QCOMPARE(fileBytes(database), file);
    }
    // Chooses 33-33-01 and types a new vendor name for it in edit mode.
    void changeTripleOne(const QString& vendor)
    {
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-01");
        editMode();
        retype(cmbVendor(), vendor);
    }

    void readOnlyFile()
    {
        ScriptedMessageBoxes boxes;
        changeTripleOne("Changed Co");
        // Read-only while the window has it open. Permission bits do not stop
        // root; the immutable attribute does.
        QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (QFile(database).open(QIODevice::ReadWrite)) {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), database});
            immutable = database;
            if (QFile(database).open(QIODevice::ReadWrite))
                QSKIP("no way to make a file read-only here");
        }
        const QByteArray before = fileBytes(database);
        click("cmdUpdate");
        verifyRefusedByEngine(boxes, QStringLiteral("read-only"), QStringLiteral("Changed Co"), before);
        click("CmdDelete");
        verifyRefusedByEngine(boxes, QStringLiteral("read-only"), QStringLiteral("Changed Co"), before);
        retype(cmbCode(), "33-33-09");
        retype(cmbVendor(), "Brand New Co");
        click("cmdAdd");
        verifyRefusedByEngine(boxes, QStringLiteral("read-only"), QStringLiteral("Brand New Co"), before);

        // Writable again: the same window writes the change.
        makeWritable();
        retype(cmbCode(), "33-33-01");
        retype(cmbVendor(), "Changed Co");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);
        std::vector<Record> expected = asRecords(vendorTable());
        expected[2][1] = QStringLiteral("Changed Co");
        verifyTable(expected);
    }

    void fileInUse()
    {
        ScriptedMessageBoxes boxes;
        changeTripleOne("Changed Co");
        const QByteArray before = fileBytes(database);
        {
            // Another program starts changing the file and keeps it open.
            records::RecordSet other(database, QStringLiteral("oui"));
            other.MoveFirst();
            other.Edit();
            click("cmdUpdate");
            verifyRefusedByEngine(boxes, QStringLiteral("in use"), QStringLiteral("Changed Co"), before);
            click("CmdDelete");
            verifyRefusedByEngine(boxes, QStringLiteral("in use"), QStringLiteral("Changed Co"), before);
        }
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);
        std::vector<Record> expected = asRecords(vendorTable());
        expected[2][1] = QStringLiteral("Changed Co");
        verifyTable(expected);
    }

    // Another program deletes records before the chosen one while the window
    // shows its search: the chosen record number then leads to another record,
    // or to none. Neither is written or deleted.
    void chosenRecordMovedByAnotherProgram()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "33-33");
        choose(cmbCode(), "33-33-02");
        QCOMPARE(window->recordNum(), 3);
        editMode();
        retype(txtAddress(), "Triple 2 new");
        std::vector<Record> expected = asRecords(vendorTable());
        auto deleteFirst = [this, &expected](int records) {
            records::RecordSet other(database, QStringLiteral("oui"));
            for (int i = 0; i < records; ++i) {
                other.MoveFirst();
                other.Delete();
                expected.erase(expected.begin());
            }
        };
        deleteFirst(2);   // record 3 is now 44-44-44
        QByteArray file = fileBytes(database);
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
            QVERIFY(window->editMode());
        }
        QCOMPARE(fileBytes(database), file);
        verifyTable(expected);

        // A new search finds the record where it is now.
        boxes.asked.clear();
        QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
        search(cmbCode(), "33-33-02");
        choose(cmbCode(), "33-33-02");
        QCOMPARE(window->recordNum(), 1);
        retype(txtAddress(), "Triple 2 new");
        click("cmdUpdate");
        QCOMPARE(boxes.asked.size(), 0);
        expected[1][2] = QStringLiteral("Triple 2 new");
        verifyTable(expected);

        // The last record, once records before it are gone, lies past the
        // end of the table. (From its first change on, the window keeps the
        // file for itself, so this starts over with a fresh copy.)
        open(smallTable);
        expected = asRecords(vendorTable());
        search(cmbCode(), "22-22");
        choose(cmbCode(), "22-22-22");
        QCOMPARE(window->recordNum(), 7);
        editMode();
        deleteFirst(2);
        file = fileBytes(database);
        click("CmdDelete");   // another program changed the file
        click("CmdDelete");
        QCOMPARE(boxes.asked.size(), 2);
        QVERIFY2(boxes.asked[1].text.contains(QLatin1String("no current record")), qPrintable(boxes.asked[1].text));
        QCOMPARE(boxes.asked[1].icon, MsgIcon::Warning);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("22-22-22"));
        QCOMPARE(fileBytes(database), file);
        verifyTable(expected);
    }

    void textTooLongForItsField()
    {
        ScriptedMessageBoxes boxes;
        const QString tooLong(256, QLatin1Char('V'));
        changeTripleOne(tooLong);
        const QByteArray before = fileBytes(database);
        click("cmdUpdate");
        verifyRefusedByEngine(boxes, QStringLiteral("Vendor"), tooLong, before);
        retype(cmbCode(), "99-99-99");
        click("cmdAdd");
        verifyRefusedByEngine(boxes, QStringLiteral("Vendor"), tooLong, before);

        // 255 characters fit; nothing of the refused commands is left over.
        const QString longest(255, QLatin1Char('V'));
        retype(cmbVendor(), longest);
        click("cmdAdd");
        QCOMPARE(boxes.asked.size(), 0);
        std::vector<Record> expected = asRecords(vendorTable());
        expected.push_back(Record{QStringLiteral("99-99-99"), longest, QStringLiteral("Triple 1")});
        verifyTable(expected);
    }
};

QTEST_MAIN(TstRecordEditing)
#include "tst_recordediting.moc"
