// Seeded random adds, updates (rows growing past their page and shrinking,
// memos up to several pages) and deletes through one record set, on a vendor
// database and on the sample tables, against an in-memory model: after every
// batch the record set, mdb-export and mdb-reader read exactly the model's
// records in its order, and the structure check finds nothing. Order: an
// added record goes last, and so does an update the set reports moved
// (AbsolutePosition after Update). ZORVANE_EDIT_SEED overrides the seed.
#include "tests/edit/EditTestSupport.h"
#include "tests/support/SampleDatabases.h"

#include "records/jet/Database.h"
#include "records/jet/Format.h"
#include "records/jet/Row.h"

using namespace zorvane;
using namespace zorvane::test;
namespace fmt = zorvane::jet::format;

namespace {

struct Column {
    bool writable = false;  // text or memo
    bool memo = false;
    int maxChars = 0;
    bool boolean = false;   // false, never null, in an added record
};

struct ModelRecord {
    int origin = -1;  // its row in the first reading, for the fields never written
    Row values;
};

// Plain ASCII; now and then Latin-1 letters (one byte each when stored) and
// characters of two bytes, one with a zero low byte; in memos line breaks.
QString randomText(std::mt19937& rng, int maxChars, bool memo) {
    std::uniform_int_distribution<int> percent(0, 99);
    const int bucket = percent(rng);
    const int top = memo ? (bucket < 45 ? 200 : bucket < 85 ? 1500 : bucket < 95 ? 5000 : 12000)
                         : std::min(bucket < 30 ? 10 : bucket < 70 ? 60 : maxChars, maxChars);
    const int length = std::uniform_int_distribution<int>(0, top)(rng);
    static const QString plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,.;:'\"-/()&";
    static const QString wide = QString::fromUtf8("ÄÖÜéßñ") + QChar(0x0100) + QString::fromUtf8("ΩЖ漢字ŁĀ");
    const bool unusual = percent(rng) < 15;
    QString out;
    for (int i = 0; i < length; ++i) {
        if (memo && percent(rng) < 2)
            out += percent(rng) < 50 ? "\n" : "\r\n";
        else if (unusual && percent(rng) < 20)
            out += wide[std::uniform_int_distribution<qsizetype>(0, wide.size() - 1)(rng)];
        else
            out += plain[std::uniform_int_distribution<qsizetype>(0, plain.size() - 1)(rng)];
    }
    return memo ? out : out.left(maxChars);
}

class Run {
public:
    Run(QString path, QString table, quint32 seed, bool vendorTable)
        : path_(std::move(path)), table_(std::move(table)), rng_(seed), vendor_(vendorTable) {}

    // Runs `operations` random edits, checking every `batch` of them.
    void go(int operations, int batch) {
        for (const jet::Column& c : jet::Database(QFile::encodeName(path_).toStdString())
                                        .openTable(table_.toStdString())->def().columns)
            columns_.append({c.type == fmt::TypeText || c.type == fmt::TypeMemo, c.type == fmt::TypeMemo,
                             c.length / 2, c.type == fmt::TypeBoolean});
        first_[0] = readRecordSet(path_, table_);
        first_[1] = readMdbExport(path_, table_);
        first_[2] = readMdbReader(path_, table_);
        for (const Table& t : first_) {
            QCOMPARE(t.columns, first_[0].columns);
            QCOMPARE(t.rows.size(), first_[0].rows.size());
        }
        for (qsizetype i = 0; i < first_[0].rows.size(); ++i) {
            model_.append({int(i), first_[0].rows[i]});
            for (int c = 0; c < columns_.size(); ++c)
                if (columns_[c].boolean && first_[0].rows[i][c] == "False")
                    for (int reader = 0; reader < 3; ++reader)
                        falseText_[reader][c] = first_[reader].rows[i][c];
        }

        set_ = std::make_unique<records::RecordSet>(path_, table_);
        std::uniform_int_distribution<int> percent(0, 99);
        for (step_ = 0; step_ < operations && !QTest::currentTestFailed(); ++step_) {
            if (step_ > 0 && step_ % batch == 0) {
                verify();
                if ((step_ / batch) % 2 == 0)  // as a new run of the program would
                    set_ = std::make_unique<records::RecordSet>(path_, table_);
            }
            const int kind = model_.isEmpty() ? 0 : percent(rng_);
            kind < 35 ? add() : kind < 82 ? update() : remove();
            QVERIFY2(set_->RecordCount() == model_.size(), qPrintable(where()));
        }
        set_.reset();
        if (!QTest::currentTestFailed())
            verify();
    }

    int moved = 0, inPlace = 0;

private:
    QString where() const {
        return QString("%1, table %2, step %3").arg(QFileInfo(path_).fileName(), table_).arg(step_);
    }

    // Assigns new texts to some fields (Code, Vendor and Address mostly, the
    // way the lookup window writes them, filled).
    void assignNewValues(ModelRecord& record, bool adding) {
        std::uniform_int_distribution<int> percent(0, 99);
        bool any = false;
        for (int c = 0; c < columns_.size(); ++c) {
            if (!columns_[c].writable)
                continue;
            const bool take = vendor_ ? (c < 3 ? adding || percent(rng_) < 70 : percent(rng_) < 10)
                                      : percent(rng_) < 50 || (!any && !adding && c + 1 == columns_.size());
            if (!take)
                continue;
            QString text = randomText(rng_, columns_[c].maxChars, columns_[c].memo);
            if (vendor_ && c < 3 && text.isEmpty())
                text = "x";
            set_->Fields(first_[0].columns[c]).setValue(text);
            record.values[c] = text;
            any = true;
        }
    }

