#pragma once
// Shared by the engine's tests: fixture files and scratch copies, child
// processes, a CSV reader, and one table as each independent reader sees it:
// our record set, mdbtools' mdb-export and the mdb-reader npm package
// (installed in <build>/npm; node runs tests/support/mdbreader_rows.mjs).
#include "records/RecordSet.h"
#include "records/jet/Error.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <utility>
#include <unistd.h>

namespace zorvane::test {

using Value = std::optional<QString>;
using Row = QList<Value>;
struct Table {
    QStringList columns;
    QList<Row> rows;
};

// The folder of database files written by Microsoft Access: $ZORVANE_FIXTURES,
// else ../shared/fixtures/access2000 beside the source tree; empty when
// neither exists.
inline QString accessFixtureDir() {
    for (const QString& dir : {qEnvironmentVariable("ZORVANE_FIXTURES"),
                               qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/../shared/fixtures/access2000"}) {
        if (!dir.isEmpty() && !QDir(dir).entryList({"*.mdb"}, QDir::Files).isEmpty())
            return QDir(dir).absolutePath();
    }
    return {};
}
inline QString fixturePath(const QString& name) { return QDir(accessFixtureDir()).filePath(name); }

// In a test function that compares with files written by Access: skips the
// function with one line when they are missing, or fails it under CI.
#define REQUIRE_ACCESS_FIXTURES()                                                                      \
    do {                                                                                               \
        if (zorvane::test::accessFixtureDir().isEmpty()) {                                             \
            if (qEnvironmentVariable("CI") == "true")                                                  \
                QFAIL("the Access-written fixture files are missing; CI needs them in "                \
                      "$ZORVANE_FIXTURES or ../shared/fixtures/access2000 beside the source tree");    \
            QSKIP("no Access-written fixture files: put them in $ZORVANE_FIXTURES or "                 \
                  "../shared/fixtures/access2000 beside the source tree");                             \
        }                                                                                              \
    } while (false)
inline QString zorvaneDbPath() { return qEnvironmentVariable("ZORVANE_BINARY_DIR") + "/tools/zorvane-db"; }
// The test build of zorvane-db, with fault points and the busy timeout from the
// environment (tests/faults/FaultFileSystem.h); a test that runs it depends on
// the target zorvane-db-faults.
inline QString zorvaneDbFaultsPath() { return qEnvironmentVariable("ZORVANE_BINARY_DIR") + "/tests/faults/zorvane-db-faults"; }
inline QString mdbReaderPrefix() { return qEnvironmentVariable("ZORVANE_BINARY_DIR") + "/npm"; }
inline bool haveMdbReader() { return QFileInfo::exists(mdbReaderPrefix() + "/node_modules/mdb-reader/package.json"); }

inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A scratch folder, in memory (/dev/shm) where there is one: write commands
// sync the file, which costs nothing there.
inline std::unique_ptr<QTemporaryDir> scratchDir() {
    if (QFileInfo("/dev/shm").isWritable()) {
        auto dir = std::make_unique<QTemporaryDir>("/dev/shm/zorvane-test-XXXXXX");
        if (dir->isValid())
            return dir;
    }
    return std::make_unique<QTemporaryDir>();
}

struct ProcessResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    QByteArray out;
    QByteArray err;
};

// Whether a user who is neither owner nor group can run `path`: every folder
// on the way lets others through, and the file lets others run it.
inline bool othersCanRun(const QString& path) {
    QFileInfo info(path);
    if (!info.exists() || !(info.permissions() & QFileDevice::ExeOther))
        return false;
    for (QDir dir = info.absoluteDir();; dir.cdUp()) {
        if (!(QFileInfo(dir.absolutePath()).permissions() & QFileDevice::ExeOther))
            return false;
        if (dir.isRoot())
            return true;
    }
}

// `program` as a child without root rights can start it: the program itself
// when that user can reach it, else a copy in a folder under /tmp that
// everyone may enter (a clone in root's home or in a `mktemp -d` folder is
// closed to others). One copy per program for the test process's lifetime.
inline QString reachableProgram(const QString& program) {
    const QString path = QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty() || othersCanRun(path))
        return program;
    static std::unique_ptr<QTemporaryDir> folder;
    static QHash<QString, QString> copies;
    if (const auto it = copies.constFind(path); it != copies.cend())
        return *it;
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/zorvane-unprivileged-XXXXXX"));
        QFile::setPermissions(folder->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                  QFileDevice::ReadOther | QFileDevice::ExeOther);
    }
    const QString copy = folder->filePath(QString::number(copies.size()) + "-" + QFileInfo(path).fileName());
    if (!folder->isValid() || !QFile::copy(path, copy))
        return program;  // the child then fails to start, and says why
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther);
    copies.insert(path, copy);
    return copy;
}

// With `unprivileged` a child of root gives up root first (uid/gid 65534), so
// file permissions hold for it; it runs a copy of the program that user can
// reach (reachableProgram). `environment` entries (NAME=VALUE) are added to
// the test's own; `input` is all the child reads on standard input. A child
// that could not be started has status -1 and the reason in `err`; one that
// could not give up root exits 120 and says so on its standard error.
inline ProcessResult runProcess(const QString& program, const QStringList& arguments, bool unprivileged = false,
                                const QStringList& environment = {}, const QByteArray& input = {}) {
    QProcess p;
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : environment)
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        p.setProcessEnvironment(env);
    }
    const bool dropRoot = unprivileged && ::geteuid() == 0;
    if (dropRoot)
        p.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                static const char message[] = "the child could not give up root (setgid/setuid to 65534 failed)\n";
                [[maybe_unused]] const auto written = ::write(2, message, sizeof message - 1);
                ::_exit(120);
            }
        });
    p.start(dropRoot ? reachableProgram(program) : program, arguments);
    ProcessResult r;
    if (!p.waitForStarted(180000)) {
        r.err = QStringLiteral("%1 could not be started%2: %3")
                    .arg(program, dropRoot ? QStringLiteral(" as uid 65534") : QString(), p.errorString())
                    .toUtf8();
        return r;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(180000)) {
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

// The sentence of the jet::Error that `f` throws, or "<no error>".
template <typename F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no error>");
}

