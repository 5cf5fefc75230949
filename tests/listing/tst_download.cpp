// zorvane-db download and refresh --download against the loopback stand-in
// for the IEEE's site (listing_server.py): a first download and an
// up-to-date one (conditional requests), every way the site can misbehave
// (the folder then stays as it was, to the byte), redirects, compression,
// certificate checks, a proxy from the environment, two downloads at once,
// a refresh with the download on a database with the user's edits, and the
// CID registry fetched, imported and refreshed.
#include "tests/listing/ListingSite.h"

#include <QDateTime>
#include <QTest>

using namespace zorvane::test;

namespace {

constexpr int Entries = 300;  // MA-L entries of the site's listing; 30 of each other registry

} // namespace

class DownloadTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    ListingSite site_;
    QString log_;

    // zorvane-db with a cache folder of the test's own (the default download
    // folder lies in it) and no proxy unless given.
    ProcessResult tool(const QStringList& arguments, const QStringList& environment = {}) {
        QStringList env = {"XDG_CACHE_HOME=" + dir_->filePath("cache"), "http_proxy=", "https_proxy=", "HTTP_PROXY=",
                           "HTTPS_PROXY=", "all_proxy=", "no_proxy="};
        return runProcess(zorvaneDbPath(), arguments, false, env + environment);
    }
    QStringList logLines() { return QString::fromUtf8(bytesOf(log_)).split('\n', Qt::SkipEmptyParts); }
    // A folder holding a first download of the site's listing.
    QString downloaded(const QString& name) {
        const QString to = dir_->filePath(name);
        const ProcessResult r = tool({"download", "--url", site_.url(), "--to", to, "--min-entries", "1"});
        return r.status == 0 ? to : QString("failed: " + r.err);
    }

