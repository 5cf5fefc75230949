#pragma once
// Shared by the durability tests (scratch copies and child processes come
// from tests/support): the journal beside a file, the points a clean run
// passes, and the runs that kill a command at each of them. The programs run
// with fault points are test builds (zorvaneDbFaultsPath(), durability_driver).
#include "records/jet/Journal.h"
#include "tests/durability/PagePattern.h"
#include "tests/faults/FaultFileSystem.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/SampleDatabases.h"

#include <QtTest>

#include <vector>

namespace zorvane::tests {
using namespace zorvane::test;

inline QString journalOf(const QString& path) { return path + "-journal"; }

// A journal that still counts: one that exists, whole, and has not ended (an
// ended journal's header is zeroed; one cut off while it was written counts
// for nothing either).
inline bool liveJournal(const QString& path) {
    const QByteArray bytes = bytesOf(journalOf(path));
    return jet::journal::decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end())).has_value();
}

// Runs `program` with the fault log on; the names of the points it passed.
inline QStringList pointsOf(const QString& program, const QStringList& arguments, const QString& log) {
    QFile::remove(log);
    const ProcessResult run = runProcess(program, arguments, false, {"ZORVANE_FAULT_LOG=" + log});
    if (run.status != 0)
        qWarning("%s", run.err.constData());
    QStringList names;
    for (const QString& line : QString::fromUtf8(bytesOf(log)).split('\n', Qt::SkipEmptyParts))
        names << line.section(' ', 1);
    return names;
}

// A run killed before point `point`, or halfway through it when `torn`.
struct Crash {
    QString name;        // the point's name
    QString where;       // for messages
    QStringList env;
    bool whole;          // every page had been written: the command stays
};

// What makes a run crash before point `point`, or halfway through it.
inline QStringList crashEnvironment(int point, bool tear) {
    QStringList env{"ZORVANE_CRASH_POINT=" + QString::number(point)};
    return tear ? env << "ZORVANE_CRASH_TEAR=1" : env;
}

// A crash before every point, and halfway through every write.
inline QList<Crash> crashesAt(const QStringList& names) {
    QList<Crash> crashes;
    for (int point = 1; point <= names.size(); ++point) {
        const QString& name = names[point - 1];
        for (const bool tear : {false, true})
            if (!tear || name.endsWith("write"))
                crashes.append({name, QString("point %1 (%2%3)").arg(point).arg(name, tear ? ", torn" : ""),
                                crashEnvironment(point, tear),
                                name == "file sync" || name == "journal end" || name == "journal remove"});
    }
    return crashes;
}

inline QByteArray sideOf(const QByteArray& now, const QByteArray& before, const QByteArray& after) {
    return now == before ? "before" : now == after ? "after" : "neither before nor after";
}

// Page `n` of a file's bytes; one page in memory; the page `fillPage` makes.
inline QByteArray pageOf(const QByteArray& file, std::uint32_t n) { return file.mid(n * qsizetype(jet::format::PageSize), jet::format::PageSize); }
inline QByteArray pageOf(const std::uint8_t* page) { return QByteArray(reinterpret_cast<const char*>(page), jet::format::PageSize); }
inline QByteArray pattern(std::uint32_t number) {
    QByteArray bytes(qsizetype(jet::format::PageSize), '\0');
    fillPage(reinterpret_cast<std::uint8_t*>(bytes.data()), number);
    return bytes;
}

} // namespace zorvane::tests
