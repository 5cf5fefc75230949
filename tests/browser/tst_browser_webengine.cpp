// The listing window over the real Qt WebEngine. Every request for the
// listing's host is answered by a server on 127.0.0.1 that the test starts:
// Chromium resolves that one host to it and no other host at all, and an
// interceptor blocks (and records) any request for another host.
#include "browser/WebEngineBrowser.h"
#include "browser/frmBrowser.h"
#include "tests/browser/LocalWebServer.h"
#include "tests/support/WidgetDriving.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <memory>

using namespace zorvane;
using test::entries;
using test::LocalWebServer;

namespace {

constexpr int Timeout = 20000;   // ms; generous, the machine may be busy
const QString Host = QStringLiteral("standards.ieee.org");
const QByteArray ListingPath = "/regauth/oui/oui.txt";

// Two blocks of the listing as the registration authority writes it.
const QByteArray Listing = "00-1A-2B   (hex)\t\tExample Networks Ltd\r\n\t\t\t\t12 Harbour Road\r\n\r\n"
                           "08-00-2F   (hex)\t\tNorthwind Data Systems\r\n\t\t\t\tSpringfield  IL\r\n";

QByteArray html(const char* title)
{
    return QByteArray("<!DOCTYPE html><html><head><title>") + title
           + "</title></head><body><p>" + title + "</p></body></html>";
}

QString address(const char* path) { return "http://" + Host + path; }

// Blocks and records any request that would leave for another host.
class StayOnThisMachine : public QWebEngineUrlRequestInterceptor {
public:
    QList<QUrl> blocked;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        if (url.host().isEmpty() || url.host() == Host)
            return;
        blocked << url;
        info.block(true);
    }
};

} // namespace

// Waits until the window has settled on a page called `title`; the listing, plain
// text without a title of its own, is named by the browser after its address.
#define WAIT_SETTLED(title)                                                                        \
    QTRY_VERIFY2_WITH_TIMEOUT(!form->timTimer->isActive() && form->windowTitle() == (title),        \
                              qPrintable(form->windowTitle()), Timeout)
#define WAIT_LISTING() WAIT_SETTLED(listingName())

class TstBrowserWebEngine : public QObject {
    Q_OBJECT
public:
    explicit TstBrowserWebEngine(LocalWebServer& server) : server(server) {}

private:
    LocalWebServer& server;
    StayOnThisMachine guard;
    std::unique_ptr<frmBrowser> form;

    WebEngineBrowser* browser() const { return qobject_cast<WebEngineBrowser*>(form->brwWebBrowser); }
    // The listing's address is not the test server's: the run without it.
    static bool offline() { return QUrl(frmBrowser::ListingAddress).host() != Host; }
    QString listingName() const
    {
        const QString title = browser()->view()->title();
        return title.endsWith(Host + QString::fromLatin1(ListingPath)) ? title : QStringLiteral("(elsewhere)");
    }

