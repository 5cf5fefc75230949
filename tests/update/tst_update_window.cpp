// The "Update Vendor List" window, driven offscreen by real mouse clicks
// against the loopback stand-in for the IEEE's site: the update with its
// summary and report, Cancel while the files come (nothing changed), and a
// refusal by the site shown as its one line.
#include "tests/listing/ListingSite.h"
#include "update/UpdateWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace zorvane;
using namespace zorvane::test;
using State = update::UpdateWindow::State;

class UpdateWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    ListingSite site_;
    QString flatOlder_;

    // A database imported from the older listing, one vendor renamed by the user.
    QString database(const QString& name) {
        const QString db = dir_->filePath(name);
        if (runProcess(zorvaneDbPath(), {"import", "--min-entries", "1", "--from", flatOlder_, db}).status != 0 ||
            runProcess(zorvaneDbPath(), {"update", db, "oui", "3", "Vendor=Maker 3 (our lab)"}).status != 0)
            return {};
        return db;
    }
    update::UpdateOptions options(const QString& name, const QString& url) {
        update::UpdateOptions o;
        o.download.site = url;
        o.download.folder = dir_->filePath(name + "-listing");
        o.download.stallSeconds = 60;
        o.database = database(name + ".mdb");
        o.report = dir_->filePath(name + "-changes.csv");
        o.minEntries = 1;
        return o;
    }
    static QString text(const QWidget& window, const char* name) { return window.findChild<QLabel*>(name)->text(); }

private slots:
    void initTestCase() {
        QVERIFY(writeSite(dir_->filePath("site"), 300));
        QVERIFY(writeSite(dir_->filePath("older"), 280));
        flatOlder_ = dir_->filePath("older/flat");
        QDir().mkpath(flatOlder_);
        for (const auto& [name, path] : siteFiles())
            QVERIFY(writeBytes(flatOlder_ + "/" + name, bytesOf(dir_->filePath("older/" + path))));
        QVERIFY(site_.start(dir_->filePath("site"), dir_->filePath("requests.log")));
    }

    // Shown, the window fetches the listing, refreshes the database and says
    // what changed; its button opens the report of changes.
    void updatesTheDatabase() {
        update::UpdateOptions o = options("update", site_.url());
        QVERIFY(!o.database.isEmpty());
        update::UpdateWindow window(o);
        QStringList opened;
        window.openReport = [&](const QString& path) { opened << path; };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY_WITH_TIMEOUT(window.state() == State::Done || window.state() == State::Failed, 120000);
        QCOMPARE(text(window, "lblSummary"), "Vendor records: 26 added, 0 updated, 0 removed, 1 kept, 0 conflicts.");
        QCOMPARE(text(window, "lblFile0"), "new, 300 entries");
        QCOMPARE(text(window, "lblFile3"), "new, 30 entries");
        QCOMPARE(text(window, "lblFile4"), "not on the site");
        QCOMPARE(window.findChild<QProgressBar*>("barFile0")->value(), 100);
        auto* report = window.findChild<QPushButton*>("cmdReport");
        QVERIFY(report->isEnabled());
        QTest::mouseClick(report, Qt::LeftButton);
        QCOMPARE(opened, QStringList{o.report});
        QVERIFY(bytesOf(o.report).startsWith("change,code,field,before,after\r\nadded,"));
        QVERIFY(bytesOf(o.report).contains("kept,AC-00-03,Vendor,Maker 3,Maker 3 (our lab)\r\n"));
        QCOMPARE(runProcess(zorvaneDbPath(), {"lookup", o.database, "AC:01:18:00:00:01"}).out,
                 QByteArray("AC:01:18:00:00:01  Maker 280  (MA-L AC-01-18)\n"));
        QCOMPARE(runProcess(zorvaneDbPath(), {"check", o.database}).status, 0);
        if (const QString shots = qEnvironmentVariable("ZORVANE_SCREENSHOT_DIR"); !shots.isEmpty())
            window.grab().save(shots + "/update.png");
        auto* close = window.findChild<QPushButton*>("cmdCancel");
        QCOMPARE(close->text(), "Close");
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }

    // Cancel while the files come: nothing is changed, neither the folder
    // (a first download: none is left) nor the database.
    void cancelChangesNothing() {
        // oui.txt stalls after its first bytes, so the download is still on when Cancel comes.
        update::UpdateOptions o = options("cancel", site_.url("stall", "oui.txt"));
        const QByteArray before = bytesOf(o.database);
        update::UpdateWindow window(o);
        window.show();
        // The other files' answers have come (taken in order, they wait behind oui.txt).
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QProgressBar*>("barFile3")->value() == 100, 60000);
        QVERIFY2(window.state() == State::Downloading, qPrintable(text(window, "lblSummary")));
        QTest::mouseClick(window.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.state(), State::Cancelled, 60000);
        QCOMPARE(text(window, "lblSummary"), "Cancelled: nothing was changed.");
        QVERIFY(!QFileInfo::exists(o.download.folder));
        QCOMPARE(bytesOf(o.database), before);
        QVERIFY(!QFileInfo::exists(o.report));
    }

    // Without a database yet, nothing is fetched: the window says how to make one.
    void noDatabaseYet() {
        update::UpdateOptions o = options("none", site_.url());
        o.database = dir_->filePath("none/oui.mdb");
        update::UpdateWindow window(o);
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.state(), State::Failed, 60000);
        QCOMPARE(text(window, "lblSummary"), o.database + ": there is no vendor database yet; start Zorvane once to make it.");
        QVERIFY(!QFileInfo::exists(o.download.folder));
    }

    // The site refuses: its one line, and the database as it was.
    void refusalShown() {
        update::UpdateOptions o = options("refused", site_.url("418", "oui36.txt"));
        const QByteArray before = bytesOf(o.database);
        update::UpdateWindow window(o);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.state() == State::Failed || window.state() == State::Done, 60000);
        QCOMPARE(text(window, "lblSummary"),
                 site_.url("418", "oui36.txt") + "/oui36/oui36.txt: HTTP 418 I'm a Teapot: the site refused the request.");
        QCOMPARE(bytesOf(o.database), before);
        QVERIFY(!window.findChild<QPushButton*>("cmdReport")->isEnabled());
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "tst_update_window.moc"
