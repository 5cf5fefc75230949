#pragma once
// Shared pieces of the editing tests: scratch folders, copies of the fixture
// files, a vendor database of a few thousand records, and a table as each of
// the three readers sees it (the record set, mdb-export, mdb-reader), plus the
// structure check.
#include "records/RecordSet.h"
#include "records/VendorDatabase.h"
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/jet/TableWriterCheck.h"
#include "tests/records/Csv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>
#include <random>

namespace zorvane::test {

using Value = std::optional<QString>;
using Row = QList<Value>;

struct Snapshot {
    QStringList columns;
    QList<Row> rows;
};

// A scratch folder, in memory (/dev/shm) where there is one: every write
// command syncs the file three times, which costs nothing there.
inline std::unique_ptr<QTemporaryDir> scratchDir() {
    const QDir shm("/dev/shm");
    if (shm.exists() && QFileInfo(shm.path()).isWritable()) {
        auto dir = std::make_unique<QTemporaryDir>(shm.filePath("zorvane-edit-XXXXXX"));
        if (dir->isValid())
            return dir;
    }
    return std::make_unique<QTemporaryDir>();
}

inline QString fixturePath(const QString& name) {
    return QDir(qEnvironmentVariable("ZORVANE_FIXTURES")).filePath(name);
}

// A writable copy of fixture `name` in `dir`.
inline QString copyFixture(const QString& dir, const QString& name) {
    const QString to = QDir(dir).filePath(name);
    QFile::remove(to);
    if (!QFile::copy(fixturePath(name), to))
        qFatal("cannot copy %s", qPrintable(name));
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                  QFile::ReadOther);
    return to;
}

inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

struct ProcessResult {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult runProcess(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    ProcessResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// ---------------------------------------------------------------------------
// The three readers

inline Snapshot readOurs(const QString& path, const QString& table) {
    Snapshot s;
    records::RecordSet set(path, table);
    s.columns = set.FieldNames();
    while (!set.Eof()) {
        Row row;
        for (const QString& c : s.columns)
            row.append(set.Fields(c).Value());
        s.rows.append(row);
        set.MoveNext();
    }
    return s;
}

inline Snapshot readMdbExport(const QString& path, const QString& table) {
    const ProcessResult r = runProcess("mdb-export", {path, table});
    if (r.status != 0)
        qFatal("mdb-export %s %s failed: %s", qPrintable(path), qPrintable(table), r.err.constData());
    const QList<CsvRecord> records = parseCsv(r.out);
    Snapshot s;
    if (records.isEmpty())
        return s;
    for (const CsvField& f : records.first())
        s.columns.append(f.text);
    for (qsizetype i = 1; i < records.size(); ++i) {
        Row row;
        for (const CsvField& f : records[i])
            row.append(f.isNull() ? Value() : Value(f.text));
        s.rows.append(row);
    }
    return s;
}

inline QString mdbReaderPrefix() {
    return QDir(qEnvironmentVariable("ZORVANE_BINARY_DIR")).filePath("npm");
}

inline bool haveMdbReader() {
    return QFileInfo::exists(QDir(mdbReaderPrefix()).filePath("node_modules/mdb-reader"));
}

inline Snapshot readMdbReader(const QString& path, const QString& table) {
    const QString script =
        QDir(qEnvironmentVariable("ZORVANE_SOURCE_DIR")).filePath("tests/edit/mdbreader_rows.mjs");
    const ProcessResult r = runProcess("node", {script, mdbReaderPrefix(), path, table});
    if (r.status != 0)
        qFatal("mdb-reader on %s failed: %s", qPrintable(path), r.err.constData());
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    Snapshot s;
    for (const QJsonValue& c : o.value("columns").toArray())
        s.columns.append(c.toString());
    for (const QJsonValue& rowValue : o.value("rows").toArray()) {
        Row row;
        for (const QJsonValue& v : rowValue.toArray())
            row.append(v.isNull() ? Value() : Value(v.toString()));
        s.rows.append(row);
    }
    return s;
}

inline QStringList checkProblems(const QString& path) {
    QStringList out;
    try {
        jet::PageFile file(QFile::encodeName(path).toStdString());
        for (const std::string& p : jet::checkDatabase(file))
            out << QString::fromStdString(p);
    } catch (const jet::Error& e) {
        out << QString::fromUtf8(e.what());
    }
    return out;
}

// The first difference between two lists of rows, or an empty text.
inline QString firstDifference(const QList<Row>& expected, const QList<Row>& actual) {
    auto show = [](const Row& row) {
        QStringList parts;
        for (const Value& v : row)
            parts << (v ? "\"" + v->left(40) + (v->size() > 40 ? "...\"" : "\"") : "null");
        return parts.join(", ");
    };
    for (qsizetype i = 0; i < std::min(expected.size(), actual.size()); ++i) {
        if (expected[i] != actual[i])
            return QString("record %1: expected [%2], read [%3]")
                .arg(i)
                .arg(show(expected[i]), show(actual[i]));
    }
    if (expected.size() != actual.size())
        return QString("%1 records expected, %2 read").arg(expected.size()).arg(actual.size());
    return {};
}

// ---------------------------------------------------------------------------
// A vendor database of realistic records

inline QString randomHexCode(std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    return QString("%1-%2-%3")
        .arg(byte(rng), 2, 16, QChar('0'))
        .arg(byte(rng), 2, 16, QChar('0'))
        .arg(byte(rng), 2, 16, QChar('0'))
        .toUpper();
}

inline std::vector<records::VendorRecord> makeVendors(int count, std::mt19937& rng) {
    static const char* words[] = {"Acme", "Network", "Systems", "Electronics", "Devices",
                                  "Technology", "Co.,", "Ltd.", "GmbH", "Inc.", "Corporation",
                                  "Industrial", "Shenzhen", "Global", "Micro", "Data"};
    static const char* streets[] = {"Main Street", "Industrial Park Road", "Technology Drive",
                                    "Harbour Lane", "Nanshan District"};
    std::uniform_int_distribution<int> wordCount(1, 5), word(0, 15), street(0, 4),
        number(1, 9999), lines(0, 5);
    std::vector<records::VendorRecord> out;
    for (int i = 0; i < count; ++i) {
        records::VendorRecord r;
        QStringList name;
        for (int w = wordCount(rng); w > 0; --w)
            name << words[word(rng)];
        QStringList address;
        const int n = lines(rng);
        for (int l = 0; l < n; ++l)
            address << (l == 0 ? QString("%1 %2").arg(number(rng)).arg(streets[street(rng)])
                               : QString("Line %1 of %2").arg(l + 1).arg(name.first()));
        r.fields[0] = randomHexCode(rng);
        r.fields[1] = name.join(' ');
        r.fields[2] = address.join('\n');
        for (int l = 0; l < 5; ++l)
            r.fields[3 + static_cast<std::size_t>(l)] =
                l < n ? Value(address[l]) : (l % 2 ? Value(QString()) : Value());
        out.push_back(r);
    }
    return out;
}

} // namespace zorvane::test
