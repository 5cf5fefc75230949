// Times durable commands on a vendor database against a bare synced 4 KiB
// write in the same folder, measured in the same run:
//   baseline   pwrite of 4 KiB into an existing file, then fsync
//   pages      one page-file command rewriting two pages (journal and file
//              syncs), the floor under every record command
//   first      the same, as the first command after opening the file (the
//              journal's folder is synced too)
//   update     Edit, three fields set, Update (MoveFirst and Move untimed)
//   add        AddNew, three fields set, Update (Requery timed apart)
//   delete     Delete of an added record (positioning and Requery untimed)
// usage: bench_durability_commands FILE.mdb ROUNDS
// Prints one line per measurement: name, median ms, syncs per command,
// median / baseline median.
#include "records/RecordSet.h"
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/os/FileSystem.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The engine's file system, counting its syncs.
struct CountingSyncs : zorvane::os::ForwardingFileSystem {
    CountingSyncs() : ForwardingFileSystem(zorvane::os::posixFileSystem()) {}
    int syncData(int fd, const char* point) override { return ++syncs, inner_.syncData(fd, point); }
    int syncFolder(int fd, const char* point) override { return ++syncs, inner_.syncFolder(fd, point); }
    std::uint64_t syncs = 0;
} counting;

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Result {
    std::string name;
    std::vector<double> times;
    std::uint64_t syncs = 0;  // over all rounds
    std::string note;
};

// Each round: `prepare` untimed, `command` timed, `finish` untimed.
Result measure(const std::string& name, int rounds, const std::function<void(int)>& prepare,
               const std::function<void(int)>& command, const std::function<void(int)>& finish) {
    Result result{name, {}, 0, {}};
    try {
        for (int round = 0; round < rounds; ++round) {
            prepare(round);
            const std::uint64_t syncsBefore = counting.syncs;
            const auto start = Clock::now();
            command(round);
            result.times.push_back(millisecondsSince(start));
            result.syncs += counting.syncs - syncsBefore;
            finish(round);
        }
    } catch (const std::exception& e) {
        result.times.clear();
        result.note = std::string("not measured: ") + e.what();
    }
    return result;
}

std::vector<double> baselineRounds(const std::string& path, int rounds) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::vector<unsigned char> block(4096);
    std::vector<double> times;
    for (int round = -1; round < rounds; ++round) {  // round -1 allocates the block
        std::memset(block.data(), round & 0xFF, block.size());
        const auto start = Clock::now();
        if (::pwrite(fd, block.data(), block.size(), 0) != static_cast<ssize_t>(block.size()) ||
            ::fsync(fd) != 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
        if (round >= 0)
            times.push_back(millisecondsSince(start));
    }
    ::close(fd);
    ::unlink(path.c_str());
    return times;
}

} // namespace

int main(int argc, char** argv) {
    zorvane::jet::Options options;
    options.fileSystem = &counting;
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_durability_commands FILE.mdb ROUNDS\n");
        return 2;
    }
    const std::string file = argv[1];
    const int rounds = std::max(1, std::atoi(argv[2]));
    const QString qfile = QString::fromLocal8Bit(argv[1]);
    const std::string baselinePath = file + ".baseline";

    std::vector<double> baseline = baselineRounds(baselinePath, rounds);
    std::vector<Result> results;

    {
        std::unique_ptr<zorvane::jet::PageFile> pages;
        results.push_back(measure(
            "pages: one command, two pages", rounds,
            [&](int) {
                if (!pages)
                    pages = std::make_unique<zorvane::jet::PageFile>(
                        file, zorvane::jet::PageFile::Mode::ReadWrite, options);
            },
            [&](int) {
                pages->begin();
                pages->writablePage(1);  // the bytes stay as they are
                pages->writablePage(2);
                pages->commit();
            },
            [](int) {}));
    }

    {
        std::unique_ptr<zorvane::jet::PageFile> pages;
        results.push_back(measure(
            "first: the same, first after opening", rounds,
            [&](int) {
                pages = std::make_unique<zorvane::jet::PageFile>(
                    file, zorvane::jet::PageFile::Mode::ReadWrite, options);
            },
            [&](int) {
                pages->begin();
                pages->writablePage(1);
                pages->writablePage(2);
                pages->commit();
            },
            [&](int) { pages.reset(); }));
    }

    {
        std::unique_ptr<zorvane::records::RecordSet> set;
        qint32 target = 0;
        QString vendor[2];
        auto open = [&] {
            if (set)
                return;
            set = std::make_unique<zorvane::records::RecordSet>(qfile, "oui", false, options);
            target = set->RecordCount() / 2;
            set->MoveFirst();
            set->Move(target);
            const QString original = set->Fields("Vendor").Value().value_or(QString());
            vendor[0] = original + " (changed)";
            vendor[1] = original;
        };
        results.push_back(measure(
            "update: Edit, 3 fields, Update", rounds,
            [&](int) {
                open();
                set->MoveFirst();
                set->Move(target);
            },
            [&](int round) {
                const QString code = set->Fields("Code").Value().value_or(QString());
                const QString address = set->Fields("Address").Value().value_or(QString());
                set->Edit();
                set->Fields("Code").setValue(code);
                set->Fields("Vendor").setValue(vendor[round % 2]);
                set->Fields("Address").setValue(address);
                set->Update();
            },
            [](int) {}));

        std::vector<double> requery;
        results.push_back(measure(
            "add: AddNew, 3 fields, Update", rounds, [&](int) { open(); },
            [&](int round) {
                set->AddNew();
                set->Fields("Code").setValue(QString("FF-FF-%1").arg(round, 2, 16, QChar('0')));
                set->Fields("Vendor").setValue(QString("Benchmark vendor %1").arg(round));
                set->Fields("Address").setValue("1 Bench Street, Benchtown");
                set->Update();
            },
            [&](int) {
                const auto start = Clock::now();
                set->Requery();
                requery.push_back(millisecondsSince(start));
            }));
        results.push_back(measure(
            "delete: Delete (an added record)", rounds,
            [&](int) {
                open();
                set->MoveFirst();
                set->Move(set->RecordCount() - 1);
            },
            [&](int) { set->Delete(); }, [&](int) { set->Requery(); }));
        if (!requery.empty())
            results.push_back({"(Requery after an add, not counted)", requery, 0, {}});
    }

    std::vector<double> after = baselineRounds(baselinePath, rounds);
    baseline.insert(baseline.end(), after.begin(), after.end());
    const double base = median(baseline);

    std::printf("%-40s %9.3f ms\n", "baseline: 4 KiB pwrite + fsync", base);
    for (const Result& r : results) {
        if (r.times.empty()) {
            std::printf("%-40s %s\n", r.name.c_str(), r.note.c_str());
            continue;
        }
        const double m = median(r.times);
        std::printf("%-40s %9.3f ms  %5.2f syncs  %6.2f x baseline\n", r.name.c_str(), m,
                    static_cast<double>(r.syncs) / static_cast<double>(r.times.size()),
                    base > 0 ? m / base : 0.0);
    }
    return 0;
}
