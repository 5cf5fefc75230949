#pragma once
// A vendor database brought up to date with a newer IEEE listing, keeping
// what the user changed (the three-way merge of Refresh.cpp), in one command
// of the file: all or nothing, under its writer lock.

#include "listing/IeeeListing.h"
#include "records/jet/Options.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

namespace zorvane::listing {

enum class Change { Added, Updated, Removed, Kept, Conflict };

struct RefreshOptions {
    bool dryRun = false;
    int minEntries = 0;  // 0: the floors the database's own listing sets
    // Given the report of changes (CSV: change,code,field,before,after)
    // before anything is written; what it throws leaves the file as it was.
    std::function<void(const QByteArray& csv)> report;
    // The CID registry of the listing (none: the listing has no cid.txt, and
    // table "cid" is left as it is). Table "cid" becomes this registry, in the
    // same command; it must hold at least 90% of the entries the table holds.
    const ListingResult* cids = nullptr;
    // What the file is opened with (records/jet/Options.h).
    jet::Options engine;
};

struct RefreshOutcome {
    std::array<int, 5> counts{};  // by Change
    bool hadBase = false;         // the file keeps the listing it was last brought up to
    bool written = false;         // the file was changed
    // With a CID registry given: the CIDs added, updated and removed, or
    // (cidTable false) the file has no table "cid" to keep current.
    bool cidGiven = false;
    bool cidTable = false;
    // A file import made before it kept the registry: table "cid" added,
    // the file written anew (cidCounts[0] entries).
    bool cidAdded = false;
    std::array<int, 3> cidCounts{};
};

// Refreshes `file` from `listing` (read from `folder`). Throws jet::Error,
// the file unchanged, when the listing is refused (not whole, or below the
// floors) or the file cannot be written.
RefreshOutcome refreshDatabase(const QString& file, const ListingResult& listing, const QString& folder,
                               const RefreshOptions& options);

// "FILE: 1 added, 2 updated, 0 removed, 3 kept, 0 conflicts", with the notes
// of a file without its listing and of a dry run.
QString refreshSummary(const QString& file, const RefreshOutcome& outcome, bool dryRun);

} // namespace zorvane::listing
