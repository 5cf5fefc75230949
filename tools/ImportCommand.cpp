#include "tools/ImportCommand.h"

#include "listing/ListingFolders.h"
#include "records/jet/Error.h"
#include "tools/QtCommands.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace zorvane::tools {

using namespace listing;

namespace {

struct ImportArguments {
    QString from;  // none: the newer of the download folder and the system's
    bool force = false;
    int minEntries = 0;  // 0: the floors of a complete listing
    QString out;
};

ImportArguments parseArguments(const QStringList& arguments) {
    ImportArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--force")) {
            parsed.force = true;
        } else if (a == QLatin1String("--from")) {
            if (i + 1 >= arguments.size())
                throw UsageError("--from needs a folder");
            parsed.from = arguments[++i];
        } else if (a.startsWith(QLatin1String("--from="))) {
            parsed.from = a.mid(7);
        } else if (a == QLatin1String("--min-entries") || a.startsWith(QLatin1String("--min-entries="))) {
            parsed.minEntries = minEntriesOption(arguments, i);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            throw UsageError("unknown option \"" + a.toStdString() + "\"");
        } else if (parsed.out.isEmpty()) {
            parsed.out = a;
        } else {
            throw UsageError("import takes one output file");
        }
    }
    if (parsed.out.isEmpty())
        throw UsageError("import needs the output file");
    return parsed;
}

} // namespace

void requireListingFolder(const QString& from) {
    const QFileInfo info(from);
    if (info.exists() && !info.isDir())
        throw jet::Error(from.toStdString() + ": this is a file, not a folder; --from names the folder "
                         "that holds oui.txt, mam.txt, oui36.txt and iab.txt.");
    if (!info.isDir())
        throw jet::Error(from.toStdString() + ": no such folder of IEEE listing files.");
}

int minEntriesOption(const QStringList& arguments, qsizetype& i) {
    const QString& a = arguments[i];
    QString value;
    if (a.contains(QLatin1Char('='))) {
        value = a.section(QLatin1Char('='), 1);
    } else {
        if (i + 1 >= arguments.size())
            throw UsageError("--min-entries needs a number");
        value = arguments[++i];
    }
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 1)
        throw UsageError("--min-entries needs a number of at least 1, not \"" + value.toStdString() + "\"");
    return n;
}

void printListingProblem(const ListingProblem& p) {
    const QString where = p.line > 0 ? QStringLiteral("%1:%2").arg(p.file).arg(p.line) : p.file;
    std::fprintf(stderr, "zorvane-db: %s: %s%s\n", where.toLocal8Bit().constData(), p.warning ? "warning: " : "",
                 p.reason.toLocal8Bit().constData());
}

QString importSummary(const ListingResult& result) {
    QStringList parts;
    for (std::size_t i = 0; i < RegistryFiles.size(); ++i)
        parts << QStringLiteral("%1 %2").arg(QString::fromLatin1(RegistryFiles[i].label))
                     .arg(result.perRegistry[i]);
    return QStringLiteral("%1 records: %2; %3 lines skipped")
        .arg(result.entries.size())
        .arg(parts.join(QStringLiteral(", ")))
        .arg(result.skippedLines);
}

int runImport(const QStringList& arguments) {
    preferHugePagesForTheHeap();
    ImportArguments args = parseArguments(arguments);
    if (args.from.isEmpty())
        args.from = newestListingFolder();
    // Refused before the listing is read, so the answer comes at once.
    if (!args.force && QFileInfo::exists(args.out))
        throw jet::Error(QFileInfo(args.out).filePath().toStdString() +
                         ": the file already exists (use --force to replace it).");
    requireListingFolder(args.from);

    const ListingResult listing = readListing(args.from);
    for (const ListingProblem& p : listing.problems)
        printListingProblem(p);
    // A file that is no listing, or holds too few entries to be a whole one
    // (cut off, or the wrong file), makes no database and replaces none.
    const QString file = QFileInfo(args.out).filePath();
    QString refused = listing.refused;
    if (refused.isEmpty())
        refused = floorRefusal(listing, args.from, args.minEntries ? fixedFloors(args.minEntries) : ListingFloors{});
    // The CID registry is optional; one that is there must be a whole one
    // (it is small, so any number of entries will do on a first import).
    const std::optional<ListingResult> cids = refused.isEmpty() ? readCidListing(args.from) : std::nullopt;
    if (cids) {
        for (const ListingProblem& p : cids->problems)
            printListingProblem(p);
        refused = cids->refused;
    }
    if (!refused.isEmpty())
        throw jet::Error(refused.toStdString() + "; " + file.toStdString() + " was not written.");

    auto recordsOf = [&](const ListingResult& from, bool cid) {
        std::vector<records::VendorRecord> records;
        records.reserve(from.entries.size());
        for (const ListingEntry& entry : from.entries) {
            records.push_back(vendorRecordOf(entry));
            if (entry.addressLines.size() > static_cast<qsizetype>(records::vendor::FurtherAddressCount)) {
                const QString file = QDir(args.from).filePath(QString::fromLatin1(
                    cid ? CidRegistryFile.fileName : RegistryFiles[static_cast<std::size_t>(entry.registry)].fileName));
                printListingProblem({file, entry.line,
                              QStringLiteral("%1 has %2 address lines; Address holds them all, "
                                             "Address1 to address5 the first five")
                                  .arg(entry.code)
                                  .arg(entry.addressLines.size()),
                              0});
            }
        }
        return records;
    };
    const std::vector<records::VendorRecord> records = recordsOf(listing, false);
    const std::vector<records::VendorRecord> cidRecords = cids ? recordsOf(*cids, true) : std::vector<records::VendorRecord>();
    if (records.empty())
        throw jet::Error(args.from.toStdString() +
                         ": the listing holds no records, so no database was written.");
    // Table "oui" and the listing as imported start out the same; table "cid"
    // only when the listing has the CID registry.
    records::createVendorDatabase(args.out, records, args.force, givenPasswordText(), &records,
                                  engineOptions(), cids ? &cidRecords : nullptr);
    // The database stands; a summary that cannot be written still fails the
    // run, saying the file was made.
    try {
        QString summary = importSummary(listing);
        if (cids)
            summary += QStringLiteral("; %1 company IDs (CID) in table \"cid\"").arg(cids->entries.size());
        writeOut((args.out + QStringLiteral(": ") + summary + QLatin1Char('\n'))
                     .toLocal8Bit());
        flushOut();
    } catch (const jet::Error& e) {
        throw jet::Error(QFileInfo(args.out).filePath().toStdString() +
                         ": the database was written, but " + e.what());
    }
    return 0;
}

} // namespace zorvane::tools
