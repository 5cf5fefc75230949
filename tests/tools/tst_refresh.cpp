// zorvane-db refresh: a database imported from one listing, edited as a user
// does, refreshed against a newer one. Every outcome of the three-way merge,
// read back by the three readers; a dry run; a second refresh; a file without
// the imported listing; a file in use; the refresh killed at every point.
#include "tests/durability/DurabilityTestSupport.h"
#include "tests/import/VendorReadBack.h"
#include "tests/support/SmallListing.h"

#include <QStringEncoder>

using namespace zorvane;
using namespace zorvane::test;

namespace {

using Entry = RegistryEntry;

// The text of oui.txt listing `entries`.
QByteArray ouiText(const QList<Entry>& entries) { return registryEntriesText(entries); }

// The MA-L entries in oui.txt, one entry in each of the other three registry files.
QString writeListing(const QString& dir, const QList<Entry>& entries) {
    return writeSmallListing(dir, ouiText(entries));
}

// The records of the other three registries' entries.
QList<Row> otherRows() {
    QList<Row> rows;
    for (const QStringList& r : otherRegistryRecords())
        rows << Row(r.begin(), r.end());
    return rows;
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

const char* const RegistryFileNames[] = {"oui.txt", "mam.txt", "oui36.txt", "iab.txt"};

// A copy of the listing in `from` with every line ended by `ending`, after
// `start` (a byte order mark) at the top of each file.
QString copyWithLineEnds(const QString& from, const QString& to, const QByteArray& ending, const QByteArray& start = {}) {
    QDir().mkpath(to);
    for (const char* name : RegistryFileNames)
        writeBytes(to + "/" + name, start + bytesOf(from + "/" + name).replace("\r\n", "\n").replace("\n", ending));
    return to;
}

// A copy of the listing in `from` whose oui.txt is `oui`.
QString copyWithOui(const QString& from, const QString& to, const QByteArray& oui) {
    QDir().mkpath(to);
    for (const char* name : RegistryFileNames)
        writeBytes(to + "/" + name, bytesOf(from + "/" + name));
    writeBytes(to + "/oui.txt", oui);
    return to;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

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
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", writeListing(dir_->filePath("older"), Older), edited_}).status, 0);
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
        // Rows keep their places; new ones take the slots removed and deleted
        // ones left (B, D, F, G and the repeated code's, written anew in
        // order), in the order of the table.
        checkReaders(db, rowsOf({A2, I1, Cu, I3, Eu, Fu, L, H2, J}) + otherRows() + rowsOf({Mine, Ku}));
        checkReaders(db, rowsOf({A2, I1, C, D, E2, I3, G2, H2, K, L, J}) + otherRows(),
                     records::vendor::ListingTableName);

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
        // Without the imported listing, the floors of a first import hold.
        ProcessResult r = tool({"refresh", db, "--from", newer_});
        QCOMPARE(QString::fromUtf8(r.err), "zorvane-db: " + newer_ + "/oui.txt: holds 11 MA-L entries, fewer than the "
                                           "20,000 a complete listing holds; " + db + " was not changed.\n");
        r = tool({"refresh", db, "--from", newer_, "--min-entries", "1"});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 13 added, 0 updated, 0 removed, 2 kept, 0 conflicts; the file keeps "
                                                "no imported listing, so only new codes were added\n");
        checkReaders(db, rowsOf({A, Mine, C, D, E2, G2, H2, I1, I3, J, K, L}) + otherRows());

        const QByteArray before = bytesOf(db);
        const QString partial = writeListing(dir_->filePath("partial"), Newer);
        QVERIFY(QFile::remove(partial + "/iab.txt"));
        r = tool({"refresh", db, "--from", partial, "--min-entries", "1"});
        QCOMPARE(QString::fromUtf8(r.err), "zorvane-db: " + partial + "/iab.txt: the IAB registry file cannot be read "
                                           "(No such file or directory); " + db + " was not changed.\n");
        records::RecordSet holder(db, "oui", true);  // holds the writer lock, as the lookup window does
        r = tool({"refresh", db, "--from", newer_}, {"ZORVANE_BUSY_TIMEOUT_MS=200"});
        QVERIFY2(r.status == 1 && r.err.contains("in use"), r.err.constData());
        QCOMPARE(bytesOf(db), before);
    }

