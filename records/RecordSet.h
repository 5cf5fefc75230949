#pragma once
// The record set the windows use: records::RecordCursor (the cursor, the
// write commands and their documentation) with Qt strings for the file,
// field names and values.
#include "records/RecordCursor.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace zorvane::records {

// One field of the record set's current record (or of the record being edited
// or added), found by name without regard to case.
class Field {
public:
    // The value as text, or no value for a database null.
    std::optional<QString> Value() const;
    // Field assignment; only between Edit/AddNew and Update. Throws
    // jet::Error when the field cannot take the text (RecordCursor::setValue).
    // While a record is edited or added, Value() shows what was assigned.
    void setValue(const QString& text);
    QString name() const;

private:
    friend class RecordSet;
    Field(RecordCursor* set, std::size_t column) : set_(set), column_(column) {}
    RecordCursor* set_;
    std::size_t column_;
};

class RecordSet : public RecordCursor {
public:
    // `file` goes to the system encoded as QFile does.
    RecordSet(const QString& file, const QString& table, bool forWriting = false, jet::Options options = {});

    Field Fields(const QString& name);
    // The table's field names in its column order, spelled as the table does.
    QStringList FieldNames() const;
};

} // namespace zorvane::records
