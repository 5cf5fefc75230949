// The listing window's own logic, over a scripted browser: what each handler
// asks of the browser, what it shows, and how it passes over failing steps.
#include "app/Twips.h"
#include "browser/frmBrowser.h"
#include "tests/browser/ScriptedBrowser.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace zorvane;
using test::ScriptedBrowser;

namespace {

QStringList listOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class TstBrowserLogic : public QObject {
    Q_OBJECT

    std::unique_ptr<frmBrowser> form;
    ScriptedBrowser* browser = nullptr;

    void clickButton(const QString& key)
    {
        QAction* button = form->toolbarButton(key);
        QVERIFY(button);
        QTest::mouseClick(form->tbToolBar->widgetForAction(button), Qt::LeftButton);
    }
    void loaded()
    {
        form->Form_Load();
        browser->reach(frmBrowser::ListingAddress, QStringLiteral("Listing"));
        QTRY_VERIFY(!form->timTimer->isActive());
        browser->calls.clear();
    }

private slots:
    void init()
    {
        form = std::make_unique<frmBrowser>([this](QWidget* host) {
            return browser = new ScriptedBrowser(host);
        });
    }
    void cleanup() { form.reset(); }

    void controlsAsDesigned()
    {
        QCOMPARE(form->windowTitle(), QString());
        QCOMPARE(form->size(), twipSize(6540, 5130));
        QCOMPARE(form->timTimer->interval(), 5);
        QVERIFY(!form->timTimer->isActive());
        QCOMPARE(form->lblAddress->text(), QStringLiteral("&Address:"));
        QCOMPARE(form->lblAddress->buddy(), form->cboAddress);
        QCOMPARE(form->picAddress->geometry(), twipRect(0, 540, 6540, 675));
        QCOMPARE(form->cboAddress->currentText(), frmBrowser::ListingAddress);

        const QStringList keys{"Back", "Forward", "Stop", "Refresh", "Home", "Search"};
        const auto buttons = form->tbToolBar->actions();
        QCOMPARE(buttons.size(), keys.size());
        QCOMPARE(form->imlIcons.count(), 6);
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(buttons[i]->data().toString(), keys[i]);
            QCOMPARE(buttons[i]->toolTip(), keys[i]);
            QVERIFY(!buttons[i]->icon().isNull());
            QCOMPARE(buttons[i]->icon().cacheKey(), form->imlIcons.picture(i + 1).cacheKey());
            QVERIFY(!drawBrowserPicture(i + 1, 24).toImage().isNull());
        }
    }

    void loadShowsListingAndStartsNavigating()
    {
        form->Form_Load();
        QVERIFY(form->isVisible());
        QCOMPARE(form->StartingAddress, frmBrowser::ListingAddress);
        QCOMPARE(form->cboAddress->currentText(), frmBrowser::ListingAddress);
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QCOMPARE(form->cboAddress->pos(), QPoint(twips(50), twips(330)));
        QCOMPARE(browser->calls, QStringList{"Navigate " + frmBrowser::ListingAddress});
        QVERIFY(form->timTimer->isActive());
    }

    void loadPassesOverAFailingNavigation()
    {
        browser->failing = {"Navigate"};
        form->Form_Load();
        QVERIFY(form->isVisible());
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QVERIFY(form->timTimer->isActive());
        // The timer still settles the title once the browser is idle.
        QTRY_COMPARE(form->windowTitle(), QStringLiteral("Listing"));
        QVERIFY(!form->timTimer->isActive());
    }

    void timerShowsWorkingWhileBusy()
    {
        browser->busy = true;
        form->Form_Load();
        QTRY_COMPARE(form->windowTitle(), QStringLiteral("Working..."));
        QVERIFY(form->timTimer->isActive());
        browser->locationName = QStringLiteral("Done page");
        browser->busy = false;
        QTRY_COMPARE(form->windowTitle(), QStringLiteral("Done page"));
        QVERIFY(!form->timTimer->isActive());
    }

    void toolbarRunsEachButtonsCommand()
    {
        loaded();
        const QList<QPair<QString, QString>> commands{{"Back", "GoBack"},
                                                      {"Forward", "GoForward"},
                                                      {"Refresh", "Refresh"},
                                                      {"Home", "GoHome"},
                                                      {"Search", "GoSearch"}};
        for (const auto& [key, call] : commands) {
            browser->calls.clear();
            browser->busy = true;
            clickButton(key);
            QCOMPARE(browser->calls, QStringList{call});
            QVERIFY2(form->timTimer->isActive(), qPrintable(key));
        }

        // Stop: the title shows the location name at once, and the timer ends.
        browser->calls.clear();
        browser->locationName = QStringLiteral("Half a page");
        clickButton("Stop");
        QCOMPARE(browser->calls, QStringList{"Stop"});
        QCOMPARE(form->windowTitle(), QStringLiteral("Half a page"));
        QVERIFY(!form->timTimer->isActive());
    }

