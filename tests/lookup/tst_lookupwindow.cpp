#include "about/frmAbout.h"
#include "tests/lookup/LookupWindowDriver.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/VendorDatabaseBuilder.h"
#include "ui/Twips.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QTemporaryDir>

using namespace zorvane;
using test::entries;
using test::ScriptedMessageBoxes;
using test::vendorRecord;

namespace {

// The vendor table the window searches, in storage order.
std::vector<records::VendorRecord> vendorTable()
{
    return {
        vendorRecord("00-00-0C", "Cisco Systems, Inc", "170 West Tasman Dr", "Building 1"),
        vendorRecord("00-A0-C9", "Intel Corporation", "2111 NE 25th Ave"),
        vendorRecord("0C", "ABC SYSTEMS INC", "1 Short St"),
        vendorRecord("0C-00-0C", "SYSTEMS INC", "2 Loop Rd"),
        vendorRecord("00-A0-12", "ABC SYSTEMS", "3 Main St"),
        vendorRecord("00-11-22", "SYSTEMS", "4 Side St"),
        vendorRecord("00-00-0c", "SYSTEMS AND SYSTEMS CO", "5 Twin Rd"),
        vendorRecord("AA-BB-CC", "ACME NETWORKS, INC", "6 Road Runner Way"),
        vendorRecord("A*B-01", "STAR CORP", "7 Star Ave"),
        vendorRecord("11-22-33", "FOONET LTD", "8 Foo St"),
        vendorRecord("11-22-34", "FOO NET LTD", "9 Foo St"),
        vendorRecord(std::nullopt, "Nameless Code Vendor", "10 Null St"),
        vendorRecord("22-22-22", std::nullopt, std::nullopt),
        vendorRecord("33-33-01", "Triple Co", "Triple 1"),
        vendorRecord("33-33-02", "Triple Co", "Triple 2"),
        vendorRecord("33-33-03", "Triple Co", "Triple 3"),
        vendorRecord("44-44-44", "triple co", "lower case"),
    };
}

// Whether `w` lies wholly inside, or wholly outside, the part of its window in
// view (the central widget ends where the status bar begins).
bool inView(QWidget* w, bool wholly = true)
{
    QWidget* client = w->window()->findChild<QWidget*>(QStringLiteral("client"));
    const QRect place(w->mapTo(client, QPoint(0, 0)), w->size());
    return wholly ? w->isVisible() && client->rect().contains(place)
                  : w->isVisible() && client->rect().intersects(place);
}

// Records what a widget showed each time it was painted.
class PaintLog : public QObject {
public:
    QStringList shown;
    std::function<QString()> state = [] { return QString(); };
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            shown << state();
        return false;
    }
};

} // namespace

class TstLookupWindow : public test::LookupWindowDriver {
    Q_OBJECT

    QTemporaryDir folder;
    QString database;

    int clientHeight() const { return window->height() - window->menuBar()->height(); }
    void openMenuCommand(Qt::Key key)
    {
        QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
        auto* help = control<QMenu>("mnuHelp");
        QTRY_VERIFY(help->isVisible());
        QTest::keyClick(help, key);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        database = test::writeVendorDatabase(folder.path(), vendorTable());
    }
    void init() { QVERIFY(open(database)); }
    void cleanup() { window.reset(); }

