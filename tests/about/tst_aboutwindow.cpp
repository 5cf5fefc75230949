// The about window as the user meets it: one instance, its texts and layout,
// Esc, Enter and OK, and the system-information button over scripted registry
// contents.
#include "about/Pictures.h"
#include "about/Registry.h"
#include "about/frmAbout.h"
#include "tests/about/ScriptedSystem.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace zorvane;
using zorvane::test::RecordingFileLookup;
using zorvane::test::ScriptedLauncher;
using zorvane::test::ScriptedMessageBoxes;
using zorvane::test::ScriptedRegistry;

namespace {

const QByteArray infoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray locationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString unavailable = QStringLiteral("System Information Is Unavailable At This Time");

template <typename T> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

int aboutWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<frmAbout*>(widget) != nullptr ? 1 : 0;
    return count;
}

} // namespace

class TstAboutWindow : public QObject {
    Q_OBJECT

    // Opens the about window and presses its System Info button.
    void pressSysInfo()
    {
        frmAbout* window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(child<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
        QVERIFY(frmAbout::instance() == window && window->isVisible());   // stays open
    }

    static void verifyOneFailureMessage(const ScriptedMessageBoxes& boxes)
    {
        QCOMPARE(boxes.asked.size(), 1);
        QCOMPARE(boxes.asked[0].text, unavailable);
        QCOMPARE(boxes.asked[0].buttons, MsgButtons::Ok);
        QCOMPARE(boxes.asked[0].icon, MsgIcon::None);
        QCOMPARE(boxes.asked[0].title, QStringLiteral("Zorvane"));
    }

private slots:
    void cleanup()
    {
        if (frmAbout* open = frmAbout::instance())
            open->close();
        QTRY_VERIFY(frmAbout::instance() == nullptr);
        QTRY_COMPARE(aboutWindows(), 0);
    }

    void oneWindowLoadedEachTimeItIsOpened()
    {
        QPointer<frmAbout> window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("About Zorvane"));
        QCOMPARE(child<QLabel>(window, "lblTitle")->text(), QStringLiteral("Zorvane"));
        auto* version = child<QLabel>(window, "lblVersion");
        QCOMPARE(version->text(), QStringLiteral("Version 2.6.0"));
        auto* description = child<QLabel>(window, "lblDescription");
        const QStringList lines = description->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Quick and Dirty Ethernet Vendor"));
        QVERIFY(lines[1].startsWith(QStringLiteral("Code lookup utility")));
        QVERIFY(description->height() >= 2 * description->fontMetrics().height());
        QVERIFY(!child<QLabel>(window, "lblDisclaimer")->text().isEmpty());

        // Asked for again while open: the same window, not loaded again.
        version->setText(QStringLiteral("changed"));
        QCOMPARE(frmAbout::showInstance(), window.data());
        QCOMPARE(aboutWindows(), 1);
        QCOMPARE(version->text(), QStringLiteral("changed"));

        // Closed, it is gone; the next one loads its texts anew.
        window->close();
        QTRY_VERIFY(window.isNull());
        frmAbout* next = frmAbout::showInstance();
        QCOMPARE(child<QLabel>(next, "lblVersion")->text(), QStringLiteral("Version 2.6.0"));
    }

    void picturesAreDrawn()
    {
        const QImage card = Pictures::adapterCard().toImage();
        QCOMPARE(card.size(), QSize(99, 62));
        QVERIFY(!card.hasAlphaChannel());
        QCOMPARE(QColor(card.pixel(0, 61)), QColor(0, 192, 0));   // the green ground
        QSet<QRgb> cardColours;
        for (int y = 0; y < card.height(); ++y)
            for (int x = 0; x < card.width(); ++x)
                cardColours.insert(card.pixel(x, y));
        QVERIFY(cardColours.size() > 20);

        const QImage icon = Pictures::programIconImage();
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QCOMPARE(icon.colorCount(), 17);   // 16 colours and transparency
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QSet<int> used;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                used.insert(icon.pixelIndex(x, y));
        QVERIFY(used.size() >= 10);
        QVERIFY(!Pictures::programIcon().isNull());
    }

