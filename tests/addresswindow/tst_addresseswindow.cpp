// The Addresses window as a user drives it: text pasted with Ctrl+V, typed,
// dropped as a file and opened with File > Open; the table and the vendor
// summary filled from it with vendors, blocks, codes and kinds; the filter
// box, sorting by a click on a column header, rows copied as tab-separated
// text, Save As... giving the very CSV of `zorvane-db lookup --csv` on the
// same text; the database from $XDG_DATA_HOME, the argument or File > Open
// Database; the focus and the tab order.
#include "addresswindow/AddressTableModel.h"
#include "addresswindow/frmAddresses.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/VendorDatabaseBuilder.h"
#include "tests/support/WidgetDriving.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace zorvane;
using addresswindow::AddressTableModel;
using addresswindow::frmAddresses;
using test::child;

namespace {

// Eleven addresses: five vendors (Ayecom twice), one unknown, three local.
const QString Sample = QStringLiteral(
    "10.0.0.1 dev eth0 lladdr 00:1a:2b:3c:4d:5e REACHABLE\n"
    "10.0.0.9 dev eth0 FAILED\n"
    "Dec  7 04:21:00 gw dnsmasq-dhcp[812]: DHCPACK(eth0) 10.0.0.5 3c:22:fb:11:22:33 laptop\n"
    "? (224.0.0.251) at 1:0:5e:0:0:fb on en0 ifscope permanent [ethernet]\n"
    "  10    70b3.d5f2.f001    DYNAMIC     Gi1/0/1\n"
    "ff:ff:ff:ff:ff:ff and da:a1:19:12:34:56 and 02:00:00:00:00:01\n"
    "cc:dd:ee:00:00:01 0:50:c2:7d:51:23\n"
    "2001:db8::1 dev eth0 lladdr 00:00:5e:00:01:07 router REACHABLE\n"
    "host decade at 00:1a:2b:3c:4d:5f");

// Answers the next file dialog by typing `path` into it and pressing Enter.
void answerFileDialog(const QString& path)
{
    QTimer::singleShot(0, [path] {
        QFileDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())));
        QApplication::setActiveWindow(dialog);
        QTRY_VERIFY(dialog->isActiveWindow());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, path);
        // The completer's list, when it drops down, goes first.
        if (QCompleter* completer = name->completer(); completer && completer->popup()->isVisible())
            QTest::keyClick(completer->popup(), Qt::Key_Escape);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

} // namespace

class TstAddressesWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString database;
    std::unique_ptr<frmAddresses> window;

    QPlainTextEdit* pane() const { return child<QPlainTextEdit>(window.get(), "txtInput"); }
    QLineEdit* filter() const { return child<QLineEdit>(window.get(), "txtFilter"); }
    QTableView* table() const { return child<QTableView>(window.get(), "tblAddresses"); }
    QTableView* vendorTable() const { return child<QTableView>(window.get(), "tblVendors"); }
    const AddressTableModel& model() const { return window->table(); }

    bool open(const QString& path)
    {
        window = std::make_unique<frmAddresses>(path);
        window->show();
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowExposed(window.get()) && QTest::qWaitFor([this] { return window->isActiveWindow(); });
    }
    // The table shows the text the pane holds now.
    bool current() const
    {
        return model().scan() && *model().scan()->text == pane()->toPlainText().toStdString();
    }
    bool waitCurrent() { return QTest::qWaitFor([this] { return current(); }, 20000); }
    // The shown rows' cells of `column`.
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < model().rowCount(); ++r)
            out << model().text(r, c);
        return out;
    }
    void paste(const QString& text)
    {
        QApplication::clipboard()->setText(text);
        pane()->setFocus();
        QTest::keyClick(pane(), Qt::Key_V, Qt::ControlModifier);
    }
    void clickHeader(int section)
    {
        QHeaderView* header = table()->horizontalHeader();
        const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect cell = table()->visualRect(model().index(row, 0));
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, modifiers, cell.center());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        database = test::writeVendorDatabase(dir.path(), {
            test::vendorRecord("00-1A-2B", "Ayecom Technology Co., Ltd.", "No. 2F, 6, Lane 99\r\nHsinchu\r\nTW"),
            test::vendorRecord("3C-22-FB", "Apple, Inc.", "1 Infinite Loop\r\nCupertino  CA  95014\r\nUS"),
            test::vendorRecord("70-B3-D5", "IEEE Registration Authority", "445 Hoes Lane"),
            test::vendorRecord("70-B3-D5-F2-F", "TELEPLATFORMS", "Polbina st., 3/1\r\nMoscow"),
            test::vendorRecord("00-50-C2-7D-5", "DEUTA-WERKE GmbH", "Paffrather Str. 140"),
            test::vendorRecord("00-00-5E", "ICANN, IANA Department", "INTERNET ASS'NED NOS.AUTHORITY"),
        });
    }
    void init() { QVERIFY(open(database)); }
    void cleanup() { window.reset(); }

    // Open: the text pane has the focus, the table is empty, the database named.
    void opensReadyToPaste()
    {
        QVERIFY(pane()->hasFocus());
        QCOMPARE(window->summary(), QStringLiteral("0 addresses, 0 vendors, 0 unknown, 0 local"));
        QCOMPARE(child<QLabel>(window.get(), "lblDatabase")->text(), QDir::toNativeSeparators(database) + " (6 records)");
        QCOMPARE(window->windowTitle(), QStringLiteral("Zorvane Addresses"));
        // Tab leaves the text pane and walks the controls in their order.
        QList<QWidget*> walked;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget();
        }
        QCOMPARE(walked, QList<QWidget*>({filter(), table(), vendorTable(), pane()}));
        // The menus open from the keyboard.
        QTest::keyClick(window.get(), Qt::Key_F, Qt::AltModifier);
        QMenu* file = window->menuBar()->actions().first()->menu();
        QTRY_VERIFY(file->isVisible());
        QTest::keyClick(file, Qt::Key_Escape);
        QTRY_VERIFY(!file->isVisible());
    }

    // Ctrl+V of tool output: every address, its vendor, block, code, kind and line.
    void pasteFillsTheTable()
    {
        paste(Sample);
        QVERIFY(waitCurrent());
        QCOMPARE(column(AddressTableModel::Address),
                 QStringList({"00:1A:2B:3C:4D:5E", "3C:22:FB:11:22:33", "01:00:5E:00:00:FB", "70:B3:D5:F2:F0:01",
                              "FF:FF:FF:FF:FF:FF", "DA:A1:19:12:34:56", "02:00:00:00:00:01", "CC:DD:EE:00:00:01",
                              "00:50:C2:7D:51:23", "00:00:5E:00:01:07", "00:1A:2B:3C:4D:5F"}));
        QCOMPARE(column(AddressTableModel::Line), QStringList({"1", "3", "4", "5", "6", "6", "6", "7", "7", "8", "9"}));
        QCOMPARE(column(AddressTableModel::Block), QStringList({"MA-L", "MA-L", "", "MA-S", "", "", "", "", "IAB", "MA-L", "MA-L"}));
        QCOMPARE(column(AddressTableModel::Code),
                 QStringList({"00-1A-2B", "3C-22-FB", "", "70-B3-D5-F2-F", "", "", "", "", "00-50-C2-7D-5", "00-00-5E", "00-1A-2B"}));
        QCOMPARE(column(AddressTableModel::Kind),
                 QStringList({"", "", "IPv4 multicast 224.0.0.251 (one of 32 groups)", "", "broadcast",
                              "locally administered (ELI)", "locally administered (AAI)", "", "",
                              "VRRP virtual router 7 (IPv4)", ""}));
        QCOMPARE(model().text(1, AddressTableModel::Postal), QStringLiteral("1 Infinite Loop, Cupertino  CA  95014, US"));
        QCOMPARE(model().text(3, AddressTableModel::Vendor), QStringLiteral("TELEPLATFORMS"));
        QCOMPARE(window->summary(), QStringLiteral("11 addresses, 5 vendors, 1 unknown, 3 local"));
        // The vendor summary: most first, then by name.
        QStringList summary;
        for (int r = 0; r < vendorTable()->model()->rowCount(); ++r)
            summary << vendorTable()->model()->index(r, 0).data().toString() + " " +
                           vendorTable()->model()->index(r, 1).data().toString();
        QCOMPARE(summary, QStringList({"Ayecom Technology Co., Ltd. 2", "Apple, Inc. 1", "DEUTA-WERKE GmbH 1",
                                       "ICANN, IANA Department 1", "TELEPLATFORMS 1"}));
    }

    // Typing: the table follows the text once the typing pauses.
    void typingUpdatesTheTable()
    {
        QTest::keyClicks(pane(), "mac=3c22.fb11.2244;");
        QVERIFY(waitCurrent());
        QCOMPARE(column(AddressTableModel::Address), QStringList({"3C:22:FB:11:22:44"}));
        QTest::keyClick(pane(), Qt::Key_Return);
        QTest::keyClicks(pane(), "04:21:00 decade 01-80-C2-00-00-0E");
        QVERIFY(waitCurrent());
        QCOMPARE(column(AddressTableModel::Address), QStringList({"3C:22:FB:11:22:44", "01:80:C2:00:00:0E"}));
        QCOMPARE(model().text(1, AddressTableModel::Kind), QStringLiteral("IEEE 802.1 nearest bridge (LLDP, PTP)"));
        QCOMPARE(window->summary(), QStringLiteral("2 addresses, 1 vendor, 0 unknown, 0 local"));
        // Undo takes the text back, and the table with it.
        QTest::keyClick(pane(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(pane(), Qt::Key_Delete);
        QVERIFY(waitCurrent());
        QCOMPARE(model().rowCount(), 0);
    }

    // The filter box narrows the table; a click on a header sorts by it.
    void filterAndSort()
    {
        paste(Sample);
        QVERIFY(waitCurrent());
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);  // Edit > Filter
        QVERIFY(filter()->hasFocus());
        QTest::keyClicks(filter(), "AYECOM");
        QTRY_COMPARE(model().rowCount(), 2);
        QCOMPARE(window->summary(), QStringLiteral("11 addresses, 5 vendors, 1 unknown, 3 local (2 shown)"));
        QTest::keyClick(filter(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(filter(), "locally");
        QTRY_COMPARE(column(AddressTableModel::Address), QStringList({"DA:A1:19:12:34:56", "02:00:00:00:00:01"}));
        QTest::keyClick(filter(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(filter(), Qt::Key_Delete);
        QTRY_COMPARE(model().rowCount(), 11);

        clickHeader(AddressTableModel::Address);
        QCOMPARE(column(AddressTableModel::Address).first(), QStringLiteral("00:00:5E:00:01:07"));
        QCOMPARE(column(AddressTableModel::Address).last(), QStringLiteral("FF:FF:FF:FF:FF:FF"));
        clickHeader(AddressTableModel::Address);  // again: descending
        QCOMPARE(column(AddressTableModel::Address).first(), QStringLiteral("FF:FF:FF:FF:FF:FF"));
        clickHeader(AddressTableModel::Vendor);
        QCOMPARE(column(AddressTableModel::Vendor).mid(5),
                 QStringList({"Apple, Inc.", "Ayecom Technology Co., Ltd.", "Ayecom Technology Co., Ltd.",
                              "DEUTA-WERKE GmbH", "ICANN, IANA Department", "TELEPLATFORMS"}));
        clickHeader(AddressTableModel::Line);
        QCOMPARE(column(AddressTableModel::Line), QStringList({"1", "3", "4", "5", "6", "6", "6", "7", "7", "8", "9"}));
        // A vendor chosen in the summary (Enter) filters the table by it.
        vendorTable()->setFocus();
        QTest::keyClick(vendorTable(), Qt::Key_Down);
        QTest::keyClick(vendorTable(), Qt::Key_Return);
        QCOMPARE(filter()->text(), QStringLiteral("Apple, Inc."));
        QTRY_COMPARE(column(AddressTableModel::Address), QStringList({"3C:22:FB:11:22:33"}));
    }

    // Rows chosen with the mouse, Ctrl+C: tab-separated, the table's columns.
    void copyRows()
    {
        paste(Sample);
        QVERIFY(waitCurrent());
        clickRow(0);
        clickRow(2, Qt::ShiftModifier);
        QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("00:1A:2B:3C:4D:5E\tAyecom Technology Co., Ltd.\tMA-L\t00-1A-2B\t\tNo. 2F, 6, Lane 99, Hsinchu, TW\t1\n"
                                "3C:22:FB:11:22:33\tApple, Inc.\tMA-L\t3C-22-FB\t\t1 Infinite Loop, Cupertino  CA  95014, US\t3\n"
                                "01:00:5E:00:00:FB\t\t\t\tIPv4 multicast 224.0.0.251 (one of 32 groups)\t\t4\n"));
        // A row chosen with Enter selects its address in the text pane.
        clickRow(8);
        QTest::keyClick(table(), Qt::Key_Return);
        QVERIFY(pane()->hasFocus());
        QCOMPARE(pane()->textCursor().selectedText(), QStringLiteral("0:50:c2:7d:51:23"));
        QCOMPARE(pane()->textCursor().blockNumber(), 6);
        // In the text pane Ctrl+C copies the selected text, as ever.
        pane()->setFocus();
        QTest::keyClick(pane(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(pane(), Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(pane(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), Sample.section('\n', 0, 0));
    }

    // A long paste goes in a slice at a time (the window answering between
    // them), the table follows once all is in, and one undo takes it back.
    void largePasteInSlices()
    {
        QString text;
        for (int i = 0; i < 8000; ++i)
            text += QStringLiteral("10.0.%1.%2 dev eth0 lladdr 3c:22:fb:00:%3:%4 REACHABLE\n")
                        .arg(i / 256).arg(i % 256).arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0'));
        QSignalSpy changes(pane()->document(), &QTextDocument::contentsChange);
        paste(text);
        QVERIFY(waitCurrent());
        QVERIFY(!pane()->isReadOnly());
        QVERIFY2(changes.size() >= 4, qPrintable(QString::number(changes.size())));
        QCOMPARE(pane()->toPlainText(), text);
        QCOMPARE(model().rowCount(), 8000);
        QCOMPARE(model().text(7999, AddressTableModel::Address), QStringLiteral("3C:22:FB:00:1F:3F"));
        QCOMPARE(window->summary(), QStringLiteral("8,000 addresses, 1 vendor, 0 unknown, 0 local"));
        QTest::keyClick(pane(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(pane()->toPlainText(), QString());
        QVERIFY(waitCurrent());
        QCOMPARE(model().rowCount(), 0);
    }

    // Save As...: the shown rows as the CSV `zorvane-db lookup --csv` writes for the same text.
    void saveAsIsLookupsCsv()
    {
        QFile corpus(qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/addresses/corpus/syslog.txt");
        QVERIFY(corpus.open(QIODevice::ReadOnly));
        const QByteArray text = corpus.readAll() + Sample.toUtf8();
        paste(QString::fromUtf8(text));
        QVERIFY(waitCurrent());
        const QString saved = dir.filePath("saved.csv");
        answerFileDialog(saved);
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(QFileInfo::exists(saved));
        const test::ProcessResult lookup = test::runProcess(test::zorvaneDbPath(), {"lookup", database, "--csv"}, false, {}, text);
        QCOMPARE(lookup.status, 0);
        QVERIFY(lookup.out.count("\r\n") > 15);
        QCOMPARE(test::bytesOf(saved), lookup.out);
    }

    // A file dropped on the text pane, or opened with File > Open, becomes its text.
    void dropAndOpenFiles()
    {
        const QString dropped = dir.filePath("neighbours.txt"), opened = dir.filePath("leases.txt");
        QVERIFY(test::writeBytes(dropped, "10.0.0.1 dev eth0 lladdr 3c:22:fb:00:00:01 REACHABLE\n"));
        QVERIFY(test::writeBytes(opened, "hardware ethernet 00:1a:2b:00:00:01;\nhardware ethernet 00:1a:2b:00:00:02;\n"));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(dropped)});
        QWidget* target = pane()->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QCOMPARE(pane()->toPlainText(), QStringLiteral("10.0.0.1 dev eth0 lladdr 3c:22:fb:00:00:01 REACHABLE\n"));
        QCOMPARE(window->windowTitle(), QStringLiteral("neighbours.txt - Zorvane Addresses"));
        QVERIFY(waitCurrent());
        QCOMPARE(column(AddressTableModel::Vendor), QStringList({"Apple, Inc."}));

        answerFileDialog(opened);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QTRY_COMPARE(window->windowTitle(), QStringLiteral("leases.txt - Zorvane Addresses"));
        QVERIFY(waitCurrent());
        QCOMPARE(column(AddressTableModel::Address), QStringList({"00:1A:2B:00:00:01", "00:1A:2B:00:00:02"}));

        // A file too large to be text is refused in a message box; the text stays.
        const QString huge = dir.filePath("huge.bin");
        QFile big(huge);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(65) << 20));
        big.close();
        test::ScriptedMessageBoxes boxes;
        QVERIFY(!window->openText(huge));
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY(boxes.asked[0].text.contains("larger than 64 MB"));
        QCOMPARE(column(AddressTableModel::Address).size(), 2);
    }

    // The database: $XDG_DATA_HOME's by default; without one, addresses are
    // still listed with their kinds; File > Open Database changes it.
    void databases()
    {
        QTemporaryDir data;
        QVERIFY(QDir(data.path()).mkpath("zorvane"));
        QVERIFY(QFile::copy(database, data.filePath("zorvane/oui.mdb")));
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        QCOMPARE(frmAddresses::defaultDatabase(), data.filePath("zorvane/oui.mdb"));
        QVERIFY(open(QString()));
        QCOMPARE(window->databasePath(), data.filePath("zorvane/oui.mdb"));

        QVERIFY(open(dir.filePath("missing.mdb")));
        QVERIFY(child<QLabel>(window.get(), "lblDatabase")->text().startsWith("No vendor database: "));
        paste(Sample);
        QVERIFY(waitCurrent());
        QCOMPARE(window->summary(), QStringLiteral("11 addresses, 0 vendors, 6 unknown, 3 local"));
        answerFileDialog(database);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(window->databasePath(), database);
        QTRY_COMPARE(window->summary(), QStringLiteral("11 addresses, 5 vendors, 1 unknown, 3 local"));
        qunsetenv("XDG_DATA_HOME");
    }
};

QTEST_MAIN(TstAddressesWindow)
#include "tst_addresseswindow.moc"
