// The about window as the user meets it: one instance, its texts and layout,
// Esc, Enter and OK, and the system-information button over scripted registry
// contents.
#include "about/Registry.h"
#include "about/frmAbout.h"
#include "tests/about/ScriptedSystem.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/WidgetDriving.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

using namespace zorvane;
using namespace zorvane::test;

namespace {

int aboutWindows()
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return int(std::count_if(all.begin(), all.end(), [](QWidget* widget) { return qobject_cast<frmAbout*>(widget); }));
}

} // namespace

class TstAboutWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (frmAbout* open = frmAbout::instance())
            open->close();
        QTRY_VERIFY(frmAbout::instance() == nullptr && aboutWindows() == 0);
    }

    void oneToolWindowLoadedEachTimeItIsOpened()
    {
        QPointer<frmAbout> window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("About Zorvane"));
        QCOMPARE(child<QLabel>(window, "lblTitle")->text(), QStringLiteral("Zorvane"));
        auto* version = child<QLabel>(window, "lblVersion");
        QCOMPARE(version->text(), QStringLiteral("Version 2.6.0"));
        auto* description = child<QLabel>(window, "lblDescription");
        QCOMPARE(description->text().section('\n', 0, 0), QStringLiteral("Quick and Dirty Ethernet Vendor"));
        QVERIFY(description->text().section('\n', 1).startsWith(QStringLiteral("Code lookup utility")));
        QCOMPARE(window->windowType(), Qt::Tool);   // no task-bar entry
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!window->isModal() && window->parentWidget() == nullptr);
        // The adapter card is drawn on its green ground.
        const QImage card = child<QLabel>(window, "Image1")->pixmap().toImage();
        QCOMPARE(card.size(), QSize(99, 62));
        QCOMPARE(QColor(card.pixel(0, 61)), QColor(0, 192, 0));
        // Every text fits its place.
        for (const char* name : {"lblTitle", "lblVersion"}) {
            QLabel* label = child<QLabel>(window, name);
            QVERIFY2(label->sizeHint().width() <= label->width() && label->sizeHint().height() <= label->height(), name);
        }
        QVERIFY(description->heightForWidth(description->width()) <= description->height());
        QVERIFY(description->geometry().bottom() < child<QWidget>(window, "Line1")->y());
        auto* disclaimer = child<QLabel>(window, "lblDisclaimer");
        QVERIFY(!disclaimer->text().isEmpty());
        QVERIFY(disclaimer->heightForWidth(disclaimer->width()) <= disclaimer->height());
        QVERIFY(disclaimer->geometry().right() < child<QPushButton>(window, "cmdOK")->x());

        // Asked for again while open: the same window, not loaded again.
        version->setText(QStringLiteral("changed"));
        QCOMPARE(frmAbout::showInstance(), window.data());
        QCOMPARE(aboutWindows(), 1);
        QCOMPARE(version->text(), QStringLiteral("changed"));
        // Closed, it is gone; the next one loads its texts anew.
        window->close();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(child<QLabel>(frmAbout::showInstance(), "lblVersion")->text(), QStringLiteral("Version 2.6.0"));

        // Asked for while minimised: back as it was, in front and active.
        window = frmAbout::instance();
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized());
        QCOMPARE(frmAbout::showInstance(), window.data());
        QVERIFY(!window->isMinimized() && window->isVisible());
        QTRY_VERIFY(window->isActiveWindow());
    }

    void escEnterAndOkClose()
    {
        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;   // empty: System Info says it is unavailable
        // The focus starts on OK: Esc, Enter and a click there each close.
        QPointer<frmAbout> window;
        for (int how = 0; how < 3; ++how) {
            window = frmAbout::showInstance();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QCOMPARE(window->focusWidget(), child<QPushButton>(window, "cmdOK"));
            if (how == 2)
                QTest::mouseClick(window->focusWidget(), Qt::LeftButton);
            else
                QTest::keyClick(window->focusWidget(), how == 0 ? Qt::Key_Escape : Qt::Key_Return);
            QTRY_VERIFY(window.isNull());
        }
        // Enter on a focused System Info button presses that one instead.
        window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        auto* sysInfo = child<QPushButton>(window, "cmdSysInfo");
        QCOMPARE(window->focusWidget(), sysInfo);
        // The box hands the focus elsewhere when it closes; the about window
        // takes it back, so the next key is still its own.
        QWidget elsewhere;
        elsewhere.show();
        boxes.whileOpen([&] {
            QApplication::setActiveWindow(&elsewhere);
            QVERIFY(!window->isActiveWindow());
        });
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QTRY_VERIFY(window->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), sysInfo);
        QTest::keyClick(sysInfo, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(boxes.asked.size(), 2);
        QVERIFY(window && window->isVisible());
        QTest::keyClick(sysInfo, Qt::Key_Escape);   // Esc still closes
        QTRY_VERIFY(window.isNull());
    }

    // "launched": what the launcher is given ("-": nothing); "opened": how
    // many of the two locations are read, in order.
    void systemInfoButton_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("launched");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("opened");
        const QString tool = QStringLiteral("C:\\Tools\\msinfo32.exe");
        QTest::newRow("first location, started as read") << "first" << tool << false << 1;
        QTest::newRow("first location, start fails") << "first fails" << tool << true << 1;
        QTest::newRow("second location, ordinary file") << "file" << "<dir>\\MSINFO32.EXE" << false << 2;
        QTest::newRow("second location, missing") << "missing" << "-" << true << 2;
        QTest::newRow("second location, a folder") << "folder" << "-" << true << 2;
        QTest::newRow("neither location") << "none" << "-" << true << 2;
        QTest::newRow("read-only account") << "readonly" << "-" << true << 2;
        QTest::newRow("first value empty") << "empty" << "-" << true << 1;
        QTest::newRow("first value too long") << "long" << "-" << true << 2;
        // Read, but not as text: the empty path is started, and that fails.
        QTest::newRow("first value binary") << "binary" << "" << true << 1;
    }
    void systemInfoButton()
    {
        QFETCH(QString, setup);
        QFETCH(QString, launched);
        QFETCH(bool, fails);
        QFETCH(int, opened);
        QTemporaryDir dir;
        const QString onDisk = dir.filePath("MSINFO32.EXE");
        if (setup == "folder")
            QVERIFY(QDir(dir.path()).mkdir("MSINFO32.EXE"));
        else if (setup != "missing")
            QVERIFY(QFile(onDisk).open(QIODevice::WriteOnly));
        const QByteArray folder = dir.path().toLocal8Bit();

        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;
        ScriptedLauncher launcher;
        launcher.fail = fails;
        RecordingFileLookup files(FileLookup::current());
        if (setup.startsWith("first") || setup == "readonly")
            registry.setString(infoKey, "PATH", "C:\\Tools\\msinfo32.exe");
        else if (setup == "empty")
            registry.setValue(infoKey, "PATH", reg::TypeString, QByteArray());
        else if (setup == "long")
            registry.setValue(infoKey, "PATH", reg::TypeString, QByteArray(2000, 'a'));
        else if (setup == "binary")
            registry.setValue(infoKey, "PATH", 3, QByteArray("\x01\x02", 2));
        else if (setup != "none")
            registry.addKey(infoKey);   // present, but without its value
        if (setup != "none" && setup != "long")
            registry.setString(locationKey, "MSINFO", folder);
        if (setup == "readonly")
            registry.grantedAccess = 0x20019;

        frmAbout* window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(child<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
        QVERIFY(frmAbout::instance() == window && window->isVisible());   // stays open

        if (fails) {
            QCOMPARE(boxes.asked.value(0).text, QStringLiteral("System Information Is Unavailable At This Time"));
            QVERIFY(boxes.asked[0].buttons == MsgButtons::Ok && boxes.asked[0].icon == MsgIcon::None);
            QCOMPARE(boxes.asked[0].title, QStringLiteral("Zorvane"));
        }
        QCOMPARE(boxes.asked.size(), fails ? 1 : 0);
        launched.replace("<dir>", dir.path());
        // The window says which program it started.
        QCOMPARE(child<QLabel>(window, "lblStarted")->text(),
                 fails ? QString() : "Started " + QDir::toNativeSeparators(launched));
        QCOMPARE(launcher.started, launched == "-" ? QList<QString>{} : QList<QString>{launched});
        QCOMPARE(registry.opened, (QList<QByteArray>{infoKey, locationKey}).mid(0, opened));
        // Only the second location's file is looked for; the first is started as read.
        const bool looksForFile = QStringList{"file", "missing", "folder"}.contains(setup);
        QCOMPARE(files.looked, looksForFile ? QList<QString>{dir.path() + "\\MSINFO32.EXE"} : QList<QString>{});
        QVERIFY(registry.openHandles.isEmpty());
    }
};

QTEST_MAIN(TstAboutWindow)
#include "tst_aboutwindow.moc"
