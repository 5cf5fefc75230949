// zorvane-db's records chosen by their values: find, update and delete with
// --where on an Access-style vendor table (an AutoNumber ID and an index on
// Code, made by our writer record by record) and on the same records without
// an index, against a model of the records; the messages of every refusal;
// add's number and its checks of vendor codes; search against the lookup
// window's own search terms.
#include "lookup/SearchTerm.h"
#include "records/RecordCursor.h"
#include "records/VendorDatabase.h"
#include "records/jet/CreateDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/TableWriter.h"
#include "records/jet/ValueText.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace zorvane;
using namespace zorvane::test;

namespace {

constexpr int Records = 1500;

ProcessResult db(const QStringList& arguments) { return runProcess(zorvaneDbPath(), arguments); }

// A record as the model keeps it: code, vendor, address.
using Rec = std::array<QString, 3>;

const char* const Names[] = {"Cisco Systems, Inc", "ABC SYSTEMS INC", "SYSTEMS AND SYSTEMS CO", "Systems Inc",
                             "Müller Präzision GmbH", "VMware, Inc.", "ABC Widgets"};

// The records both files start with: distinct codes, but a few that come
// twice (apart in the table, so their index entries may lie on two leaves)
// and one stored in lower case.
std::vector<Rec> startingRecords() {
    std::vector<Rec> out;
    for (int i = 0; i < Records; ++i) {
        const int n = i % 500 == 499 ? (i - 400) * 7 : i * 7;  // 499, 999, 1499 repeat earlier codes
        QString code = QString("%1-%2-%3").arg(0x10 + n / 65536, 2, 16, QChar('0')).arg(n / 256 % 256, 2, 16, QChar('0'))
                           .arg(n % 256, 2, 16, QChar('0')).toUpper();
        if (i == 321)
            code = code.toLower();
        out.push_back({code, QString("%1 %2").arg(Names[i % 7]).arg(i),
                       i % 3 ? QString("Street %1\r\nTown %2\r\nXX").arg(i).arg(i % 17) : QString()});
    }
    return out;
}

// The plain vendor file (zorvane-db import's form) and the Access-style one
// with an AutoNumber ID primary key and an index on Code, its records
// added one by one through the table writer.
void makeFiles(const QString& plain, const QString& indexed, const std::vector<Rec>& records) {
    std::vector<records::VendorRecord> rows;
    for (const Rec& r : records)
        rows.push_back(vendorRecord(r[0], r[1], r[2], std::nullopt, std::nullopt));
    records::createVendorDatabase(plain, rows, true);

    jet::NewTable table{"oui", {{"ID", jet::format::TypeLong, 255, true}}, {{"PrimaryKey", {0}, true}, {"Code", {1}, false}}};
    for (const records::vendor::FieldDescription& field : records::vendor::Fields)
        table.columns.push_back({std::string(field.name), field.memo ? jet::format::TypeMemo : jet::format::TypeText,
                                 records::vendor::TextMaxChars, false});
    const std::string path = QFile::encodeName(indexed).toStdString();
    jet::CreateOptions create;
    create.overwrite = true;
    jet::createDatabase(path, {{table, {}}}, create);
    jet::Database dest(path, jet::PageFile::Mode::ReadWrite);
    std::unique_ptr<jet::Table> target = dest.openTable("oui");
    dest.file().begin();
    jet::TableWriter writer(dest.file(), target->def());
    for (const Rec& r : records)
        writer.insert({{1, r[0].toStdU16String()}, {2, r[1].toStdU16String()}, {3, r[2].toStdU16String()}});
    writer.finish();
    dest.file().commit();
}

// Code, vendor and address of every record, sorted (an empty text as null,
// as the model has no nulls).
std::vector<Rec> contentOf(const QString& path) {
    const Table t = readRecordSet(path, "oui");
    const qsizetype code = t.columns.indexOf("Code");
    std::vector<Rec> out;
    for (const Row& row : t.rows)
        out.push_back({row[code].value_or(""), row[code + 1].value_or(""), row[code + 2].value_or("")});
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<Rec> sorted(std::vector<Rec> records) {
    std::sort(records.begin(), records.end());
    return records;
}

bool sameCode(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// find's lines: record number, then code, vendor and address.
QList<QPair<int, Rec>> found(const QString& path, const QStringList& conditions) {
    const ProcessResult r = db(QStringList{"find", path, "oui"} + conditions);
    if (r.status != 0)
        qFatal("find failed: %s", r.err.constData());
    const QList<CsvRecord> lines = parseCsv(r.out);
    QList<QPair<int, Rec>> out;
    int codeAt = 0;
    for (qsizetype i = 0; i < lines.front().size(); ++i)
        if (lines.front()[i].text == "Code")
            codeAt = int(i);
    for (qsizetype i = 1; i < lines.size(); ++i)
        out.append({lines[i][0].text.toInt(), {lines[i][codeAt].text, lines[i][codeAt + 1].text, lines[i][codeAt + 2].text}});
    return out;
}

} // namespace

class KeyedTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString plain_, indexed_;
    std::vector<Rec> model_;

    // Runs one command on both files (the indexed one's answered through
    // its index); both must answer alike, else the status is -2.
    ProcessResult both(const QStringList& arguments) {
        ProcessResult first;
        for (const QString& file : {plain_, indexed_}) {
            QStringList a = arguments;
            a.insert(1, file);
            const ProcessResult r = db(a);
            if (file == plain_) {
                first = r;
                continue;
            }
            const QByteArray err = QByteArray(r.err).replace(indexed_.toUtf8(), plain_.toUtf8());
            if (r.status != first.status || err != first.err || (arguments[0] != "add" && r.out != first.out)) {
                qWarning("the files answered %s differently: %s / %s", qPrintable(arguments.join(' ')), first.err.constData(),
                         r.err.constData());
                first.status = -2;
            }
        }
        return first;
    }

    // Both files hold the model's records, and find through the index (or
    // the scan) lists for `code` what the whole table lists for it.
    void compareWithModel(const QString& code) {
        QCOMPARE(contentOf(plain_), sorted(model_));
        QCOMPARE(contentOf(indexed_), sorted(model_));
        for (const QString& file : {plain_, indexed_}) {
            QList<QPair<int, Rec>> expected;
            for (const auto& line : found(file, {}))
                if (sameCode(line.second[0], code))
                    expected.append(line);
            QCOMPARE(found(file, {"--where", "Code=" + code.toLower()}), expected);
        }
    }

    int modelCount(const QString& code) const {
        return int(std::count_if(model_.begin(), model_.end(), [&](const Rec& r) { return sameCode(r[0], code); }));
    }

private slots:
    void init() {
        dir_ = scratchDir();
        plain_ = dir_->filePath("plain.mdb");
        indexed_ = dir_->filePath("indexed.mdb");
        model_ = startingRecords();
        makeFiles(plain_, indexed_, model_);
    }

    // The indexed table answers through its index, the other by a scan,
    // and both give the records a scan finds.
    void indexIsUsedWhereThereIsOne() {
        for (const QString& file : {plain_, indexed_}) {
            records::RecordCursor set(QFile::encodeName(file).toStdString(), "oui");
            const std::size_t code = set.column(u"Code"), vendor = set.column(u"Vendor");
            for (const QString& value : {model_[10][0], model_[321][0].toUpper(), model_[99][0], QString("FF-FF-FF")}) {
                bool throughIndex = false;
                const auto at = set.positionsWhere({{code, value.toStdU16String()}}, &throughIndex);
                QCOMPARE(throughIndex, file == indexed_);
                std::vector<std::int32_t> scanned;
                for (std::int32_t i = 0; i < set.RecordCount(); ++i)
                    if (sameCode(QString::fromStdU16String(*set.valueAt(i, code)), value))
                        scanned.push_back(i);
                QCOMPARE(at, scanned);
                QCOMPARE(int(at.size()), modelCount(value));
            }
            // Code and Vendor: through the index on Code, then each checked.
            bool throughIndex = false;
            QCOMPARE(set.positionsWhere({{code, model_[99][0].toStdU16String()}, {vendor, model_[499][1].toStdU16String()}},
                                        &throughIndex).size(), 1u);
            QCOMPARE(throughIndex, file == indexed_);
            QVERIFY(set.positionsWhere({{vendor, model_[5][1].toStdU16String()}}, &throughIndex).size() == 1 && !throughIndex);
        }
    }

    // A run of keyed changes on both files, each checked against the model.
    void keyedChangesFollowTheModel() {
        const QString unique = model_[10][0], lower = model_[321][0], twice = model_[99][0];
        QCOMPARE(modelCount(twice), 2);
        // One record each; a long address makes its record move.
        QCOMPARE(both({"update", "oui", "--where", "Code=" + unique, "Vendor=Renamed, Ltd"}).status, 0);
        model_[10][1] = "Renamed, Ltd";
        compareWithModel(unique);
        const QString longAddress = QString("Far Away Road 1\r\n").repeated(80);
        QCOMPARE(both({"update", "oui", "--where=Code=" + lower.toUpper(), "Address=" + longAddress}).status, 0);
        model_[321][2] = longAddress;
        compareWithModel(lower);
        // Records grown past their page's room move; their index entries
        // still lead to them.
        for (int i = 30; i < 42; ++i) {
            const QString vendor = QString("Grown %1 ").arg(i).leftJustified(250, QChar(u'ß'));
            QCOMPARE(both({"update", "oui", "--where", "Code=" + model_[i][0], "Vendor=" + vendor}).status, 0);
            model_[i][1] = vendor;
            compareWithModel(model_[i][0]);
        }
        {
            jet::Database database(QFile::encodeName(indexed_).toStdString());
            const auto table = database.openTable("oui");
            int moved = 0;
            for (std::size_t i = 0; i < table->rowCount(); ++i)
                moved += table->place(i).moved();
            QVERIFY(moved > 0);
        }
        // Changed again where they moved to, found through their first place.
        for (int i = 30; i < 42; ++i) {
            QCOMPARE(both({"update", "oui", "--where", "Code=" + model_[i][0], "Address=Moved " + QString::number(i)}).status, 0);
            model_[i][2] = "Moved " + QString::number(i);
            compareWithModel(model_[i][0]);
        }
        // Two match: nothing changes without --all; with it, both.
        const QByteArray before = bytesOf(indexed_);
        ProcessResult r = both({"update", "oui", "--where", "Code=" + twice, "Vendor=x"});
        QVERIFY2(r.status == 1 && r.err == "zorvane-db: " + plain_.toUtf8() + ": 2 records of table oui where Code=" +
                                               twice.toUtf8() + " match, so nothing was changed (--all changes every one).\n",
                 r.err.constData());
        QCOMPARE(bytesOf(indexed_), before);
        QCOMPARE(both({"update", "oui", "--all", "--where", "Code=" + twice, "Vendor=Both of them"}).status, 0);
        model_[99][1] = model_[499][1] = "Both of them";
        compareWithModel(twice);
        // The key itself changed: the index follows.
        QCOMPARE(both({"update", "oui", "--where", "Code=" + model_[20][0], "Code=0A-0A-0A"}).status, 0);
        const QString old = model_[20][0];
        model_[20][0] = "0A-0A-0A";
        compareWithModel(old);
        compareWithModel("0A-0A-0A");
        // Two conditions choose one of the two; then none is left to delete.
        QCOMPARE(both({"delete", "oui", "--where", "Code=" + twice, "--where", "Vendor=both of them"}).status, 1);
        QCOMPARE(both({"update", "oui", "--where", "Code=" + twice, "--where", "Address=" + model_[99][2], "Vendor=Kept"}).status, 0);
        model_[99][1] = "Kept";
        QCOMPARE(both({"delete", "oui", "--where", "Code=" + twice, "--where", "Vendor=KEPT"}).status, 0);
        model_.erase(model_.begin() + 99);
        compareWithModel(twice);
        r = both({"delete", "oui", "--where", "Code=FF-FF-FF"});
        QVERIFY2(r.status == 1 && r.err.endsWith(": no record of table oui where Code=FF-FF-FF, so nothing was changed.\n"),
                 r.err.constData());
        // Added: the number printed is the record's; a held code refused.
        r = both({"add", "oui", "Code=0a:0b:0c", "Vendor=Added One"});
        QCOMPARE(r.status, 0);
        model_.push_back({"0A-0B-0C", "Added One", ""});
        for (const QString& file : {plain_, indexed_}) {
            const auto line = found(file, {"--where", "Code=0A-0B-0C"});
            QCOMPARE(line.size(), 1);
            if (file == plain_)
                QCOMPARE(r.out, QByteArray::number(line.front().first) + "\n");
        }
        r = both({"add", "oui", "Code=0A0b0c", "Vendor=Again"});
        QVERIFY2(r.status == 1 && r.err.contains(": table oui already holds code 0A-0B-0C (record ") &&
                     r.err.endsWith("so nothing was added (--allow-duplicate adds it all the same).\n"), r.err.constData());
        QCOMPARE(both({"add", "oui", "--allow-duplicate", "Code=0a-0b-0c", "Vendor=Again"}).status, 0);
        model_.push_back({"0A-0B-0C", "Again", ""});
        compareWithModel("0A-0B-0C");
        // --all deletes every match in one command.
        QCOMPARE(both({"delete", "oui", "--where", "Code=0A-0B-0C", "--all"}).status, 0);
        std::erase_if(model_, [](const Rec& rec) { return rec[0] == "0A-0B-0C"; });
        compareWithModel("0A-0B-0C");

        // Random single-record changes by code, checked as they go.
        QRandomGenerator random(23);
        for (int step = 0; step < 24; ++step) {
            const std::size_t at = random.bounded(quint32(model_.size()));
            const QString code = model_[at][0];
            const int matches = modelCount(code);
            const bool remove = step % 3 == 2;
            const QString vendor = QString("Step %1").arg(step), address = QString("Step %1\r\nLine").arg(step).repeated(step % 5 + 1);
            QStringList command{remove ? "delete" : "update", "oui", "--where", "Code=" + code};
            if (matches > 1)
                command << "--all";
            if (!remove)
                command << "Vendor=" + vendor << "Address=" + address;
            QCOMPARE(both(command).status, 0);
            if (remove)
                std::erase_if(model_, [&](const Rec& rec) { return sameCode(rec[0], code); });
            else
                for (Rec& rec : model_)
                    if (sameCode(rec[0], code))
                        rec = {rec[0], vendor, address};
            compareWithModel(code);
        }
        // Sound files, read alike by mdbtools and mdb-reader.
        for (const QString& file : {plain_, indexed_}) {
            const ProcessResult check = db({"check", file});
            QVERIFY2(check.status == 0, check.out.constData());
            const Table ours = readRecordSet(file, "oui");
            QCOMPARE(emptyAsNull(readMdbExport(file, "oui").rows), emptyAsNull(ours.rows));
            if (haveMdbReader())
                QCOMPARE(readMdbReader(file, "oui").rows, ours.rows);
        }
    }

    // Every refusal is one line naming the file, and changes nothing.
    void refusalsSayWhy() {
        const QByteArray before = bytesOf(plain_), file = plain_.toUtf8();
        const std::pair<QStringList, QByteArray> refused[] = {
            {{"update", plain_, "oui", "1500", "Vendor=x"}, file + ": table oui has 1,500 records (0 to 1,499), so there is no record 1,500.\n"},
            {{"delete", plain_, "oui", "123456"}, file + ": table oui has 1,500 records (0 to 1,499), so there is no record 123,456.\n"},
            {{"update", plain_, "oui", "3", "Vendor=A", "vendor=B"}, file + ": field \"Vendor\" is given twice (Vendor=A, vendor=B).\n"},
            {{"update", plain_, "oui", "--where", "Code=1", "--where", "CODE=2", "Vendor=A"}, file + ": field \"Code\" is given twice (Code=1, CODE=2).\n"},
            {{"add", plain_, "oui", "Code=0C-0C-0C", "Vendor=A", "Vendor=B"}, file + ": field \"Vendor\" is given twice (Vendor=A, Vendor=B).\n"},
            {{"update", plain_, "oui", "--where", "Cod=1", "Vendor=A"},
             file + ": table \"oui\" has no field \"Cod\" (its fields: Code, Vendor, Address, Address1, address2, address3, address4, address5).\n"},
            {{"find", plain_, "oui", "--like", "Vendr=x*"},
             file + ": table \"oui\" has no field \"Vendr\" (its fields: Code, Vendor, Address, Address1, address2, address3, address4, address5).\n"},
        };
        for (const auto& [arguments, message] : refused) {
            const ProcessResult r = db(arguments);
            QCOMPARE(r.status, 1);
            QCOMPARE(r.err, "zorvane-db: " + message);
        }
        // export's formats: a vendor file only from table oui, the IEEE text
        // only into a folder.
        const std::pair<QStringList, QByteArray> exports[] = {
            {{"export", plain_, "oui", "--format", "csv2"}, "there is no format \"csv2\""},
            {{"export", plain_, "oui", "--format", "ieee"}, "--format ieee writes four files: it needs --to DIR"},
            {{"export", plain_, "oui", "--format", "ieee", "--to", dir_->path() + "/none"}, ": no such folder."},
            {{"export", plain_, "oui", "--to", dir_->path()}, "--to goes with --format ieee"},
        };
        for (const auto& [arguments, message] : exports) {
            const ProcessResult r = db(arguments);
            QVERIFY2(r.status == 1 && r.err.contains(message) && r.err.count('\n') == 1, r.err.constData());
        }
        // Codes: only vendor codes, in any notation, stored in the table's form.
        for (const QString& code : QStringList{"zz", "00-1A", "00:1a:2b:3c:4d:5e", "00-1A-2B-3C", "001a.2b3f", "00:1a-2b", "00-1A-2B-3C-4D",
                                    "0g-1a-2b", ""}) {
            const ProcessResult r = db({"add", plain_, "oui", "Code=" + code, "Vendor=x"});
            QVERIFY2(r.status == 1 && r.err == "zorvane-db: " + file + ": \"" + code.toUtf8() +
                                                  "\" is not a vendor code (6, 7 or 9 hex digits, as in 00-1A-2B, "
                                                  "20-85-93-B or 70-B3-D5-F2-F).\n",
                     r.err.constData());
        }
        QCOMPARE(bytesOf(plain_), before);
        const QList<QPair<QString, QString>> notations = {
            {"c0:1a:2b", "C0-1A-2B"}, {"0:1a:2c", "00-1A-2C"}, {"C01A2D", "C0-1A-2D"}, {"c01a2e0", "C0-1A-2E-0"},
            {"70b3.d5f2.f", "70-B3-D5-F2-F"}, {"70-b3-d5-f", "70-B3-D5-F"}, {"70:B3:D5:F3:A", "70-B3-D5-F3-A"}};
        for (const auto& [given, stored] : notations) {
            const ProcessResult r = db({"add", plain_, "oui", "code=" + given, "Vendor=Noted"});
            QCOMPARE(r.status, 0);
            const auto line = found(plain_, {"--where", "Code=" + stored});
            QVERIFY2(line.size() == 1 && line.front().second[0] == stored && r.out == QByteArray::number(line.front().first) + "\n",
                     qPrintable(given));
        }
        // update takes any text for Code, as the lookup window's Update does.
        QCOMPARE(db({"update", plain_, "oui", "0", "Code=anything"}).status, 0);
        QCOMPARE(found(plain_, {"--where", "Code=ANYTHING"}).size(), 1);
    }

    // find --like: '*' any run, '?' one character, letter case aside.
    void findLike() {
        const auto vendors = [&](const QStringList& conditions) {
            QStringList out;
            for (const auto& line : found(plain_, conditions))
                out << line.second[1];
            return out;
        };
        QStringList systems;
        for (const Rec& r : model_)
            if (r[1].startsWith("SYSTEMS AND SYSTEMS CO 1") && r[1].size() == 26)
                systems << r[1];
        QCOMPARE(vendors({"--like", "Vendor=systems*co 1??"}), systems);
        QCOMPARE(vendors({"--like", "Vendor=*ller pr?zision*", "--like", "Code=*0"}).size(),
                 qsizetype(std::count_if(model_.begin(), model_.end(),
                                         [](const Rec& r) { return r[1].startsWith("Müller") && r[0].endsWith('0'); })));
        QCOMPARE(vendors({"--where", "Code=" + model_[7][0], "--like", "Vendor=*"}), QStringList{model_[7][1]});
        QCOMPARE(vendors({"--where", "Code=" + model_[7][0], "--like", "Vendor=x*"}), QStringList());
    }

    // search: what the lookup window's search terms match, in table order.
    void searchMatchesTheWindow() {
        const Table t = readRecordSet(plain_, "oui");
        for (const QString& by : QStringList{"vendor", "code"}) {
            const QStringList terms = by == "vendor" ? QStringList{"systems", "*SYSTEMS*", "*inc", "abc*", "*", "müller", "Ä", "Systems Inc 1"}
                                                     : QStringList{"10-0", "*0", "10-01*", "*-0*", "0a-"};
            for (const QString& term : terms) {
                lookup::SearchTerm searchTerm(term);
                QByteArray expected = "code,vendor,address\r\n";
                int matches = 0;
                for (const Row& row : t.rows) {
                    qint32 intPos = 0;
                    if (!searchTerm.matches(row[by == "vendor" ? 1 : 0], intPos))
                        continue;
                    ++matches;
                    QString line;
                    for (int c = 0; c < 3; ++c) {
                        const QString v = row[c].value_or("");
                        line += (c ? "," : "") + (v.isEmpty() || v.contains(QRegularExpression("[,\"\r\n]"))
                                                      ? "\"" + QString(v).replace("\"", "\"\"") + "\"" : v);
                    }
                    expected += line.toUtf8() + "\r\n";
                }
                const ProcessResult r = db({"search", plain_, "--" + by, term});
                QCOMPARE(r.status, 0);
                QCOMPARE(r.out, expected);
                const ProcessResult json = db({"search", plain_, "--" + by + "=" + term, "--json"});
                const QList<QByteArray> lines = json.out.split('\n');
                QCOMPARE(lines.size() - 1, matches);
                if (matches)
                    QCOMPARE(QJsonDocument::fromJson(lines[0]).object().keys(), (QStringList{"address", "code", "vendor"}));
            }
        }
        for (const QStringList& wrong : {QStringList{"search", plain_}, {"search", plain_, "--code", "a", "--vendor", "b"}, {"search", plain_, "--code", ""}}) {
            const ProcessResult r = db(wrong);
            QVERIFY2(r.status == 1 && r.err.startsWith("zorvane-db: ") && r.err.count('\n') == 1, r.err.constData());
        }
    }
};

QTEST_GUILESS_MAIN(KeyedTest)
#include "tst_keyed.moc"
