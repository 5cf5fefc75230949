// The start-up window: its texts and layout, the hand-over at the third tick,
// and the early close by a typed character or a click on the frame, with the
// run ending there.
#include "app/frmSplash.h"
#include "lookup/frmMain.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

template <typename T> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// Stands in for the lookup window and records what the splash window looked
// like when it was asked for.
struct NextWindow {
    int made = 0;
    bool splashVisibleWhenMade = true;
    QPointer<QWidget> window;
    QPointer<frmSplash> splash;
    bool fail = false;

    frmSplash::NextWindow factory()
    {
        return [this]() -> QWidget* {
            ++made;
            splashVisibleWhenMade = splash && splash->isVisible();
            if (fail)
                return nullptr;
            window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setWindowTitle(QStringLiteral("next"));
            return window.data();
        };
    }
};

void tick(frmSplash* splash) { QMetaObject::invokeMethod(splash, "Timer1_Timer"); }

// With no window left on the screen the run ends (theRunEndsWithStatus shows
// the event loop ending in that case).
bool anyWindowShown()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            return true;
    return false;
}

} // namespace

class TstSplash : public QObject {
    Q_OBJECT

    NextWindow next;

    frmSplash* openSplash()
    {
        next = NextWindow {};
        auto* splash = new frmSplash(next.factory());
        next.splash = splash;
        // Ticks are driven by hand unless a test says otherwise.
        child<QTimer>(splash, "Timer1")->stop();
        splash->show();
        splash->activateWindow();
        if (!QTest::qWaitForWindowActive(splash))
            qFatal("splash window not active");
        return splash;
    }

private slots:
    void cleanup()
    {
        if (next.splash)
            next.splash->close();
        if (next.window)
            next.window->close();
        QTRY_VERIFY(!next.splash && !next.window);
    }

    void loadsTitleVersionAndFixedLines()
    {
        frmSplash* splash = openSplash();
        QCOMPARE(child<QLabel>(splash, "lblVersion")->text(), QStringLiteral("Version 2.6.0"));
        QCOMPARE(child<QLabel>(splash, "lblProductName")->text(), QStringLiteral("Zorvane"));
        QCOMPARE(child<QLabel>(splash, "lblPlatform")->text(), QStringLiteral("For Windows"));
        QCOMPARE(child<QLabel>(splash, "lblWarning")->text(),
                 QStringLiteral("Please Distribute Freely"));
        QVERIFY(child<QLabel>(splash, "Label1")
                    ->text()
                    .startsWith(QStringLiteral("Quick and Dirty Ethernet Vendor Code Search Utility")));
        QCOMPARE(splash->windowTitle(), QString());
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(splash->windowType(), Qt::Tool);
        QCOMPARE(splash->palette().color(QPalette::Window), QColor(0, 255, 0));
        auto* frame = child<QFrame>(splash, "Frame1");
        QCOMPARE(frame->palette().color(QPalette::Window), QColor(0, 192, 0));
        QCOMPARE(frame->size(), QSize(351, 334));   // 5265 x 5010 twips
        auto* timer = child<QTimer>(splash, "Timer1");
        QCOMPARE(timer->interval(), 1000);
        QCOMPARE(splash->property("intTickCount").toInt(), 0);
    }

