// zorvane-db update FILE TABLE N FIELD=VALUE...: changes fields of record N
// through the record set as the lookup window does: MoveFirst, Move N, Edit,
// the fields in the order given, Update.
#include "tools/Commands.h"

#include "records/RecordSet.h"

namespace zorvane::tools {

qint32 recordNumber(const QString& text) {
    bool ok = false;
    const qint32 n = text.toInt(&ok);
    if (!ok || n < 0 || text.trimmed() != text || text.startsWith(QLatin1Char('+')))
        throw UsageError("the record number \"" + text.toStdString() +
                         "\" is not a whole number of 0 or more");
    return n;
}

void setFields(records::RecordSet& set, const QStringList& assignments) {
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0)
            throw UsageError("\"" + assignment.toStdString() + "\" is not FIELD=VALUE");
        set.Fields(assignment.left(equals)).setValue(assignment.mid(equals + 1));
    }
}

int runUpdate(const QStringList& arguments) {
    if (arguments.size() < 4)
        throw UsageError("update needs a database file, a table, a record number and at least "
                         "one FIELD=VALUE");
    const qint32 n = recordNumber(arguments[2]);
    records::RecordSet set(arguments[0], arguments[1], true);
    set.MoveFirst();
    set.Move(n);
    set.Edit();
    setFields(set, arguments.mid(3));
    set.Update();
    return 0;
}

} // namespace zorvane::tools
