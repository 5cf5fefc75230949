// Replays the inputs kept in tests/fuzz/regressions/ (each once crashed the
// reader) and damaged variants of the sample files through the same path
// the fuzzer drives; any failure other than jet::Error fails the test.
#include "tests/fuzz/FuzzOne.h"
#include "tests/support/SampleDatabases.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class FuzzRegressions : public QObject {
    Q_OBJECT

private:
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(path));
        return f.readAll();
    }
    static void run(const QByteArray& bytes) {
        zorvane::fuzz::fuzzOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()));
    }

private slots:
    void keptInputs() {
        const QDir dir(qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/fuzz/regressions");
        QVERIFY(dir.exists());
        int replayed = 0;
        for (const QFileInfo& info : dir.entryInfoList(QDir::Files)) {
            run(readFile(info.filePath()));
            ++replayed;
        }
        qInfo("replayed %d kept inputs", replayed);
    }

    // Every sample file (the typed tables, the same after edits that delete
    // and move rows, a vendor database) cut at page boundaries and inside
    // pages, and with single pages overwritten, must read or fail with
    // jet::Error only.
    void damagedSamples() {
        QTemporaryDir dir;
        const QString edited = zorvane::test::samples::writeSamples(dir.path(), "edited.mdb");
        zorvane::test::samples::editMany(edited);
        const QStringList files = {zorvane::test::samples::writeSamples(dir.path()), edited,
                                   zorvane::test::writeVendorDatabase(dir.path(), {zorvane::test::vendorRecord("00-00-0C", "Cisco", "San Jose")})};
        for (const QString& file : files) {
            const QByteArray whole = readFile(file);
            for (qsizetype cut = 0; cut < whole.size(); cut += 4096 * 3 + 1001)
                run(whole.left(cut));
            const qsizetype pages = whole.size() / 4096;
            for (qsizetype page = 1; page < std::min<qsizetype>(pages, 40); ++page) {
                for (const char fill : {'\x00', '\xFF'}) {
                    QByteArray damaged = whole;
                    // Keep the page type byte, flood the rest of the page.
                    std::fill(damaged.begin() + page * 4096 + 1, damaged.begin() + (page + 1) * 4096,
                              fill);
                    run(damaged);
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(FuzzRegressions)
#include "tst_fuzz_regressions.moc"
