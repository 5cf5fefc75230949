#pragma once
// Shared by the durability tests: the journal beside a file, the points a
// clean run passes, and the runs that kill a command at each of them (in the
// test builds zorvaneDbFaultsPath() and durability_driver).
#include "records/jet/Journal.h"
#include "tests/durability/PagePattern.h"
#include "tests/faults/FaultFileSystem.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/SampleDatabases.h"

#include <QtTest>

#include <vector>

namespace zorvane::tests {
using namespace zorvane::test;
namespace fault = zorvane::test::fault;
using jet::format::PageSize;

#ifdef DURABILITY_DRIVER
// The child that runs one engine command (driver.cpp), built for these tests;
// ZORVANE_DURABILITY_DRIVER names another copy of it (scripts/test.sh runs
// one from a folder only root may enter).
inline const QString Driver = qEnvironmentVariable("ZORVANE_DURABILITY_DRIVER", QStringLiteral(DURABILITY_DRIVER));
#endif

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

// What makes a run crash before point `point`, or halfway through it.
inline QStringList crashEnvironment(int point, bool tear) {
    QStringList env{"ZORVANE_CRASH_POINT=" + QString::number(point)};
    return tear ? env << "ZORVANE_CRASH_TEAR=1" : env;
}

// Puts `bytes` back as the file at `path`, with no journal beside it.
inline void restore(const QString& path, const QByteArray& bytes) {
    QVERIFY(writeBytes(path, bytes));
    QFile::remove(journalOf(path));
}

inline QByteArray sideOf(const QByteArray& now, const QByteArray& before, const QByteArray& after) {
    return now == before ? "before" : now == after ? "after" : "neither before nor after";
}

// `program`'s `command` on the file at `path`, killed before every point of
// its clean run (`names`) and halfway through every write, each time over
// `before`: the next run that opens the file (`settle`) succeeds and leaves
// no journal, and the file as `before`, or as `after` once every page had
// been written (from the file sync on, or when the half a torn write left is
// all that page's change: the journal then finds every page in place).
inline void verifyCrashes(const QString& program, const QStringList& command, const QStringList& names,
                          const QStringList& settle, const QString& path, const QByteArray& before,
                          const QByteArray& after) {
    for (int point = 1; point <= names.size(); ++point) {
        const QString& name = names[point - 1];
        const bool whole = name == "file sync" || name == "journal end" || name == "journal remove";
        for (const bool tear : {false, true}) {
            if (tear && !name.endsWith("write"))
                continue;
            const QString where = QString("point %1 (%2%3)").arg(point).arg(name, tear ? ", torn" : "");
            restore(path, before);
            const ProcessResult crashed = runProcess(program, command, false, crashEnvironment(point, tear));
            QVERIFY2(crashed.status == fault::CrashStatus, qPrintable(where + ": " + crashed.err));
            const ProcessResult settled = runProcess(program, settle);
            QVERIFY2(settled.status == 0, qPrintable(where + ": " + settled.err + settled.out));
            QVERIFY2(!liveJournal(path), qPrintable(where));
            const QByteArray now = bytesOf(path);
            QVERIFY2(now == (whole || (tear && now == after) ? after : before), qPrintable(where + ": " + sideOf(now, before, after)));
        }
    }
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
