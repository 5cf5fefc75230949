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
inline QString givenPasswordText() { return QString::fromLocal8Bit(givenPassword()); }

} // namespace zorvane::tools
