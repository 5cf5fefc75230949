// `zorvane-db lookup` on a small vendor table written by our own writer, with
// codes added afterwards by `zorvane-db add`: every notation, prefixes of each
// length, the longest code winning whatever the table order, equal codes (the
// user's record before the listing's), the names of addresses no vendor
// holds, company IDs, every address of a line, lines and arguments without
// one, the text, CSV and JSON forms, and standard input of any size read in
// the same memory.
#include "records/jet/CreateDatabase.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <algorithm>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QString Quoted = "Example, \"Quoted\" Networks";  // CSV must quote it
const QString Broken = "Line\nBreak \\ Tab\t";            // CSV quotes it, JSON escapes it

ProcessResult lookup(const QString& file, const QStringList& arguments, const QByteArray& input = {}) {
    return runProcess(zorvaneDbPath(), QStringList{"lookup", file} + arguments, false, {}, input);
}

// Runs `zorvane-db lookup FILE` on the file `input` as standard input, output
// thrown away; its exit status and peak resident memory in KiB.
std::pair<int, long> lookupMemory(const QString& file, const QString& input) {
    const QByteArray program = zorvaneDbPath().toLocal8Bit(), path = file.toLocal8Bit(),
                     from = input.toLocal8Bit();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(from.constData(), O_RDONLY), out = ::open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0)
            ::_exit(121);
        ::execl(program.constData(), program.constData(), "lookup", path.constData(), "--csv", nullptr);
        ::_exit(122);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status))
        return {-1, 0};
    return {WEXITSTATUS(status), usage.ru_maxrss};
}

