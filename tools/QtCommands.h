#pragma once
// The commands of zorvane-db that need Qt (see tools/Commands.h), with the
// arguments as Qt strings.

#include "tools/Commands.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zorvane::tools {

int runImport(const QStringList& arguments);
int runRefresh(const QStringList& arguments);
int runDownload(const QStringList& arguments);

inline void appendCsvField(QByteArray& out, const QString& text) {
    std::string field;
    appendCsvField(field, text.toStdString());
    out.append(field.data(), static_cast<qsizetype>(field.size()));
}
inline void writeOut(const QByteArray& bytes) {
    writeOut(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}
// Reads `option`'s value at arguments[i], given as "OPTION VALUE" (i then
// moves past the value) or "OPTION=VALUE"; false when arguments[i] is
// another word.
inline bool optionValue(const QStringList& arguments, qsizetype& i, const char* option, QString& into) {
    const QString& a = arguments[i];
    const QString name = QLatin1String(option);
    if (a == name) {
        if (i + 1 >= arguments.size())
            throw UsageError(std::string(option) + " needs a value");
        into = arguments[++i];
        return true;
    }
    if (!a.startsWith(name + QLatin1Char('=')))
        return false;
    into = a.mid(name.size() + 1);
    return true;
}
inline QString givenPasswordText() { return QString::fromLocal8Bit(givenPassword()); }

} // namespace zorvane::tools
