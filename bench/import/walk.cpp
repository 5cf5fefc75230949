// bench_import_walk FILE TERM [ROUNDS]: walks table "oui" of FILE the way the
// search does (MoveLast, MoveFirst, then for every record: read Code, upper-case
// it, find the first occurrence of TERM, read the position, MoveNext), once with
// the field looked up before the walk and once by name at every record. Prints
// "MATCHES SECONDS_FIELD_HELD SECONDS_FIELD_BY_NAME", each the fastest of ROUNDS.
#include "records/RecordSet.h"
#include "records/jet/Error.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using zorvane::records::RecordSet;

struct Walk {
    long matches = 0;
    long nanoseconds = -1;
};

template <typename ReadCode>
Walk bestWalk(RecordSet& set, const QString& term, int rounds, ReadCode readCode) {
    Walk best;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        long found = 0;
        long positions = 0;
        set.MoveLast();
        set.MoveFirst();
        while (!set.Eof()) {
            const std::optional<QString> code = readCode();
            if (code && code->toUpper().indexOf(term) >= 0)
                ++found;
            positions += set.AbsolutePosition();
            set.MoveNext();
        }
        const long ns = static_cast<long>(timer.nsecsElapsed());
        if (best.nanoseconds < 0 || ns < best.nanoseconds)
            best = {found, ns};
        if (positions < 0)  // keeps the position reads
            std::abort();
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_import_walk FILE TERM [ROUNDS]\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString term = QString::fromLocal8Bit(argv[2]).toUpper();
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    try {
        RecordSet set(file, QStringLiteral("oui"));
        const auto code = set.Fields(QStringLiteral("Code"));
        const Walk held = bestWalk(set, term, rounds, [&] { return code.Value(); });
        const Walk byName = bestWalk(set, term, rounds,
                                     [&] { return set.Fields(QStringLiteral("Code")).Value(); });
        std::printf("%ld %.6f %.6f\n", held.matches, held.nanoseconds / 1e9,
                    byName.nanoseconds / 1e9);
    } catch (const zorvane::jet::Error& e) {
        std::fprintf(stderr, "bench_import_walk: %s\n", e.what());
        return 1;
    }
    return 0;
}