    void opensWithOnlyTheSearchPartInView()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Zorvane"));
        QCOMPARE(window->width(), twips(3840));
        QCOMPARE(clientHeight(), twips(2115));
        for (QWidget* w : {(QWidget*)button("cmdSearch"), (QWidget*)button("cmdClear"),
                           (QWidget*)button("cmdExit"), (QWidget*)cmbCode(), (QWidget*)cmbVendor()})
            QVERIFY2(inView(w), qPrintable(w->objectName()));
        for (QWidget* w : {(QWidget*)txtAddress(), (QWidget*)bar("prg1"), (QWidget*)bar("prg2")})
            QVERIFY2(!inView(w, false), qPrintable(w->objectName()));
        QCOMPARE(control<QStatusBar>("sts1")->geometry().bottom(), window->rect().bottom());
        QCOMPARE(control<QLabel>("lblCodeVendFound")->text(), QStringLiteral("Adding Item to List"));
        // Captions and panel texts are not cut, even with five-digit numbers.
        auto fits = [](QLabel* label, const QString& text) {
            return label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width();
        };
        for (const char* name : {"lblCode", "Label1", "lblCodeVendFound", "Label3"})
            QVERIFY2(fits(control<QLabel>(name), control<QLabel>(name)->text()), name);
        QVERIFY(fits(panel(1), QStringLiteral("Searching Record # 46524")));
        QVERIFY(fits(panel(2), QStringLiteral("46524 Matching Records")));
        QCOMPARE(control<QWidget>("client")->palette().color(QPalette::Window), QColor(0, 192, 0));

        // Loaded out of edit mode, focus on Search; Help before Edit on the menu bar.
        QVERIFY(button("cmdSearch")->hasFocus());
        verifyOutOfEditMode();
        QCOMPARE(window->menuBar()->actions(),
                 (QList<QAction*>{control<QMenu>("mnuHelp")->menuAction(), control<QAction>("mnuAdd")}));

