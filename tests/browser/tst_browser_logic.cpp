// The listing window's own logic, over a scripted browser: what each handler
// asks of the browser, what it shows, and how it passes over failing steps.
#include "browser/frmBrowser.h"
#include "tests/browser/ScriptedBrowser.h"
#include "tests/support/WidgetDriving.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUrl>
#include <QTimer>
#include <QToolBar>
#include <memory>

using namespace zorvane;
using test::entries;
using test::ScriptedBrowser;

class TstBrowserLogic : public QObject {
    Q_OBJECT

    std::unique_ptr<frmBrowser> form;
    ScriptedBrowser* browser = nullptr;

    void clickButton(const QString& key) { QTest::mouseClick(form->tbToolBar->widgetForAction(form->toolbarButton(key)), Qt::LeftButton); }

private slots:
    void init()
    {
        form = std::make_unique<frmBrowser>([this](QWidget* host) { return browser = new ScriptedBrowser(host); });
    }
    void cleanup() { form.reset(); }

    // The listing's address today, on the IEEE's site of its own.
    void opensTheListingWhereItIsNow()
    {
        QCOMPARE(frmBrowser::ListingAddress, QStringLiteral("https://standards-oui.ieee.org/oui/oui.txt"));
        form->Form_Load();
        QCOMPARE(browser->calls, QStringList{"Navigate " + frmBrowser::ListingAddress});
        QVERIFY(!form->lblLocalCopy->isVisible());
    }

    // When the listing cannot be reached, the newest local copy is shown,
    // with one line saying so and its date: the download folder's, else
    // update-ieee-data's; never for another address, nor without a copy.
    void unreachableListingShowsTheLocalCopy()
    {
        QTemporaryDir dir;
        const QString cache = dir.filePath("cache"), system = dir.filePath("system");
        const QString downloaded = cache + "/zorvane/ieee-data";
        QVERIFY(QDir().mkpath(downloaded) && QDir().mkpath(system));
        qputenv("XDG_CACHE_HOME", cache.toUtf8());
        qputenv("ZORVANE_IEEE_DATA_DIR", system.toUtf8());
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        QVERIFY(write(system + "/oui.txt", "OUI/MA-L\n"));
        QVERIFY(write(system + "/.lastupdate", "1661630937\n"));
        form->Form_Load();
        browser->calls.clear();
        browser->failLoad("https://elsewhere.example/page.html");   // not the listing: nothing else happens
        QCOMPARE(browser->calls, QStringList());
        browser->failLoad(frmBrowser::ListingAddress);
        QCOMPARE(browser->calls, QStringList{"Navigate " + QUrl::fromLocalFile(system + "/oui.txt").toString()});
        QVERIFY(form->lblLocalCopy->isVisible());
        QCOMPARE(form->lblLocalCopy->text(), QStringLiteral("Local copy of 27 Aug 2022"));
        QVERIFY(form->lblLocalCopy->toolTip().contains(system));
        // The copy reached; then a page of the web: the line goes.
        browser->reach(QUrl::fromLocalFile(system + "/oui.txt").toString(), "oui.txt");
        QVERIFY(form->lblLocalCopy->isVisible());
        browser->reach("https://elsewhere.example/", "Elsewhere");
        QVERIFY(!form->lblLocalCopy->isVisible());

        // A download there is: it is the newer copy.
        QVERIFY(write(downloaded + "/oui.txt", "OUI/MA-L\n"));
        QVERIFY(write(downloaded + "/.download.json", "{\"fetched\": \"2026-12-01T10:00:00Z\"}"));
        browser->calls.clear();
        browser->failLoad(frmBrowser::ListingAddress);
        QCOMPARE(browser->calls, QStringList{"Navigate " + QUrl::fromLocalFile(downloaded + "/oui.txt").toString()});
        QCOMPARE(form->lblLocalCopy->text(), QStringLiteral("Local copy of 1 Dec 2026"));

        // No copy at all: the failed page stays, without the line.
        form.reset();
        init();
        qputenv("XDG_CACHE_HOME", dir.filePath("none").toUtf8());
        qputenv("ZORVANE_IEEE_DATA_DIR", dir.filePath("none").toUtf8());
        form->Form_Load();
        browser->calls.clear();
        browser->failLoad(frmBrowser::ListingAddress);
        QCOMPARE(browser->calls, QStringList());
        QVERIFY(!form->lblLocalCopy->isVisible());
        qunsetenv("XDG_CACHE_HOME");
        qunsetenv("ZORVANE_IEEE_DATA_DIR");
    }

