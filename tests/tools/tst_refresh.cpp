// zorvane-db refresh: a database imported from one listing, edited as a user
// does, refreshed against a newer one. Every outcome of the three-way merge,
// read back by the three readers; a dry run; a second refresh; a file without
// the imported listing; a file in use; the refresh killed at every point.
#include "tests/durability/DurabilityTestSupport.h"
#include "tests/import/VendorReadBack.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

struct Entry {
    QString code, vendor;
    QStringList address;
};

Row record(const Entry& e) {
    Row r = {e.code, e.vendor, e.address.join("\r\n")};
    for (int i = 0; i < 5; ++i)
        r.append(i < e.address.size() ? e.address[i] : QString());
    return r;
}

QList<Row> rowsOf(const QList<Entry>& entries) {
    QList<Row> rows;
    for (const Entry& e : entries)
        rows << record(e);
    return rows;
}

// The MA-L entries in oui.txt, the other three registry files empty.
QString writeListing(const QString& dir, const QList<Entry>& entries) {
    QByteArray oui;
    for (const Entry& e : entries) {
        oui += (e.code + "   (hex)\t\t" + e.vendor + "\r\n" + QString(e.code).remove('-') + "     (base 16)\t\t" +
                e.vendor + "\r\n").toUtf8();
        for (const QString& line : e.address)
            oui += "\t\t\t\t" + line.toUtf8() + "\r\n";
        oui += "\r\n";
    }
    QDir().mkpath(dir);
    for (const char* name : {"mam.txt", "oui36.txt", "iab.txt"})
        writeBytes(dir + "/" + name, {});
    writeBytes(dir + "/oui.txt", oui);
    return dir;
}

const Entry A{"00-00-01", "Alpha", {"1 A Street", "US"}}, A2{"00-00-01", "Alpha Renamed", {"1 A Street", "US"}},
    B{"00-00-02", "Bravo", {"B"}}, C{"00-00-03", "Charlie", {"C"}}, D{"00-00-04", "Delta", {"D"}},
    E{"00-00-05", "Echo", {"E"}}, E2{"00-00-05", "Echo", {"E moved"}}, F{"00-00-06", "Foxtrot", {"F"}},
    G{"00-00-07", "Golf", {"G"}}, G2{"00-00-07", "Golf New", {"G"}}, H{"00-00-08", "Hotel", {}},
    H2{"00-00-08", "Hotel New", {}}, I1{"00-00-09", "India One", {}}, I2{"00-00-09", "India Two", {}},
    I3{"00-00-09", "India Two B", {}}, J{"00-00-0A", "Juliet", {"J"}}, K{"00-00-0B", "Kilo", {"K"}},
    L{"00-00-0C", "Lima", {"L"}};
// What the user makes of them.
const Entry Cu{"00-00-03", "Charlie (mine)", {"C"}}, Eu{"00-00-05", "Echo (mine)", {"E"}},
    Fu{"00-00-06", "Foxtrot (mine)", {"F"}}, Mine{"00-00-FF", "Mine", {}}, Ku{"00-00-0B", "Kilo (mine)", {}};
const QList<Entry> Older = {A, B, C, D, E, F, G, H, I1, I2, J};
const QList<Entry> Newer = {A2, C, D, E2, G2, H2, I1, I3, J, K, L};

// With an environment: the test build, which reads fault points and the busy timeout from it.
ProcessResult tool(const QStringList& arguments, const QStringList& environment = {}) {
    return runProcess(environment.isEmpty() ? zorvaneDbPath() : zorvaneDbFaultsPath(), arguments, false, environment);
}

QString csvText(const QString& path) { return QString::fromUtf8(bytesOf(path)); }

} // namespace

class RefreshTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_ = scratchDir();
    QString newer_, edited_;  // the newer listing; the edited database before any refresh