// A database with tables "oui" and "cid" (same eight text fields), written by our writer.
QString writeWithCids(const QString& folder, const std::vector<std::array<const char*, 2>>& oui,
                      const std::vector<std::array<const char*, 2>>& cid) {
    jet::NewTable ouiTable{"oui", {}, {}}, cidTable{"cid", {}, {}};
    for (const records::vendor::FieldDescription& field : records::vendor::Fields)
        ouiTable.columns.push_back({std::string(field.name)}), cidTable.columns.push_back({std::string(field.name)});
    const auto rowsOf = [](const std::vector<std::array<const char*, 2>>& records) {
        std::vector<jet::NewRow> rows;
        for (const auto& r : records)
            rows.push_back({QString(r[0]).toStdU16String(), QString(r[1]).toStdU16String(), u"Street 1\r\nTown",
                            std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
        return rows;
    };
    const std::vector<jet::NewRow> ouiRows = rowsOf(oui), cidRows = rowsOf(cid);
    const QString path = folder + "/cid.mdb";
    jet::CreateOptions options;
    options.overwrite = true;
    jet::createDatabase(path.toStdString(), {{ouiTable, ouiRows}, {cidTable, cidRows}}, options);
    return path;
}

} // namespace

class LookupTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString file;

private slots:
    void initTestCase() {
        dir = scratchDir();
        // The longer codes stand both before and after the shorter ones they extend.
        file = writeVendorDatabase(dir->path(), {
            vendorRecord("70-B3-D5-F2-F", "TELEPLATFORMS", "Polbina st., 3/1\r\nMoscow    109388\r\nRU"),
            vendorRecord("70-B3-D5", "IEEE Registration Authority"),
            vendorRecord("00-1A-2B", Quoted, "Line 1\r\nLine \"2\"\nLine 3"),
            vendorRecord("00-1A-2B-3", "Mid Block Ltd"),
            vendorRecord("00-1A-2B", "Second Of The Same Code"),
            vendorRecord("00-1a-2b-3c-4", "Lower Case Block"),
            vendorRecord("AC-DE-48", Broken, std::nullopt),
            vendorRecord("01-00-5E", "Multicast Owner"),
            vendorRecord("00-1A", "Too Short A Code"), vendorRecord("00-11-22-3X", "Not A Code"),
            vendorRecord(std::nullopt, "No Code"),
        });
        for (const QStringList& fields : {QStringList{"Code=02-AB-CD", "Vendor=User Added Ltd"},
                                          QStringList{"Code=AC-DE-48-1", "Vendor=User Block"},
                                          QStringList{"--allow-duplicate", "Code=70-B3-D5-F2-F", "Vendor=Added Too Late"}})
            QCOMPARE(runProcess(zorvaneDbPath(), QStringList{"add", file, "oui"} + fields).status, 0);
    }

    // Every notation and prefix length, one line each on standard input.
    void textAnswers() {
        const QString lower = "  Lower Case Block  (MA-S 00-1a-2b-3c-4)", mid = "  Mid Block Ltd  (MA-M 00-1A-2B-3)",
                      first = "  " + Quoted + "  (MA-L 00-1A-2B)", tele = "  TELEPLATFORMS  (MA-S 70-B3-D5-F2-F)";
        const QList<QPair<QString, QString>> cases = {
            {"00:1a:2b:3c:4d:5e", "00:1A:2B:3C:4D:5E" + lower},
            {"00-1A-2B-3C-4D-5E", "00:1A:2B:3C:4D:5E" + lower},
            {"0:1a:2b:3c:4d:5e", "00:1A:2B:3C:4D:5E" + lower},
            {"001a.2b3c.4d5e", "00:1A:2B:3C:4D:5E" + lower},
            {"001A2B3C4D5E", "00:1A:2B:3C:4D:5E" + lower},
            {"00:1a:2b:3d:0:1", "00:1A:2B:3D:00:01" + mid},
            {"00:1A:2B:40:00:00", "00:1A:2B:40:00:00" + first},  // the first of two equal codes
            {"00-1A-2B", "00:1A:2B" + first},
            {"001a2b", "00:1A:2B" + first},
            {"001a.2b", "00:1A:2B" + first},
            {"00-1A-2B-3", "00:1A:2B:3" + mid},
            {"001a2b3c", "00:1A:2B:3C" + mid},
            {"00-1A-2B-3C-4", "00:1A:2B:3C:4" + lower},
            {"001A2B3C4D5", "00:1A:2B:3C:4D:5" + lower},
            {"70b3d5f2f", "70:B3:D5:F2:F" + tele},
            {"70:B3:D5:F2:FF:FF", "70:B3:D5:F2:FF:FF" + tele},
            {"70-B3-D5-F3-00-00", "70:B3:D5:F3:00:00  IEEE Registration Authority  (MA-L 70-B3-D5)"},
            {"70-B3-D5-F", "70:B3:D5:F  IEEE Registration Authority  (MA-L 70-B3-D5)"},
            {"ac:de:48:12:34:56", "AC:DE:48:12:34:56  User Block  (MA-M AC-DE-48-1)"},
            {"02:ab:cd:00:00:01", "02:AB:CD:00:00:01  User Added Ltd  (MA-L 02-AB-CD)  locally administered (AAI)  local"},
            {"01:00:5e:00:00:fb",
             "01:00:5E:00:00:FB  Multicast Owner  (MA-L 01-00-5E)  IPv4 multicast 224.0.0.251 (one of 32 groups)  multicast"},
            {"00:11:22:30:00:00", "00:11:22:30:00:00  not in the database"},
            {"00:1A:00:00:00:00", "00:1A:00:00:00:00  not in the database"},
            {"02:00:00:00:00:01", "02:00:00:00:00:01  locally administered (AAI)  local"},
            {"33:33:00:00:00:01", "33:33:00:00:00:01  IPv6 multicast ff02::1  multicast local"},
            {"ff:ff:ff:ff:ff:ff", "FF:FF:FF:FF:FF:FF  broadcast  multicast local broadcast"},
            {"ff:ff:ff", "FF:FF:FF  locally administered (SAI)  multicast local"},
            {"01:80:c2:00:00:0e", "01:80:C2:00:00:0E  IEEE 802.1 nearest bridge (LLDP, PTP)  multicast"},
            {"00:1a:2b:ff:fe:3c:4d:5e", "00:1A:2B:FF:FE:3C:4D:5E" + first},  // EUI-64: its own first digits
            {"001a.2b3c.4d5e.6f70", "00:1A:2B:3C:4D:5E:6F:70" + lower},
            // The address in lines as tools print them.
            {"10.0.0.1 dev eth0 lladdr 00:1a:2b:3c:4d:5e REACHABLE", "00:1A:2B:3C:4D:5E" + lower},
            {"? (10.0.0.2) at (70:b3:d5:f2:f0:01) [ether] on eth0", "70:B3:D5:F2:F0:01" + tele},
            {"host,\"00-1a-2b-3d-00-00\";x", "00:1A:2B:3D:00:00" + mid},
        };
        QByteArray input;
        for (const auto& c : cases)
            input += c.first.toUtf8() + (c.first.size() % 2 ? "\r\n" : "\n");
        const QByteArray before = bytesOf(file);
        const ProcessResult r = lookup(file, {}, input);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        const QStringList lines = QString::fromUtf8(r.out).split('\n');
        QCOMPARE(lines.size(), cases.size() + 1);
        for (qsizetype i = 0; i < cases.size(); ++i)
            QVERIFY2(lines[i] == cases[i].second, qPrintable(cases[i].first + " -> " + lines[i]));
        QCOMPARE(bytesOf(file), before);  // never written
    }

    // Lines of standard input without an address are passed over (--strict:
    // each is an error line); an argument without one is always an error.
    // Errors come on stderr, the other items are answered, the status is 1.
    void itemsWithoutAddresses() {
        const QStringList bad = {"00:1a:2b:3c:4d:5e:6f", "00:1a-2b:3c:4d:5e", "001a2b3c4d5e6", "00:1a", "001a2",
                                 "g0:1a:2b:3c:4d:5e", "00:1a:2b:", "00::1a:2b:3c:4d", "001:a2b:3c4", "001a2.b3c",
                                 "000:1a:2b", "10.0.0.1 dev eth0 FAILED", "zorvane", "at 04:21:00 decade cafe01"};
        QByteArray input = "00-1A-2B\n";
        for (const QString& b : bad)
            input += b.toUtf8() + "\n \t\n";
        input += "02:00:00:00:00:01";  // no line end
        const QString answers = "00:1A:2B  " + Quoted + "  (MA-L 00-1A-2B)\n02:00:00:00:00:01  locally administered (AAI)  local\n";
        ProcessResult r = lookup(file, {}, input);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out), answers);

        r = lookup(file, {"--strict"}, input);
        QCOMPARE(r.status, 1);
        QCOMPARE(QString::fromUtf8(r.out), answers);
        QByteArray expected;
        for (int i = 0; i < bad.size(); ++i)
            expected += "zorvane-db: line " + QByteArray::number(2 + 2 * i) + ": \"" + bad[i].toUtf8() +
                        "\" holds no hardware address\n";
        QCOMPARE(r.err, expected);

        r = lookup(file, {"--csv", "ac-de-48-00-00-01", "00:1a:2b:3c:4d:5g", "", "nothing here", "04:21:00"});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray("zorvane-db: argument 2: \"00:1a:2b:3c:4d:5g\" is not a hardware address\n"
                                   "zorvane-db: argument 3: \"\" is not a hardware address\n"
                                   "zorvane-db: argument 4: \"nothing here\" is not a hardware address\n"));
        QCOMPARE(r.out.count("\r\n"), 3);  // the header, and the two addresses (04:21:00 is a prefix)
    }

    // Every address of a line is answered, in order; words, times and
    // longer tokens in the same line are not addresses.
    void everyAddressOfALine() {
        const QByteArray input =
            "Dec  7 04:21:00 gw dnsmasq-dhcp[812]: DHCPACK(eth0) 10.0.0.5 70:b3:d5:f2:f0:01 decade\n"
            "host decade at 00:1a:2b:3c:4d:5e, cafe01 ac-de-48-12-34-56 [02:ab:cd:00:00:01] 00:1a:2b:3c:4d:5e:ff\n"
            "uuid 123e4567-e89b-12d3-a456-426614174000 mac=001A2B3D0000;\n";
        const ProcessResult r = lookup(file, {"--csv"}, input);
        QCOMPARE(r.status, 0);
        const QList<QList<CsvField>> rows = parseCsv(r.out);
        QStringList got;
        for (const auto& row : rows.mid(1))
            got << row[0].text + " " + row[2].text;
        QCOMPARE(got, QStringList({"70:b3:d5:f2:f0:01 70-B3-D5-F2-F", "00:1a:2b:3c:4d:5e 00-1a-2b-3c-4",
                                   "ac-de-48-12-34-56 AC-DE-48-1", "02:ab:cd:00:00:01 02-AB-CD",
                                   "001A2B3D0000 00-1A-2B-3"}));
    }

    void csvAndJson() {
        const QStringList items = {"00-1a-2b-40-00-00", "ac-de-48-00-00-01", "70B3D5F2F", "03:00:00:00:00:01", "00-11-22"};
        ProcessResult r = lookup(file, QStringList{"--csv"} + items);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("input,address,code,vendor,postal,block,flags,kind\r\n"
                                   "00-1a-2b-40-00-00,00:1A:2B:40:00:00,00-1A-2B,\"Example, \"\"Quoted\"\" Networks\","
                                   "\"Line 1, Line \"\"2\"\", Line 3\",MA-L,,\r\n"
                                   "ac-de-48-00-00-01,AC:DE:48:00:00:01,AC-DE-48,\"Line\nBreak \\ Tab\t\",,MA-L,,\r\n"
                                   "70B3D5F2F,70:B3:D5:F2:F,70-B3-D5-F2-F,TELEPLATFORMS,"
                                   "\"Polbina st., 3/1, Moscow    109388, RU\",MA-S,,\r\n"
                                   "03:00:00:00:00:01,03:00:00:00:00:01,,,,,multicast local,locally administered (AAI)\r\n"
                                   "00-11-22,00:11:22,,,,,,\r\n"));
        QCOMPARE(parseCsv(r.out)[2][3].text, Broken);  // read back by an RFC 4180 reader

        r = lookup(file, QStringList{"--json"} + items);
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), items.size() + 1);
        QVERIFY(lines[1].contains(R"("vendor":"Line\nBreak \\ Tab\t")"));
        const auto object = [&](int i) { return QJsonDocument::fromJson(lines[i]).object(); };
        QCOMPARE(object(0), QJsonObject({{"input", items[0]}, {"address", "00:1A:2B:40:00:00"}, {"code", "00-1A-2B"},
                                         {"vendor", Quoted}, {"postal", "Line 1, Line \"2\", Line 3"},
                                         {"block", "MA-L"}, {"flags", ""}, {"kind", QJsonValue()}}));
        QCOMPARE(object(1)["vendor"].toString(), Broken);
        QCOMPARE(object(1)["postal"].toString(), QString());
        QCOMPARE(object(2)["block"].toString(), QString("MA-S"));
        QCOMPARE(object(3), QJsonObject({{"input", items[3]}, {"address", "03:00:00:00:00:01"}, {"code", QJsonValue()},
                                         {"vendor", QJsonValue()}, {"postal", QJsonValue()}, {"block", QJsonValue()},
                                         {"flags", "multicast local"}, {"kind", "locally administered (AAI)"}}));
    }

    void failures() {
        const struct {
            QStringList arguments;
            QByteArray error;
        } cases[] = {
            {{dir->filePath("missing.mdb"), "00-1A-2B"}, dir->filePath("missing.mdb").toUtf8()},
            {{file, "--csv", "--json", "00-1A-2B"}, "--csv and --json"},
            {{file, "--text", "00-1A-2B"}, "unknown option \"--text\""},
            {{"--csv"}, "needs a database file"},
        };
        for (const auto& c : cases) {
            const ProcessResult r = runProcess(zorvaneDbPath(), QStringList{"lookup"} + c.arguments);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.startsWith("zorvane-db: ") && r.err.contains(c.error) && r.err.count('\n') == 1, r.err);
            QCOMPARE(r.out, QByteArray());
        }
    }

    // A code held more than once: the record the user added or changed
    // (not one of the listing's records as imported) wins; where every
    // record is the listing's, or there is no listing table, the first.
    void usersRecordWins() {
        const QTemporaryDir here;
        const std::vector<records::VendorRecord> listing = {
            vendorRecord("08-00-30", "NETWORK RESEARCH CORPORATION"), vendorRecord("08-00-30", "CERN"),
            vendorRecord("08-00-30", "ROYAL MELBOURNE INST OF TECH"), vendorRecord("00-22-72", "Fuel"),
            vendorRecord("00-22-72", "Fuel"), vendorRecord("AC-DE-48", "Private"),
            vendorRecord("3C-22-FB", "Apple, Inc."),
        };
        const std::vector<records::VendorRecord> oui = {
            vendorRecord("08-00-30", "NETWORK RESEARCH CORPORATION"), vendorRecord("08-00-30", "CERN"),
            vendorRecord("08-00-30", "ROYAL MELBOURNE INST OF TECH"),
            vendorRecord("00-22-72", "Fuel"), vendorRecord("00-22-72", "Fuel (our lab)"),  // the second renamed
            vendorRecord("AC-DE-48", "Private"),
            vendorRecord("3C-22-FB", "Apple, Inc.", "changed address"),  // one field changed
            vendorRecord("3C-22-FB", "Apple, Inc."),
            vendorRecord("AC-DE-48", "Our Own Private"),  // added by the user
        };
        const QString path = here.filePath("listed.mdb");
        records::createVendorDatabase(path, oui, true, {}, &listing);
        const ProcessResult r = lookup(path, {"08:00:30:01:02:03", "00:22:72:01:02:03", "ac:de:48:01:02:03", "3c:22:fb:00:00:01"});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(QString::fromUtf8(r.out), QString("08:00:30:01:02:03  NETWORK RESEARCH CORPORATION  (MA-L 08-00-30)\n"
                                                   "00:22:72:01:02:03  Fuel (our lab)  (MA-L 00-22-72)\n"
                                                   "AC:DE:48:01:02:03  Our Own Private  (MA-L AC-DE-48)\n"
                                                   "3C:22:FB:00:00:01  Apple, Inc.  (MA-L 3C-22-FB)\n"));
        // The changed record of 3C-22-FB came first and won: its address shows.
        const ProcessResult csv = lookup(path, {"--csv", "3c:22:fb:00:00:01"});
        QCOMPARE(parseCsv(csv.out)[1][4].text, QString("changed address"));
        // The files export writes for other programs name the same record.
        for (const auto& [format, lines] : std::vector<std::pair<QString, QByteArrayList>>{
                 {"arp-scan", {"080030\tNETWORK RESEARCH CORPORATION", "002272\tFuel (our lab)",
                               "ACDE48\tOur Own Private", "3C22FB\tApple, Inc."}},
                 {"nmap", {"080030 NETWORK RESEARCH CORPORATION", "002272 Fuel (our lab)", "ACDE48 Our Own Private",
                           "3C22FB Apple, Inc."}}}) {
            const ProcessResult exported = runProcess(zorvaneDbPath(), {"export", path, "oui", "--format", format});
            QCOMPARE(exported.status, 0);
            const QByteArrayList out = exported.out.split('\n');
            for (const QByteArray& line : lines)
                QVERIFY2(out.contains(line), qPrintable(format + ": " + line + "\n" + exported.out));
            QCOMPARE(std::count_if(out.begin(), out.end(), [](const QByteArray& l) { return l.startsWith("ACDE48"); }), 1);
        }
    }

    // With table "cid", an ELI address (the second digit A) is named by
    // its company ID; a vendor code of table "oui" still comes first, and
    // other local addresses are not looked up there.
    void companyIds() {
        const QTemporaryDir here;
        const QString path = writeWithCids(here.path(), {{"00-1A-2B", "Ayecom"}, {"1A-00-01", "A Local Code Of Ours"}},
                                           {{"0A-E6-2A", "Example CID Holder"}, {"1A-00-01", "Another Holder"},
                                            {"02-E6-2A", "Not A CID"}});
        const ProcessResult r = lookup(path, {"--csv", "0a:e6:2a:00:00:01", "1a:00:01:00:00:01", "02:e6:2a:00:00:01",
                                              "0a:e6:2b:00:00:01", "00:1a:2b:00:00:01"});
        QCOMPARE(r.status, 0);
        const QList<QList<CsvField>> rows = parseCsv(r.out);
        QStringList got;
        for (const auto& row : rows.mid(1))
            got << row[2].text + "|" + row[3].text + "|" + row[4].text + "|" + row[5].text + "|" + row[7].text;
        QCOMPARE(got, QStringList({"0A-E6-2A|Example CID Holder|Street 1, Town|CID|locally administered (ELI)",
                                   "1A-00-01|A Local Code Of Ours|Street 1, Town|MA-L|locally administered (ELI)",
                                   "||||locally administered (AAI)", "||||locally administered (ELI)",
                                   "00-1A-2B|Ayecom|Street 1, Town|MA-L|"}));
    }

    // Standard input is read a block at a time: millions of blank lines and
    // lines without an address, and many addresses, take no more memory
    // than a few lines.
    void streamsInput() {
        const QTemporaryDir here;
        const auto writeInput = [&](const QString& name, int blocks) {
            QFile f(here.filePath(name));
            if (!f.open(QIODevice::WriteOnly))
                return QString();
            QByteArray block = QByteArray(250000, '\n') + QByteArray("10.0.0.9 dev eth0 FAILED\n").repeated(2000);
            for (int i = 0; i < 1000; ++i)
                block += "10.0.0.1 dev eth0 lladdr 00:1a:2b:" + QByteArray::number(100000 + i, 16).right(6) + " REACHABLE\n";
            for (int i = 0; i < blocks; ++i)
                f.write(block);
            return f.fileName();
        };
        const QString small = writeInput("small", 1), large = writeInput("large", 20);  // 5 M blank lines
        QVERIFY(QFileInfo(large).size() > 20 * 250000);
        const auto [smallStatus, smallKiB] = lookupMemory(file, small);
        const auto [largeStatus, largeKiB] = lookupMemory(file, large);
        QCOMPARE(smallStatus, 0);
        QCOMPARE(largeStatus, 0);
        QVERIFY2(largeKiB < smallKiB + 8 * 1024,
                 qPrintable(QString("%1 KiB for 1 block, %2 KiB for 20").arg(smallKiB).arg(largeKiB)));

        // One line of 200,000 addresses (3.6 MB): every one answered, in the same memory.
        const QString longLine = here.filePath("long");
        QVERIFY(writeBytes(longLine, QByteArray("00:1a:2b:3c:4d:5e ").repeated(200000) + "ac:de:48:00:00:01\n"));
        const auto [longStatus, longKiB] = lookupMemory(file, longLine);
        QCOMPARE(longStatus, 0);
        QVERIFY2(longKiB < smallKiB + 8 * 1024, qPrintable(QString("%1 KiB for one long line").arg(longKiB)));
        const ProcessResult r = lookup(file, {}, bytesOf(longLine));
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count("Lower Case Block"), 200000);
        QVERIFY(r.out.endsWith("AC:DE:48:00:00:01  Line\nBreak \\ Tab\t  (MA-L AC-DE-48)\n"));
    }
};

QTEST_GUILESS_MAIN(LookupTest)
#include "tst_lookup.moc"