        // Tab walks the controls in their order and comes round again.
        QList<QWidget*> walked;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget();
        }
        QCOMPARE(walked, QList<QWidget*>({cmbCode(), cmbVendor(), button("cmdClear"), button("cmdExit"),
                                          txtAddress(), button("cmdSearch")}));
    }

    // The kinds of match themselves are SearchTerm's (tst_searchterm); here
    // what the window passes to it and lists.
    void matchKinds_data()
    {
        QTest::addColumn<bool>("byCode");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("vendors");
        QTest::newRow("code anywhere, any case") << true << "00-00-0c" << QStringList{"00-00-0C", "00-00-0c"}
                                                 << QStringList{"Cisco Systems, Inc", "SYSTEMS AND SYSTEMS CO"};
        QTest::newRow("name strictly inside") << false << "*systems*" << QStringList{"00-00-0C", "0C"}
                                              << QStringList{"Cisco Systems, Inc", "ABC SYSTEMS INC"};
        QTest::newRow("leading space counts") << false << " NET" << QStringList{"AA-BB-CC", "11-22-34"}
                                              << QStringList{"ACME NETWORKS, INC", "FOO NET LTD"};
        // Null fields: never matched, and listed as empty text when matched otherwise.
        QTest::newRow("null name listed empty") << true << "22-22" << QStringList{"22-22-22"} << QStringList{""};
        QTest::newRow("null code listed empty") << false << "nameless" << QStringList{""}
                                                << QStringList{"Nameless Code Vendor"};
    }
    void matchKinds()
    {
        QFETCH(bool, byCode);
        QFETCH(QString, term);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, vendors);
        ScriptedMessageBoxes boxes;
        search(byCode ? cmbCode() : cmbVendor(), term);
        QCOMPARE(boxes.asked.size(), 0);
        QCOMPARE((byCode ? cmbCode() : cmbVendor())->currentText(), term);
        QCOMPARE(test::sortedEntries(cmbCode()), test::sorted(codes));
        QCOMPARE(test::sortedEntries(cmbVendor()), test::sorted(vendors));
        // One result row per match, in storage order.
        const lookup::ResultArray& rows = window->results();
        QCOMPARE(window->arrayCtr(), rows.filledRows());
        QCOMPARE(rows.filledRows(), qint32(codes.size()));
        qint32 previous = -1;
        for (qint32 r = 0; r < rows.filledRows(); ++r) {
            QCOMPARE(rows.at(r, lookup::ResultArray::Code), codes[r]);
            qint32 number = -1;
            lookup::GetintRecordNum(rows, number, r);
            QVERIFY(number > previous);
            previous = number;
        }
        QCOMPARE(panel(1)->text(), QStringLiteral("Done"));
    }

    void countTextsAndSpaces()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "33-33");
        QCOMPARE(entries(cmbCode()), QStringList({"33-33-01", "33-33-02", "33-33-03"}));
        QCOMPARE(entries(cmbVendor()), QStringList({"Triple Co", "Triple Co", "Triple Co"}));
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("3 Vendors Found"));
        QCOMPARE(panel(2)->text(), QStringLiteral("3 Matching Records"));
        QCOMPARE(bar("prg1")->value() + bar("prg2")->value(), 0);   // the search resets the bars

        searchAfresh(cmbVendor(), "triple");
        // Names differing in case are different entries; codes are listed once per match.
        QCOMPARE(entries(cmbVendor()), QStringList({"Triple Co", "triple co"}));
        QCOMPARE(entries(cmbCode()).size(), 4);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("4 Vendor Codes Found"));
        // Clear empties the boxes and lists, and keeps the results, the status
        // panels and the height.
        const int height = window->height();
        click("cmdClear");
        QVERIFY(listsEmpty());
        QCOMPARE(panel(1)->text(), QStringLiteral("Done"));
        QCOMPARE(panel(2)->text(), QStringLiteral("4 Matching Records"));
        QCOMPARE(window->results().filledRows(), 4);
        QCOMPARE(window->height(), height);

        search(cmbVendor(), "acme");
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("1 Vendor Code Found"));
        QCOMPARE(panel(2)->text(), QStringLiteral("1 Matching Records"));
        searchAfresh(cmbCode(), "AA-BB");
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("1 Vendor Found"));

        // A single space is a term: every name holding a space matches.
        click("cmdClear");
        cmbCode()->lineEdit()->clear();
        search(cmbVendor(), " ");
        QCOMPARE(window->numRecords(), 15);
        QCOMPARE(panel(2)->text(), QStringLiteral("15 Matching Records"));
        QCOMPARE(boxes.asked.size(), 0);
    }

    void searchWithoutMatches_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<bool>("emptyTable");
        QTest::newRow("no such name") << "ZZZ" << false;
        QTest::newRow("empty table") << "00" << true;
    }
    void searchWithoutMatches()
    {
        QFETCH(QString, term);
        QFETCH(bool, emptyTable);
        QTemporaryDir empty;
        if (emptyTable)
            QVERIFY(open(test::writeVendorDatabase(empty.path(), {})));
        const QString last = emptyTable ? QString() : QStringLiteral("Searching Record # 17");
        PaintLog prg1Paints, panelPaints;
        prg1Paints.state = [this] { return QString::number(bar("prg1")->value()); };
        panelPaints.state = [this] { return panel(1)->text(); };
        bar("prg1")->installEventFilter(&prg1Paints);
        panel(1)->installEventFilter(&panelPaints);

        ScriptedMessageBoxes boxes;
        bool checked = false;
        boxes.whileOpen([&] {
            // The box comes while the progress area is in view, and the walk's
            // last state has been drawn.
            checked = inView(bar("prg1")) && inView(control<QLabel>("Label3")) && inView(bar("prg2"))
                && inView(control<QLabel>("lblCodeVendFound"))
                && (emptyTable || (bar("prg1")->value() == 5000 && panel(1)->text() == last
                                   && prg1Paints.shown.contains("5000") && panelPaints.shown.contains(last)));
        });
        boxes.answer(MsgResult::Ok);
        cmbVendor()->setFocus();
        QTest::keyClicks(cmbVendor(), term);
        click("cmdSearch");

        verifyAsked(boxes, 1, "No Matches Found", "Search Failed", MsgButtons::Ok, MsgIcon::Warning);
        QVERIFY(checked);
        QCOMPARE(bar("prg1")->value() + bar("prg2")->value(), 0);
        QCOMPARE(panel(1)->text(), QStringLiteral("Done"));
        QVERIFY(panel(2)->text().isEmpty());
        // After the search the address box is in view, the progress area is not.
        QVERIFY(inView(txtAddress()));
        QVERIFY(!inView(bar("prg2"), false) && !inView(bar("prg1"), false));
        QCOMPARE(control<QStatusBar>("sts1")->geometry().bottom(), window->rect().bottom());
        QCOMPARE(cmbCode()->count(), 0);
    }

    void choosingFromTheLists()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "33-33");
        // An arrow key chooses a code: its vendor, address and record number show.
        press(cmbCode(), Qt::Key_Down);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("33-33-01"));
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("Triple Co"));
        QCOMPARE(cmbVendor()->count(), 4);   // one more entry for each choice
        verifyShown("Triple 1", 13);
        QCOMPARE(cmbCode()->width(), twips(1000));
        QCOMPARE(control<QLabel>("lblCode")->width(), twips(1000));
        // The mouse chooses from the dropped-down list.
        QVERIFY(test::clickEntry(cmbCode(), 2));
        verifyShown("Triple 3", 15);

        // With the other box emptied (Delete types no character, so the lists
        // stay), a choice finds nothing.
        cmbVendor()->lineEdit()->selectAll();
        QTest::keyClick(cmbVendor(), Qt::Key_Delete);
        txtAddress()->clear();
        press(cmbCode(), Qt::Key_Up);
        QVERIFY(txtAddress()->toPlainText().isEmpty());
        QCOMPARE(cmbVendor()->count(), 5);

        // Choosing a vendor: the last equal row is the one shown and kept.
        searchAfresh(cmbVendor(), "triple");
        // The next search gives the label its width back; the box keeps its own.
        QCOMPARE(control<QLabel>("lblCode")->width(), twips(2175));
        QCOMPARE(cmbCode()->width(), twips(1000));
        press(cmbVendor(), Qt::Key_Down);
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("Triple Co"));
        QCOMPARE(entries(cmbCode()), QStringList({"33-33-01", "33-33-02", "33-33-03"}));
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("33-33-03"));
        verifyShown("Triple 3", 15);
        // The last filled row is reached too.
        QVERIFY(choose(cmbVendor(), QStringLiteral("triple co")));
        QCOMPARE(entries(cmbCode()), QStringList{"44-44-44"});
        verifyShown("lower case", 16);
        QCOMPARE(boxes.asked.size(), 0);
    }

    void typingEmptiesTheLists()
    {
        // Typing in either box after a search empties the lists and the other box.
        for (QComboBox* typed : {cmbCode(), cmbVendor()}) {
            const QString term = typed == cmbCode() ? QStringLiteral("*0C") : QStringLiteral("acme");
            QComboBox* other = typed == cmbCode() ? cmbVendor() : cmbCode();
            other->lineEdit()->clear();
            search(typed, term);
            QVERIFY(cmbCode()->count() > 0);
            QTest::keyClick(typed, Qt::Key_X);
            QCOMPARE(cmbVendor()->count() + cmbCode()->count(), 0);
            QVERIFY(other->currentText().isEmpty());
            QCOMPARE(typed->currentText(), term + QLatin1Char('x'));
        }

        // In edit mode typing changes only the field typed into.
        cmbVendor()->lineEdit()->clear();
        search(cmbVendor(), "triple");
        toggleEditMode();
        QVERIFY(window->editMode());
        QTest::keyClick(cmbVendor(), Qt::Key_Z);
        QCOMPARE(cmbCode()->count(), 4);
        QCOMPARE(cmbVendor()->count(), 2);
    }

    void searchResultsExist()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "*0C");
        press(cmbCode(), Qt::Key_Down);   // choose 00-00-0C
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("170 West Tasman Dr"));
        const QStringList codes = entries(cmbCode()), vendors = entries(cmbVendor());
        const int height = window->height();

        boxes.answer(MsgResult::No);
        click("cmdSearch");
        verifyAsked(boxes, 1, "Do you wish to clear the\rsearch results and begin\ra new Search?",
                    "Search Results Exist", MsgButtons::YesNo, MsgIcon::None);
        QCOMPARE(entries(cmbCode()), codes);
        QCOMPARE(entries(cmbVendor()), vendors);
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("170 West Tasman Dr"));
        QVERIFY(panel(2)->text().isEmpty());
        // The results still answer a choice.
        press(cmbCode(), Qt::Key_Down);
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("00-00-0c"));
        verifyShown("5 Twin Rd", 6);

        boxes.answer(MsgResult::Yes);
        click("cmdSearch");
        QCOMPARE(boxes.asked.size(), 2);
        QVERIFY(listsEmpty());
        QCOMPARE(txtAddress()->toPlainText(), QStringLiteral("5 Twin Rd"));
        QCOMPARE(window->height(), height);
        QVERIFY(cmbCode()->hasFocus());
        QCOMPARE(boxes.unexpected, 0);
    }

    void enterAccessKeysAndTheEmptyTerm()
    {
        ScriptedMessageBoxes boxes;
        QTest::keyClick(button("cmdSearch"), Qt::Key_Return);
        verifyAsked(boxes, 1, "Enter a Vendor Code or Vendor Name", "Zorvane");
        QVERIFY(cmbCode()->hasFocus());
        QCOMPARE(clientHeight(), twips(2115));

        search(cmbCode(), "*0C");   // Enter in a box presses Search
        QCOMPARE(cmbCode()->count(), 3);
        // Enter on another button presses that button.
        press(button("cmdClear"), Qt::Key_Return);
        QCOMPARE(cmbCode()->count(), 0);
        // Enter in the address box presses Search; so does Alt+S.
        press(txtAddress(), Qt::Key_Return);
        QCOMPARE(boxes.asked.size(), 2);
        QVERIFY(txtAddress()->toPlainText().isEmpty());
        QTest::keyClick(window.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(boxes.asked.size(), 3);
        QCOMPARE(boxes.asked[2].text, QStringLiteral("Enter a Vendor Code or Vendor Name"));
    }

    void helpMenu()
    {
        ScriptedMessageBoxes boxes;
        openMenuCommand(Qt::Key_H);
        QTRY_COMPARE(boxes.asked.size(), 1);
        QCOMPARE(boxes.asked[0].title, QStringLiteral("How to use Zorvane"));
        QCOMPARE(boxes.asked[0].buttons, MsgButtons::Ok);
        const QStringList lines = boxes.asked[0].text.split(QLatin1Char('\r'));
        QCOMPARE(lines.size(), 15);
        QVERIFY(!boxes.asked[0].text.contains(QLatin1Char('\n')));
        QCOMPARE(lines[0], QStringLiteral("Type all or a portion of the vendor code"));
        QCOMPARE(lines[7], QStringLiteral("throught the code or vendor lists to select"));
        QCOMPARE(lines[14], QStringLiteral("you can fill in the appropriate information and click ADD."));

        // About (one window, not modal: tst_aboutwindow); minimised, it has no
        // task-bar entry, so it goes with the lookup window.
        openMenuCommand(Qt::Key_A);
        QTRY_VERIFY(frmAbout::instance() && frmAbout::instance()->isVisible());
        QPointer<frmAbout> about = frmAbout::instance();
        about->showMinimized();
        QTRY_VERIFY(about->isMinimized());
        window->close();
        QTRY_VERIFY(about.isNull());
    }

    void editModeShowsTheEditButtons()
    {
        const QSize before = window->size();
        toggleEditMode();
        QVERIFY(window->editMode());
        QCOMPARE(window->width(), twips(5775));
        for (const char* name : {"cmdUpdate", "cmdAdd", "CmdDelete", "cmdCloseEdit", "cmdExit"})
            QVERIFY2(button(name)->isEnabled() && inView(button(name)), name);
        click("cmdCloseEdit");
        QCOMPARE(window->size(), before);   // the height edit mode added is given back
        QVERIFY(!window->editMode() && !button("cmdAdd")->isEnabled());
        // After a search the window keeps its height through edit mode.
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "*0C");
        const QSize searched = window->size();
        toggleEditMode();
        toggleEditMode();
        QCOMPARE(window->size(), searched);
        // The narrowed code box drops down a list (long enough for a scroll
        // bar) as wide as its longest entry.
        searchAfresh(cmbCode(), "-");
        QVERIFY(choose(cmbCode(), "00-00-0C"));   // narrows the box to 1000 twips
        cmbCode()->showPopup();
        QTRY_VERIFY(cmbCode()->view()->isVisible());
        QVERIFY(cmbCode()->view()->viewport()->width() >= cmbCode()->view()->sizeHintForColumn(0));
        cmbCode()->hidePopup();
    }

    void inputDuringTheWalkIsDropped()
    {
        ScriptedMessageBoxes boxes;
        cmbVendor()->setFocus();
        QTest::keyClicks(cmbVendor(), "acme");
        // A key that is still queued when the walk starts is not handled after it.
        QCoreApplication::postEvent(cmbVendor(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q"));
        click("cmdSearch");
        QCoreApplication::processEvents();
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("acme"));
        QCOMPARE(cmbCode()->count(), 1);
    }

    void largeTablesKeepEveryMatch()
    {
        // Past 5001 matches and past the 16-bit record numbers.
        constexpr int Records = 33000;
        std::vector<records::VendorRecord> table;
        table.reserve(Records);
        for (int i = 0; i < Records; ++i)
            table.push_back(vendorRecord(QStringLiteral("AB-%1").arg(i, 5, 10, QLatin1Char('0')),
                                         QStringLiteral("Vendor %1").arg(i % 700), QStringLiteral("Street %1").arg(i)));
        QTemporaryDir big;
        QVERIFY(open(test::writeVendorDatabase(big.path(), table)));

        PaintLog prg1Paints;
        bar("prg1")->installEventFilter(&prg1Paints);
        ScriptedMessageBoxes boxes;
        QElapsedTimer clock;
        clock.start();
        search(cmbCode(), "ab-");
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(boxes.asked.size(), 0);
        QCOMPARE(window->results().filledRows(), Records);
        QCOMPARE(cmbCode()->count(), Records);
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("%1 Vendors Found").arg(Records));
        QCOMPARE(panel(2)->text(), QStringLiteral("%1 Matching Records").arg(Records));
        // Drawn about once a frame while walking, not once a record.
        QVERIFY2(prg1Paints.shown.size() <= elapsed / 15 + 4,
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(prg1Paints.shown.size()).arg(elapsed)));

        QVERIFY(test::clickEntry(cmbCode(), Records - 1));
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("AB-32999"));
        verifyShown("Street 32999", 32999);
    }

    // Another program changes the file while the window is open (zorvane-db
    // renames a vendor and deletes the first record, so every later record
    // moves up one): choosing a code of the last search shows the record as
    // the file holds it now, and so does the next search.
    void readsTheFileAgainWhenAnotherProgramChangedIt()
    {
        const QString copy = folder.filePath("changed.mdb");
        QFile::remove(copy);
        QVERIFY(QFile::copy(database, copy));
        QVERIFY(open(copy));
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "11-22-3");
        QCOMPARE(entries(cmbCode()), (QStringList{"11-22-33", "11-22-34"}));
        for (const QStringList& change : {QStringList{"update", copy, "oui", "9", "Vendor=FOONET RENAMED", "Address=8 New St"},
                                          QStringList{"delete", copy, "oui", "0"}}) {
            const test::ProcessResult r = test::runProcess(test::zorvaneDbPath(), change);
            QVERIFY2(r.status == 0, r.err.constData());
        }
        QVERIFY(test::clickEntry(cmbCode(), 0));
        QCOMPARE(cmbCode()->currentText(), QStringLiteral("11-22-33"));
        QCOMPARE(cmbVendor()->currentText(), QStringLiteral("FOONET RENAMED"));
        verifyShown("8 New St", 8);
        QVERIFY(test::clickEntry(cmbCode(), 1));
        verifyShown("9 Foo St", 9);
        searchAfresh(cmbVendor(), "foonet");
        QCOMPARE(entries(cmbVendor()), QStringList{"FOONET RENAMED"});
        QCOMPARE(boxes.asked.size(), 0);
    }

    void openingWithoutADatabase()
    {
        window.reset();
        QTemporaryDir work;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        for (const QByteArray& junk : {QByteArray(), QByteArray(5000, 'x')}) {
            if (!junk.isEmpty()) {
                QFile file(QStringLiteral("oui.mdb"));
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(junk) == junk.size());
            }
            ScriptedMessageBoxes boxes;
            QCOMPARE(frmMain::load(), nullptr);
            QCOMPARE(boxes.asked.size(), 1);
            // The message names the file, the folder and the reason.
            const QString text = boxes.asked[0].text;
            QVERIFY2(text.contains("\"oui.mdb\"") && text.contains(QDir::toNativeSeparators(work.path()))
                         && text.contains("no such file") == junk.isEmpty()
                         && text.contains("zorvane-db import oui.mdb") == junk.isEmpty()
                         && text.section(QLatin1Char('\r'), 1).size() > 5,
                     qPrintable(text));
            QCOMPARE(boxes.asked[0].icon, MsgIcon::Warning);
        }
        // Started by the launcher, which could not make the database: its
        // reason, and advice for a menu user (no command line).
        QVERIFY(QFile::remove(QStringLiteral("oui.mdb")));
        qputenv("ZORVANE_LAUNCH_PROBLEM", "The folder /x/zorvane for the vendor database cannot be made (Permission denied).");
        {
            ScriptedMessageBoxes boxes;
            QCOMPARE(frmMain::load(), nullptr);
            QCOMPARE(boxes.asked.size(), 1);
            const QString text = boxes.asked[0].text;
            QVERIFY2(text.contains("The folder /x/zorvane for the vendor database cannot be made (Permission denied).")
                         && text.contains("start Zorvane from the menu again") && !text.contains("zorvane-db"),
                     qPrintable(text));
        }
        QVERIFY(QFile::copy(database, QStringLiteral("oui.mdb")));
        ScriptedMessageBoxes boxes;
        std::unique_ptr<frmMain> loaded(frmMain::load());
        qunsetenv("ZORVANE_LAUNCH_PROBLEM");
        QVERIFY(loaded);
        QCOMPARE(boxes.asked.size(), 0);
        QVERIFY(loaded->testAttribute(Qt::WA_DeleteOnClose));
        // A file given by name (zorvane FILE): that file, wherever it is.
        const QString missing = work.filePath(QStringLiteral("sub/given.mdb"));
        QCOMPARE(frmMain::load(missing), nullptr);
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(boxes.asked[0].text, QStringLiteral("The vendor database \"given.mdb\" in the folder \"%1\" cannot be "
                                                     "opened.\rThere is no such file.")
                                          .arg(QDir::toNativeSeparators(work.filePath(QStringLiteral("sub")))));
        std::unique_ptr<frmMain> given(frmMain::load(database));
        QVERIFY(given);
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY(QDir::setCurrent(before));
    }

    void exitAsksFirst()
    {
        ScriptedMessageBoxes boxes;
        search(cmbCode(), "*0C");
        boxes.answer(MsgResult::No);
        click("cmdExit");
        verifyAsked(boxes, 1, "Are You Sure?", "End Program?", MsgButtons::YesNo);
        QVERIFY(window->isVisible());
        QCOMPARE(cmbCode()->count(), 3);

        // Yes ends the program at once: the event loop returns and every window
        // goes, the about window too.
        frmAbout::showInstance();
        boxes.answer(MsgResult::Yes);
        QTimer::singleShot(0, this, [this] { QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(boxes.asked.size(), 2);
        QVERIFY(!window->isVisible());
        QVERIFY(!frmAbout::instance() || !frmAbout::instance()->isVisible());
    }
};

QTEST_MAIN(TstLookupWindow)
#include "tst_lookupwindow.moc"
