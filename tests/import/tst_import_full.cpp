// The full IEEE listing of the ieee-data package: the parser is checked against
// the package's own .csv files (same assignments, in the same numbers), then
// `zorvane-db import` writes the database and every record is read back, field
// by field and in listing order, by mdbtools, mdb-reader and `zorvane-db export`.
#include "ReaderOutputs.h"

#include "tools/IeeeListing.h"
#include "tools/ImportCommand.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QString Listing = QString::fromLatin1(tools::DefaultListingFolder);

// "MA-L,002272" for each record of a registry's .csv file.
QStringList csvAssignments(const QString& file, const QString& registry) {
    QFile f(Listing + u'/' + file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const auto rows = parseCsv(QString::fromUtf8(f.readAll()));
    QStringList out;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].size() >= 2 && rows[i][0].first == registry)
            out << registry + u',' + rows[i][1].first;
    }
    return out;
}

} // namespace

class ImportFullTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(Listing + QStringLiteral("/oui.txt")))
            QSKIP("the ieee-data listing is not installed");
        QVERIFY2(QFileInfo::exists(nodeModules() + QStringLiteral("/mdb-reader")),
                 "mdb-reader is not installed in the build folder's npm/node_modules");
    }

    void parserAgreesWithCsv() {
        const tools::ListingResult listing = tools::readListing(Listing);
        QCOMPARE(listing.filesRead, 4);
        QVERIFY2(listing.problems.empty(),
                 qPrintable(listing.problems.empty() ? QString() : listing.problems.front().reason));
        QStringList fromText;
        for (const tools::ListingEntry& e : listing.entries) {
            const auto registry = tools::RegistryFiles[static_cast<std::size_t>(e.registry)];
            QString digits = e.code;
            digits.remove(u'-');
            fromText << QString::fromLatin1(registry.label) + u',' + digits;
        }
        QStringList fromCsv = csvAssignments(QStringLiteral("oui.csv"), QStringLiteral("MA-L")) +
                              csvAssignments(QStringLiteral("mam.csv"), QStringLiteral("MA-M")) +
                              csvAssignments(QStringLiteral("oui36.csv"), QStringLiteral("MA-S")) +
                              csvAssignments(QStringLiteral("iab.csv"), QStringLiteral("IAB"));
        QVERIFY(fromCsv.size() > 40000);
        QCOMPARE(fromText.size(), fromCsv.size());
        fromText.sort();
        fromCsv.sort();
        QCOMPARE(fromText, fromCsv);
    }

    void everyRecordReadsBack() {
        const tools::ListingResult listing = tools::readListing(Listing);
        std::vector<Row> expected;
        for (const tools::ListingEntry& e : listing.entries) {
            const records::VendorRecord r = tools::vendorRecordOf(e);
            Row row;
            for (std::size_t i = 0; i < 8; ++i)
                row[i] = r.fields[i];
            expected.push_back(row);
        }
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("oui.mdb"));
        QElapsedTimer timer;
        timer.start();
        const ProcessResult r = runProgram(zorvaneDb(), {QStringLiteral("import"), out});
        qInfo("import of %zu records: %lld ms", expected.size(), static_cast<long long>(timer.elapsed()));
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out).trimmed(), out + QStringLiteral(": ") + tools::importSummary(listing));
        QCOMPARE(runProgram(QStringLiteral("mdb-ver"), {out}).out.trimmed(), QByteArray("JET4"));

        const QString a = firstDifference(QStringLiteral("mdb-export"), readWithMdbExport(out), expected, true);
        QVERIFY2(a.isEmpty(), qPrintable(a));
        const QString b = firstDifference(QStringLiteral("mdb-reader"), readWithMdbReader(out), expected, false);
        QVERIFY2(b.isEmpty(), qPrintable(b));
        const QString c = firstDifference(QStringLiteral("zorvane-db export"), readWithZorvaneExport(out), expected, false);
        QVERIFY2(c.isEmpty(), qPrintable(c));
    }
};

QTEST_GUILESS_MAIN(ImportFullTest)
#include "tst_import_full.moc"