    // A listing file that is empty, an HTML page, UTF-16 text, cut off, or
    // one without entries is refused in one line naming it, by refresh and by
    // import --force alike, and the database stays as it was to the byte.
    void unusableListingsRefused() {
        const QString db = dir_->filePath("refused.mdb"), imported = dir_->filePath("imported.mdb");
        QVERIFY(QFile::copy(edited_, db));
        QVERIFY(QFile::copy(edited_, imported));
        const QByteArray before = bytesOf(db);
        const QStringList filesBefore = filesIn(dir_->path());
        const QByteArray full = bytesOf(newer_ + "/oui.txt");
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const QByteArray wide = utf16(QString::fromUtf8(full));
        const struct {
            const char* name;
            QByteArray oui;
            QString reason;  // of refresh; import gives the same unless `importReason`
            QString importReason;
        } cases[] = {
            {"empty", "", "the file is empty", {}},
            {"blank lines", "\r\n\r\n   \r\n", "the file is empty", {}},
            {"HTML page", "<!DOCTYPE html>\n<html><head><title>403 Forbidden</title></head></html>\n",
             "the file is an HTML page, not the IEEE listing", {}},
            {"UTF-16", wide, "the file is UTF-16 text, not the UTF-8 text of the IEEE listing", {}},
            {"UTF-16 without mark", wide.mid(2), "the file holds NUL bytes (UTF-16 text or binary data), not the UTF-8 "
                                                 "text of the IEEE listing", {}},
            {"header only", "OUI/MA-L\t\tOrganization\r\ncompany_id\t\tOrganization\r\n\r\n",
             "the file holds no MA-L entries of the IEEE listing", {}},
            {"half a file", full.left(full.size() / 2),
             "holds 5 MA-L entries, the listing it would replace 11 (at least 90% are needed)",
             "holds 5 MA-L entries, fewer than the 6 a complete listing holds"},
        };
        for (const auto& c : cases) {
            const QString listing = copyWithOui(newer_, dir_->filePath(QString("bad-%1").arg(c.name).replace(' ', '-')), c.oui);
            const QString prefix = "zorvane-db: " + listing + "/oui.txt: ";
            ProcessResult r = tool({"refresh", db, "--from", listing});
            QVERIFY2(r.status == 1 && r.out.isEmpty(), c.name);
            // Lines of the cut-off entry may come first; the refusal is the last line.
            QVERIFY2(QString::fromUtf8(r.err).endsWith(prefix + c.reason + "; " + db + " was not changed.\n"),
                     qPrintable(c.name + (": " + r.err)));
            if (c.oui != full.left(full.size() / 2))
                QCOMPARE(r.err.count('\n'), 1);
            r = tool({"import", "--force", "--min-entries", "6", "--from", listing, imported});
            QVERIFY2(r.status == 1 && QString::fromUtf8(r.err).endsWith(
                                          prefix + (c.importReason.isEmpty() ? c.reason : c.importReason) + "; " +
                                          imported + " was not written.\n"),
                     qPrintable(c.name + (": " + r.err)));
            QCOMPARE(bytesOf(db), before);
            QCOMPARE(bytesOf(imported), before);
            QCOMPARE(filesIn(dir_->path()), filesBefore);
        }
        QCOMPARE(tool({"check", db}).status, 0);
        QVERIFY(QFile::remove(db));
        QVERIFY(QFile::remove(imported));
    }

