// The CID registry (cid.txt) in the listing folder: `zorvane-db import` keeps
// it in table "cid", read back by mdbtools, mdb-reader and our export;
// `zorvane-db lookup` names an ELI address by its CID's holder; `refresh`
// adds, renames and removes CIDs in the same command as the vendor codes; a
// cid.txt that is no registry file, or much smaller than the stored one, is
// refused with the database untouched; a listing without cid.txt imports
// and refreshes as before.
#include "tests/import/VendorReadBack.h"
#include "tests/support/SmallListing.h"

#include "records/jet/CreateDatabase.h"

#include <QStringEncoder>

#include <algorithm>
#include <optional>

using namespace zorvane;
using namespace zorvane::test;

namespace {

using Entry = RegistryEntry;

// A registry file as the IEEE writes it: `title` (the column titles at the
// top), then the entries, lines ended by CR LF.
QByteArray registryText(const QByteArray& title, const QList<Entry>& entries) {
    return title + registryEntriesText(entries);
}

const QByteArray OuiTitle = "OUI/MA-L\t\t\t\t\t\t\tOrganization\r\ncompany_id\t\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";
const QByteArray CidTitle = "CID\t\t\t\t\t\t\tOrganization\r\ncompany_id\t\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";

const QList<Entry> Vendors = {{"00-1A-2B", "Ayecom Technology", {"No. 25, Lane 169", "Taipei  114", "TW"}},
                              {"3C-22-FB", "Apple, Inc.", {"1 Infinite Loop", "Cupertino  CA  95014", "US"}}};
const Entry Northwind{"0A-E3-31", "Northwind Fabrics Ltd", {"12 Mill Lane", "Leeds    LS1 4AB", "GB"}},
    Kestrel{"4A-12-03", "Kestrel Systems GmbH", {"Hafenstrasse 8", "Hamburg    20457", "DE"}},
    KestrelRenamed{"4A-12-03", "Kestrel Systeme GmbH", {"Hafenstrasse 8", "Hamburg    20457", "DE"}},
    Heron{"9A-00-77", "Heron Labs Inc", {"400 Bay Street", "Toronto  ON  M5H 2Y4", "CA"}},
    Osprey{"DA-5F-10", "Osprey Audio", {"7 Harbour Road", "Wellington  6011", "NZ"}},
    Quail{"6A-B0-0C", "Quail Metering", {}};
const QList<Entry> Cids = {Northwind, Kestrel, Osprey, Quail};
const QList<Entry> NewerCids = {KestrelRenamed, Osprey, Quail, Heron};  // Northwind withdrawn

// A listing folder: the vendors in oui.txt, the three other registries and,
// given, `cid` as cid.txt.
QString writeListing(const QString& dir, const std::optional<QByteArray>& cid) {
    if (writeSmallListing(dir, registryText(OuiTitle, Vendors)).isEmpty())
        return {};
    if (cid && !writeBytes(dir + "/cid.txt", *cid))
        return {};
    return dir;
}

ProcessResult tool(const QStringList& arguments) { return runProcess(zorvaneDbPath(), arguments); }

QList<Row> ouiRows() { return rowsOf(Vendors) + [] {
    QList<Row> rows;
    for (const QStringList& r : otherRegistryRecords())
        rows << Row(r.begin(), r.end());
    return rows;
}(); }

// Table "cid" read by the three readers as `expected`, whatever the order
// of the rows in the table (a refresh puts new rows where removed ones were).
void checkCidTable(const QString& file, QList<Row> expected) {
    const ProcessResult ours = runProcess(zorvaneDbPath(), {"export", file, "cid"});
    QCOMPARE(ours.status, 0);
    const std::pair<QString, Table> readers[] = {{"mdb-export", readMdbExport(file, "cid", {"-e"})},
                                                 {"mdb-reader", readMdbReader(file, "cid")},
                                                 {"zorvane-db export", tableOfCsv(ours.out)}};
    std::sort(expected.begin(), expected.end());
    for (const auto& [reader, table] : readers) {
        QCOMPARE(table.columns, vendorFieldNames());
        QList<Row> rows = table.rows;
        std::sort(rows.begin(), rows.end());
        const QString d = firstDifference(reader == "mdb-export" ? emptyAsNull(expected) : expected, rows);
        QVERIFY2(d.isEmpty(), qPrintable(reader + " (cid): " + d));
    }
}

QStringList userTables(const QString& file) {
    QStringList tables;
    readMdbReader(file, "oui", &tables);
    return tables;
}

// The text lookup prints for `addresses`, one line each.
QStringList lookedUp(const QString& file, const QStringList& addresses) {
    const ProcessResult r = tool(QStringList{"lookup", file} + addresses);
    if (r.status != 0)
        qWarning("lookup: %s", r.err.constData());
    return QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class CidTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    QString imported_;  // imported from a listing with cid.txt

    QString path(const QString& name) { return dir_->filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY2(haveMdbReader(), "mdb-reader is not installed in <build>/npm");
        imported_ = path("with-cid.mdb");
        const QString from = writeListing(path("listing"), registryText(CidTitle, Cids));
        QVERIFY(!from.isEmpty());
        const ProcessResult r = tool({"import", "--min-entries", "1", "--from", from, imported_});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(r.err, QByteArray());  // the column titles of cid.txt are no problem
        QCOMPARE(QString::fromUtf8(r.out),
                 imported_ + ": 5 records: MA-L 2, MA-M 1, MA-S 1, IAB 1; 0 lines skipped; "
                             "4 company IDs (CID) in table \"cid\"\n");
    }

    // Table "cid" beside "oui" and "ouiListing", each read back as imported;
    // the file passes check.
    void importKeepsTheCids() {
        QCOMPARE(userTables(imported_), (QStringList{"oui", "ouiListing", "cid"}));
        checkReaders(imported_, ouiRows());
        checkReaders(imported_, ouiRows(), "ouiListing");
        checkReaders(imported_, rowsOf(Cids), "cid");
        const ProcessResult check = tool({"check", imported_});
        QVERIFY2(check.status == 0, check.out + check.err);
    }

    // An ELI address (second digit A, E, 2 or 6 with the X bit: A) is named by
    // its CID's holder; one whose CID is not registered, an address of
    // another quadrant with the same first 24 bits as a CID, and the vendor
    // codes answer as before.
    void lookupNamesEliAddresses() {
        const QStringList lines = lookedUp(imported_, {"0a:e3:31:00:11:22", "4A-12-03-01-02-03", "da5f.1000.0001",
                                                       "1a:e3:31:00:11:22", "0e:e3:31:00:11:22", "3c:22:fb:11:22:33"});
        QCOMPARE(lines.size(), 6);
        QVERIFY2(lines[0].contains("Northwind Fabrics Ltd") && lines[0].contains("(CID 0A-E3-31)") &&
                     lines[0].contains("ELI"), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains("Kestrel Systems GmbH") && lines[1].contains("(CID 4A-12-03)"), qPrintable(lines[1]));
        QVERIFY2(lines[2].contains("Osprey Audio") && lines[2].contains("(CID DA-5F-10)"), qPrintable(lines[2]));
        QVERIFY2(lines[3].contains("ELI") && !lines[3].contains("CID "), qPrintable(lines[3]));   // not registered
        QVERIFY2(!lines[4].contains("Northwind") && !lines[4].contains("CID "), qPrintable(lines[4]));  // AAI
        QVERIFY2(lines[5].contains("Apple, Inc.") && lines[5].contains("(MA-L 3C-22-FB)"), qPrintable(lines[5]));
        // The CSV form names the block.
        const ProcessResult csv = tool({"lookup", imported_, "--csv", "0A-E3-31-00-11-22"});
        QCOMPARE(csv.status, 0);
        QVERIFY2(csv.out.contains("Northwind Fabrics Ltd") && csv.out.contains(",CID,"), csv.out.constData());
    }

    // A newer registry: one CID renamed, one withdrawn, one new, in one
    // command with the vendor codes (unchanged here); a second refresh from
    // the same listing writes nothing.
    void refreshKeepsTheCidsCurrent() {
        const QString db = path("refreshed.mdb");
        QVERIFY(QFile::copy(imported_, db));
        const QString from = writeListing(path("newer"), registryText(CidTitle, NewerCids));
        const QByteArray before = bytesOf(db);
        ProcessResult r = tool({"refresh", db, "--from", from, "--dry-run"});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out), db + ": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts; "
                                                "CID: 1 added, 1 updated, 1 removed (dry run: nothing written)\n");
        QCOMPARE(bytesOf(db), before);
        r = tool({"refresh", db, "--from", from});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out),
                 db + ": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts; CID: 1 added, 1 updated, 1 removed\n");
        checkCidTable(db, rowsOf(NewerCids));
        checkReaders(db, ouiRows());
        const ProcessResult check = tool({"check", db});
        QVERIFY2(check.status == 0, check.out + check.err);
        const QStringList lines = lookedUp(db, {"0a:e3:31:00:11:22", "4a:12:03:01:02:03", "9a:00:77:00:00:01"});
        QCOMPARE(lines.size(), 3);
        QVERIFY2(!lines[0].contains("Northwind") && !lines[0].contains("CID "), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains("Kestrel Systeme GmbH"), qPrintable(lines[1]));
        QVERIFY2(lines[2].contains("Heron Labs Inc") && lines[2].contains("(CID 9A-00-77)"), qPrintable(lines[2]));

        const QByteArray refreshed = bytesOf(db);
        r = tool({"refresh", db, "--from", from});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out),
                 db + ": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts; CID: 0 added, 0 updated, 0 removed\n");
        QCOMPARE(bytesOf(db), refreshed);

        // Vendor codes and CIDs change in the same refresh (--min-entries lets
        // oui.txt lose half its codes; the CIDs keep their own floor).
        const QString both = path("both");
        QVERIFY(!writeSmallListing(both, registryText(OuiTitle, Vendors.mid(1))).isEmpty());
        QVERIFY(writeBytes(both + "/cid.txt", registryText(CidTitle, Cids)));
        r = tool({"refresh", db, "--from", both, "--min-entries", "1"});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out),
                 db + ": 0 added, 0 updated, 1 removed, 0 kept, 0 conflicts; CID: 1 added, 1 updated, 1 removed\n");
        checkCidTable(db, rowsOf(Cids));
        checkReaders(db, ouiRows().mid(1));
    }

    // A cid.txt that is no registry file (empty, an HTML page, UTF-16, no
    // entry), or that holds fewer than 90% of the CIDs the file keeps: one
    // line on stderr, status 1, the database byte for byte as it was and no
    // new file made by import.
    void badCidFilesAreRefused() {
        const QByteArray page = "<!DOCTYPE html>\n<html><head><title>Access Denied</title></head><body>Denied</body></html>\n";
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const QByteArray wide = utf16(QString::fromUtf8(registryText(CidTitle, Cids)));
        QList<Entry> many;
        for (int i = 0; i < 20; ++i)
            many << Entry{QString("2A-00-%1").arg(i, 2, 16, QChar('0')).toUpper(), QString("Company %1").arg(i), {"US"}};
        const QString large = path("large.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", writeListing(path("large"), registryText(CidTitle, many)),
                       large}).status, 0);
        const struct {
            const char* name;
            QByteArray text;
            QString db;
        } cases[] = {{"empty", QByteArray(), imported_},
                     {"html", page, imported_},
                     {"utf16", wide, imported_},
                     {"titles only", CidTitle, imported_},
                     {"cut off", registryText(CidTitle, many.mid(0, 17)), large}};
        for (const auto& c : cases) {
            const QString from = writeListing(path(QString("bad-") + c.name), c.text);
            const QString cidFile = QDir(from).filePath("cid.txt");
            const QByteArray before = bytesOf(c.db);
            const ProcessResult r = tool({"refresh", c.db, "--from", from});
            QVERIFY2(r.status == 1, c.name);
            QCOMPARE(r.out, QByteArray());
            QVERIFY2(r.err.count('\n') == 1 && r.err.startsWith(("zorvane-db: " + cidFile + ": ").toUtf8()) &&
                         r.err.endsWith((c.db + " was not changed.\n").toUtf8()),
                     qPrintable(QString(c.name) + ": " + r.err));
            QCOMPARE(bytesOf(c.db), before);
            if (QString(c.name) == "cut off") {
                QVERIFY2(r.err.contains("holds 17 CID entries, the listing it would replace 20 (at least 90% are needed)"),
                         r.err.constData());
                // 18 of 20 is enough.
                const QString enough = writeListing(path("enough"), registryText(CidTitle, many.mid(0, 18)));
                const ProcessResult ok = tool({"refresh", c.db, "--from", enough});
                QVERIFY2(ok.status == 0, ok.err.constData());
                QVERIFY2(ok.out.endsWith("CID: 0 added, 0 updated, 2 removed\n"), ok.out.constData());
                continue;
            }
            const QString out = path(QString("import-") + c.name + ".mdb");
            const ProcessResult i = tool({"import", "--min-entries", "1", "--from", from, out});
            QVERIFY2(i.status == 1 && i.err.count('\n') == 1 &&
                         i.err.endsWith((out + " was not written.\n").toUtf8()),
                     qPrintable(QString(c.name) + ": " + i.err));
            QVERIFY(!QFileInfo::exists(out));
        }
    }

    // Without cid.txt: no table "cid", the summary as before, and refresh
    // neither asks for one nor touches a table "cid" it holds. A file import
    // made without the table, refreshed from a listing that now has cid.txt,
    // gets its vendor codes refreshed and the table added (the file written
    // anew, the user's change kept); the three readers read it back.
    void listingWithoutCid() {
        const QString from = writeListing(path("plain"), std::nullopt);
        const QString db = path("plain.mdb");
        ProcessResult r = tool({"import", "--min-entries", "1", "--from", from, db});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out), db + ": 5 records: MA-L 2, MA-M 1, MA-S 1, IAB 1; 0 lines skipped\n");
        QCOMPARE(userTables(db), (QStringList{"oui", "ouiListing"}));
        const QStringList lines = lookedUp(db, {"0a:e3:31:00:11:22"});
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains("ELI") && !lines[0].contains("CID "), qPrintable(lines[0]));

        r = tool({"refresh", db, "--from", from});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts\n");

        const QByteArray before = bytesOf(imported_);
        r = tool({"refresh", imported_, "--from", from});
        QCOMPARE(QString::fromUtf8(r.out), imported_ + ": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts\n");
        QCOMPARE(bytesOf(imported_), before);

        const QString now = writeListing(path("now-with-cid"), registryText(CidTitle, Cids));
        QVERIFY(!writeSmallListing(now, registryText(OuiTitle, Vendors + QList<Entry>{{"00-00-5E", "ICANN, IANA Department", {"US"}}})).isEmpty());
        // The user's change stays through all that follows.
        QCOMPARE(tool({"update", db, "oui", "0", "Vendor=Our Name For It"}).status, 0);
        const QByteArray dry = bytesOf(db);
        r = tool({"refresh", db, "--from", now, "--dry-run"});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 1 added, 0 updated, 0 removed, 1 kept, 0 conflicts; "
                                                "CID: table \"cid\" to be added with 4 entries (dry run: nothing written)\n");
        QCOMPARE(bytesOf(db), dry);
        r = tool({"refresh", db, "--from", now});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out), db + ": 1 added, 0 updated, 0 removed, 1 kept, 0 conflicts; "
                                                "CID: table \"cid\" added with 4 entries\n");
        QCOMPARE(userTables(db), (QStringList{"oui", "ouiListing", "cid"}));
        checkCidTable(db, rowsOf(Cids));
        QList<Row> expected = ouiRows();
        expected[0][1] = "Our Name For It";
        expected << rowsOf({{"00-00-5E", "ICANN, IANA Department", {"US"}}});
        checkReaders(db, expected);
        QVERIFY(lookedUp(db, {"0a:e3:31:00:11:22"}).value(0).contains("Northwind Fabrics Ltd"));
        // The next refresh keeps the table current as in any imported file.
        r = tool({"refresh", db, "--from", now});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 0 added, 0 updated, 0 removed, 1 kept, 0 conflicts; "
                                                "CID: 0 added, 0 updated, 0 removed\n");
    }

    // A protected file written anew keeps its password.
    void passwordKeptWhenTheTableIsAdded() {
        const QString plain = writeListing(path("protected-plain"), std::nullopt);
        const QString db = path("protected.mdb");
        ProcessResult r = tool({"import", "--min-entries", "1", "--password", "pass word", "--from", plain, db});
        QVERIFY2(r.status == 0, r.err.constData());
        const QString from = writeListing(path("protected-cid"), registryText(CidTitle, Cids));
        r = tool({"refresh", db, "--from", from, "--password", "pass word"});
        QVERIFY2(r.status == 0 && r.out.contains("CID: table \"cid\" added with 4 entries"), r.err.constData());
        r = tool({"export", db, "cid"});
        QVERIFY2(r.status == 1 && r.err.contains("protected by a password"), r.err.constData());
        r = tool({"export", db, "cid", "--password", "pass word"});
        QVERIFY2(r.status == 0 && r.out.contains("Northwind Fabrics Ltd"), r.err.constData());
    }

    // A file that holds more than import makes (here a table of the user's
    // own) is never written anew: it is refreshed in place and keeps no CIDs.
    void noCidTableAddedToOtherFiles() {
        jet::NewTable oui{"oui", {}, {}}, notes{"Notes", {{"Text", jet::format::TypeText, 100}}, {}};
        for (const records::vendor::FieldDescription& field : records::vendor::Fields)
            oui.columns.push_back({std::string(field.name), field.memo ? jet::format::TypeMemo : jet::format::TypeText, 255});
        const std::vector<jet::NewRow> ouiRows = {{u"00-1A-2B", u"Ayecom Technology", std::nullopt, std::nullopt,
                                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
                                       noteRows = {{u"keep me"}};
        const QString db = path("own-tables.mdb");
        jet::createDatabase(db.toStdString(), {{oui, ouiRows}, {notes, noteRows}});
        const QString from = writeListing(path("for-own-tables"), registryText(CidTitle, Cids));
        const ProcessResult r = tool({"refresh", db, "--from", from, "--min-entries", "1"});
        QVERIFY2(r.status == 0, r.err.constData());
        QVERIFY2(r.out.endsWith("; the file has no table \"cid\" (a new import makes one)\n"), r.out.constData());
        QCOMPARE(userTables(db), (QStringList{"oui", "Notes"}));
        QCOMPARE(readMdbExport(db, "Notes").rows, QList<Row>{Row{"keep me"}});
    }
};

QTEST_GUILESS_MAIN(CidTest)
#include "tst_cid.moc"
