// A small IEEE listing with the awkward cases, imported by `zorvane-db import`
// and read back by mdbtools, mdb-reader and `zorvane-db export`; and the
// database writer's own edges (nulls, long memos, characters that cannot be
// compressed, refusals) through createVendorDatabase.
#include "tests/import/VendorReadBack.h"
#include "tests/support/SmallListing.h"

#include <QRegularExpression>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QString Indent = "\t\t\t\t";

// The expected record of an entry: Address joins the lines, Address1 to
// address5 hold the first five (empty beyond the last).
Row record(const QString& code, const QString& vendor, const QStringList& address) {
    Row r = {code, vendor, address.join("\r\n")};
    for (int i = 0; i < 5; ++i)
        r.append(i < address.size() ? address[i] : QString());
    return r;
}

// An MA-L entry the way oui.txt lists it.
QStringList entry(const QString& hex, const QString& name, const QStringList& address) {
    QStringList lines = {hex + "   (hex)\t\t" + name, QString(hex).remove('-') + "     (base 16)\t\t" + name};
    for (const QString& a : address)
        lines << Indent + a;
    return lines << QString();
}

void write(const QString& path, const QStringList& lines, const QByteArray& ending = "\r\n", bool last = true) {
    QVERIFY(writeBytes(path, lines.join(ending).toUtf8() + (last ? ending : "")));
}

// The 1-based number of the line in `lines` that starts with `start`.
int lineOf(const QStringList& lines, const QString& start) {
    return int(std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); }) -
               lines.begin()) + 1;
}

} // namespace

class ImportSmallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(haveMdbReader(), "mdb-reader is not installed in <build>/npm"); }

    void awkwardListing() {
        const auto dir = scratchDir();
        const QString zurich = "Zürich \"Quoted\" Ünïcödé, Ltd.";  // non-ASCII, quotes and commas
        const QStringList zurichAddress = {"Straße 1, \"Haus\" B", "8000 Zürich", "", "Kanton Zürich", "CH"};
        QString longName = "Longest Name Ltd ";                        // exactly 255 characters
        while (longName.size() < 255)
            longName += QChar(char16_t(u'a' + longName.size() % 26));
        const QString cjk = "株式会社 東京 Électronique";              // U+0100 cannot be stored compressed
        const QStringList cjkAddress = {"Āddress Ŀine 1-2", "東京都"}, four = {"L1", "L2", "L3", "L4"};
        const QStringList six = four + QStringList{"L5", "L6"};        // more lines than fields: Address keeps all

        const QStringList oui = QStringList{"OUI/MA-L" + QString(52, ' ') + "Organization",
                                            "company_id" + QString(50, ' ') + "Organization",
                                            QString(60, ' ') + "Address", ""} +
                                entry("00-00-0C", "Cisco Systems, Inc", {"170 West Tasman Drive", "San Jose  CA  94568", "US"}) +
                                entry("AC-DE-48", "Private", {}) +
                                QStringList{"00-1B-C5   (hex)\t\t" + zurich, "001BC5     (base 16)\t\t" + zurich,
                                            Indent + zurichAddress[0], Indent + zurichAddress[1], Indent + "   ",
                                            Indent + zurichAddress[3], Indent + "CH   ", ""} +
                                entry("00-55-DA", longName, {"Single line"}) + entry("08-00-20", cjk, cjkAddress) +
                                // input that does not parse: a stray line, an entry without its base 16 line
                                QStringList{"this line is not part of any entry", "", "12-34-56   (hex)\t\tBroken Entry",
                                            "not a base 16 line", Indent + "an address line of the broken entry", ""} +
                                entry("00-55-DB", longName + "x", {"Somewhere"}) +  // one character too long: cut
                                entry("00-00-0D", "Four Lines", four) + entry("00-00-0E", "Six Lines", six) +
                                QStringList{"FC-FF-AA   (hex)\t\tTruncated Corp"};  // the file ends mid-entry
        write(dir->filePath("oui.txt"), oui, "\r\n", false);
        const QStringList mam = {"74-1A-E0   (hex)\t\tPrivate", "900000-9FFFFF     (base 16)\t\tPrivate", "",
                                 "7C-00-00   (hex)\t\tWrong Range", "120000-1FFFFF     (base 16)\t\tWrong Range", ""};
        write(dir->filePath("mam.txt"), mam, "\n");  // LF line ends, no header
        {  // bytes that are no UTF-8 text: replaced, the entry kept
            QFile f(dir->filePath("mam.txt"));
            QVERIFY(f.open(QIODevice::Append));
            f.write("7C-00-01   (hex)\t\tBad \xff Bytes\n100000-1FFFFF     (base 16)\t\tBad\n\n");
        }
        write(dir->filePath("oui36.txt"), {"70-B3-D5   (hex)\t\tTELEPLATFORMS", "F2F000-F2FFFF     (base 16)\t\tTELEPLATFORMS",
                                           Indent + "Polbina st., 3/1", Indent + "Moscow    109388", Indent + "RU", "",
                                           "70-b3-d5   (hex)\t\tlower case digits",
                                           "abc000-abcfff     (base 16)\t\tlower case digits", ""});
        const QString pad(30, ' ');  // the padded layout of iab.txt
        write(dir->filePath("iab.txt"), {"OUI" + pad + pad + "Organization" + pad, "IAB Range" + pad + "Organization",
                                         "", "00-50-C2" + pad + "(hex)" + pad + "DEUTA-WERKE GmbH" + pad,
                                         "7D5000-7D5FFF" + pad + "(base 16)" + pad + "DEUTA-WERKE GmbH" + pad,
                                         pad + pad + "Paffrather Strasse 140" + pad, pad + pad + "DE" + pad});

        const QString out = dir->filePath("oui.mdb");
        const ProcessResult r = runProcess(zorvaneDbPath(), {"import", "--min-entries", "1", "--from", dir->path(), out});
        QCOMPARE(r.status, 0);
        const QString err = QString::fromUtf8(r.err);
        for (const char* start : {"this line", "not a base 16", "00-55-DB", "FC-FF-AA", "00-00-0E"})
            QVERIFY2(err.contains(QString("%1:%2: ").arg(dir->filePath("oui.txt")).arg(lineOf(oui, start))), qPrintable(err));
        for (const int line : {lineOf(mam, "120000"), int(mam.size()) + 1})
            QVERIFY2(err.contains(QString("%1:%2: ").arg(dir->filePath("mam.txt")).arg(line)), qPrintable(err));
        QCOMPARE(err.count('\n'), 7);
        QVERIFY2(err.contains(": warning: 00-55-DB: the organization name has 256 characters, more than the 255 field "
                              "Vendor takes: kept its first 255\n") &&
                     err.contains(": warning: 7C-00-01-1: the organization name holds bytes that are no UTF-8 text"),
                 qPrintable(err));
        // Left out: the stray line; the broken entry's three lines; the
        // truncated entry's one; the wrong range's two.
        QCOMPARE(QString::fromUtf8(r.out).trimmed(), out + ": 13 records: MA-L 8, MA-M 2, MA-S 2, IAB 1; 7 lines skipped");

        const QString schema = QString::fromUtf8(runProcess("mdb-schema", {"-T", "oui", out}).out);
        QVERIFY2(schema.contains("CREATE TABLE [oui]"), qPrintable(schema));
        QStringList fields, tables;
        const QRegularExpression fieldLine("^\\s*\\[(\\w+)\\]\\s+(Text \\(255\\)|Memo/Hyperlink)",
                                           QRegularExpression::MultilineOption);
        for (auto it = fieldLine.globalMatch(schema); it.hasNext();)
            fields << it.next().captured(1);
        QCOMPARE(fields, QStringList({"Code", "Vendor", "Address", "Address1", "address2", "address3", "address4", "address5"}));
        readMdbReader(out, "oui", &tables);
        QCOMPARE(tables, QStringList({"oui", records::ListingTableName}));
        const QList<Row> expected = {record("00-00-0C", "Cisco Systems, Inc", {"170 West Tasman Drive", "San Jose  CA  94568", "US"}),
                           record("AC-DE-48", "Private", {}), record("00-1B-C5", zurich, zurichAddress),
                           record("00-55-DA", longName, {"Single line"}), record("08-00-20", cjk, cjkAddress),
                           record("00-55-DB", longName, {"Somewhere"}),
                           record("00-00-0D", "Four Lines", four), record("00-00-0E", "Six Lines", six),
                           record("74-1A-E0-9", "Private", {}),
                           record("7C-00-01-1", "Bad " + QString(QChar(QChar::ReplacementCharacter)) + " Bytes", {}),
                           record("70-B3-D5-F2-F", "TELEPLATFORMS", {"Polbina st., 3/1", "Moscow    109388", "RU"}),
                           record("70-B3-D5-AB-C", "lower case digits", {}),
                           record("00-50-C2-7D-5", "DEUTA-WERKE GmbH", {"Paffrather Strasse 140", "DE"})};
        checkReaders(out, expected);
        checkReaders(out, expected, records::ListingTableName);  // the listing as imported, kept for refresh
        // Nothing but the listing and the database in the folder: no temporary file left.
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 5);
    }

    void existingFileNeedsForce() {
        const auto dir = scratchDir();
        write(dir->filePath("oui.txt"), entry("00-00-01", "One", {"Here"}));
        QVERIFY(writeOtherRegistries(dir->path()));
        const QString out = dir->filePath("oui.mdb");
        QVERIFY(writeBytes(out, "precious"));
        ProcessResult r = runProcess(zorvaneDbPath(), {"import", "--min-entries", "1", "--from", dir->path(), out});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("already exists") && r.err.contains("--force"), r.err.constData());
        QCOMPARE(bytesOf(out), QByteArray("precious"));

        r = runProcess(zorvaneDbPath(), {"import", "--force", "--min-entries", "1", "--from", dir->path(), out});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray());
        QVERIFY(r.out.contains("4 records: MA-L 1, MA-M 1, MA-S 1, IAB 1; 0 lines skipped"));
        QList<Row> expected = {record("00-00-01", "One", {"Here"})};
        for (const QStringList& other : otherRegistryRecords())
            expected << Row(other.begin(), other.end());
        checkReaders(out, expected);

        // Without the option, a listing of a few entries is refused as cut
        // off (a complete one holds tens of thousands), the file kept.
        const QByteArray before = bytesOf(out);
        r = runProcess(zorvaneDbPath(), {"import", "--force", "--from", dir->path(), out});
        QCOMPARE(QString::fromUtf8(r.err), "zorvane-db: " + dir->filePath("oui.txt") + ": holds 1 MA-L entries, fewer than "
                                           "the 20,000 a complete listing holds; " + out + " was not written.\n");
        QCOMPARE(bytesOf(out), before);
        QCOMPARE(runProcess(zorvaneDbPath(), {"import", "--min-entries", "0", "--from", dir->path(), out}).status, 1);

        // Usage errors and an empty folder fail without creating anything.
        const auto empty = scratchDir();
        const QString other = dir->filePath("other.mdb");
        for (const QStringList& arguments : {QStringList{"import", "--from", empty->path(), other}, QStringList{"import"},
                                             QStringList{"import", "--bogus", other}})
            QCOMPARE(runProcess(zorvaneDbPath(), arguments).status, 1);
        QVERIFY(!QFileInfo::exists(other));
    }

    // The writer directly: null against empty text, memos too long for a row
    // (one long-value page, then a chain of them), many records over many
    // pages; an existing file and a value too long for its field refused.
    void writerEdges() {
        const auto dir = scratchDir();
        const QString path = dir->filePath("edges.mdb");
        QString chain;
        for (int i = 0; chain.size() < 20000; ++i)
            chain += QString("line %1 Ā\r\n").arg(i);
        QList<Row> rows = {Row{"N", {}, {}, {}, {}, {}, {}, {}}, Row(8, QString()),
                           record("P", "one page", {"short"}), record("C", "chain", {"short"})};
        rows[2][2] = QString(2030, QChar(0x0100));  // 4060 bytes: too long for the row, fits one page
        rows[3][2] = chain;
        for (int i = 0; i < 3000; ++i)
            rows.append(record(QString("%1").arg(i, 6, 16, QChar('0')).toUpper(), QString("Vendor %1").arg(i),
                               {QString("Street %1").arg(i), "XX"}));
        std::vector<records::VendorRecord> input(rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i)
            std::copy(rows[i].begin(), rows[i].end(), input[std::size_t(i)].fields.begin());
        records::createVendorDatabase(path, input);
        checkReaders(path, rows);

        QVERIFY(errorOf([&] { records::createVendorDatabase(path, {}); }) != "<no error>");
        records::createVendorDatabase(path, {}, true);
        checkReaders(path, {});

        const QString bad = dir->filePath("bad.mdb");
        records::VendorRecord tooLong;
        tooLong.fields[1] = QString(256, u'v');
        QVERIFY(errorOf([&] { records::createVendorDatabase(bad, {tooLong}); }).contains("\"Vendor\""));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"edges.mdb"}));
    }
};

QTEST_GUILESS_MAIN(ImportSmallTest)
#include "tst_import_small.moc"