    void everyTextFitsItsPlace()
    {
        frmSplash* splash = openSplash();
        auto* frame = child<QFrame>(splash, "Frame1");
        const QRect inside = frame->contentsRect();
        for (QLabel* label : frame->findChildren<QLabel*>()) {
            const QString name = label->objectName();
            if (name == QLatin1String("Image1"))
                continue;   // the picture is stretched to its box
            QVERIFY2(inside.contains(label->geometry()), qPrintable(name));
            if (label->wordWrap())
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
            else
                QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(name));
        }
        // The version line and the notice under it do not run into each other.
        auto* version = child<QLabel>(splash, "lblVersion");
        auto* platform = child<QLabel>(splash, "lblPlatform");
        auto* label1 = child<QLabel>(splash, "Label1");
        QVERIFY(!platform->geometry().intersects(label1->geometry()));
        QVERIFY(version->geometry().right() < inside.right());
        QVERIFY(!version->geometry().intersects(child<QLabel>(splash, "lblWarning")->geometry()));
    }

    void thirdTickClosesThenShowsTheLookupWindow()
    {
        QPointer<frmSplash> splash = openSplash();
        tick(splash);
        tick(splash);
        QCOMPARE(splash->tickCount(), 2);
        QVERIFY(splash->isVisible());
        QCOMPARE(next.made, 0);

        tick(splash);
        QCOMPARE(next.made, 1);
        QVERIFY(!next.splashVisibleWhenMade);   // closed before the next one is made
        QVERIFY(next.window && next.window->isVisible());
        QVERIFY(next.window->parentWidget() == nullptr);
        QVERIFY(!next.window->isModal());
        QTRY_VERIFY(splash.isNull());            // unloaded
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
    }

    void theRealTimerHandsOverAfterThreeTicks()
    {
        QPointer<frmSplash> splash = openSplash();
        auto* timer = child<QTimer>(splash, "Timer1");
        timer->setInterval(20);
        QElapsedTimer clock;
        clock.start();
        timer->start();
        QTRY_VERIFY_WITH_TIMEOUT(next.made == 1, 5000);
        QVERIFY(clock.elapsed() >= 55);
        QTRY_VERIFY(splash.isNull());
        QTest::qWait(100);   // the timer stopped with the window
        QCOMPARE(next.made, 1);
    }

    void characterKeysClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("letter") << int(Qt::Key_A) << true;
        QTest::newRow("digit") << int(Qt::Key_7) << true;
        QTest::newRow("space") << int(Qt::Key_Space) << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << true;
        QTest::newRow("arrow") << int(Qt::Key_Left) << false;
        QTest::newRow("F1") << int(Qt::Key_F1) << false;
        QTest::newRow("Shift") << int(Qt::Key_Shift) << false;
        QTest::newRow("Home") << int(Qt::Key_Home) << false;
    }

    void characterKeysClose()
    {
        QFETCH(int, key);
        QFETCH(bool, closes);
        QPointer<frmSplash> splash = openSplash();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        if (closes) {
            QTRY_VERIFY(splash.isNull());
            QVERIFY(!anyWindowShown());
        } else {
            QTest::qWait(20);
            QVERIFY(splash && splash->isVisible());
            tick(splash);                      // and the hand-over still comes
            tick(splash);
            tick(splash);
        }
        QCOMPARE(next.made, closes ? 0 : 1);
    }

    void keysReachTheWindowBeforeItsControls()
    {
        QPointer<frmSplash> splash = openSplash();
        // Even a key sent straight to a control is the window's.
        QTest::keyClick(child<QLabel>(splash, "lblCompany"), Qt::Key_Q);
        QTRY_VERIFY(splash.isNull());
        QCOMPARE(next.made, 0);
    }

    void aClickOnTheFrameCloses()
    {
        QPointer<frmSplash> splash = openSplash();
        auto* frame = child<QFrame>(splash, "Frame1");
        // A click on a label or the picture is theirs, not the frame's.
        QTest::mouseClick(child<QLabel>(splash, "lblProductName"), Qt::LeftButton);
        QTest::mouseClick(child<QLabel>(splash, "Image1"), Qt::LeftButton);
        // Outside the frame, on the window's own green.
        QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(splash && splash->isVisible());

        const QPoint empty(frame->width() / 2, frame->height() - 20);
        QVERIFY(frame->childAt(empty) == nullptr);
        QTest::mouseClick(frame, Qt::LeftButton, {}, empty);
        QTRY_VERIFY(splash.isNull());
        QVERIFY(!anyWindowShown());
        QCOMPARE(next.made, 0);
    }

    // The run itself: the application's event loop ends with the exit status.
    void theRunEndsWithStatus_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("made");
        QTest::newRow("key before the hand-over") << "key" << 0 << 0;
        QTest::newRow("click before the hand-over") << "click" << 0 << 0;
        QTest::newRow("lookup window closed later") << "handover" << 0 << 1;
        QTest::newRow("lookup window could not open") << "fail" << 1 << 1;
    }

    void theRunEndsWithStatus()
    {
        QFETCH(QString, how);
        QFETCH(int, status);
        QFETCH(int, made);
        QPointer<frmSplash> splash = openSplash();
        next.fail = how == "fail";
        QTimer::singleShot(0, this, [&] {
            if (how == "key") {
                QTest::keyClick(splash, Qt::Key_X);
            } else if (how == "click") {
                auto* frame = child<QFrame>(splash, "Frame1");
                QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(10, frame->height() - 10));
            } else {
                auto* timer = child<QTimer>(splash, "Timer1");
                timer->setInterval(10);
                timer->start();
            }
        });
        if (how == "handover")
            QTimer::singleShot(300, this, [&] {
                if (next.window)
                    next.window->close();
            });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        watchdog.start(5000);
        const int result = QCoreApplication::exec();
        QCOMPARE(result, status);
        QCOMPARE(next.made, made);
        QTRY_VERIFY(splash.isNull());
    }

    // Without a stand-in: the lookup window over "oui.mdb" in the working
    // directory, or the run ending with a failure status when there is none.
    void handsOverToTheLookupWindowOfTheWorkingDirectory()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        zorvane::test::writeVendorDatabase(
            dir.path(), {zorvane::test::vendorRecord(QStringLiteral("00000C"),
                                                     QStringLiteral("Cisco Systems, Inc"))});
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QPointer<frmSplash> splash = new frmSplash();
        child<QTimer>(splash, "Timer1")->stop();
        splash->show();
        tick(splash);
        tick(splash);
        tick(splash);
        QDir::setCurrent(before);
        QPointer<frmMain> lookup;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<frmMain*>(widget))
                lookup = window;
        QVERIFY(lookup && lookup->isVisible());
        QVERIFY(lookup->parentWidget() == nullptr && !lookup->isModal());
        QTRY_VERIFY(splash.isNull());
        lookup->close();
        QTRY_VERIFY(lookup.isNull());
    }

    void noDatabaseEndsTheRunWithAFailureStatus()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        zorvane::test::ScriptedMessageBoxes boxes;
        QPointer<frmSplash> splash = new frmSplash();
        auto* timer = child<QTimer>(splash, "Timer1");
        timer->setInterval(10);
        splash->show();
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        watchdog.start(5000);
        const int result = QCoreApplication::exec();
        QDir::setCurrent(before);
        QCOMPARE(result, 1);
        QCOMPARE(boxes.asked.size(), 1);   // the lookup window said why
        QVERIFY(boxes.asked[0].text.contains(QStringLiteral("oui.mdb")));
        QTRY_VERIFY(splash.isNull());
    }
};

QTEST_MAIN(TstSplash)
#include "tst_splash.moc"
