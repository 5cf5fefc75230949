#pragma once
// What the three independent readers make of a vendor database: mdbtools'
// mdb-export, the mdb-reader npm package and our own `zorvane-db export`, each
// turned into rows of eight optional texts for field-by-field comparison.
#include <QByteArray>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <array>
#include <optional>
#include <vector>

namespace zorvane::test {

using Row = std::array<std::optional<QString>, 8>;

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult runProgram(const QString& program, const QStringList& arguments,
                                int timeoutMs = 120000) {
    QProcess p;
    p.start(program, arguments);
    ProcessResult r;
    if (!p.waitForStarted(10000)) {
        r.err = "could not start " + program.toUtf8();
        return r;
    }
    p.waitForFinished(timeoutMs);
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

inline QString binaryDir() { return qEnvironmentVariable("ZORVANE_BINARY_DIR"); }
inline QString zorvaneDb() { return binaryDir() + QStringLiteral("/tools/zorvane-db"); }
inline QString nodeModules() { return binaryDir() + QStringLiteral("/npm/node_modules"); }
inline QString sourceDir() { return qEnvironmentVariable("ZORVANE_SOURCE_DIR"); }

// Splits CSV text (quotes doubled inside quoted fields). A quoted field may
// hold line breaks. `quotedEmpty` receives, per field, whether it was quoted.
inline std::vector<std::vector<std::pair<QString, bool>>> parseCsv(const QString& text,
                                                                    QChar separator = u',') {
    std::vector<std::vector<std::pair<QString, bool>>> rows;
    std::vector<std::pair<QString, bool>> row;
    QString field;
    bool quoted = false, inQuotes = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field.append(u'"');
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field.append(c);
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = quoted = any = true;
        } else if (c == separator) {
            row.emplace_back(field, quoted);
            field.clear();
            quoted = false;
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            row.emplace_back(field, quoted);
            rows.push_back(std::move(row));
            row.clear();
            field.clear();
            quoted = any = false;
        } else {
            field.append(c);
            any = true;
        }
    }
    if (any) {
        row.emplace_back(field, quoted);
        rows.push_back(std::move(row));
    }
    return rows;
}

// mdb-export cannot tell an empty text from a null; both come back as null.
inline QString unescapeInvisible(const QString& s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar n = s[++i];
            out.append(n == u'r' ? QChar(u'\r') : n == u'n' ? QChar(u'\n') : n == u't' ? QChar(u'\t') : n);
        } else {
            out.append(s[i]);
        }
    }
    return out;
}

struct ReaderTable {
    QStringList columns;
    std::vector<Row> rows;
    QString error;  // empty when the reader succeeded
};

inline ReaderTable fromCsvRows(const std::vector<std::vector<std::pair<QString, bool>>>& csv,
                               bool nullWhenUnquotedEmpty, bool invisibleEscaped) {
    ReaderTable t;
    if (csv.empty()) {
        t.error = QStringLiteral("no output");
        return t;
    }
    for (const auto& [name, quoted] : csv.front())
        t.columns << name;
    for (std::size_t r = 1; r < csv.size(); ++r) {
        if (csv[r].size() != 8) {
            t.error = QStringLiteral("record %1 has %2 fields").arg(r).arg(csv[r].size());
            return t;
        }
        Row row;
        for (std::size_t c = 0; c < 8; ++c) {
            const auto& [text, quoted] = csv[r][c];
            if (text.isEmpty() && (nullWhenUnquotedEmpty ? !quoted : true))
                row[c] = std::nullopt;
            else
                row[c] = invisibleEscaped ? unescapeInvisible(text) : text;
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

inline ReaderTable readWithMdbExport(const QString& file) {
    const ProcessResult r = runProgram(QStringLiteral("mdb-export"),
                                       {QStringLiteral("-e"), file, QStringLiteral("oui")});
    if (r.exitCode != 0)
        return {{}, {}, QStringLiteral("mdb-export failed: ") + QString::fromUtf8(r.err)};
    return fromCsvRows(parseCsv(QString::fromUtf8(r.out)), false, true);
}

inline ReaderTable readWithZorvaneExport(const QString& file) {
    const ProcessResult r =
        runProgram(zorvaneDb(), {QStringLiteral("export"), file, QStringLiteral("oui")});
    if (r.exitCode != 0)
        return {{}, {}, QStringLiteral("zorvane-db export failed: ") + QString::fromUtf8(r.err)};
    return fromCsvRows(parseCsv(QString::fromUtf8(r.out)), true, false);
}

inline ReaderTable readWithMdbReader(const QString& file, QStringList* tables = nullptr) {
    const QString script = sourceDir() + QStringLiteral("/tests/import/mdbreader_rows.mjs");
    const ProcessResult r = runProgram(QStringLiteral("node"),
                                       {script, nodeModules(), file, QStringLiteral("oui")});
    ReaderTable t;
    if (r.exitCode != 0) {
        t.error = QStringLiteral("mdb-reader failed: ") + QString::fromUtf8(r.err);
        return t;
    }
    const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
    for (const QJsonValue& c : doc.value(QStringLiteral("columns")).toArray())
        t.columns << c.toString();
    if (tables) {
        tables->clear();
        for (const QJsonValue& n : doc.value(QStringLiteral("tables")).toArray())
            *tables << n.toString();
    }
    for (const QJsonValue& rowValue : doc.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray a = rowValue.toArray();
        Row row;
        for (qsizetype c = 0; c < 8 && c < a.size(); ++c) {
            if (!a[c].isNull())
                row[static_cast<std::size_t>(c)] = a[c].toString();
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

// "" and null are one for readers that cannot tell them apart.
inline std::optional<QString> blurred(const std::optional<QString>& v) {
    if (!v || v->isEmpty())
        return std::nullopt;
    return v;
}

inline QString show(const std::optional<QString>& v) {
    return v ? QStringLiteral("\"%1\"").arg(*v) : QStringLiteral("null");
}

// Compares a reader's rows with the expected ones, field by field, in order;
// returns the first difference or an empty string.
inline QString firstDifference(const QString& reader, const ReaderTable& got,
                               const std::vector<Row>& expected, bool nullEqualsEmpty) {
    if (!got.error.isEmpty())
        return reader + QStringLiteral(": ") + got.error;
    static const QStringList names = {"Code",     "Vendor",   "Address",  "Address1",
                                      "address2", "address3", "address4", "address5"};
    if (got.columns != names)
        return reader + QStringLiteral(": columns ") + got.columns.join(u',');
    if (got.rows.size() != expected.size())
        return reader + QStringLiteral(": %1 records, expected %2").arg(got.rows.size()).arg(expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        for (std::size_t c = 0; c < 8; ++c) {
            const auto a = nullEqualsEmpty ? blurred(got.rows[r][c]) : got.rows[r][c];
            const auto e = nullEqualsEmpty ? blurred(expected[r][c]) : expected[r][c];
            if (a != e)
                return reader + QStringLiteral(": record %1 field %2: %3, expected %4")
                                    .arg(r + 1)
                                    .arg(names[static_cast<qsizetype>(c)], show(a), show(e));
        }
    }
    return {};
}

} // namespace zorvane::test