    void aToolWindowWithoutOwnerOrModality()
    {
        frmAbout* window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowType(), Qt::Tool);   // no task-bar entry
        QVERIFY(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!window->isModal());
        QCOMPARE(window->windowModality(), Qt::NonModal);
        QVERIFY(window->parentWidget() == nullptr);
        QCOMPARE(window->size(), QSize(384, 178));   // 5760 x 2670 twips
        QCOMPARE(window->palette().color(QPalette::Window), QColor(0, 192, 0));
        QCOMPARE(child<QLabel>(window, "Image1")->pixmap().size(), QSize(99, 62));
    }

    void everyTextFitsItsPlace()
    {
        frmAbout* window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QRect client = window->rect();
        auto* title = child<QLabel>(window, "lblTitle");
        auto* version = child<QLabel>(window, "lblVersion");
        auto* description = child<QLabel>(window, "lblDescription");
        auto* disclaimer = child<QLabel>(window, "lblDisclaimer");
        auto* ok = child<QPushButton>(window, "cmdOK");
        auto* sysInfo = child<QPushButton>(window, "cmdSysInfo");
        for (QLabel* label : {title, version}) {
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName()));
            QVERIFY2(label->sizeHint().height() <= label->height(), qPrintable(label->objectName()));
        }
        QVERIFY(client.contains(description->geometry()));
        QVERIFY(description->geometry().bottom() < child<QWidget>(window, "Line1")->y());
        QVERIFY(client.contains(disclaimer->geometry()));
        QVERIFY(disclaimer->heightForWidth(disclaimer->width()) <= disclaimer->height());
        QVERIFY(disclaimer->geometry().right() < ok->x());
        for (QPushButton* button : {ok, sysInfo})
            QVERIFY(button->sizeHint().width() <= button->width() + 8);
    }

    void escEnterAndOkClose()
    {
        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;   // empty: System Info says it is unavailable

        QPointer<frmAbout> window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(window.isNull());

        window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->focusWidget(), child<QPushButton>(window, "cmdOK"));
        QTest::keyClick(window->focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(window.isNull());

        // Enter on a focused System Info button presses that one instead.
        window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        auto* sysInfo = child<QPushButton>(window, "cmdSysInfo");
        QCOMPARE(window->focusWidget(), sysInfo);
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY(!window.isNull() && window->isVisible());
        QTest::keyClick(sysInfo, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(boxes.asked.size(), 2);
        QTest::keyClick(sysInfo, Qt::Key_Escape);   // Esc still closes
        QTRY_VERIFY(window.isNull());

        window = frmAbout::showInstance();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(child<QPushButton>(window, "cmdOK"), Qt::LeftButton);
        QTRY_VERIFY(window.isNull());
    }

    void firstLocationIsStartedAsRead()
    {
        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;
        ScriptedLauncher launcher;
        RecordingFileLookup files(FileLookup::current());
        registry.setString(infoKey, "PATH", "C:\\Program Files\\Common Files\\msinfo32.exe");
        registry.setString(locationKey, "MSINFO", "C:\\Elsewhere");
        pressSysInfo();
        QCOMPARE(launcher.started,
                 QList<QString> {QStringLiteral("C:\\Program Files\\Common Files\\msinfo32.exe")});
        QVERIFY(files.looked.isEmpty());   // no test that it exists
        QCOMPARE(registry.opened, QList<QByteArray> {infoKey});
        QVERIFY(boxes.asked.isEmpty());
        QVERIFY(registry.openHandles.isEmpty());
    }

    void aFailedStartIsReportedWithoutTryingFurther()
    {
        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;
        ScriptedLauncher launcher;
        launcher.fail = true;
        registry.setString(infoKey, "PATH", "C:\\Tools\\msinfo32.exe");
        registry.setString(locationKey, "MSINFO", "C:\\Tools");
        pressSysInfo();
        verifyOneFailureMessage(boxes);
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(registry.opened, QList<QByteArray> {infoKey});
    }

    void secondLocationNeedsAnOrdinaryFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("starts");
        QTest::newRow("ordinary file") << "file" << true;
        QTest::newRow("missing") << "missing" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("system file (a pipe)") << "pipe" << false;
    }

    void secondLocationNeedsAnOrdinaryFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, starts);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString onDisk = dir.filePath("MSINFO32.EXE");
        if (kind == "file") {
            QFile file(onDisk);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("MSINFO32.EXE"));
        } else if (kind == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(onDisk).constData(), 0600) == 0);
        }

        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;
        ScriptedLauncher launcher;
        RecordingFileLookup files(FileLookup::current());
        registry.addKey(infoKey);   // present, but without its value
        registry.setString(locationKey, "MSINFO", dir.path().toLocal8Bit());
        pressSysInfo();

        const QString program = dir.path() + QStringLiteral("\\MSINFO32.EXE");
        QCOMPARE(registry.opened, (QList<QByteArray> {infoKey, locationKey}));
        QCOMPARE(files.looked, QList<QString> {program});
        if (starts) {
            QCOMPARE(launcher.started, QList<QString> {program});
            QVERIFY(boxes.asked.isEmpty());
        } else {
            QVERIFY(launcher.started.isEmpty());
            verifyOneFailureMessage(boxes);
        }
        QVERIFY(registry.openHandles.isEmpty());
    }

    void unreadableRegistriesEndInTheMessage_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::newRow("neither location") << "none";
        QTest::newRow("read-only account") << "readonly";
        QTest::newRow("first value empty") << "empty";
        QTest::newRow("first value too long") << "long";
        QTest::newRow("first value binary") << "binary";
        QTest::newRow("first value a number") << "number";
    }

    void unreadableRegistriesEndInTheMessage()
    {
        QFETCH(QString, setup);
        QTemporaryDir dir;
        QFile tool(dir.filePath("MSINFO32.EXE"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.close();

        ScriptedMessageBoxes boxes;
        ScriptedRegistry registry;
        // The real launcher: what it is given here cannot start.
        RecordingFileLookup files(FileLookup::current());
        if (setup == "readonly") {
            registry.setString(infoKey, "PATH", dir.filePath("MSINFO32.EXE").toLocal8Bit());
            registry.setString(locationKey, "MSINFO", dir.path().toLocal8Bit());
            registry.grantedAccess = 0x20019;
        } else if (setup == "empty") {
            registry.setValue(infoKey, "PATH", reg::TypeString, QByteArray());
            registry.setString(locationKey, "MSINFO", dir.path().toLocal8Bit());
        } else if (setup == "long") {
            registry.setValue(infoKey, "PATH", reg::TypeString, QByteArray(2000, 'a'));
        } else if (setup == "binary") {
            registry.setValue(infoKey, "PATH", 3, QByteArray("\x01\x02", 2));
            registry.setString(locationKey, "MSINFO", dir.path().toLocal8Bit());
        } else if (setup == "number") {
            registry.setValue(infoKey, "PATH", reg::TypeDword, QByteArray("\x07\0\0\0", 4));
        }
        pressSysInfo();
        verifyOneFailureMessage(boxes);
        QVERIFY(registry.openHandles.isEmpty());
        // An empty value ends the search at once; a value of another type counts
        // as read (and starting the empty path fails), so the second location is
        // not tried either.
        if (setup == "empty" || setup == "binary")
            QCOMPARE(registry.opened, QList<QByteArray> {infoKey});
        if (setup == "readonly")
            QCOMPARE(registry.opened, (QList<QByteArray> {infoKey, locationKey}));
        QVERIFY(files.looked.isEmpty());
    }
};

QTEST_MAIN(TstAboutWindow)
#include "tst_aboutwindow.moc"
