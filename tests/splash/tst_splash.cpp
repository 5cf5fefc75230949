// The start-up window: its texts and layout, the hand-over at the third tick,
// and the early close by a typed character or a click on the frame, with the
// run ending there.
#include "app/frmSplash.h"
#include "lookup/frmMain.h"
#include "tests/support/VendorDatabaseBuilder.h"
#include "tests/support/WidgetDriving.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

using zorvane::test::child;

namespace {

// Stands in for the lookup window and records whether the splash window was
// still shown when it was asked for.
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
            return window.data();
        };
    }
};

void tick(frmSplash* splash) { QMetaObject::invokeMethod(splash, "Timer1_Timer"); }

bool anyWindowShown()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* window) { return window->isVisible(); });
}

// Runs the application's event loop as the program does; 99 if it never ends.
int runEventLoop()
{
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    return QCoreApplication::exec();
}

} // namespace

class TstSplash : public QObject {
    Q_OBJECT

    NextWindow next;

    // Ticks are driven by hand unless a test starts the timer.
    frmSplash* openSplash(frmSplash* splash = nullptr)
    {
        if (!splash) {
            next = NextWindow {};
            splash = new frmSplash(next.factory());
            next.splash = splash;
        }
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

    void laidOutWithEveryTextInPlace()
    {
        frmSplash* splash = openSplash();
        for (const auto& [name, text] : {std::pair{"lblVersion", "Version 2.6.0"}, {"lblProductName", "Zorvane"},
                                          {"lblWarning", "Please Distribute Freely"}})
            QCOMPARE(child<QLabel>(splash, name)->text(), QString::fromLatin1(text));
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(splash->windowType(), Qt::Tool);   // no task-bar entry
        auto* frame = child<QFrame>(splash, "Frame1");
        // No text is cut.
        const QList<QLabel*> labels = frame->findChildren<QLabel*>();
        for (QLabel* label : labels) {
            if (label->objectName() == QLatin1String("Image1"))
                continue;   // the picture is stretched to its box
            QVERIFY2(frame->contentsRect().contains(label->geometry()), qPrintable(label->objectName()));
            QVERIFY2(label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                       : label->sizeHint().width() <= label->width(),
                     qPrintable(label->objectName()));
        }
        // The version line and the notice under it do not run into each other.
        QVERIFY(!child<QLabel>(splash, "lblPlatform")->geometry().intersects(child<QLabel>(splash, "Label1")->geometry()));
        QVERIFY(!child<QLabel>(splash, "lblVersion")->geometry().intersects(child<QLabel>(splash, "lblWarning")->geometry()));
    }

    void thirdTickClosesThenShowsTheNextWindow()
    {
        QPointer<frmSplash> splash = openSplash();
        for (int made : {0, 0, 1}) {
            QVERIFY(splash->isVisible());
            tick(splash);
            QCOMPARE(next.made, made);
        }
        QVERIFY(!next.splashVisibleWhenMade);   // closed before the next one is made
        QVERIFY(next.window && next.window->isVisible());
        QVERIFY(next.window->parentWidget() == nullptr && !next.window->isModal());
        QTRY_VERIFY(splash.isNull());
    }

    // The run itself: the application's event loop ends with the exit status.
    // A typed character closes the window at once; other keys leave it to the
    // hand-over (sent to a label: the window sees keys before its controls).
    void theRunEndsWithStatus_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("made");
        for (auto [name, key] : {std::pair{"letter", Qt::Key_A}, {"space", Qt::Key_Space}, {"Enter", Qt::Key_Return},
                                 {"Esc", Qt::Key_Escape}})
            QTest::newRow(name) << "key" << int(key) << 0 << 0;
        for (auto [name, key] : {std::pair{"arrow", Qt::Key_Left}, {"F1", Qt::Key_F1}, {"Shift", Qt::Key_Shift}})
            QTest::newRow(name) << "key" << int(key) << 0 << 1;
        QTest::newRow("click before the hand-over") << "click" << 0 << 0 << 0;
        QTest::newRow("next window closed later") << "handover" << 0 << 0 << 1;
        QTest::newRow("next window could not open") << "fail" << 0 << 1 << 1;
    }
    void theRunEndsWithStatus()
    {
        QFETCH(QString, how);
        QFETCH(int, key);
        QFETCH(int, status);
        QFETCH(int, made);
        QPointer<frmSplash> splash = openSplash();
        next.fail = how == "fail";
        QTimer::singleShot(0, this, [&] {
            if (how == "key")
                QTest::keyClick(child<QLabel>(splash, "lblCompany"), Qt::Key(key));
            if (how == "click") {
                // Only the frame's own ground closes: not a label, the picture
                // or the window's green around the frame.
                QTest::mouseClick(child<QLabel>(splash, "lblProductName"), Qt::LeftButton);
                QTest::mouseClick(child<QLabel>(splash, "Image1"), Qt::LeftButton);
                QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(5, 5));
                QVERIFY(splash && splash->isVisible());
                auto* frame = child<QFrame>(splash, "Frame1");
                const QPoint empty(frame->width() / 2, frame->height() - 20);
                QVERIFY(frame->childAt(empty) == nullptr);
                QTest::mouseClick(frame, Qt::LeftButton, {}, empty);
            } else if (made) {
                QVERIFY(splash && splash->isVisible());
                child<QTimer>(splash, "Timer1")->start(10);   // the real timer, made quick
            }
        });
        if (made && status == 0)
            QTimer::singleShot(300, this, [&] { if (next.window) next.window->close(); });
        QCOMPARE(runEventLoop(), status);
        QCOMPARE(next.made, made);   // once, even with the timer left running
        QTRY_VERIFY(splash.isNull());
        QVERIFY(!anyWindowShown());
    }

    // Without a stand-in: the lookup window over "oui.mdb" in the working
    // directory (its load failing is tst_lookupwindow's openingWithoutADatabase,
    // the run's failure status the "could not open" row above).
    void handsOverToTheLookupWindowOfTheWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        zorvane::test::writeVendorDatabase(dir.path(), {zorvane::test::vendorRecord("00000C", "Cisco")});
        QPointer<frmSplash> splash = openSplash(new frmSplash());
        for (int i = 0; i < 3; ++i)
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
};

QTEST_MAIN(TstSplash)
#include "tst_splash.moc"
