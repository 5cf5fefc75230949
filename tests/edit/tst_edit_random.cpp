// Seeded random editing: thousands of adds, updates (rows growing past the
// room on their page and shrinking again, memo values from a few characters to
// several pages) and deletes through one record set, on a copy of a vendor
// database of a few thousand records and on copies of the fixture tables that
// have no indexes. A simple in-memory model holds what the table must hold;
// after every batch the record set, mdb-export and mdb-reader each read
// exactly the model's records in the model's order, and the structure check
// finds nothing.
//
// The model's one rule about order: an added record goes to the end, and so
// does an updated record that the set reports moved (the cursor stays on the
// record, so AbsolutePosition after Update says where it went).
//
// ZORVANE_EDIT_SEED overrides the seed.
#include "tests/edit/EditTestSupport.h"

#include "records/jet/Database.h"
#include "records/jet/Format.h"
#include "records/jet/Row.h"

using namespace zorvane;
using namespace zorvane::test;
namespace fmt = zorvane::jet::format;

namespace {

struct ColumnKind {
    bool writable = false;  // text or memo
    bool memo = false;
    int maxChars = 0;
};

struct ModelRecord {
    int origin = -1;  // its row in the first reading, for fields the test never writes
    Row values;       // written fields (the others: from the first reading, or null)
};

QString randomText(std::mt19937& rng, int maxChars, bool memo) {
    std::uniform_int_distribution<int> percent(0, 99);
    int length = 0;
    const int bucket = percent(rng);
    if (memo) {
        const int top = bucket < 45   ? 200
                        : bucket < 85 ? 1500
                        : bucket < 95 ? 5000
                                      : 12000;
        length = std::uniform_int_distribution<int>(0, top)(rng);
    } else {
        const int top = bucket < 30 ? std::min(10, maxChars)
                        : bucket < 70 ? std::min(60, maxChars)
                                      : maxChars;
        length = std::uniform_int_distribution<int>(0, top)(rng);
    }
    static const QString plain =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,.;:'\"-/()&";
    // Latin-1 letters (stored one byte each), and characters that need two
    // bytes, one of them with a zero low byte.
    static const QString wide = QString::fromUtf8("ÄÖÜéßñ") + QChar(0x0100) +
                                QString::fromUtf8("ΩЖ漢字ŁĀ");
    const bool unusual = percent(rng) < 15;
    QString out;
    out.reserve(length);
    std::uniform_int_distribution<qsizetype> pickPlain(0, plain.size() - 1), pickWide(0, wide.size() - 1);
    for (int i = 0; i < length; ++i) {
        if (memo && percent(rng) < 2)
            out += percent(rng) < 50 ? QStringLiteral("\n") : QStringLiteral("\r\n");
        else if (unusual && percent(rng) < 20)
            out += wide[pickWide(rng)];
        else
            out += plain[pickPlain(rng)];
    }
    return out.left(memo ? out.size() : maxChars);
}

class Run {
public:
    Run(QString path, QString table, quint32 seed, bool vendorTable)
        : path_(std::move(path)), table_(std::move(table)), rng_(seed), vendor_(vendorTable) {}

    // Runs `operations` random edits, checking every `batch` of them.
    void go(int operations, int batch) {
        {
            jet::Database db(QFile::encodeName(path_).toStdString());
            for (const jet::Column& c : db.openTable(table_.toStdString())->def().columns) {
                ColumnKind k;
                k.writable = c.type == fmt::TypeText || c.type == fmt::TypeMemo;
                k.memo = c.type == fmt::TypeMemo;
                k.maxChars = c.length / 2;
                kinds_.append(k);
            }
        }
        first_[0] = readOurs(path_, table_);
        first_[1] = readMdbExport(path_, table_);
        first_[2] = readMdbReader(path_, table_);
        for (const Snapshot& s : first_) {
            QCOMPARE(s.columns, first_[0].columns);
            QCOMPARE(s.rows.size(), first_[0].rows.size());
        }
        for (qsizetype i = 0; i < first_[0].rows.size(); ++i)
            model_.append({int(i), first_[0].rows[i]});

        set_ = std::make_unique<records::RecordSet>(path_, table_);
        for (step_ = 0; step_ < operations; ++step_) {
            if (step_ > 0 && step_ % batch == 0) {
                verify();
                if (QTest::currentTestFailed())
                    return;
                if ((step_ / batch) % 2 == 0)  // as a new run of the program would
                    set_ = std::make_unique<records::RecordSet>(path_, table_);
            }
            std::uniform_int_distribution<int> percent(0, 99);
            const int kind = model_.isEmpty() ? 0 : percent(rng_);
            if (kind < 35)
                add();
            else if (kind < 82)
                update();
            else
                remove();
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(set_->RecordCount() == model_.size(), qPrintable(where()));
        }
        set_.reset();
        verify();
    }

    int moved() const { return moved_; }
    int inPlace() const { return inPlace_; }

private:
    QString where() const {
        return QString("%1, table %2, seed step %3").arg(QFileInfo(path_).fileName(), table_).arg(step_);
    }

    // The fields an add or update writes, with new texts.
    QList<std::pair<int, QString>> newValues(bool adding) {
        std::uniform_int_distribution<int> percent(0, 99);
        QList<std::pair<int, QString>> out;
        for (int c = 0; c < kinds_.size(); ++c) {
            const ColumnKind& k = kinds_[c];
            if (!k.writable)
                continue;
            bool take;
            if (vendor_)  // Code, Vendor, Address as the lookup window writes them
                take = c < 3 ? (adding || percent(rng_) < 70) : percent(rng_) < 10;
            else
                take = percent(rng_) < 50;
            if (take) {
                QString text = randomText(rng_, k.maxChars, k.memo);
                if (vendor_ && c < 3 && text.isEmpty())
                    text = "x";  // the window writes only filled boxes
                out.append({c, text});
            }
        }
        if (out.isEmpty() && !adding) {
            for (int c = 0; c < kinds_.size(); ++c) {
                if (kinds_[c].writable) {
                    out.append({c, randomText(rng_, kinds_[c].maxChars, kinds_[c].memo)});
                    break;
                }
            }
        }
        return out;
    }

