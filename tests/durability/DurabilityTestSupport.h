#pragma once
// Shared by the durability tests: working copies of the fixtures, the files'
// bytes, and child processes that may run as an unprivileged user, so that a
// read-only file is read-only even when the tests run as root.
#include "records/jet/Journal.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvane::tests {

inline QString fixture(const QString& name) {
    return QString::fromLocal8Bit(qgetenv("ZORVANE_FIXTURES")) + "/" + name;
}

inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QString journalOf(const QString& path) { return path + "-journal"; }

// A journal that still counts: one that exists, whole, and has not ended (an
// ended journal's header is zeroed, and a writer removes it when it closes
// the file; one cut off while it was written counts for nothing either).
inline bool liveJournal(const QString& path) {
    const QByteArray bytes = bytesOf(journalOf(path));
    return zorvane::jet::journal::decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()))
        .has_value();
}

struct ChildResult {
    int status = -1;       // exit status; -1 when it did not exit normally
    QString errorText;     // stderr
    QString outputText;    // stdout
};

// Runs `program` with `arguments`; `environment` entries are added to the
// test's own. With `unprivileged` the child gives up root first (uid/gid
// 65534), so file permissions hold for it.
inline ChildResult runChild(const QString& program, const QStringList& arguments,
                            const QStringList& environment = {}, bool unprivileged = false,
                            int timeoutMs = 60000) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        const qsizetype eq = entry.indexOf('=');
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    process.setProcessEnvironment(env);
    if (unprivileged && ::geteuid() == 0) {
        process.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(120);
        });
    }
    process.start(program, arguments);
    ChildResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.errorText = "timed out";
        return result;
    }
    result.errorText = QString::fromLocal8Bit(process.readAllStandardError());
    result.outputText = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    return result;
}

} // namespace zorvane::tests