private slots:
    void initTestCase() {
        QVERIFY(writeSite(dir_->filePath("site"), Entries));
        log_ = dir_->filePath("requests.log");
        QVERIFY2(site_.start(dir_->filePath("site"), log_), "the loopback server did not start");
    }

    // A first download fetches the four files as the site has them and
    // says so; the next costs four conditional requests answered 304, and
    // keeps every file.
    void firstAndUpToDate() {
        const QString to = dir_->filePath("first");
        QFile::remove(log_);
        ProcessResult r = tool({"download", "--url", site_.url(), "--to", to, "--min-entries", "1"});
        QCOMPARE(QString::fromUtf8(r.err), QString());
        QCOMPARE(QString::fromUtf8(r.out), to + ": oui.txt new (300 entries), mam.txt new (30 entries), oui36.txt new "
                                                "(30 entries), iab.txt new (30 entries), cid.txt not fetched (not on the site)\n");
        for (const auto& [name, path] : siteFiles())
            QVERIFY2(bytesOf(to + "/" + name) == bytesOf(dir_->filePath("site/" + path)), qPrintable(name));
        QVERIFY(!QFile::exists(to + "/cid.txt"));
        QStringList lines = logLines();
        QCOMPARE(lines.size(), 5);
        for (const QString& line : lines)
            QVERIFY2(line.contains(" Mozilla/5.0 (X11; Linux x86_64) Zorvane/") && line.endsWith("| "), qPrintable(line));

        const QMap<QString, QByteArray> before = folderState(to);
        r = tool({"download", "--url", site_.url(), "--to", to, "--min-entries", "1", "--quiet"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out + r.err, QByteArray());
        lines = logLines().mid(5);
        QCOMPARE(lines.size(), 5);
        for (const QString& line : lines)  // If-None-Match sent for every file there is a copy of
            QVERIFY2(line.contains("/cid/cid.txt ") != line.contains("| \""), qPrintable(line));
        QMap<QString, QByteArray> after = folderState(to);
        for (const QString& name : before.keys())
            if (name != ".download.json")  // the time of the last check
                QCOMPARE(after.value(name), before.value(name));
        r = tool({"download", "--url", site_.url(), "--to", to, "--min-entries", "1"});
        QVERIFY(r.out.contains("oui.txt unchanged (300 entries), mam.txt unchanged (30 entries)"));
    }

    // Without --min-entries a first download must hold what a complete
    // listing holds; a refused first download leaves no folder behind.
    void firstDownloadBelowTheFloors() {
        const QString to = dir_->filePath("floors/ieee-data");
        const ProcessResult r = tool({"download", "--url", site_.url(), "--to", to});
        QCOMPARE(QString::fromUtf8(r.err), "zorvane-db: " + site_.url() + "/oui/oui.txt: holds 300 entries, fewer than the "
                                            "20,000 a complete MA-L listing holds.\n");
        QCOMPARE(r.status, 1);
        QVERIFY(!QFileInfo::exists(to));
    }

    // Every way the site can fail: one line naming the address and the
    // reason, status 1, and the folder exactly as it was.
    void failuresLeaveTheFolder_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("403") << "403" << "oui.txt" << "HTTP 403 Forbidden: the site refused the request";
        QTest::newRow("418") << "418" << "mam.txt" << "HTTP 418 I'm a Teapot: the site refused the request";
        QTest::newRow("500") << "500" << "iab.txt" << "HTTP 500 Internal Server Error: the site failed to answer";
        QTest::newRow("404") << "404" << "oui36.txt" << "HTTP 404 Not Found: the site has no such file";
        QTest::newRow("HTML with 200") << "html" << "oui.txt" << "the file is an HTML page, not the IEEE listing: kept the last good copy";
        QTest::newRow("truncated") << "truncated" << "oui.txt" << "holds 151 entries, the copy it would replace 300: kept the last good copy";
        QTest::newRow("empty") << "empty" << "mam.txt" << "the file is empty: kept the last good copy";
        QTest::newRow("stall") << "stall" << "oui.txt" << "nothing came for 2 s";
        QTest::newRow("endless") << "endless" << "oui36.txt" << "the file is larger than 64 MiB";
        QTest::newRow("lying length") << "lie" << "oui.txt" << "the connection was closed before the whole file came";
        QTest::newRow("redirects without end") << "loop" << "iab.txt" << "more than 5 redirects";
    }
    void failuresLeaveTheFolder() {
        QFETCH(QString, mode);
        QFETCH(QString, target);
        QFETCH(QString, reason);
        const QString to = downloaded("fail-" + mode);
        // Another listing on the site since, so that every file would be new.
        const QString changed = dir_->filePath("site-" + mode);
        QVERIFY(writeSite(changed, Entries, " Changed"));
        ListingSite site;
        QVERIFY(site.start(changed, dir_->filePath("log-" + mode)));
        const QMap<QString, QByteArray> before = folderState(to);
        const ProcessResult r = tool({"download", "--url", site.url(mode, target), "--to", to, "--timeout", "2"});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err.count('\n'), 1);
        const QString path = siteFiles().at(int(std::find_if(siteFiles().begin(), siteFiles().end(),
                                                             [&](const auto& f) { return f.first == target; }) -
                                                siteFiles().begin())).second;
        QVERIFY2(r.err.startsWith("zorvane-db: " + site.url(mode, target).toUtf8() + "/" + path.toUtf8() + ": " + reason.toUtf8()),
                 r.err.constData());
        QCOMPARE(folderState(to), before);
    }

    // Every file passed, but the folder's record cannot be written at the
    // end: the files already put in place are taken back, and the folder is
    // as it was.
    void failureAtTheEndPutsFilesBack() {
        const QString to = downloaded("put-back");
        const QString changed = dir_->filePath("site-put-back");
        QVERIFY(writeSite(changed, Entries, " Changed"));
        ListingSite site;
        QVERIFY(site.start(changed, dir_->filePath("log-put-back")));
        QVERIFY(QFile::remove(to + "/.download.json"));  // no validators: every file comes anew
        QVERIFY(QDir().mkdir(to + "/.download.json"));
        const QMap<QString, QByteArray> before = folderState(to);
        const ProcessResult r = tool({"download", "--url", site.url(), "--to", to, "--min-entries", "1"});
        QVERIFY2(r.status == 1 && r.err.startsWith("zorvane-db: " + to.toUtf8() + "/.download.json: cannot be written"),
                 r.err.constData());
        QCOMPARE(folderState(to), before);
    }

    // A connection refused, and an HTTPS server whose certificate nobody
    // vouches for (certificates are always checked), fail the same way; so
    // does that server reached through a proxy.
    void unreachableAndUntrusted() {
        const QString to = downloaded("unreachable");
        const QMap<QString, QByteArray> before = folderState(to);
        quint16 closed = 0;
        {
            ListingSite gone;
            QVERIFY(gone.start(dir_->filePath("site"), dir_->filePath("log-gone")));
            closed = gone.port();
        }
        ProcessResult r = tool({"download", "--url", QString("http://127.0.0.1:%1/ok/all").arg(closed), "--to", to});
        QCOMPARE(QString::fromUtf8(r.err), QString("zorvane-db: http://127.0.0.1:%1/ok/all/oui/oui.txt: connection refused.\n").arg(closed));
        const QString cert = dir_->filePath("cert.pem"), key = dir_->filePath("key.pem");
        const ProcessResult made = runProcess("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                                                          "-days", "2", "-keyout", key, "-out", cert});
        QVERIFY2(made.status == 0, made.err.constData());
        ListingSite tls;
        QVERIFY(tls.start(dir_->filePath("site"), dir_->filePath("log-tls"), {cert, key}));
        r = tool({"download", "--url", tls.url("ok", "all", "https"), "--to", to, "--min-entries", "1"});
        QVERIFY2(r.status == 1 && r.err.startsWith("zorvane-db: " + tls.url("ok", "all", "https").toUtf8() + "/oui/oui.txt: TLS: ") &&
                     r.err.count('\n') == 1,
                 r.err.constData());
        QCOMPARE(folderState(to), before);

        // HTTPS goes through the proxy https_proxy names, as a tunnel: the
        // proxy is asked for the site's name (never looked up here), and the
        // certificate at the far end is still checked.
        const QString tunnelLog = dir_->filePath("log-tunnel");
        ListingSite proxy;
        QVERIFY(proxy.start(dir_->filePath("site"), tunnelLog, {}, tls.port()));
        r = tool({"download", "--url", "https://listing.zorvane.invalid/ok/all", "--to", to, "--min-entries", "1"},
                 {QString("https_proxy=http://127.0.0.1:%1").arg(proxy.port())});
        QVERIFY2(r.status == 1 && r.err.startsWith("zorvane-db: https://listing.zorvane.invalid/ok/all/oui/oui.txt: TLS: "),
                 r.err.constData());
        QVERIFY2(bytesOf(tunnelLog).startsWith("CONNECT listing.zorvane.invalid:443 "), bytesOf(tunnelLog).constData());
        QCOMPARE(folderState(to), before);
    }

    // A moved address (301) is followed, a compressed body taken, and a
    // proxy named by the environment used: the site's name is never looked
    // up here (.invalid), the proxy (our server) gets the whole address.
    void redirectsCompressionAndProxy() {
        const QString to = dir_->filePath("moved");
        ProcessResult r = tool({"download", "--url", site_.url("301", "all"), "--to", to, "--min-entries", "1"});
        QVERIFY2(r.status == 0 && r.out.contains("oui.txt new (300 entries)"), r.err.constData());
        const QString packed = dir_->filePath("packed");
        r = tool({"download", "--url", site_.url("gzip", "all"), "--to", packed, "--min-entries", "1"});
        QVERIFY2(r.status == 0, r.err.constData());
        for (const auto& [name, path] : siteFiles()) {
            QVERIFY2(bytesOf(to + "/" + name) == bytesOf(dir_->filePath("site/" + path)), qPrintable(name));
            QVERIFY2(bytesOf(packed + "/" + name) == bytesOf(dir_->filePath("site/" + path)), qPrintable(name));
        }
        QFile::remove(log_);
        const QString proxied = dir_->filePath("proxied");
        r = tool({"download", "--url", "http://listing.zorvane.invalid/ok/all", "--to", proxied, "--min-entries", "1"},
                 {QString("http_proxy=http://127.0.0.1:%1").arg(site_.port())});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(logLines().size(), 5);
        for (const QString& line : logLines())  // the whole address, as a proxy is asked
            QVERIFY2(line.startsWith("GET http://listing.zorvane.invalid/ok/all/"), qPrintable(line));
        QCOMPARE(bytesOf(proxied + "/oui.txt"), bytesOf(dir_->filePath("site/oui/oui.txt")));
    }

    // Two downloads into one folder at once take turns: both succeed and
    // the folder holds one whole listing, no temporary file left.
    void twoAtOnce() {
        const QString to = dir_->filePath("both");
        QProcess first, second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("http_proxy", "");
        first.setProcessEnvironment(env);
        second.setProcessEnvironment(env);
        const QStringList arguments = {"download", "--url", site_.url("slow", "all"), "--to", to, "--min-entries", "1"};
        first.start(zorvaneDbPath(), arguments);
        second.start(zorvaneDbPath(), arguments);
        QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        const QString outs = QString::fromUtf8(first.readAllStandardOutput() + second.readAllStandardOutput());
        QCOMPARE(outs.count("oui.txt new (300 entries)"), 1);
        QCOMPARE(outs.count("oui.txt unchanged (300 entries)"), 1);
        QStringList names = folderState(to).keys();
        QCOMPARE(names, QStringList({".download.json", "iab.txt", "mam.txt", "oui.txt", "oui36.txt"}));
        for (const auto& [name, path] : siteFiles())
            QVERIFY2(bytesOf(to + "/" + name) == bytesOf(dir_->filePath("site/" + path)), qPrintable(name));
    }

    // refresh --download on a database with the user's edits: the new codes
    // are found by lookup, the edits kept, the file sound; when the download
    // fails, the database is not touched.
    void refreshWithDownload() {
        const QString older = dir_->filePath("older");
        QVERIFY(writeSite(older, Entries - 20));
        QDir().mkpath(older + "/flat");
        for (const auto& [name, path] : siteFiles())
            QVERIFY(writeBytes(older + "/flat/" + name, bytesOf(older + "/" + path)));
        const QString db = dir_->filePath("edited.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", older + "/flat", db}).status, 0);
        QCOMPARE(tool({"update", db, "oui", "3", "Vendor=Maker 3 (our lab)"}).status, 0);
        QCOMPARE(tool({"add", db, "oui", "Code=02-00-5E", "Vendor=Lab VMs"}).status, 0);
        QCOMPARE(tool({"lookup", db, "AC:01:18:00:00:01"}).out, QByteArray("AC:01:18:00:00:01  not in the database\n"));

        ListingSite refusing;
        QVERIFY(refusing.start(dir_->filePath("site"), dir_->filePath("log-refusing")));
        const QByteArray before = bytesOf(db);
        ProcessResult r = tool({"refresh", db, "--download", "--url", refusing.url("403", "mam.txt"), "--min-entries", "1"});
        QCOMPARE(QString::fromUtf8(r.err), "zorvane-db: " + refusing.url("403", "mam.txt") + "/oui28/mam.txt: HTTP 403 Forbidden: the "
                                            "site refused the request; " + db + " was not changed.\n");
        QCOMPARE(bytesOf(db), before);
        QVERIFY(!QFileInfo::exists(dir_->filePath("cache/zorvane/ieee-data/oui.txt")));

        r = tool({"refresh", db, "--download", "--url", site_.url(), "--min-entries", "1"});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out), db + ": 26 added, 0 updated, 0 removed, 2 kept, 0 conflicts\n");
        QCOMPARE(bytesOf(dir_->filePath("cache/zorvane/ieee-data/oui.txt")), bytesOf(dir_->filePath("site/oui/oui.txt")));
        QCOMPARE(tool({"lookup", db, "AC:01:18:00:00:01", "AC:00:03:00:00:01", "02:00:5e:00:00:01"}).out,
                 QByteArray("AC:01:18:00:00:01  Maker 280  (MA-L AC-01-18)\n"
                            "AC:00:03:00:00:01  Maker 3 (our lab)  (MA-L AC-00-03)\n"
                            "02:00:5E:00:00:01  Lab VMs  (MA-L 02-00-5E)  locally administered (AAI)  local\n"));
        QCOMPARE(tool({"check", db}).status, 0);
    }

    // A site that has the CID registry: download keeps cid.txt, import makes
    // table "cid" from it, and refresh --download brings that table up to
    // the site's newer registry, so lookup names ELI addresses by the CIDs
    // as the site has them.
    void cidRegistryFromTheSite() {
        const QString root = dir_->filePath("cid-site");
        const QByteArray title = "CID\t\t\t\t\t\t\tOrganization\r\ncompany_id\t\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";
        QVERIFY(writeSite(root, 50));
        QVERIFY(QDir().mkpath(root + "/cid"));
        QVERIFY(writeBytes(root + "/cid/cid.txt", title + siteEntry("0A-E3-31", "Northwind Fabrics Ltd", {"Leeds", "GB"}) +
                                                      siteEntry("4A-12-03", "Kestrel Systems GmbH", {"Hamburg", "DE"})));
        ListingSite site;
        QVERIFY(site.start(root, dir_->filePath("log-cid")));
        const QStringList env = {"XDG_CACHE_HOME=" + dir_->filePath("cid-cache")};
        ProcessResult r = tool({"download", "--url", site.url(), "--min-entries", "1", "--quiet"}, env);
        QVERIFY2(r.status == 0, r.err.constData());
        const QString db = dir_->filePath("cid.mdb");
        r = tool({"import", "--min-entries", "1", "--from", dir_->filePath("cid-cache/zorvane/ieee-data"), db}, env);
        QVERIFY2(r.status == 0 && r.out.endsWith("; 2 company IDs (CID) in table \"cid\"\n"), r.out + r.err);
        QCOMPARE(tool({"lookup", db, "0a:e3:31:00:00:01"}).out,
                 QByteArray("0A:E3:31:00:00:01  Northwind Fabrics Ltd  (CID 0A-E3-31)  locally administered (ELI)  local\n"));

        QVERIFY(writeBytes(root + "/cid/cid.txt", title + siteEntry("4A-12-03", "Kestrel Systeme GmbH", {"Hamburg", "DE"}) +
                                                      siteEntry("9A-00-77", "Heron Labs Inc", {"Toronto", "CA"})));
        r = tool({"refresh", db, "--download", "--url", site.url(), "--min-entries", "1"}, env);
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out),
                 db + ": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts; CID: 1 added, 1 updated, 1 removed\n");
        QCOMPARE(tool({"lookup", db, "0a:e3:31:00:00:01", "4a:12:03:00:00:01", "9a:00:77:00:00:01"}).out,
                 QByteArray("0A:E3:31:00:00:01  locally administered (ELI)  local\n"
                            "4A:12:03:00:00:01  Kestrel Systeme GmbH  (CID 4A-12-03)  locally administered (ELI)  local\n"
                            "9A:00:77:00:00:01  Heron Labs Inc  (CID 9A-00-77)  locally administered (ELI)  local\n"));
        QCOMPARE(tool({"check", db}).status, 0);
    }

    // Without --from, import and refresh read the newer complete listing of
    // the download folder and the system's (update-ieee-data's): newer by
    // when each was fetched.
    void newerListingChosen() {
        const QString system = dir_->filePath("system"), cache = dir_->filePath("rule-cache");
        QVERIFY(writeSite(system + "/site", 50, " (system)"));
        for (const auto& [name, path] : siteFiles())
            QVERIFY(writeBytes(system + "/" + name, bytesOf(system + "/site/" + path)));
        const QStringList env = {"ZORVANE_IEEE_DATA_DIR=" + system, "XDG_CACHE_HOME=" + cache};
        auto importedVendor = [&](const QString& name) {
            const QString db = dir_->filePath(name);
            const ProcessResult r = tool({"import", "--min-entries", "1", db}, env);
            if (r.status != 0)
                return QString::fromUtf8(r.err);
            return QString::fromUtf8(tool({"lookup", db, "AC:00:01:00:00:00"}).out).trimmed();
        };
        // No download yet: the system's.
        QCOMPARE(importedVendor("rule-1.mdb"), "AC:00:01:00:00:00  Maker 1 (system)  (MA-L AC-00-01)");
        QCOMPARE(tool({"download", "--url", site_.url(), "--min-entries", "1", "--quiet"}, env).status, 0);
        // Fetched now, after the system's .lastupdate of 2022: the download's.
        QVERIFY(writeBytes(system + "/.lastupdate", "1661630937\n"));
        QCOMPARE(importedVendor("rule-2.mdb"), "AC:00:01:00:00:00  Maker 1  (MA-L AC-00-01)");
        // update-ieee-data ran since: the system's again.
        QVERIFY(writeBytes(system + "/.lastupdate", QByteArray::number(QDateTime::currentSecsSinceEpoch() + 60) + "\n"));
        QCOMPARE(importedVendor("rule-3.mdb"), "AC:00:01:00:00:00  Maker 1 (system)  (MA-L AC-00-01)");
        // A download folder that lacks a registry file is passed over.
        QVERIFY(writeBytes(system + "/.lastupdate", "1661630937\n"));
        QVERIFY(QFile::remove(cache + "/zorvane/ieee-data/iab.txt"));
        QCOMPARE(importedVendor("rule-4.mdb"), "AC:00:01:00:00:00  Maker 1 (system)  (MA-L AC-00-01)");
    }

    void cleanupTestCase() {
        // Nothing but loopback was asked: every request the server logged is ours.
        for (const QString& line : logLines())
            QVERIFY2(line.startsWith("GET /") || line.startsWith("GET http://listing.zorvane.invalid/"), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
