// Replays the inputs kept in tests/fuzz/regressions/ (each once crashed the
// reader) and damaged variants of the sample files through the same path
// the fuzzer drives; any failure other than jet::Error fails the test.
#include "tests/fuzz/FuzzOne.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/SampleDatabases.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QtTest>

using namespace zorvane::test;

namespace {
void run(const QByteArray& bytes) {
    zorvane::fuzz::fuzzOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
}
} // namespace

class FuzzRegressions : public QObject {
    Q_OBJECT

private slots:
    void keptInputs() {
        const QDir dir(qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/fuzz/regressions");
        QVERIFY(dir.exists());
        const QFileInfoList inputs = dir.entryInfoList(QDir::Files);
        for (const QFileInfo& info : inputs)
            run(bytesOf(info.filePath()));
        qInfo("replayed %lld kept inputs", qlonglong(inputs.size()));
    }

    // Every sample file (the typed tables, the same after edits that delete
    // and move rows, a vendor database) cut at page boundaries and inside
    // pages, and with single pages overwritten, must read or fail with
    // jet::Error only.
    void damagedSamples() {
        const auto dir = scratchDir();
        const QString edited = samples::writeSamples(dir->path(), "edited.mdb");
        samples::editMany(edited);
        for (const QString& file : {samples::writeSamples(dir->path()), edited,
                                    writeVendorDatabase(dir->path(), {vendorRecord("00-00-0C", "Cisco", "San Jose")})}) {
            const QByteArray whole = bytesOf(file);
            QVERIFY(!whole.isEmpty());
            for (qsizetype cut = 0; cut < whole.size(); cut += 4096 * 3 + 1001)
                run(whole.left(cut));
            for (qsizetype page = 1; page < std::min<qsizetype>(whole.size() / 4096, 40); ++page) {
                for (const char fill : {'\x00', '\xFF'}) {
                    QByteArray damaged = whole;  // the page type byte kept, the rest flooded
                    std::fill(damaged.begin() + page * 4096 + 1, damaged.begin() + (page + 1) * 4096, fill);
                    run(damaged);
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(FuzzRegressions)
#include "tst_fuzz_regressions.moc"
