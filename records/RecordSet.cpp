#include "records/RecordSet.h"

#include "records/jet/Database.h"
#include "records/jet/Error.h"

#include <QFile>

#include <limits>
#include <string>
#include <vector>

namespace zorvane::records {

// The set is the table's rows, located once when it opens; the cursor is an
// index into them (count: past the last record). A field read decodes just
// that value from the page kept in memory into one reused buffer.
struct RecordSet::Impl {
    std::string file;  // as given, for error sentences
    std::string tableName;
    std::unique_ptr<jet::Database> database;
    std::unique_ptr<jet::Table> table;
    std::vector<QString> names;
    qint32 count = 0;
    qint32 position = 0;
    std::u16string buffer;

    [[noreturn]] void fail(const std::string& reason) const {
        throw jet::Error(file + ": table \"" + tableName + "\" " + reason + ".");
    }
    bool eof() const { return position >= count; }
    void requireRecord() const {
        if (eof())
            fail(count == 0 ? "has no records, so there is no current record"
                            : "has no current record (the cursor stands past the last record)");
    }
};

RecordSet::RecordSet(const QString& file, const QString& table) : d(std::make_unique<Impl>()) {
    d->file = QFile::encodeName(file).toStdString();
    d->tableName = table.toStdString();
    d->database = std::make_unique<jet::Database>(d->file);
    d->table = d->database->openTable(d->tableName);
    d->tableName = d->table->def().name;
    for (const jet::Column& column : d->table->def().columns)
        d->names.push_back(QString::fromStdString(column.name));
    if (d->table->rowCount() > static_cast<std::size_t>(std::numeric_limits<qint32>::max()))
        d->fail("has more records than can be counted");
    d->count = static_cast<qint32>(d->table->rowCount());
    d->position = 0;
}

RecordSet::~RecordSet() = default;

void RecordSet::MoveFirst() {
    if (d->count == 0)
        d->fail("has no records, so there is no first record");
    d->position = 0;
}

void RecordSet::MoveNext() {
    d->requireRecord();
    ++d->position;
}

void RecordSet::MoveLast() {
    if (d->count == 0)
        d->fail("has no records, so there is no last record");
    d->position = d->count - 1;
}

void RecordSet::Move(qint32 n) {
    d->requireRecord();
    const qint64 target = static_cast<qint64>(d->position) + n;
    if (target < 0)
        d->fail("has no record " + std::to_string(n) + " places before record " +
                std::to_string(d->position));
    d->position = target >= d->count ? d->count : static_cast<qint32>(target);
}

bool RecordSet::Eof() const { return d->eof(); }

qint32 RecordSet::AbsolutePosition() const { return d->eof() ? -1 : d->position; }

float RecordSet::PercentPosition() const {
    if (d->count == 0)
        return 0.0f;
    if (d->eof() || d->count == 1)
        return 100.0f;
    return static_cast<float>(static_cast<double>(d->position) * 100.0 / (d->count - 1));
}

Field RecordSet::Fields(const QString& name) {
    for (std::size_t i = 0; i < d->names.size(); ++i) {
        if (d->names[i].compare(name, Qt::CaseInsensitive) == 0)
            return Field(this, static_cast<int>(i));
    }
    d->fail("has no field \"" + name.toStdString() + "\"");
}

QStringList RecordSet::FieldNames() const {
    return QStringList(d->names.begin(), d->names.end());
}

qint32 RecordSet::RecordCount() const { return d->count; }

void RecordSet::Edit() { d->fail("cannot be changed: editing is not available yet"); }
void RecordSet::AddNew() { d->fail("cannot be changed: editing is not available yet"); }
void RecordSet::Update() { d->fail("cannot be changed: editing is not available yet"); }
void RecordSet::Delete() { d->fail("cannot be changed: editing is not available yet"); }
void RecordSet::Requery() { d->fail("cannot be changed: editing is not available yet"); }

std::optional<QString> Field::Value() const {
    RecordSet::Impl& s = *set_->d;
    s.requireRecord();
    s.buffer.clear();
    if (!s.table->appendText(static_cast<std::size_t>(s.position),
                             static_cast<std::size_t>(column_), s.buffer))
        return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(s.buffer.data()),
                   static_cast<qsizetype>(s.buffer.size()));
}

void Field::setValue(const QString&) {
    set_->d->fail("cannot be changed: editing is not available yet");
}

QString Field::name() const { return set_->d->names[static_cast<std::size_t>(column_)]; }

} // namespace zorvane::records
