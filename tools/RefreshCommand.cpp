// zorvane-db refresh FILE [--from DIR | --download [--url BASE]] [--dry-run]
// [--changes OUT.csv] [--min-entries N]: brings table "oui" up to date with a
// newer IEEE listing and keeps what the user changed (listing/Refresh.h).
// With --download the listing is fetched into the download folder first; if
// that fails the database is not touched.
//
// With --changes, every change and kept difference goes to a CSV file
// ("change,code,field,before,after"), written first and put in place after
// the commit, so a refresh that fails leaves no report of changes that were
// not made.
#include "tools/DownloadCommand.h"
#include "tools/ImportCommand.h"
#include "tools/ReportFile.h"
#include "tools/QtCommands.h"

#include "listing/ListingFolders.h"
#include "listing/Refresh.h"
#include "records/jet/Error.h"

#include <QFile>
#include <QFileInfo>

#include <memory>
#include <optional>

namespace zorvane::tools {

namespace {

struct RefreshArguments {
    QString file;
    QString from;  // none: the newer of the download folder and the system's
    QString changes;
    QString url;
    bool download = false;
    bool dryRun = false;
    int minEntries = 0;  // 0: the floors the database's own listing sets
};

RefreshArguments parseArguments(const QStringList& arguments) {
    RefreshArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto valueOf = [&](const char* option, QString& into) { return optionValue(arguments, i, option, into); };
        if (a == QLatin1String("--dry-run"))
            parsed.dryRun = true;
        else if (a == QLatin1String("--download"))
            parsed.download = true;
        else if (a == QLatin1String("--min-entries") || a.startsWith(QLatin1String("--min-entries=")))
            parsed.minEntries = minEntriesOption(arguments, i);
        else if (valueOf("--from", parsed.from) || valueOf("--changes", parsed.changes) || valueOf("--url", parsed.url))
            continue;
        else if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
            throw UsageError("unknown option \"" + a.toStdString() + "\"");
        else if (parsed.file.isEmpty())
            parsed.file = a;
        else
            throw UsageError("refresh takes one database file");
    }
    if (parsed.file.isEmpty())
        throw UsageError("refresh needs the database file");
    if (parsed.download && !parsed.from.isEmpty())
        throw UsageError("--download and --from exclude each other");
    if (!parsed.url.isEmpty() && !parsed.download)
        throw UsageError("--url goes with --download");
    return parsed;
}

} // namespace

int runRefresh(const QStringList& arguments) {
    preferHugePagesForTheHeap();
    RefreshArguments args = parseArguments(arguments);
    const std::string path = QFile::encodeName(args.file).toStdString();
    // The report's place is checked first: never the database or its journal.
    std::unique_ptr<ReportFile> csv;
    if (!args.changes.isEmpty())
        csv = std::make_unique<ReportFile>(QFile::encodeName(args.changes).toStdString(), path,
                                           engineOptions().system());
    listing::ListingResult fetched;
    if (args.download) {
        // Fetched first; a download that fails leaves the database alone.
        if (!QFileInfo(args.file).isFile())
            throw jet::Error(path + ": no such database file.");
        listing::DownloadOptions options;
        if (!args.url.isEmpty())
            options.site = args.url;
        options.folder = listing::downloadFolder();
        options.minEntries = args.minEntries;
        downloadListing(options, false, path + " was not changed", &fetched);
        args.from = options.folder;
    }
    if (args.from.isEmpty())
        args.from = listing::newestListingFolder();
    requireListingFolder(args.from);
    const listing::ListingResult listing = args.download ? std::move(fetched) : listing::readListing(args.from);
    for (const listing::ListingProblem& p : listing.problems)
        printListingProblem(p);

    // The changes file is written first and put in place after the commit,
    // so a refresh that fails leaves no report of changes that were not made
    // (a device or a FIFO gets it after the commit).
    listing::RefreshOptions options;
    options.dryRun = args.dryRun;
    options.minEntries = args.minEntries;
    const std::optional<listing::ListingResult> cids = listing::readCidListing(args.from);
    if (cids) {
        for (const listing::ListingProblem& p : cids->problems)
            printListingProblem(p);
        options.cids = &*cids;
    }
    options.engine = engineOptions();
    if (csv) {
        options.report = [&](const QByteArray& bytes) {
            try {
                csv->prepare(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            } catch (const jet::Error& e) {
                std::string reason = e.what();
                reason.pop_back();  // the full stop
                throw jet::Error(reason + ", so " + path + " was not changed.");
            }
        };
    }
    const listing::RefreshOutcome outcome = listing::refreshDatabase(args.file, listing, args.from, options);
    const std::string done = outcome.written ? path + ": the database was refreshed, but " : std::string();
    if (csv) {
        try {
            csv->commit();
        } catch (const jet::Error& e) {
            throw jet::Error(done + e.what());
        }
    }
    try {
        writeOut((listing::refreshSummary(args.file, outcome, args.dryRun) + QLatin1Char('\n')).toLocal8Bit());
        flushOut();
    } catch (const jet::Error& e) {
        throw jet::Error(done + e.what());
    }
    return 0;
}

} // namespace zorvane::tools