    void failingStepsArePassedOver()
    {
        browser->failing = {"Navigate", "LocationName"};
        form->Form_Load();
        QVERIFY(form->isVisible());
        QCOMPARE(entries(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QCOMPARE(browser->calls, QStringList{"Navigate " + frmBrowser::ListingAddress});
        // The timer still ends once the browser is idle, its title step passed over.
        QVERIFY(form->timTimer->isActive());
        QTRY_VERIFY(!form->timTimer->isActive());
        QCOMPARE(form->windowTitle(), QString());

        browser->failing = {"GoBack", "GoForward", "Stop", "Navigate"};
        browser->reach(frmBrowser::ListingAddress, QStringLiteral("Listing"));
        browser->calls.clear();
        clickButton("Back");
        clickButton("Forward");
        form->cboAddress->lineEdit()->clear();
        QTest::keyClick(form->cboAddress, Qt::Key_Return);
        QCOMPARE(browser->calls, (QStringList{"GoBack", "GoForward", "Navigate "}));
        QTRY_COMPARE(form->windowTitle(), QStringLiteral("Listing"));

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
        QCOMPARE(entries(form->cboAddress), QStringList{frmBrowser::ListingAddress});
        QCOMPARE(form->windowTitle(), QStringLiteral("Half a page"));
        QVERIFY(!form->blnDontNavigate);
    }

    void eachAddressReachedIsListedOnceAtTheTop()
    {
        form->Form_Load();
        browser->calls.clear();
        const QString a = "http://standards.ieee.org/a", b = "http://standards.ieee.org/b";
        const QString listing = frmBrowser::ListingAddress;
        // Typing alone goes nowhere; the keypad's Enter navigates, and what was
        // typed is never listed unless reached.
        form->cboAddress->lineEdit()->selectAll();
        QTest::keyClicks(form->cboAddress, "standards.ieee.org/x");
        QVERIFY(browser->calls.isEmpty());
        QTest::keyClick(form->cboAddress->lineEdit(), Qt::Key_Enter);
        QCOMPARE(browser->calls, QStringList{"Navigate standards.ieee.org/x"});
        browser->calls.clear();

        browser->reach(a, "A");
        browser->reach(b, "B");
        browser->reach(listing, "Listing");
        QCOMPARE(entries(form->cboAddress), (QStringList{listing, b, a}));
        browser->reach(a, "A again");
        QCOMPARE(entries(form->cboAddress), (QStringList{a, listing, b}));
        QCOMPARE(form->cboAddress->currentText(), a);
        QCOMPARE(form->windowTitle(), QStringLiteral("A again"));
        browser->reach("http://standards.ieee.org/A", "A upper");   // told apart with case
        QCOMPARE(form->cboAddress->count(), 4);
        // Selecting the new entry never navigated, and the guard is down again.
        QVERIFY(browser->calls.isEmpty());
        QVERIFY(!form->blnDontNavigate);

        // A stopped or failed load leaves the browser where it was: the box
        // gives up what was typed and shows that address again.
        for (const char* how : {"Stop", "failed"}) {
            form->cboAddress->lineEdit()->selectAll();
            QTest::keyClicks(form->cboAddress, "standards.ieee.org/slow");
            QTest::keyClick(form->cboAddress, Qt::Key_Return);
            browser->busy = true;
            if (QByteArray(how) == "Stop") {
                clickButton("Stop");
            } else {
                browser->busy = false;
                emit browser->DownloadComplete();
            }
            QCOMPARE(form->cboAddress->currentText(), browser->locationURL);
            QCOMPARE(entries(form->cboAddress), (QStringList{browser->locationURL, a, listing, b}));
        }
    }
};

QTEST_MAIN(TstBrowserLogic)
#include "tst_browser_logic.moc"
