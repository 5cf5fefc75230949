// Damaged files never crash the structure check or the writer: seeded random
// bytes are changed on the pages that matter (table definitions, usage maps,
// data and long-value pages, the database's page map); the check lists
// problems or none, a write either goes through or throws jet::Error and
// then changes nothing, and a write to a file the check found sound leaves
// it sound.
#include "tests/edit/EditTestSupport.h"
#include "tests/support/SampleDatabases.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

QByteArray mutated(QByteArray bytes, std::mt19937& rng) {
    std::uniform_int_distribution<int> page(1, int(bytes.size() / 4096) - 1), offset(0, 4095),
        value(0, 255), count(1, 8), near(0, 99);
    for (int n = count(rng); n > 0; --n) {
        // Mostly the page headers and row tables, where the structure is.
        const int at = near(rng) < 60 ? offset(rng) % 96 : offset(rng);
        bytes[qsizetype(page(rng)) * 4096 + at] = char(value(rng));
    }
    return bytes;
}

} // namespace

class EditDamagedTest : public QObject {
    Q_OBJECT

private slots:
    void checkNeverCrashes() {
        std::mt19937 rng(11);
        const auto dir = scratchDir();
        const QString edited = samples::writeSamples(dir->path());
        samples::editMany(edited);
        const QList<QByteArray> originals = {bytesOf(vendorFile(dir->path(), 200, 11)), bytesOf(edited)};
        int found = 0;
        for (int i = 0; i < 1500; ++i) {
            const QByteArray bytes = mutated(originals[i % originals.size()], rng);
            jet::PageFile file("damaged.mdb", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
            found += !jet::checkDatabase(file).empty();
        }
        // Most damage is seen (the rest falls on bytes that hold nothing).
        QVERIFY2(found > 500, qPrintable(QString::number(found)));
    }

    void writesFailCleanly() {
        std::mt19937 rng(12);
        const auto dir = scratchDir();
        const QString path = vendorFile(dir->path(), 60, 12);
        const QByteArray original = bytesOf(path);
        int written = 0, refused = 0;
        for (int i = 0; i < 150; ++i) {
            const QByteArray bytes = mutated(original, rng);
            QVERIFY(writeBytes(path, bytes));
            const bool soundBefore = checkProblems(path).isEmpty();
            const QString error = errorOf([&] {
                records::RecordSet set(path, "oui");
                if (i % 3 == 0) {
                    set.AddNew();
                    set.Fields("Code").setValue("AA-AA-AA");
                    set.Fields("Address").setValue(QString(i * 40, 'a'));
                } else {
                    set.Move(i % 50);
                    if (i % 3 == 2)
                        return set.Delete();
                    set.Edit();
                    set.Fields("Vendor").setValue(QString(i, 'v'));
                }
                set.Update();
            });
            if (error != "<no error>") {
                ++refused;
                QCOMPARE(bytesOf(path), bytes);  // a refused write changes nothing
            } else if (++written; soundBefore) {  // damage the check cannot see stays harmless
                QVERIFY2(checkProblems(path).isEmpty(), qPrintable(checkProblems(path).join("\n")));
            }
        }
        QVERIFY(written > 0 && refused > 0);
    }
};

QTEST_GUILESS_MAIN(EditDamagedTest)
#include "tst_edit_damaged.moc"
