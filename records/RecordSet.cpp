#include "records/RecordSet.h"

#include <QFile>

namespace zorvane::records {

RecordSet::RecordSet(const QString& file, const QString& table, bool forWriting, jet::Options options)
    : RecordCursor(QFile::encodeName(file).toStdString(), table.toStdString(), forWriting, std::move(options)) {}

Field RecordSet::Fields(const QString& name) { return Field(this, column(name.toStdU16String())); }

QStringList RecordSet::FieldNames() const {
    QStringList names;
    for (const std::string& name : columnNames())
        names << QString::fromStdString(name);
    return names;
}

std::optional<QString> Field::Value() const {
    const std::u16string* value = set_->value(column_);
    if (!value)
        return std::nullopt;
    // As the units are: QString::fromStdU16String would drop a leading BOM.
    return QString(reinterpret_cast<const QChar*>(value->data()), static_cast<qsizetype>(value->size()));
}

void Field::setValue(const QString& text) { set_->setValue(column_, text.toStdU16String()); }

QString Field::name() const { return QString::fromStdString(set_->columnNames()[column_]); }

} // namespace zorvane::records