    void add() {
        ModelRecord record{-1, Row(columns_.size())};
        set_->AddNew();
        assignNewValues(record, true);
        set_->Update();
        set_->Requery();
        model_.append(record);
        QVERIFY2(set_->AbsolutePosition() == 0, qPrintable(where()));
    }

    void update() {
        const int n = std::uniform_int_distribution<int>(0, int(model_.size()) - 1)(rng_);
        set_->MoveFirst();
        set_->Move(n);
        set_->Edit();
        assignNewValues(model_[n], false);
        set_->Update();
        const int now = set_->AbsolutePosition();
        if (now == n) {
            ++inPlace;
            return;
        }
        // Moved: to the end of the set, and nowhere else.
        QVERIFY2(now == model_.size() - 1, qPrintable(where() + QString(": record %1 is now at %2").arg(n).arg(now)));
        model_.move(n, model_.size() - 1);
        ++moved;
    }

    void remove() {
        const int n = std::uniform_int_distribution<int>(0, int(model_.size()) - 1)(rng_);
        set_->MoveFirst();
        set_->Move(n);
        set_->Delete();
        set_->Requery();
        model_.removeAt(n);
        QVERIFY2(set_->AbsolutePosition() == (model_.isEmpty() ? -1 : 0), qPrintable(where()));
    }

    // The model's rows as reader `reader` (0 record set, 1 mdb-export, 2 mdb-reader) reads them.
    QList<Row> expected(int reader) const {
        QList<Row> rows;
        for (const ModelRecord& r : model_) {
            Row row;
            for (int c = 0; c < columns_.size(); ++c)
                row.append(columns_[c].writable ? r.values[c]
                           : r.origin >= 0      ? first_[reader].rows[r.origin][c]
                           : columns_[c].boolean ? falseText_[reader].value(c)
                                                : Value());
            rows.append(row);
        }
        return reader == 1 ? emptyAsNull(rows) : rows;
    }

    void verify() {
        const char* names[] = {"the record set", "mdb-export", "mdb-reader"};
        const Table now[] = {readRecordSet(path_, table_), readMdbExport(path_, table_), readMdbReader(path_, table_)};
        for (int reader = 0; reader < 3; ++reader) {
            const QString difference = firstDifference(expected(reader), now[reader].rows);
            QVERIFY2(difference.isEmpty(), qPrintable(where() + ": " + names[reader] + " reads " + difference));
        }
        const QStringList problems = checkProblems(path_);
        QVERIFY2(problems.isEmpty(), qPrintable(where() + ": " + problems.join("\n")));
    }

    QString path_, table_;
    std::mt19937 rng_;
    bool vendor_;
    QList<Column> columns_;
    Table first_[3];
    QHash<int, Value> falseText_[3];  // how each reader reads False, by Boolean column
    QList<ModelRecord> model_;
    std::unique_ptr<records::RecordSet> set_;
    int step_ = 0;
};

quint32 seed() {
    bool ok = false;
    const quint32 s = qEnvironmentVariable("ZORVANE_EDIT_SEED").toUInt(&ok);
    return ok ? s : 20261206u;
}

} // namespace

class EditRandomTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(haveMdbReader(), "mdb-reader is not installed in <build>/npm");
        qInfo("seed %u", seed());
    }

    void vendorDatabase() {
        const auto dir = scratchDir();
        const QString path = vendorFile(dir->path(), 3000, seed());
        Run run(path, "oui", seed(), true);
        run.go(2000, 250);
        if (QTest::currentTestFailed())
            return;
        // Both ways of keeping an update were taken, and memo values live in
        // the row, on a long-value page and across several.
        int single = 0, chained = 0;
        jet::Database db(QFile::encodeName(path).toStdString());
        auto table = db.openTable("oui");
        for (std::size_t r = 0; r < table->rowCount(); ++r) {
            const jet::ColumnBytes b = table->bytes(r, 2);
            const std::uint32_t head = b.hasValue ? fmt::le32(b.data) : fmt::LongValueInline;
            single += (head & fmt::LongValueSinglePage) != 0;
            chained += (head & (fmt::LongValueSinglePage | fmt::LongValueInline)) == 0;
        }
        const QString counts = QString("updates in place %1, moved %2; memo values on one long-value page %3, "
                                       "over several %4").arg(run.inPlace).arg(run.moved).arg(single).arg(chained);
        qInfo("%s", qPrintable(counts));
        QVERIFY2(run.moved > 10 && run.inPlace > 100 && single > 10 && chained > 2, qPrintable(counts));
    }

    // The sample tables: fields of every type (only text and memo are
    // written, the others must stay as they were), an empty table, and one
    // whose rows were deleted and moved before.
    void sampleTables_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("edited");
        QTest::newRow("Table1") << "Table1" << false;
        QTest::newRow("Table3") << "Table3" << false;
        QTest::newRow("Many after edits") << "Many" << true;
    }

    void sampleTables() {
        QFETCH(QString, table);
        QFETCH(bool, edited);
        const auto dir = scratchDir();
        const QString path = samples::writeSamples(dir->path());
        if (edited)
            samples::editMany(path);
        Run(path, table, seed() + QTest::currentDataTag()[0], false).go(400, 100);
    }
};

QTEST_GUILESS_MAIN(EditRandomTest)
#include "tst_edit_random.moc"
