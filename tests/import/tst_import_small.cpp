// A small IEEE listing with the awkward cases, imported by `zorvane-db import`
// and read back by mdbtools, mdb-reader and `zorvane-db export`; and the
// database writer's own edges (nulls, long memos, characters that cannot be
// compressed, refusals) through createVendorDatabase.
#include "ReaderOutputs.h"

#include "records/VendorDatabase.h"
#include "records/jet/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QString Indent = QStringLiteral("\t\t\t\t");

struct Listing {
    QStringList lines;
    int add(const QString& line) {
        lines << line;
        return static_cast<int>(lines.size());  // 1-based number of the line just added
    }
    void write(const QString& path, const QByteArray& ending = "\r\n", bool finalEnding = true) const {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            bytes += lines[i].toUtf8();
            if (finalEnding || i + 1 < lines.size())
                bytes += ending;
        }
        f.write(bytes);
    }
};

Row record(const QString& code, const QString& vendor, const QStringList& address) {
    Row r;
    r[0] = code;
    r[1] = vendor;
    r[2] = address.join(QStringLiteral("\r\n"));
    for (int i = 0; i < 5; ++i)
        r[static_cast<std::size_t>(3 + i)] = i < address.size() ? address[i] : QString();
    return r;
}

void addMaL(Listing& l, const QString& hex, const QString& name, const QStringList& address) {
    QString digits = hex;
    digits.remove(u'-');
    l.add(hex + QStringLiteral("   (hex)\t\t") + name);
    l.add(digits + QStringLiteral("     (base 16)\t\t") + name);
    for (const QString& a : address)
        l.add(Indent + a);
    l.add(QString());
}

void checkReaders(const QString& file, const std::vector<Row>& expected) {
    const QString a = firstDifference(QStringLiteral("mdb-export"), readWithMdbExport(file), expected, true);
    QVERIFY2(a.isEmpty(), qPrintable(a));
    const QString b = firstDifference(QStringLiteral("mdb-reader"), readWithMdbReader(file), expected, false);
    QVERIFY2(b.isEmpty(), qPrintable(b));
    const QString c = firstDifference(QStringLiteral("zorvane-db export"), readWithZorvaneExport(file), expected, false);
    QVERIFY2(c.isEmpty(), qPrintable(c));
}

records::VendorRecord vendorRecord(const Row& row) {
    records::VendorRecord r;
    for (std::size_t i = 0; i < 8; ++i)
        r.fields[i] = row[i];
    return r;
}

} // namespace

class ImportSmallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(zorvaneDb()), qPrintable(zorvaneDb()));
        QVERIFY2(QFileInfo::exists(nodeModules() + QStringLiteral("/mdb-reader")),
                 "mdb-reader is not installed in the build folder's npm/node_modules");
    }

    void awkwardListing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::vector<Row> expected;

        Listing oui;
        oui.add(QStringLiteral("OUI/MA-L                                                    Organization"));
        oui.add(QStringLiteral("company_id                                                  Organization"));
        oui.add(QStringLiteral("                                                            Address"));
        oui.add(QString());
        addMaL(oui, QStringLiteral("00-00-0C"), QStringLiteral("Cisco Systems, Inc"),
               {QStringLiteral("170 West Tasman Drive"), QStringLiteral("San Jose  CA  94568"), QStringLiteral("US")});
        expected.push_back(record(QStringLiteral("00-00-0C"), QStringLiteral("Cisco Systems, Inc"),
                                  {QStringLiteral("170 West Tasman Drive"), QStringLiteral("San Jose  CA  94568"), QStringLiteral("US")}));
        addMaL(oui, QStringLiteral("AC-DE-48"), QStringLiteral("Private"), {});
        expected.push_back(record(QStringLiteral("AC-DE-48"), QStringLiteral("Private"), {}));
        // Non-ASCII text, quotes and commas, five lines with an empty one inside.
        const QString zurich = QStringLiteral("Zürich \"Quoted\" Ünïcödé, Ltd.");
        const QStringList zurichAddress = {QStringLiteral("Straße 1, \"Haus\" B"), QStringLiteral("8000 Zürich"),
                                           QString(), QStringLiteral("Kanton Zürich"), QStringLiteral("CH")};
        oui.add(QStringLiteral("00-1B-C5   (hex)\t\t") + zurich);
        oui.add(QStringLiteral("001BC5     (base 16)\t\t") + zurich);
        oui.add(Indent + zurichAddress[0]);
        oui.add(Indent + zurichAddress[1]);
        oui.add(Indent + QStringLiteral("   "));
        oui.add(Indent + zurichAddress[3]);
        oui.add(Indent + zurichAddress[4] + QStringLiteral("   "));
        oui.add(QString());
        expected.push_back(record(QStringLiteral("00-1B-C5"), zurich, zurichAddress));
        // A name of exactly 255 characters, and one address line.
        QString longName = QStringLiteral("Longest Name Ltd ");
        while (longName.size() < 255)
            longName += QChar(static_cast<char16_t>(u'a' + longName.size() % 26));
        addMaL(oui, QStringLiteral("00-55-DA"), longName, {QStringLiteral("Single line")});
        expected.push_back(record(QStringLiteral("00-55-DA"), longName, {QStringLiteral("Single line")}));
        // Characters outside Latin-1, one of them (U+0100) not storable compressed.
        const QString cjk = QStringLiteral("株式会社 東京 Électronique");
        const QStringList cjkAddress = {QStringLiteral("Āddress Ŀine 1-2"), QStringLiteral("東京都")};
        addMaL(oui, QStringLiteral("08-00-20"), cjk, cjkAddress);
        expected.push_back(record(QStringLiteral("08-00-20"), cjk, cjkAddress));
        // Input that does not parse: a stray line, an entry without its (base 16) line.
        const int strayLine = oui.add(QStringLiteral("this line is not part of any entry"));
        oui.add(QString());
        oui.add(QStringLiteral("12-34-56   (hex)\t\tBroken Entry"));
        const int brokenLine = oui.add(QStringLiteral("not a base 16 line"));
        oui.add(Indent + QStringLiteral("an address line of the broken entry"));
        oui.add(QString());
        // A name one character too long is left out, with the reason.
        const int tooLongLine = oui.lines.size() + 1;
        addMaL(oui, QStringLiteral("00-55-DB"), longName + QStringLiteral("x"), {QStringLiteral("Somewhere")});
        const QStringList four = {QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L3"), QStringLiteral("L4")};
        addMaL(oui, QStringLiteral("00-00-0D"), QStringLiteral("Four Lines"), four);
        expected.push_back(record(QStringLiteral("00-00-0D"), QStringLiteral("Four Lines"), four));
        // More lines than fields: Address keeps them all, with a note.
        const QStringList six = four + QStringList{QStringLiteral("L5"), QStringLiteral("L6")};
        const int sixLine = oui.lines.size() + 1;
        addMaL(oui, QStringLiteral("00-00-0E"), QStringLiteral("Six Lines"), six);
        expected.push_back(record(QStringLiteral("00-00-0E"), QStringLiteral("Six Lines"), six));
        // The file ends in the middle of the last entry.
        const int truncatedLine = oui.add(QStringLiteral("FC-FF-AA   (hex)\t\tTruncated Corp"));
        oui.write(dir.filePath(QStringLiteral("oui.txt")), "\r\n", false);

        Listing mam;  // LF line ends, no header
        mam.add(QStringLiteral("74-1A-E0   (hex)\t\tPrivate"));
        mam.add(QStringLiteral("900000-9FFFFF     (base 16)\t\tPrivate"));
        mam.add(QString());
        expected.push_back(record(QStringLiteral("74-1A-E0-9"), QStringLiteral("Private"), {}));
        mam.add(QStringLiteral("7C-00-00   (hex)\t\tWrong Range"));
        const int wrongRange = mam.add(QStringLiteral("120000-1FFFFF     (base 16)\t\tWrong Range"));
        mam.add(QString());
        mam.write(dir.filePath(QStringLiteral("mam.txt")), "\n");
        {
            // Bytes that are no UTF-8 text: the entry is left out.
            QFile f(dir.filePath(QStringLiteral("mam.txt")));
            QVERIFY(f.open(QIODevice::Append));
            f.write("7C-00-01   (hex)\t\tBad \xff Bytes\n100000-1FFFFF     (base 16)\t\tBad\n\n");
        }
        const int badBytesLine = static_cast<int>(mam.lines.size()) + 1;

        Listing oui36;
        oui36.add(QStringLiteral("70-B3-D5   (hex)\t\tTELEPLATFORMS"));
        oui36.add(QStringLiteral("F2F000-F2FFFF     (base 16)\t\tTELEPLATFORMS"));
        oui36.add(Indent + QStringLiteral("Polbina st., 3/1"));
        oui36.add(Indent + QStringLiteral("Moscow    109388"));
        oui36.add(Indent + QStringLiteral("RU"));
        oui36.add(QString());
        expected.push_back(record(QStringLiteral("70-B3-D5-F2-F"), QStringLiteral("TELEPLATFORMS"),
                                  {QStringLiteral("Polbina st., 3/1"), QStringLiteral("Moscow    109388"), QStringLiteral("RU")}));
        oui36.add(QStringLiteral("70-b3-d5   (hex)\t\tlower case digits"));
        oui36.add(QStringLiteral("abc000-abcfff     (base 16)\t\tlower case digits"));
        oui36.add(QString());
        expected.push_back(record(QStringLiteral("70-B3-D5-AB-C"), QStringLiteral("lower case digits"), {}));
        oui36.write(dir.filePath(QStringLiteral("oui36.txt")));

        Listing iab;  // the padded layout of iab.txt
        iab.add(QStringLiteral("OUI                                                         Organization                                 "));
        iab.add(QStringLiteral("IAB Range                                                   Organization                                 "));
        iab.add(QStringLiteral("                                                            Address                                      "));
        iab.add(QString());
        iab.add(QStringLiteral("00-50-C2                      (hex)                         DEUTA-WERKE GmbH                             "));
        iab.add(QStringLiteral("7D5000-7D5FFF                 (base 16)                     DEUTA-WERKE GmbH                             "));
        iab.add(QStringLiteral("                                                            Paffrather Strasse 140                       "));
        iab.add(QStringLiteral("                                                            DE                                           "));
        iab.write(dir.filePath(QStringLiteral("iab.txt")));
        expected.push_back(record(QStringLiteral("00-50-C2-7D-5"), QStringLiteral("DEUTA-WERKE GmbH"),
                                  {QStringLiteral("Paffrather Strasse 140"), QStringLiteral("DE")}));

        const QString out = dir.filePath(QStringLiteral("oui.mdb"));
        const ProcessResult r = runProgram(zorvaneDb(), {QStringLiteral("import"), QStringLiteral("--from"), dir.path(), out});
        QCOMPARE(r.exitCode, 0);
        const QString err = QString::fromUtf8(r.err);
        const QString ouiPath = dir.filePath(QStringLiteral("oui.txt"));
        for (const int line : {strayLine, brokenLine, tooLongLine, truncatedLine, sixLine})
            QVERIFY2(err.contains(QStringLiteral("%1:%2: ").arg(ouiPath).arg(line)), qPrintable(err));
        for (const int line : {wrongRange, badBytesLine})
            QVERIFY2(err.contains(QStringLiteral("%1:%2: ").arg(dir.filePath(QStringLiteral("mam.txt"))).arg(line)),
                     qPrintable(err));
        QCOMPARE(err.count(u'\n'), 7);
        // Left out: the stray line; the broken entry's three lines; the long
        // entry's three; the truncated entry's one; the wrong range's two; the
        // bad bytes' two.
        QCOMPARE(QString::fromUtf8(r.out).trimmed(),
                 out + QStringLiteral(": 11 records: MA-L 7, MA-M 1, MA-S 2, IAB 1; 12 lines skipped"));

        QCOMPARE(runProgram(QStringLiteral("mdb-ver"), {out}).out.trimmed(), QByteArray("JET4"));
        const QString schema = QString::fromUtf8(runProgram(QStringLiteral("mdb-schema"), {out}).out);
        const QRegularExpression fieldLine(QStringLiteral("^\\s*\\[(\\w+)\\]\\s+(Text \\(255\\)|Memo/Hyperlink)"),
                                           QRegularExpression::MultilineOption);
        QStringList fields;
        for (auto it = fieldLine.globalMatch(schema); it.hasNext();)
            fields << it.next().captured(1);
        QVERIFY2(schema.contains(QStringLiteral("CREATE TABLE [oui]")), qPrintable(schema));
        QCOMPARE(fields, QStringList({"Code", "Vendor", "Address", "Address1", "address2", "address3",
                                      "address4", "address5"}));
        QStringList tables;
        readWithMdbReader(out, &tables);
        QCOMPARE(tables, QStringList({"oui"}));
        checkReaders(out, expected);
        // Nothing but the listing and the database in the folder: no temporary file left.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 5);
    }

    void existingFileNeedsForce() {
        QTemporaryDir dir;
        Listing oui;
        addMaL(oui, QStringLiteral("00-00-01"), QStringLiteral("One"), {QStringLiteral("Here")});
        oui.write(dir.filePath(QStringLiteral("oui.txt")));
        const QString out = dir.filePath(QStringLiteral("oui.mdb"));
        {
            QFile f(out);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("precious");
        }
        ProcessResult r = runProgram(zorvaneDb(), {QStringLiteral("import"), QStringLiteral("--from"), dir.path(), out});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("already exists") && r.err.contains("--force"), r.err.constData());
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("precious"));
        f.close();

        r = runProgram(zorvaneDb(), {QStringLiteral("import"), QStringLiteral("--force"), QStringLiteral("--from"), dir.path(), out});
        QCOMPARE(r.exitCode, 0);
        // The three missing registry files are reported, the one present imported.
        QCOMPARE(r.err.count('\n'), 3);
        QVERIFY(r.out.contains("1 records: MA-L 1, MA-M 0, MA-S 0, IAB 0; 0 lines skipped"));
        checkReaders(out, {record(QStringLiteral("00-00-01"), QStringLiteral("One"), {QStringLiteral("Here")})});

        // Usage errors and an empty folder fail without creating anything.
        QTemporaryDir empty;
        const QString other = dir.filePath(QStringLiteral("other.mdb"));
        QCOMPARE(runProgram(zorvaneDb(), {QStringLiteral("import"), QStringLiteral("--from"), empty.path(), other}).exitCode, 1);
        QCOMPARE(runProgram(zorvaneDb(), {QStringLiteral("import")}).exitCode, 1);
        QCOMPARE(runProgram(zorvaneDb(), {QStringLiteral("import"), QStringLiteral("--bogus"), other}).exitCode, 1);
        QVERIFY(!QFileInfo::exists(other));
    }

    // The writer directly: null against empty text, memos too long for a row
    // (one long-value page, then a chain of them), many records over many pages.
    void writerEdges() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("edges.mdb"));
        std::vector<Row> rows;
        Row nulls;
        nulls[0] = QStringLiteral("N");
        rows.push_back(nulls);
        Row empties;
        for (auto& f : empties)
            f = QString();
        rows.push_back(empties);
        // 4060 bytes: too long for the row, short enough for one long-value page.
        const QString page(2030, QChar(0x0100));
        QString chain;
        for (int i = 0; chain.size() < 20000; ++i)
            chain += QStringLiteral("line %1 Ā\r\n").arg(i);
        Row onePage = record(QStringLiteral("P"), QStringLiteral("one page"), {QStringLiteral("short")});
        onePage[2] = page;
        rows.push_back(onePage);
        Row chained = record(QStringLiteral("C"), QStringLiteral("chain"), {QStringLiteral("short")});
        chained[2] = chain;
        rows.push_back(chained);
        for (int i = 0; i < 3000; ++i)
            rows.push_back(record(QStringLiteral("%1").arg(i, 6, 16, QLatin1Char('0')).toUpper(),
                                  QStringLiteral("Vendor %1").arg(i), {QStringLiteral("Street %1").arg(i), QStringLiteral("XX")}));
        std::vector<records::VendorRecord> input;
        for (const Row& r : rows)
            input.push_back(vendorRecord(r));
        records::createVendorDatabase(path, input);
        checkReaders(path, rows);

        // An existing file is refused unless replacing is asked for.
        QVERIFY_THROWS_EXCEPTION(jet::Error, records::createVendorDatabase(path, {}));
        records::createVendorDatabase(path, {}, true);
        checkReaders(path, {});

        // A value too long for its field: an error naming it, and no file.
        const QString bad = dir.filePath(QStringLiteral("bad.mdb"));
        Row tooLong = record(QStringLiteral("X"), QString(256, u'v'), {});
        try {
            records::createVendorDatabase(bad, {vendorRecord(tooLong)});
            QFAIL("a 256-character vendor name was accepted");
        } catch (const jet::Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("\"Vendor\"")), e.what());
        }
        QVERIFY(!QFileInfo::exists(bad));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"edges.mdb"}));
    }
};

QTEST_GUILESS_MAIN(ImportSmallTest)
#include "tst_import_small.moc"