private slots:
    void initTestCase() {
        QVERIFY2(haveMdbReader(), "mdb-reader is not installed in <build>/npm");
        newer_ = writeListing(dir_->filePath("newer"), Newer);
        edited_ = dir_->filePath("edited.mdb");
        QCOMPARE(tool({"import", "--from", writeListing(dir_->filePath("older"), Older), edited_}).status, 0);
        const QStringList blank{"Address=", "Address1=", "address2=", "address3=", "address4=", "address5="};
        for (const QStringList& edit :
             {QStringList{"update", "2", "Vendor=" + Cu.vendor}, {"update", "4", "Vendor=" + Eu.vendor},
              {"update", "5", "Vendor=" + Fu.vendor}, {"update", "7", "Vendor=" + H2.vendor}, {"delete", "6"},
              {"delete", "3"}, QStringList{"add", "Code=" + Mine.code, "Vendor=" + Mine.vendor} + blank,
              QStringList{"add", "Code=" + Ku.code, "Vendor=" + Ku.vendor} + blank}) {
            const ProcessResult r = tool(QStringList{edit[0], edited_, "oui"} + edit.mid(1));
            QVERIFY2(r.status == 0, r.err.constData());
        }
    }

    // Every row of the rules: A updated, B removed, C kept (changed by the
    // user), D kept (deleted by the user), E, F, G and K conflicts, H agreed,
    // the repeated code 00-00-09 updated in its second place, the user's own
    // code kept, L added.
    void mergesEveryCase() {
        const QString db = dir_->filePath("rules.mdb"), csv = dir_->filePath("rules.csv");
        QVERIFY(QFile::copy(edited_, db));
        const QByteArray before = bytesOf(db);
        const QString counts = ": 1 added, 2 updated, 1 removed, 3 kept, 4 conflicts";
        ProcessResult r = tool({"refresh", db, "--from", newer_, "--dry-run", "--changes", csv});
        QCOMPARE(QString::fromUtf8(r.out), db + counts + " (dry run: nothing written)\n");
        QCOMPARE(bytesOf(db), before);
        const QString dryCsv = csvText(csv);
        r = tool({"refresh", db, "--from", newer_, "--changes", csv});
        QCOMPARE(QString::fromUtf8(r.out), db + counts + "\n");
        QCOMPARE(csvText(csv), dryCsv);

        // Rows keep their places; the repeated code is written anew, in order, at the end.
        checkReaders(db, rowsOf({A2, Cu, Eu, Fu, H2, J, Mine, Ku}) + rowsOf({I1, I3, L}));
        checkReaders(db, rowsOf({A2, C, D, E2, G2, H2, J, I1, I3, K, L}), records::ListingTableName);

        QMap<QString, QStringList> codes;  // by change, the codes as the lines name them (one per field)
        const QList<CsvRecord> lines = parseCsv(bytesOf(csv));
        QCOMPARE(lines.value(0).size(), 5);
        for (const CsvRecord& line : lines.mid(1))
            if (!codes[line[0].text].contains(line[1].text))
                codes[line[0].text] << line[1].text;
        QCOMPARE(codes, (QMap<QString, QStringList>{{"added", {L.code}},
                                                    {"updated", {A.code, I3.code}},
                                                    {"removed", {B.code}},
                                                    {"kept", {C.code, D.code, Mine.code}},
                                                    {"conflict", {E.code, F.code, G.code, K.code}}}));
        for (const char* line : {"conflict,00-00-05,Vendor,Echo (mine),Echo\r\n",   // the user's, the listing's
                                    "conflict,00-00-05,Address,E,E moved\r\n", "conflict,00-00-06,Vendor,Foxtrot (mine),\r\n",
                                    "conflict,00-00-07,Vendor,,Golf New\r\n", "updated,00-00-09,Vendor,India Two,India Two B\r\n",
                                    "kept,00-00-04,Vendor,Delta,\r\n", "added,00-00-0C,Address1,,L\r\n"})
            QVERIFY2(csvText(csv).contains(line), qPrintable(line + ("is not in\n" + csvText(csv))));

        // Against the same listing again: only the user's differences, nothing written.
        const QByteArray after = bytesOf(db);
        r = tool({"refresh", db, "--from", newer_});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 0 added, 0 updated, 0 removed, 7 kept, 0 conflicts\n");
        QCOMPARE(bytesOf(db), after);
        QCOMPARE(tool({"check", db}).status, 0);
    }

    // A file without the imported listing only gains the codes it lacks; a
    // listing missing a registry file and a file another program writes are
    // refused, the file untouched.
    void withoutBaseAndRefusals() {
        const QString db = dir_->filePath("plain.mdb");
        std::vector<records::VendorRecord> rows(2);
        std::copy_n(record(A).begin(), 8, rows[0].fields.begin());
        std::copy_n(record(Mine).begin(), 8, rows[1].fields.begin());
        records::createVendorDatabase(db, rows);
        ProcessResult r = tool({"refresh", db, "--from", newer_});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 10 added, 0 updated, 0 removed, 2 kept, 0 conflicts; the file keeps "
                                                "no imported listing, so only new codes were added\n");
        checkReaders(db, rowsOf({A, Mine, C, D, E2, G2, H2, I1, I3, J, K, L}));

        const QByteArray before = bytesOf(db);
        const QString partial = writeListing(dir_->filePath("partial"), Newer);
        QVERIFY(QFile::remove(partial + "/iab.txt"));
        r = tool({"refresh", db, "--from", partial});
        QVERIFY2(r.status == 1 && r.err.contains("needs all of") && r.err.contains("was not changed"), r.err.constData());
        records::RecordSet holder(db, "oui", true);  // holds the writer lock, as the lookup window does
        r = tool({"refresh", db, "--from", newer_}, {"ZORVANE_BUSY_TIMEOUT_MS=200"});
        QVERIFY2(r.status == 1 && r.err.contains("in use"), r.err.constData());
        QCOMPARE(bytesOf(db), before);
    }

    // Killed before every write and sync point of its one command (and halfway
    // through every write), the refresh leaves the file as it was or as the
    // whole refresh makes it.
    void killedAtEveryPoint() {
        using namespace zorvane::tests;
        const QString db = dir_->filePath("crash.mdb");
        const QStringList command{"refresh", db, "--from", newer_};
        const QByteArray before = bytesOf(edited_);
        QVERIFY(writeBytes(db, before));
        const QStringList names = pointsOf(zorvaneDbFaultsPath(), command, dir_->filePath("points.log"));
        QCOMPARE(names.count("journal write"), 1);  // one command, one commit
        verifyCrashes(zorvaneDbFaultsPath(), command, names, {"check", db}, db, before, bytesOf(db));
    }
};

QTEST_GUILESS_MAIN(RefreshTest)
#include "tst_refresh.moc"