    void assign(const QList<std::pair<int, QString>>& values, ModelRecord& record) {
        for (const auto& [c, text] : values) {
            set_->Fields(first_[0].columns[c]).setValue(text);
            record.values[c] = text;
        }
    }

    void add() {
        ModelRecord record;
        for (int c = 0; c < kinds_.size(); ++c)
            record.values.append(Value());
        set_->AddNew();
        assign(newValues(true), record);
        set_->Update();
        set_->Requery();
        model_.append(record);
        QVERIFY2(set_->AbsolutePosition() == 0, qPrintable(where()));
    }

    void update() {
        const int n = std::uniform_int_distribution<int>(0, int(model_.size()) - 1)(rng_);
        set_->MoveFirst();
        set_->Move(n);
        QVERIFY2(set_->AbsolutePosition() == n, qPrintable(where()));
        set_->Edit();
        ModelRecord& record = model_[n];
        assign(newValues(false), record);
        set_->Update();
        const int now = set_->AbsolutePosition();
        if (now == n) {
            ++inPlace_;
            return;
        }
        // Moved: to the end of the set, and nowhere else.
        QVERIFY2(now == model_.size() - 1,
                 qPrintable(where() + QString(": record %1 is now at %2").arg(n).arg(now)));
        model_.move(n, model_.size() - 1);
        ++moved_;
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

    QList<Row> expected(int reader) const {
        QList<Row> rows;
        for (const ModelRecord& r : model_) {
            Row row;
            for (int c = 0; c < kinds_.size(); ++c) {
                // mdb-export writes the empty text as it writes a null.
                if (kinds_[c].writable && reader == 1 && r.values[c] && r.values[c]->isEmpty())
                    row.append(Value());
                else if (kinds_[c].writable)
                    row.append(r.values[c]);
                else
                    row.append(r.origin >= 0 ? first_[reader].rows[r.origin][c] : Value());
            }
            rows.append(row);
        }
        return rows;
    }

    void verify() {
        const char* names[] = {"the record set", "mdb-export", "mdb-reader"};
        const Snapshot now[] = {readOurs(path_, table_), readMdbExport(path_, table_),
                                readMdbReader(path_, table_)};
        for (int reader = 0; reader < 3; ++reader) {
            const QString difference = firstDifference(expected(reader), now[reader].rows);
            QVERIFY2(difference.isEmpty(),
                     qPrintable(where() + ": " + names[reader] + " reads " + difference));
        }
        const QStringList problems = checkProblems(path_);
        QVERIFY2(problems.isEmpty(), qPrintable(where() + ": " + problems.join("\n")));
    }

    QString path_;
    QString table_;
    std::mt19937 rng_;
    bool vendor_;
    QList<ColumnKind> kinds_;
    Snapshot first_[3];
    QList<ModelRecord> model_;
    std::unique_ptr<records::RecordSet> set_;
    int step_ = 0;
    int moved_ = 0;
    int inPlace_ = 0;
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
        std::mt19937 rng(seed());
        const QString path = QDir(dir->path()).filePath("oui.mdb");
        records::createVendorDatabase(path, makeVendors(3000, rng));
        Run run(path, "oui", seed(), true);
        run.go(2000, 250);
        if (QTest::currentTestFailed())
            return;
        // Both ways of keeping an update were taken, and memo values live in
        // the row, on a long-value page and across several.
        QVERIFY2(run.moved() > 10 && run.inPlace() > 100,
                 qPrintable(QString("moved %1, in place %2").arg(run.moved()).arg(run.inPlace())));
        int single = 0, chained = 0;
        jet::Database db(QFile::encodeName(path).toStdString());
        auto table = db.openTable("oui");
        for (std::size_t r = 0; r < table->rowCount(); ++r) {
            const jet::ColumnBytes b = table->bytes(r, 2);
            if (!b.hasValue)
                continue;
            const std::uint32_t head = fmt::le32(b.data);
            if (head & fmt::LongValueSinglePage)
                ++single;
            else if (!(head & fmt::LongValueInline))
                ++chained;
        }
        qInfo("updates in place %d, moved %d; memo values on one long-value page %d, over several %d",
              run.inPlace(), run.moved(), single, chained);
        QVERIFY2(single > 10 && chained > 2,
                 qPrintable(QString("single %1, chained %2").arg(single).arg(chained)));
    }

    // The fixture tables without indexes, Access-made moved rows included
    // (overflowTestV2000's Table1 has two).
    void fixtureTables_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<quint32>("seedOffset");
        QTest::newRow("delTestV2000 Table") << "delTestV2000.mdb" << "Table" << 1u;
        QTest::newRow("fixedNumericTestV2000 test") << "fixedNumericTestV2000.mdb" << "test" << 2u;
        QTest::newRow("overflowTestV2000 Table1") << "overflowTestV2000.mdb" << "Table1" << 3u;
    }

    void fixtureTables() {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(quint32, seedOffset);
        const auto dir = scratchDir();
        Run run(copyFixture(dir->path(), file), table, seed() + seedOffset, false);
        run.go(400, 100);
    }
};

QTEST_GUILESS_MAIN(EditRandomTest)
#include "tst_edit_random.moc"