    void openLoaded() { form->Form_Load(); WAIT_LISTING(); }
    void clickButton(const char* key) { QTest::mouseClick(form->tbToolBar->widgetForAction(form->toolbarButton(key)), Qt::LeftButton); }
    void typeAndEnter(const QString& text)
    {
        form->cboAddress->lineEdit()->clear();
        test::typeAndEnter(form->cboAddress, text);
    }

private slots:
    void initTestCase()
    {
        server.pages[ListingPath] = {"text/plain", Listing};
        for (const auto& [path, title] : {std::pair<QByteArray, const char*>{"/regauth/oui/index.shtml", "OUI Public Listing Search"},
                                          {"/one.html", "Page One"}, {"/two.html", "Page Two"}, {"/slow.html", "Slow Page"}})
            server.pages[path] = {"text/html", html(title)};
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&guard);
        QVERIFY(QWebEngineProfile::defaultProfile()->isOffTheRecord());
    }
    void init()
    {
        form = std::make_unique<frmBrowser>();
        QVERIFY(browser());
    }
    void cleanup()
    {
        form.reset();
        server.release(ListingPath);
        server.release("/slow.html");
    }
    void cleanupTestCase()
    {
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(nullptr);
        if (offline()) {   // only the listing was asked for, and blocked
            for (const QUrl& url : guard.blocked)
                QCOMPARE(url, QUrl(frmBrowser::ListingAddress));
            return;
        }
        QVERIFY2(guard.blocked.isEmpty(), qPrintable(guard.blocked.value(0).toString()));
        QVERIFY(!server.requests.isEmpty());
        for (const auto& request : server.requests)
            QCOMPARE(QString::fromLatin1(request.host), Host);
    }

    void startUpShowsTheListingWorkingThenItsName()
    {
        server.hold(ListingPath);
        const int before = server.count(ListingPath);
        form->Form_Load();
        QCOMPARE(form->cboAddress->currentText(), address(ListingPath));
        QCOMPARE(entries(form->cboAddress), QStringList{address(ListingPath)});
        QTRY_COMPARE_WITH_TIMEOUT(form->windowTitle(), QStringLiteral("Working..."), Timeout);
        QTRY_VERIFY_WITH_TIMEOUT(server.count(ListingPath) > before, Timeout);
        QCOMPARE(form->windowTitle(), QStringLiteral("Working..."));   // still held back

        server.release(ListingPath);
        WAIT_LISTING();

        QString shown;
        browser()->view()->page()->toPlainText([&](const QString& text) { shown = text; });
        QTRY_VERIFY_WITH_TIMEOUT(shown.contains("Northwind Data Systems"), Timeout);
    }

    void enterAndListChoiceNavigateAndListEachAddressOnce()
    {
        openLoaded();
        typeAndEnter(address("/one.html"));
        WAIT_SETTLED("Page One");
        typeAndEnter(Host + "/two.html");   // what a user types may lack the scheme
        WAIT_SETTLED("Page Two");
        QCOMPARE(form->cboAddress->currentText(), address("/two.html"));

        // A mouse choice from the list: the listing is reached again. (Where
        // each reached address is listed: tst_browser_logic.)
        QVERIFY(test::clickEntry(form->cboAddress, 2));
        WAIT_LISTING();

        // An arrow key in the box chooses the next entry.
        form->cboAddress->setFocus();
        QTest::keyClick(form->cboAddress, Qt::Key_Down);
        WAIT_SETTLED("Page Two");
        QCOMPARE(entries(form->cboAddress),
                 (QStringList{address("/two.html"), address(ListingPath), address("/one.html")}));
    }

    void stopEndsASlowLoadAndShowsTheNameAtOnce()
    {
        openLoaded();
        server.hold("/slow.html");
        typeAndEnter(address("/slow.html"));
        QTRY_VERIFY_WITH_TIMEOUT(server.count("/slow.html") > 0, Timeout);
        QTRY_COMPARE_WITH_TIMEOUT(form->windowTitle(), QStringLiteral("Working..."), Timeout);
        QVERIFY(form->brwWebBrowser->Busy());

        clickButton("Stop");
        QCOMPARE(form->windowTitle(), form->brwWebBrowser->LocationName());
        QVERIFY(!form->timTimer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!form->brwWebBrowser->Busy(), Timeout);
        QTRY_COMPARE_WITH_TIMEOUT(server.openHeld(), 0, Timeout);   // the browser hung up
        QVERIFY(form->windowTitle() != QStringLiteral("Working..."));
        QCOMPARE(entries(form->cboAddress), QStringList{address(ListingPath)});   // never reached
        QCOMPARE(form->cboAddress->currentText(), address(ListingPath));          // where it still is
    }

    void toolbarNavigation()
    {
        openLoaded();
        const QString title = form->windowTitle();
        const int fetched = server.count(ListingPath);
        for (const char* key : {"Back", "Forward"}) {
            clickButton(key);
            QTRY_VERIFY_WITH_TIMEOUT(!form->timTimer->isActive(), Timeout);
            QCOMPARE(form->windowTitle(), title);
            QCOMPARE(form->brwWebBrowser->LocationURL(), address(ListingPath));
            QCOMPARE(entries(form->cboAddress), QStringList{address(ListingPath)});
        }
        QCOMPARE(server.count(ListingPath), fetched);

        // With somewhere to go, they go.
        typeAndEnter(address("/one.html"));
        WAIT_SETTLED("Page One");
        clickButton("Back");
        WAIT_LISTING();
        clickButton("Forward");
        WAIT_SETTLED("Page One");
        // A jump within the page loads nothing, so the window is not "Working...".
        for (const char* to : {"/one.html#end", "/one.html"}) {   // there, and back
            if (QByteArray(to).contains('#'))
                typeAndEnter(address(to));
            else
                clickButton("Back");
            QVERIFY(!form->brwWebBrowser->Busy());
            QTRY_COMPARE_WITH_TIMEOUT(form->brwWebBrowser->LocationURL(), address(to), Timeout);
            WAIT_SETTLED(QStringLiteral("Page One"));
        }

        // Search and Home open their pages; Refresh fetches the page again.
        clickButton("Search");
        WAIT_SETTLED("OUI Public Listing Search");
        QCOMPARE(form->brwWebBrowser->LocationURL(), address("/regauth/oui/index.shtml"));
        clickButton("Home");
        WAIT_LISTING();
        const int again = server.count(ListingPath);
        clickButton("Refresh");
        QTRY_VERIFY_WITH_TIMEOUT(server.count(ListingPath) > again, Timeout);
        WAIT_LISTING();
    }

    // Run as tst_browser_webengine_offline, at the listing's own address,
    // which cannot be reached here: the window shows the local copy instead,
    // with its line.
    void unreachableListingShowsTheLocalCopy()
    {
        if (!offline())
            QSKIP("run by tst_browser_webengine_offline, at the listing's own address");
        QTemporaryDir cache;
        const QString folder = cache.filePath("zorvane/ieee-data");
        QVERIFY(QDir().mkpath(folder));
        QFile copy(folder + "/oui.txt"), record(folder + "/.download.json");
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(Listing) == Listing.size());
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write("{\"fetched\": \"2026-12-01T10:00:00Z\"}") > 0);
        copy.close();
        record.close();
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        form->Form_Load();
        const QString local = QUrl::fromLocalFile(folder + "/oui.txt").toString();
        QTRY_COMPARE_WITH_TIMEOUT(form->brwWebBrowser->LocationURL(), local, Timeout);
        QTRY_VERIFY_WITH_TIMEOUT(!form->timTimer->isActive(), Timeout);
        QVERIFY(form->lblLocalCopy->isVisible());
        QCOMPARE(form->lblLocalCopy->text(), QStringLiteral("Local copy of 1 Dec 2026"));
        QCOMPARE(form->cboAddress->currentText(), local);
        if (const QString shots = qEnvironmentVariable("ZORVANE_SCREENSHOT_DIR"); !shots.isEmpty())
            form->grab().save(shots + "/browser-local.png");
        qunsetenv("XDG_CACHE_HOME");
    }

    void resizingKeepsTheMarginsAndSurvivesTinyAndMinimised()
    {
        openLoaded();
        QWidget* view = browser()->view();
        form->resize(4, 4);   // smaller than the margins
        form->showMinimized();
        QTRY_VERIFY(form->isMinimized());
        form->showNormal();
        form->resize(twipSize(6540, 5130));
        QCOMPARE(form->cboAddress->width(), twips(6440));
        QCOMPARE(view->geometry(), QRect(twips(50), twips(1215), twips(6440), twips(5130 - 1315)));
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    LocalWebServer server;
    if (!server.listen())
        qFatal("The local web server cannot listen on 127.0.0.1.");
    // Read by Qt WebEngine when the first page is made, which is after this.
    // The listing's host is this machine; every other host is unknown.
    const QByteArray flags = "--host-resolver-rules=\"MAP " + Host.toLatin1() + " 127.0.0.1:"
                             + QByteArray::number(server.port())
                             + ", MAP * ~NOTFOUND\" --no-proxy-server"
                               " --disable-background-networking --disable-component-update"
                               " --disable-domain-reliability --disable-sync --no-pings"
                               " --dns-prefetch-disable --no-first-run";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    TstBrowserWebEngine test(server);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browser_webengine.moc"
