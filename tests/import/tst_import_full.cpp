// The full IEEE listing of the ieee-data package: the parser agrees with the
// package's own .csv files (the same assignments), then `zorvane-db import`
// writes the database and mdbtools, mdb-reader and `zorvane-db export` read
// every record back, field by field and in listing order.
#include "tests/import/VendorReadBack.h"

#include "listing/IeeeListing.h"
#include "tools/ImportCommand.h"

#include <QElapsedTimer>

using namespace zorvane;
using namespace zorvane::test;

class ImportFullTest : public QObject {
    Q_OBJECT

    const QString listing_ = "/var/lib/ieee-data";

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(listing_ + "/oui.txt"))
            QSKIP("the ieee-data listing is not installed");
        QVERIFY2(haveMdbReader(), "mdb-reader is not installed in <build>/npm");
    }

    void parserAgreesWithCsv() {
        const listing::ListingResult listing = listing::readListing(listing_);
        QCOMPARE(listing.filesRead, 4);
        QVERIFY2(listing.problems.empty(), qPrintable(listing.problems.empty() ? "" : listing.problems.front().reason));
        QStringList fromText, fromCsv;
        for (const listing::ListingEntry& e : listing.entries)
            fromText << listing::RegistryFiles[std::size_t(e.registry)].label + ("," + QString(e.code).remove('-'));
        const std::pair<const char*, const char*> csvFiles[] = {
            {"oui.csv", "MA-L"}, {"mam.csv", "MA-M"}, {"oui36.csv", "MA-S"}, {"iab.csv", "IAB"}};
        for (const auto& [file, registry] : csvFiles)
            for (const CsvRecord& r : parseCsv(bytesOf(listing_ + "/" + file)).mid(1))
                if (r.size() >= 2 && r[0].text == registry)
                    fromCsv << r[0].text + "," + r[1].text;
        QVERIFY(fromCsv.size() > 40000);
        fromText.sort();
        fromCsv.sort();
        QCOMPARE(fromText, fromCsv);
    }

    void everyRecordReadsBack() {
        const listing::ListingResult listing = listing::readListing(listing_);
        QList<Row> expected;
        for (const listing::ListingEntry& e : listing.entries)
            expected.append(rowOf(listing::vendorRecordOf(e)));
        const auto dir = scratchDir();
        const QString out = dir->filePath("oui.mdb");
        QElapsedTimer timer;
        timer.start();
        // Without --from: /var/lib/ieee-data, the download folder (in the scratch folder) holding none.
        const ProcessResult r = runProcess(zorvaneDbPath(), {"import", out}, false, {"XDG_CACHE_HOME=" + dir->path()});
        qInfo("import of %lld records: %lld ms", qlonglong(expected.size()), qlonglong(timer.elapsed()));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out).trimmed(), out + ": " + tools::importSummary(listing));
        checkReaders(out, expected);
    }
};

QTEST_GUILESS_MAIN(ImportFullTest)
#include "tst_import_full.moc"
