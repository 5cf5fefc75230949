// How zorvane-db's runs end when the outcome is not the plain one: output that
// cannot be written, listings without records or with a byte-order mark,
// a path through a file, password-protected databases, and texts beginning
// with U+FEFF read back by every reader.
#include "tests/import/VendorReadBack.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QProcess>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QByteArray Entry = "00-22-72   (hex)\t\tMicro Fuel\n002272     (base 16)\t\tMicro Fuel\n\t\t\t\t1 Loop\n\t\t\t\tUS\n\n";
const QByteArray Header = "OUI/MA-L\t\tOrganization\ncompany_id\t\tOrganization\n\t\tAddress\n\n";

ProcessResult tool(const QStringList& arguments) { return runProcess(zorvaneDbPath(), arguments); }

// A run whose standard output is /dev/full.
ProcessResult toFullDevice(const QStringList& arguments) {
    QProcess p;
    p.setStandardOutputFile("/dev/full");
    p.start(zorvaneDbPath(), arguments);
    p.waitForFinished();
    return {p.exitCode(), {}, p.readAllStandardError()};
}

} // namespace

class ImportOutcomesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString listing_;

    QString listing(const QByteArray& ouiText) {
        if (!writeBytes(listing_ + "/oui.txt", ouiText))
            qFatal("cannot write the listing");
        return listing_;
    }

private slots:
    void init() {
        dir_ = scratchDir();
        listing_ = dir_->filePath("listing");
        QDir().mkpath(listing_);
    }

    // Output that cannot be written fails the run with one line: an export,
    // and an import's summary (the database then stands, and the line says so).
    void unwritableOutputFails() {
        const QString db = dir_->filePath("a.mdb");
        QCOMPARE(tool({"import", "--from", listing(Entry + Entry), db}).status, 0);
        ProcessResult run = toFullDevice({"export", db, "oui"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QByteArray("zorvane-db: the output could not be written (No space left on device).\n"));
        const QString second = dir_->filePath("b.mdb");
        run = toFullDevice({"import", "--from", listing_, second});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.endsWith(second.toUtf8() + ": the database was written, but the output could not be "
                                                    "written (No space left on device).\n"),
                 run.err.constData());
        QCOMPARE(readRecordSet(second, "oui").rows.size(), 2);
    }

    // A listing that yields no records makes no database and replaces none;
    // a byte-order mark before the header changes nothing.
    void listingsWithoutRecordsOrWithAMark() {
        const QString db = dir_->filePath("a.mdb");
        for (const QByteArray& text : {QByteArray(), QByteArray(Header + Entry).replace('\n', '\r')}) {
            ProcessResult run = tool({"import", "--from", listing(text), db});
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains("holds no records, so no database was written"), run.err.constData());
            QVERIFY(!QFile::exists(db));
        }
        QCOMPARE(tool({"import", "--from", listing("\xEF\xBB\xBF" + Header + Entry), db}).status, 0);
        const QByteArray before = bytesOf(db);
        ProcessResult run = tool({"import", "--from", listing(""), "--force", db});
        QCOMPARE(run.status, 1);
        QCOMPARE(bytesOf(db), before);

        run = tool({"import", "--from", listing("\xEF\xBB\xBF" + Header + Entry + Entry), "--force", db});
        QCOMPARE(run.status, 0);
        QVERIFY2(!run.err.contains("oui.txt:"), run.err.constData());
        QVERIFY2(run.out.contains(": 2 records"), run.out.constData());

        run = tool({"export", db + "/", "oui"});
        QCOMPARE(run.err, "zorvane-db: " + db.toUtf8() + "/: " + db.toUtf8() + " is a file, not a folder, so this "
                                                                             "path leads nowhere.\n");
    }

    // A database protected by a password opens only with it: without it, or
    // with another, every command is refused with one sentence and nothing
    // is written.
    void passwordProtectedDatabases() {
        const QString db = dir_->filePath("p.mdb");
        QCOMPARE(tool({"import", "--from", listing(Entry), "--password", "Geheim 1", db}).status, 0);
        const QByteArray before = bytesOf(db);
        const QByteArray refused = "zorvane-db: " + db.toUtf8() + ": the database is protected by a password, so it "
                                                                  "cannot be opened without it.\n";
        for (const QStringList& command : {QStringList{"export", db, "oui"}, QStringList{"tables", db},
                                           QStringList{"check", db}, QStringList{"add", db, "oui", "Code=X"}}) {
            QVERIFY2(tool(command).err == refused, qPrintable(command.join(' ')));
            const ProcessResult wrong = tool(QStringList(command) << "--password=geheim 1");
            QCOMPARE(wrong.status, 1);
            QVERIFY2(wrong.err.contains("the password given is not the database's password"), wrong.err.constData());
        }
        // The record set behind the lookup window refuses it with the same sentence.
        QCOMPARE(errorOf([&] { records::RecordSet set(db, "oui"); }).toUtf8(), refused.mid(12).chopped(1));
        QCOMPARE(bytesOf(db), before);
        QCOMPARE(tool({"add", db, "oui", "Code=X", "--password", "Geheim 1"}).status, 0);
        const ProcessResult run = tool({"--password", "Geheim 1", "export", db, "oui"});
        QCOMPARE(run.status, 0);
        QCOMPARE(tableOfCsv(run.out).rows.size(), 2);
    }

    // Texts that begin with U+FEFF (whose plain form starts like the
    // compressed form's marker) read back as written through all three
    // readers, written by the new-file writer and by a command alike.
    // (mdb-export and mdb-reader drop a leading U+FEFF from every text they
    // convert, however it is stored, so they are held to the rest of it.)
    void byteOrderMarkTextsReadBack() {
        const QString bom = QString(QChar(0xFEFF));
        const QString path = writeVendorDatabase(dir_->path(), {vendorRecord("00-00-01", bom + "日本", bom + "a", bom)});
        QCOMPARE(tool({"add", path, "oui", "Code=00-00-02", "Vendor=" + bom + "Ä", "Address=" + bom + "東京 1"}).status, 0);
        QCOMPARE(tool({"add", path, "oui", "Code=00-00-03", "Vendor=" + bom + QChar(0x0100)}).status, 1);
        const QList<Row> written = {{"00-00-01", bom + "日本", bom + "a", bom, Value(), Value(), Value(), Value()},
                                    {"00-00-02", bom + "Ä", bom + "東京 1", Value(), Value(), Value(), Value(), Value()}};
        QList<Row> unmarked = written;
        for (Row& row : unmarked)
            for (Value& v : row)
                if (v && v->startsWith(bom))
                    v = v->mid(1);
        const std::pair<QString, QString> differences[] = {
            {"record set", firstDifference(written, readRecordSet(path, "oui").rows)},
            {"mdb-reader", firstDifference(unmarked, readMdbReader(path, "oui").rows)},
            {"mdb-export", firstDifference(unmarked, readMdbExport(path, "oui").rows)}};
        for (const auto& [reader, difference] : differences)
            QVERIFY2(difference.isEmpty(), qPrintable(reader + ": " + difference));
    }
};

QTEST_GUILESS_MAIN(ImportOutcomesTest)
#include "tst_import_outcomes.moc"
