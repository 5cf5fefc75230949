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

    void loadPassesOverFailingSteps()
    {
        browser->failing = {"Navigate", "LocationName"};
        form->Form_Load();
        QVERIFY(form->isVisible());
        QCOMPARE(form->StartingAddress, frmBrowser::ListingAddress);
        QCOMPARE(form->cboAddress->currentText(), frmBrowser::ListingAddress);
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QCOMPARE(form->cboAddress->pos(), QPoint(twips(50), twips(330)));
        QCOMPARE(browser->calls, QStringList{"Navigate " + frmBrowser::ListingAddress});
        // The timer still ends once the browser is idle, its title step passed over.
        QVERIFY(form->timTimer->isActive());
        QTRY_VERIFY(!form->timTimer->isActive());
        QCOMPARE(form->windowTitle(), QString());
    }

    void handlersPassOverFailingSteps()
    {
        loaded();
        browser->failing = {"GoBack", "GoForward", "Stop", "Navigate"};
        clickButton("Back");
        clickButton("Forward");
        form->cboAddress->lineEdit()->clear();
        QTest::keyClick(form->cboAddress, Qt::Key_Return);
        QCOMPARE(browser->calls, (QStringList{"GoBack", "GoForward", "Navigate "}));
        QTRY_VERIFY(!form->timTimer->isActive());
        QCOMPARE(form->windowTitle(), QStringLiteral("Listing"));
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});

        // A failing stop still ends the timer and shows the location name.
        browser->busy = true;
        browser->locationName = QStringLiteral("Half a page");
        form->timTimer->start();
        QTRY_COMPARE(form->windowTitle(), QStringLiteral("Working..."));
        clickButton("Stop");
        QCOMPARE(form->windowTitle(), QStringLiteral("Half a page"));
        QVERIFY(!form->timTimer->isActive());

        // A location that cannot be read leaves the list and the title alone.
        browser->failing = {"LocationURL", "LocationName"};
        browser->reach(QStringLiteral("http://standards.ieee.org/z"), QStringLiteral("Z"));
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QCOMPARE(form->windowTitle(), QStringLiteral("Half a page"));
        QVERIFY(!form->blnDontNavigate);
    }

    void typingGoesNowhereUntilEnter()
    {
        loaded();
        form->cboAddress->lineEdit()->selectAll();
        QTest::keyClicks(form->cboAddress, "standards.ieee.org/x");
        QVERIFY(browser->calls.isEmpty());
        QTest::keyClick(form->cboAddress->lineEdit(), Qt::Key_Enter);   // the keypad's Enter
        QCOMPARE(browser->calls, QStringList{"Navigate standards.ieee.org/x"});
        // Only addresses reached are listed, never what was typed.
        QCOMPARE(listOf(form->cboAddress), QStringList{frmBrowser::ListingAddress});
    }

    void eachAddressReachedIsListedOnceAtTheTop()
    {
        loaded();
        const QString a = "http://standards.ieee.org/a", b = "http://standards.ieee.org/b";
        const QString listing = frmBrowser::ListingAddress;
        browser->reach(a, "A");
        browser->reach(b, "B");
        browser->reach(listing, "Listing");
        QCOMPARE(listOf(form->cboAddress), (QStringList{listing, b, a}));
        browser->reach(a, "A again");
        QCOMPARE(listOf(form->cboAddress), (QStringList{a, listing, b}));
        QCOMPARE(form->cboAddress->currentText(), a);
        QCOMPARE(form->windowTitle(), QStringLiteral("A again"));
        // Addresses are told apart with case.
        browser->reach("http://standards.ieee.org/A", "A upper");
        QCOMPARE(form->cboAddress->count(), 4);
        // Selecting the new entry never navigated, and the guard is down again.
        QVERIFY(browser->calls.isEmpty());
        QVERIFY(!form->blnDontNavigate);

        form->blnDontNavigate = true;
        form->cboAddress_Click();
        QVERIFY(browser->calls.isEmpty());
    }
};

QTEST_MAIN(TstBrowserLogic)
#include "tst_browser_logic.moc"
