// zorvane-db's runs off the plain path: unwritable output, listings without
// records or with a byte-order mark, protected databases, U+FEFF texts.
#include "tests/import/VendorReadBack.h"
#include "tests/support/SmallListing.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QRegularExpression>

using namespace zorvane;
using namespace zorvane::test;

namespace {

const QByteArray Entry = "00-22-72   (hex)\t\tMicro Fuel\n002272     (base 16)\t\tMicro Fuel\n\t\t\t\t1 Loop\n\t\t\t\tUS\n\n";
const QByteArray Header = "OUI/MA-L\t\tOrganization\ncompany_id\t\tOrganization\n\t\tAddress\n\n";

ProcessResult tool(const QStringList& arguments) { return runProcess(zorvaneDbPath(), arguments); }

ProcessResult toFullDevice(const QStringList& arguments) {  // standard output: /dev/full
    return runProcess("sh", QStringList{"-c", "exec \"$0\" \"$@\" >/dev/full", zorvaneDbPath()} + arguments);
}

} // namespace

class ImportOutcomesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;

    // A listing of a few entries, which import takes with --min-entries 1.
    QString listing(const QByteArray& ouiText) { return writeSmallListing(dir_->path(), ouiText); }

private slots:
    void init() { dir_ = scratchDir(); }

    // Output that cannot be written fails the run with one line: an export,
    // and an import's summary (the database then stands, and the line says so).
    void unwritableOutputFails() {
        const QString db = dir_->filePath("a.mdb");
        ProcessResult run = toFullDevice({"import", "--min-entries", "1", "--from", listing(Entry + Entry), db});
        QVERIFY2(run.status == 1 && run.err.endsWith(db.toUtf8() + ": the database was written, but standard output: "
                                                                   "writing failed (No space left on device).\n"), run.err.constData());
        QCOMPARE(readRecordSet(db, "oui").rows.size(), 5);
        run = toFullDevice({"export", db, "oui"});
        QVERIFY(run.status == 1 && run.err == "zorvane-db: standard output: writing failed (No space left on device).\n");
        // The usage too.
        run = toFullDevice({"--help"});
        QVERIFY2(run.status == 1 && run.err == "zorvane-db: standard output: writing failed (No space left on device).\n", run.err.constData());
    }

    // A listing file that yields no records makes no database and replaces
    // none; CR line ends and a byte-order mark before the header read as any.
    void listingsWithoutRecordsOrWithAMark() {
        const QString db = dir_->filePath("a.mdb");
        ProcessResult run = tool({"import", "--min-entries", "1", "--from", listing({}), db});
        QCOMPARE(QString::fromUtf8(run.err), "zorvane-db: " + dir_->filePath("oui.txt") + ": the file is empty; " + db +
                                                 " was not written.\n");
        QVERIFY(!QFile::exists(db));
        for (const QByteArray& text : {QByteArray(Header + Entry).replace('\n', '\r'), "\xEF\xBB\xBF" + Header + Entry}) {
            run = tool({"import", "--force", "--min-entries", "1", "--from", listing(text), db});
            QVERIFY2(run.out.contains(": 4 records: MA-L 1,") && run.err.isEmpty(), run.err.constData());
        }
        const QByteArray before = bytesOf(db);
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", listing(""), "--force", db}).status, 1);
        QCOMPARE(bytesOf(db), before);

        run = tool({"export", db + "/", "oui"});
        QCOMPARE(run.err, "zorvane-db: " + db.toUtf8() + "/: " + db.toUtf8() + " is a file, not a folder, so this "
                                                                             "path leads nowhere.\n");
    }

    // Half of the IEEE's oui.txt, and the whole of it with mam.txt cut to a
    // few entries, fall below the floors of a complete listing: import
    // --force refuses them in one line naming the file and keeps the
    // database it would replace, to the byte.
    void cutOffListingRefused() {
        const QString debian = "/usr/share/ieee-data";
        if (!QFile::exists(debian + "/oui.txt"))
            QSKIP("the ieee-data listing is not installed");
        const QString db = dir_->filePath("a.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", listing(Entry), db}).status, 0);
        const QByteArray before = bytesOf(db);
        const QString cut = dir_->filePath("cut");
        QVERIFY(QDir().mkpath(cut));
        for (const char* name : {"oui.txt", "mam.txt", "oui36.txt", "iab.txt"})
            QVERIFY(writeBytes(cut + "/" + name, bytesOf(debian + "/" + name)));
        const QByteArray oui = bytesOf(debian + "/oui.txt"), mam = bytesOf(debian + "/mam.txt");
        QVERIFY(writeBytes(cut + "/oui.txt", oui.left(oui.size() / 2)));
        ProcessResult run = tool({"import", "--force", "--from", cut, db});
        QVERIFY2(run.status == 1 && run.err.count('\n') <= 2, run.err.constData());
        QVERIFY2(QRegularExpression("\nzorvane-db: " + QRegularExpression::escape(cut) + "/oui.txt: holds 1[0-9],[0-9]{3} MA-L "
                                    "entries, fewer than the 20,000 a complete listing holds; " +
                                    QRegularExpression::escape(db) + " was not written.\n$")
                     .match("\n" + run.err).hasMatch(), run.err.constData());
        QCOMPARE(bytesOf(db), before);
        QVERIFY(writeBytes(cut + "/oui.txt", oui));
        QVERIFY(writeBytes(cut + "/mam.txt", mam.left(mam.indexOf("\r\n\r\n", 5000))));
        run = tool({"import", "--force", "--from", cut, db});
        QVERIFY2(run.status == 1 && run.err.contains("/mam.txt: holds ") && run.err.contains(" MA-M entries, fewer than the 2,000"),
                 run.err.constData());
        QCOMPARE(bytesOf(db), before);
    }

    // A database protected by a password opens only with it: without it, or
    // with another, every command is refused with one sentence and nothing
    // is written.
    void passwordProtectedDatabases() {
        const QString db = dir_->filePath("p.mdb");
        QCOMPARE(tool({"import", "--min-entries", "1", "--from", listing(Entry), "--password", "Geheim 1", db}).status, 0);
        const QByteArray before = bytesOf(db);
        const QByteArray refused = "zorvane-db: " + db.toUtf8() + ": the database is protected by a password, so it "
                                                                  "cannot be opened without it.\n";
        for (const QStringList& command : {QStringList{"export", db, "oui"}, QStringList{"tables", db},
                                           QStringList{"check", db}, QStringList{"add", db, "oui", "Code=X"}}) {
            QVERIFY2(tool(command).err == refused, qPrintable(command.join(' ')));
            QVERIFY(tool(QStringList(command) << "--password=geheim 1").err.endsWith("is not the database's password.\n"));
        }
        // The record set behind the lookup window refuses it with the same sentence.
        QCOMPARE(errorOf([&] { records::RecordSet set(db, "oui"); }).toUtf8(), refused.mid(12).chopped(1));
        QCOMPARE(bytesOf(db), before);
        QCOMPARE(tool({"add", db, "oui", "Code=0A-0B-0C", "--password", "Geheim 1"}).status, 0);
        QCOMPARE(tableOfCsv(tool({"--password", "Geheim 1", "export", db, "oui"}).out).rows.size(), 5);
    }

    // Texts beginning with U+FEFF (whose plain form starts like the compressed
    // form's marker), by the new-file writer and by a command, read back as
    // written, by mdb-export too; mdb-reader drops a leading U+FEFF from any
    // text it converts, however stored, so it is held to the rest of it.
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
            {"mdb-export", firstDifference(emptyAsNull(written), readMdbExport(path, "oui").rows)}};
        for (const auto& [reader, difference] : differences)
            QVERIFY2(difference.isEmpty(), qPrintable(reader + ": " + difference));
    }
};

QTEST_GUILESS_MAIN(ImportOutcomesTest)
#include "tst_import_outcomes.moc"