    // LF, CR LF, CR alone and CR CR LF line ends, and a UTF-8 byte order
    // mark, read the same: the refresh writes the same file and reports the
    // same, and the import of each makes the same database.
    void everyLineEndReadsTheSame() {
        const QString reference = dir_->filePath("ends-lf.mdb");
        QVERIFY(QFile::copy(edited_, reference));
        const QString lf = copyWithLineEnds(newer_, dir_->filePath("ends-lf"), "\n");
        const ProcessResult expected = tool({"refresh", reference, "--from", lf});
        QCOMPARE(expected.status, 0);
        const QString importedLf = dir_->filePath("ends-lf-import.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", lf, importedLf}).status, 0);
        const QByteArray exportLf = tool({"export", importedLf, "oui"}).out;
        QCOMPARE(tableOfCsv(exportLf).rows.size(), 14);
        const struct {
            const char* name;
            QByteArray ending, start;
        } forms[] = {{"CR-LF", "\r\n", {}}, {"CR", "\r", {}}, {"CR-CR-LF", "\r\r\n", {}}, {"BOM", "\r\n", "\xEF\xBB\xBF"}};
        for (const auto& f : forms) {
            const QString listing = copyWithLineEnds(newer_, dir_->filePath(QString("ends-") + f.name), f.ending, f.start);
            const QString db = dir_->filePath(QString("ends-") + f.name + ".mdb");
            QVERIFY(QFile::copy(edited_, db));
            const ProcessResult r = tool({"refresh", db, "--from", listing});
            QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(f.name + (": " + r.err)));
            QCOMPARE(QString::fromUtf8(r.out).replace(db, "DB"), QString::fromUtf8(expected.out).replace(reference, "DB"));
            QVERIFY2(bytesOf(db) == bytesOf(reference), f.name);
            const QString imported = dir_->filePath(QString("ends-") + f.name + "-import.mdb");
            QCOMPARE(tool({"import", "--min-entries", "1", "--from", listing, imported}).status, 0);
            QVERIFY2(tool({"export", imported, "oui"}).out == exportLf, f.name);
        }
    }

    // A name too long for its field and a byte that is no UTF-8 text keep
    // their entries: cut and replaced, each reported as a warning line, and
    // the codes updated or added, never removed.
    void malformedEntriesKept() {
        const QString db = dir_->filePath("malformed.mdb");
        QVERIFY(QFile::copy(edited_, db));
        const QString longName = "Lima " + QString(300, 'l');
        Entry lima = L;
        lima.vendor = longName;
        QByteArray oui = ouiText({A2, C, D, E2, G2, H2, I1, I3, J, K, lima});
        oui.replace("\t\tJuliet", "\t\tJul\xFFiet");
        const QString listing = copyWithOui(newer_, dir_->filePath("malformed"), oui);
        const ProcessResult r = tool({"refresh", db, "--from", listing});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out), db + ": 1 added, 3 updated, 1 removed, 3 kept, 4 conflicts\n");
        const QStringList warnings = QString::fromUtf8(r.err).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(warnings.size(), 2);
        QVERIFY2(warnings[0].startsWith("zorvane-db: " + listing + "/oui.txt:") &&
                     warnings[0].contains(": warning: 00-00-0A: the organization name holds bytes that are no UTF-8"),
                 qPrintable(warnings[0]));
        QVERIFY2(warnings[1].contains(": warning: 00-00-0C: the organization name has 305 characters, more than the "
                                      "255 field Vendor takes: kept its first 255"),
                 qPrintable(warnings[1]));
        Entry juliet = J;
        juliet.vendor = QString("Jul") + QChar(QChar::ReplacementCharacter) + "iet";
        lima.vendor = longName.left(255);
        checkReaders(db, rowsOf({A2, I1, Cu, I3, Eu, Fu, lima, H2, juliet}) + otherRows() + rowsOf({Mine, Ku}));
        QCOMPARE(tool({"check", db}).status, 0);
    }

    // A code listed three times whose first record the user edited so that
    // it grew and moved to the end of the table: the occurrences are matched
    // by content, so the listing's rename of the second is applied and the
    // user's edit of the first kept.
    void repeatedCodeMatchedByContent() {
        const QString filler(120, 'f');
        QList<Entry> older = {{"08-00-30", "NETWORK RESEARCH CORPORATION", {"2380 N. ROSE AVENUE", "OXNARD  CA  93010", "US"}},
                              {"08-00-30", "CERN", {"CH-1211", "GENEVE  SUISSE/SWITZ  023", "CH"}},
                              {"08-00-30", "ROYAL MELBOURNE INST OF TECH", {"GPO BOX 2476V", "MELBOURNE VIC 3001", "AU"}}};
        for (int i = 0; i < 60; ++i)  // enough to fill the first data page
            older << Entry{QString("00-10-%1").arg(i, 2, 16, QChar('0')).toUpper(), QString("Filler %1 ").arg(i) + filler, {"X"}};
        QList<Entry> newer = older;
        newer[1].vendor = "CERN (European Organization for Nuclear Research)";
        const QString db = dir_->filePath("repeated.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", writeListing(dir_->filePath("rep-old"), older), db}).status, 0);
        QString edited = "NETWORK RESEARCH CORPORATION (our lab's own notes, which make this record much longer than "
                         "it was, so that it no longer fits its page and moves to the end of the table) ";
        edited += QString(255 - edited.size(), '.');
        QCOMPARE(tool({"update", db, "oui", "0", "Vendor=" + edited}).status, 0);
        Table table = tableOfCsv(tool({"export", db, "oui"}).out);
        QVERIFY2(table.rows.last().value(1) == edited, "the edited record did not move to the end");

        const QString csv = dir_->filePath("repeated.csv");
        const ProcessResult r = tool({"refresh", db, "--from", writeListing(dir_->filePath("rep-new"), newer), "--changes", csv});
        QCOMPARE(QString::fromUtf8(r.out), db + ": 0 added, 1 updated, 0 removed, 1 kept, 0 conflicts\n");
        QVERIFY2(csvText(csv).contains("updated,08-00-30,Vendor,CERN,CERN (European Organization for Nuclear Research)\r\n"),
                 qPrintable(csvText(csv)));
        QVERIFY(csvText(csv).contains("kept,08-00-30,Vendor,NETWORK RESEARCH CORPORATION,\"" + edited + "\"\r\n"));
        table = tableOfCsv(tool({"export", db, "oui"}).out);
        QStringList vendors;
        for (const Row& row : table.rows)
            if (row.value(0) == "08-00-30")
                vendors << row.value(1).value_or("");
        vendors.sort();
        QCOMPARE(vendors, QStringList({newer[1].vendor, edited, newer[2].vendor}));
        // The next refresh from the same listing finds only the user's edit.
        const ProcessResult again = tool({"refresh", db, "--from", dir_->filePath("rep-new")});
        QCOMPARE(QString::fromUtf8(again.out), db + ": 0 added, 0 updated, 0 removed, 1 kept, 0 conflicts\n");
        QCOMPARE(tool({"check", db}).status, 0);
    }

    // Refreshing from two listings in turn reuses the room the last refresh
    // freed: the file settles at one size, and stays sound and readable.
    void alternatingRefreshesSettle() {
        // A listing of a few thousand entries where every tenth changes its
        // name between the two and some codes are listed twice.
        QList<Entry> one, two;
        for (int i = 0; i < 3000; ++i) {
            const QString code = QString("%1-%2-%3").arg(i / 256 + 0x10, 2, 16, QChar('0')).arg(i % 256, 2, 16, QChar('0'))
                                     .arg(i % 7, 2, 16, QChar('0')).toUpper();
            const Entry e{code, QString("Vendor %1 Ltd").arg(i), {QString("%1 Street").arg(i), "Town", "XX"}};
            one << e;
            two << e;
            if (i % 10 == 0)
                two.last().vendor = QString("Vendor %1 Limited, renamed for the second listing").arg(i);
            if (i % 50 == 0) {
                one << Entry{code, "Second of " + code, {"Y"}};
                two << Entry{code, "Second of " + code + " (moved)", {"Y", "Z"}};
            }
        }
        const QString a = writeListing(dir_->filePath("cycle-a"), one), b = writeListing(dir_->filePath("cycle-b"), two);
        const QString db = dir_->filePath("cycles.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", a, db}).status, 0);
        QCOMPARE(tool({"add", db, "oui", "Code=00-00-FF", "Vendor=Mine"}).status, 0);
        QList<qint64> sizes;
        for (int cycle = 1; cycle <= 6; ++cycle) {
            for (const QString& listing : {b, a}) {
                const ProcessResult r = tool({"refresh", db, "--from", listing});
                QVERIFY2(r.status == 0, r.err.constData());
            }
            sizes << QFileInfo(db).size();
        }
        qInfo() << "sizes after each pair of refreshes:" << sizes;
        QCOMPARE(sizes[5], sizes[2]);
        QVERIFY2(sizes[2] - sizes[0] <= 4 * 4096, "the file still grows");
        QCOMPARE(tool({"check", db}).status, 0);
        // Both tables read the same by every reader: the listing's records, and the user's own.
        QList<Row> expected = rowsOf(one) + otherRows();
        const Table ours = tableOfCsv(tool({"export", db, "oui"}).out);
        QCOMPARE(ours.rows.size(), expected.size() + 1);
        QList<Row> sorted = ours.rows, expectedSorted = expected;
        expectedSorted << Row{"00-00-FF", "Mine", {}, {}, {}, {}, {}, {}};
        auto byContent = [](const Row& x, const Row& y) {
            return QStringList{x.value(0).value_or(""), x.value(1).value_or("")} <
                   QStringList{y.value(0).value_or(""), y.value(1).value_or("")};
        };
        std::sort(sorted.begin(), sorted.end(), byContent);
        std::sort(expectedSorted.begin(), expectedSorted.end(), byContent);
        QCOMPARE(sorted.size(), expectedSorted.size());
        for (qsizetype i = 0; i < sorted.size(); ++i)
            QVERIFY2(sorted[i].mid(0, 2) == expectedSorted[i].mid(0, 2), qPrintable(firstDifference({expectedSorted[i]}, {sorted[i]})));
        checkReaders(db, ours.rows);
        checkReaders(db, tableOfCsv(tool({"export", db, records::vendor::ListingTableName}).out).rows, records::vendor::ListingTableName);
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