// RFC 4180 CSV, records ended by LF or CR LF. A field keeps whether it was
// quoted, so an unquoted empty field (null) and "" (the empty text) stay apart.
struct CsvField {
    QString text;
    bool quoted = false;
    bool isNull() const { return !quoted && text.isEmpty(); }
};
using CsvRecord = QList<CsvField>;

inline QList<CsvRecord> parseCsv(const QByteArray& bytes) {
    // A quoted field ("" in it for a quote) or a plain one (a CR of its own
    // included), then what ends it.
    static const QRegularExpression field(R"re(\G(?:"((?:[^"]++|"")*+)"|((?:[^",\r\n]|\r(?!\n))*+))(,|\r?\n|\z))re");
    const QString text = QString::fromUtf8(bytes);
    QList<CsvRecord> records;
    CsvRecord record;
    for (qsizetype at = 0; at < text.size() || !record.isEmpty();) {
        const auto m = field.match(text, at, QRegularExpression::NormalMatch,
                                   QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!m.hasMatch())
            break;
        const bool quoted = m.capturedStart(1) >= 0;
        record.append({quoted ? m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\"")) : m.captured(2), quoted});
        at = m.capturedEnd(0);
        if (m.captured(3) != u",")
            records.append(std::exchange(record, {}));
    }
    return records;
}

// A CSV text as a table: the header's names, then rows with unquoted empty
// fields as nulls. `escaped`: mdb-export -e's backslash escapes are undone.
inline Table tableOfCsv(const QByteArray& csv, bool escaped = false) {
    const QList<CsvRecord> records = parseCsv(csv);
    Table t;
    for (qsizetype i = 0; i < records.size(); ++i) {
        Row row;
        for (const CsvField& f : records[i]) {
            QString text = f.text;
            if (escaped) {
                text.clear();
                for (qsizetype k = 0; k < f.text.size(); ++k) {
                    QChar c = f.text[k];
                    if (c == u'\\' && k + 1 < f.text.size()) {
                        c = f.text[++k];
                        c = c == u'r' ? QChar(u'\r') : c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c;
                    }
                    text += c;
                }
            }
            if (i == 0)
                t.columns << text;
            else
                row.append(f.isNull() ? Value() : Value(text));
        }
        if (i > 0)
            t.rows.append(row);
    }
    return t;
}

inline Table readRecordSet(const QString& path, const QString& table) {
    Table t;
    records::RecordSet set(path, table);
    t.columns = set.FieldNames();
    for (; !set.Eof(); set.MoveNext()) {
        Row row;
        for (const QString& c : t.columns)
            row.append(set.Fields(c).Value());
        t.rows.append(row);
    }
    return t;
}

inline Table readMdbExport(const QString& path, const QString& table, QStringList options = {}) {
    const bool escaped = options.contains("-e");
    const ProcessResult r = runProcess("mdb-export", options << path << table);
    if (r.status != 0)
        qFatal("mdb-export %s %s failed: %s", qPrintable(path), qPrintable(table), r.err.constData());
    return tableOfCsv(r.out, escaped);
}

// Text stays text, a null stays null; numbers and booleans as their text,
// dates as ISO text, binary as upper-case hex. `tables`: the user tables.
inline Table readMdbReader(const QString& path, const QString& table, QStringList* tables = nullptr) {
    const QString script = qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/support/mdbreader_rows.mjs";
    const ProcessResult r = runProcess("node", {script, mdbReaderPrefix(), path, table});
    if (r.status != 0)
        qFatal("mdb-reader on %s failed: %s", qPrintable(path), r.err.constData());
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    Table t;
    for (const QJsonValue& c : o.value("columns").toArray())
        t.columns.append(c.toString());
    for (const QJsonValue& rowValue : o.value("rows").toArray()) {
        Row row;
        for (const QJsonValue& v : rowValue.toArray())
            row.append(v.isNull() ? Value() : Value(v.toString()));
        t.rows.append(row);
    }
    if (tables)
        for (const QJsonValue& n : o.value("tables").toArray())
            *tables << n.toString();
    return t;
}

// mdb-export writes the empty text as it writes a null: `rows` as it sees them.
inline QList<Row> emptyAsNull(QList<Row> rows) {
    for (Row& row : rows)
        for (Value& v : row)
            if (v && v->isEmpty())
                v.reset();
    return rows;
}

// The first difference between two lists of rows, or an empty text.
inline QString firstDifference(const QList<Row>& expected, const QList<Row>& actual) {
    auto show = [](const Row& row) {
        QStringList parts;
        for (const Value& v : row)
            parts << (v ? "\"" + v->left(40) + (v->size() > 40 ? "...\"" : "\"") : "null");
        return parts.join(", ");
    };
    for (qsizetype i = 0; i < std::min(expected.size(), actual.size()); ++i)
        if (expected[i] != actual[i])
            return QString("record %1: expected [%2], read [%3]").arg(i).arg(show(expected[i]), show(actual[i]));
    if (expected.size() != actual.size())
        return QString("%1 records expected, %2 read").arg(expected.size()).arg(actual.size());
    return {};
}

} // namespace zorvane::test
