// `zorvane-db lookup` on a small vendor table written by our own writer, with
// codes added afterwards by `zorvane-db add`: every notation, prefixes of each
// length, the longest code winning whatever the table order, equal codes,
// flags, unreadable items, and the text, CSV and JSON forms.
#include "tests/support/EngineReaders.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QTest>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QString Quoted = "Example, \"Quoted\" Networks";  // CSV must quote it
const QString Broken = "Line\nBreak \\ Tab\t";            // CSV quotes it, JSON escapes it

ProcessResult lookup(const QString& file, const QStringList& arguments, const QByteArray& input = {}) {
    return runProcess(zorvaneDbPath(), QStringList{"lookup", file} + arguments, false, {}, input);
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
            {"02:ab:cd:00:00:01", "02:AB:CD:00:00:01  User Added Ltd  (MA-L 02-AB-CD)  local"},
            {"01:00:5e:00:00:fb", "01:00:5E:00:00:FB  Multicast Owner  (MA-L 01-00-5E)  multicast"},
            {"00:11:22:30:00:00", "00:11:22:30:00:00  not in the database"},
            {"00:1A:00:00:00:00", "00:1A:00:00:00:00  not in the database"},
            {"02:00:00:00:00:01", "02:00:00:00:00:01  locally administered"},
            {"33:33:00:00:00:01", "33:33:00:00:00:01  locally administered  multicast"},
            {"ff:ff:ff:ff:ff:ff", "FF:FF:FF:FF:FF:FF  locally administered  multicast broadcast"},
            {"ff:ff:ff", "FF:FF:FF  locally administered  multicast"},
            // The first token that reads as an address, in lines as tools print them.
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

    // Items without an address are reported by number after all the others
    // are answered; blank lines pass unremarked.
    void unreadableItems() {
        const QStringList bad = {"00:1a:2b:3c:4d:5e:6f", "00:1a-2b:3c:4d:5e", "001a2b3c4d5e6", "00:1a", "001a2",
                                 "g0:1a:2b:3c:4d:5e", "00:1a:2b:", "00::1a:2b:3c:4d", "001:a2b:3c4", "001a2.b3c",
                                 "001a.2b3c.4d5e.6f70", "000:1a:2b", "10.0.0.1 dev eth0 FAILED", "zorvane"};
        QByteArray input = "00-1A-2B\n";
        for (const QString& b : bad)
            input += b.toUtf8() + "\n\n";
        input += "02:00:00:00:00:01";  // no line end
        ProcessResult r = lookup(file, {}, input);
        QCOMPARE(r.status, 1);
        QCOMPARE(QString::fromUtf8(r.out), "00:1A:2B  " + Quoted + "  (MA-L 00-1A-2B)\n02:00:00:00:00:01  locally administered\n");
        QByteArray expected;
        for (int i = 0; i < bad.size(); ++i)
            expected += "zorvane-db: standard input, line " + QByteArray::number(2 + 2 * i) + ": \"" + bad[i].toUtf8() + "\" holds no hardware address.\n";
        QCOMPARE(r.err, expected);

        r = lookup(file, {"--csv", "ac-de-48-00-00-01", "", "nothing here"});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray("zorvane-db: argument 2: \"\" holds no hardware address.\n"
                                   "zorvane-db: argument 3: \"nothing here\" holds no hardware address.\n"));
        QCOMPARE(r.out.count("\r\n"), 2);  // the header and one answer
    }

    void csvAndJson() {
        const QStringList items = {"00-1a-2b-40-00-00", "ac-de-48-00-00-01", "70B3D5F2F", "03:00:00:00:00:01", "00-11-22"};
        ProcessResult r = lookup(file, QStringList{"--csv"} + items);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("input,address,code,vendor,postal,block,flags\r\n"
                                   "00-1a-2b-40-00-00,00:1A:2B:40:00:00,00-1A-2B,\"Example, \"\"Quoted\"\" Networks\","
                                   "\"Line 1, Line \"\"2\"\", Line 3\",MA-L,\r\n"
                                   "ac-de-48-00-00-01,AC:DE:48:00:00:01,AC-DE-48,\"Line\nBreak \\ Tab\t\",,MA-L,\r\n"
                                   "70B3D5F2F,70:B3:D5:F2:F,70-B3-D5-F2-F,TELEPLATFORMS,"
                                   "\"Polbina st., 3/1, Moscow    109388, RU\",MA-S,\r\n"
                                   "03:00:00:00:00:01,03:00:00:00:00:01,,,,,multicast local\r\n"
                                   "00-11-22,00:11:22,,,,,\r\n"));
        QCOMPARE(parseCsv(r.out)[2][3].text, Broken);  // read back by an RFC 4180 reader

        r = lookup(file, QStringList{"--json"} + items);
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), items.size() + 1);
        QVERIFY(lines[1].contains(R"("vendor":"Line\nBreak \\ Tab\t")"));
        const auto object = [&](int i) { return QJsonDocument::fromJson(lines[i]).object(); };
        QCOMPARE(object(0), QJsonObject({{"input", items[0]}, {"address", "00:1A:2B:40:00:00"}, {"code", "00-1A-2B"},
                                         {"vendor", Quoted}, {"postal", "Line 1, Line \"2\", Line 3"},
                                         {"block", "MA-L"}, {"flags", ""}}));
        QCOMPARE(object(1)["vendor"].toString(), Broken);
        QCOMPARE(object(1)["postal"].toString(), QString());
        QCOMPARE(object(2)["block"].toString(), QString("MA-S"));
        QCOMPARE(object(3), QJsonObject({{"input", items[3]}, {"address", "03:00:00:00:00:01"}, {"code", QJsonValue()},
                                         {"vendor", QJsonValue()}, {"postal", QJsonValue()}, {"block", QJsonValue()},
                                         {"flags", "multicast local"}}));
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
};

QTEST_GUILESS_MAIN(LookupTest)
#include "tst_lookup.moc"