    void toolbarPassesOverFailingSteps()
    {
        loaded();
        browser->failing = {"GoBack", "GoForward", "Stop"};
        clickButton("Back");
        clickButton("Forward");
        QCOMPARE(browser->calls, (QStringList{"GoBack", "GoForward"}));
        QTRY_VERIFY(!form->timTimer->isActive());
        QCOMPARE(form->windowTitle(), QStringLiteral("Listing"));
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});

        // A failing stop still leaves the title showing the location name.
        browser->busy = true;
        form->timTimer->start();
        QTRY_COMPARE(form->windowTitle(), QStringLiteral("Working..."));
        clickButton("Stop");
        QCOMPARE(form->windowTitle(), QStringLiteral("Listing"));
        QVERIFY(!form->timTimer->isActive());
    }

    void enterNavigatesToWhatIsTyped()
    {
        loaded();
        form->cboAddress->lineEdit()->selectAll();
        QTest::keyClicks(form->cboAddress, "standards.ieee.org/x");
        QVERIFY(browser->calls.isEmpty());   // typing alone goes nowhere
        QCOMPARE(form->cboAddress->currentText(), QStringLiteral("standards.ieee.org/x"));
        QTest::keyClick(form->cboAddress, Qt::Key_Return);
        QCOMPARE(browser->calls, QStringList{"Navigate standards.ieee.org/x"});
        QVERIFY(form->timTimer->isActive());
        // Enter never adds the typed text to the list: only reached pages are.
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});

        // Keys sent straight to the text field are seen as well.
        QTest::keyClick(form->cboAddress->lineEdit(), Qt::Key_Enter);
        QCOMPARE(browser->calls.size(), 2);
    }

    void aFailingNavigationFromTheBoxIsPassedOver()
    {
        loaded();
        browser->failing = {"Navigate"};
        form->cboAddress->lineEdit()->clear();
        QTest::keyClick(form->cboAddress, Qt::Key_Return);
        QCOMPARE(browser->calls, QStringList{"Navigate "});
        QTRY_VERIFY(!form->timTimer->isActive());
        QCOMPARE(form->windowTitle(), QStringLiteral("Listing"));
    }

    void eachAddressReachedIsListedOnceAtTheTop()
    {
        loaded();
        const QString a = "http://standards.ieee.org/a", b = "http://standards.ieee.org/b";
        const QString listing = frmBrowser::ListingAddress;
        browser->reach(a, "A");
        QCOMPARE(listOf(form->cboAddress), (QStringList{a, listing}));
        browser->reach(b, "B");
        browser->reach(listing, "Listing");
        QCOMPARE(listOf(form->cboAddress), (QStringList{listing, b, a}));
        browser->reach(a, "A again");
        QCOMPARE(listOf(form->cboAddress), (QStringList{a, listing, b}));
        QCOMPARE(form->cboAddress->currentIndex(), 0);
        QCOMPARE(form->cboAddress->currentText(), a);
        QCOMPARE(form->windowTitle(), QStringLiteral("A again"));
        // Addresses are told apart with case.
        browser->reach("http://standards.ieee.org/A", "A upper");
        QCOMPARE(form->cboAddress->count(), 4);
        // Selecting the new entry never navigated, and the guard is down again.
        QVERIFY(browser->calls.isEmpty());
        QVERIFY(!form->blnDontNavigate);
    }

    void listChoiceNavigatesUnlessGuarded()
    {
        loaded();
        browser->reach("http://standards.ieee.org/a", "A");
        form->cboAddress->setFocus();
        QTest::keyClick(form->cboAddress, Qt::Key_Down);   // to the second entry
        QCOMPARE(browser->calls, QStringList{"Navigate " + frmBrowser::ListingAddress});

        form->blnDontNavigate = true;
        form->cboAddress_Click();
        QCOMPARE(browser->calls.size(), 1);
    }

    void unreadableLocationLeavesTheListAlone()
    {
        loaded();
        browser->failing = {"LocationURL", "LocationName"};
        emit browser->NavigateComplete2(QStringLiteral("http://standards.ieee.org/z"));
        emit browser->DownloadComplete();
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QCOMPARE(form->windowTitle(), QStringLiteral("Listing"));
        QVERIFY(!form->blnDontNavigate);
    }

    void resizeKeepsMarginsAndNeverGoesNegative_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("designed") << twipSize(6540, 5130);
        QTest::newRow("wide") << QSize(900, 700);
        QTest::newRow("narrow") << QSize(120, 400);
        QTest::newRow("tiny") << QSize(3, 3);
    }
    void resizeKeepsMarginsAndNeverGoesNegative()
    {
        QFETCH(QSize, size);
        form->Form_Load();
        form->resize(size);
        const QSize inner = form->size();
        const QWidget* view = browser->widget();
        const int width = std::max(0, twips(toTwips(inner.width()) - 100));
        QCOMPARE(form->cboAddress->width(), width);
        QCOMPARE(view->width(), width);
        QCOMPARE(view->height(), std::max(0, twips(toTwips(inner.height()) - 1215 - 100)));
        QCOMPARE(view->pos(), QPoint(twips(50), twips(1215)));
        QCOMPARE(form->tbToolBar->width(), inner.width());
    }
};

QTEST_MAIN(TstBrowserLogic)
#include "tst_browser_logic.moc"
