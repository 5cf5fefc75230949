#pragma once
// zorvane-db import [--from DIR] [--force] OUT.mdb: a new vendor database built
// from the IEEE listing (by default the newer of the download folder and
// /var/lib/ieee-data: listing/ListingFolders.h), with table "oui"
// and, beside it, the listing as imported (records::vendor::ListingTableName); with
// the CID registry (cid.txt) in the folder, table "cid" too.

#include "listing/IeeeListing.h"

#include <QStringList>

#include <vector>

namespace zorvane::tools {

using listing::ListingProblem;
using listing::ListingResult;

int runImport(const QStringList& arguments);

// Throws the error line for a --from that is not a folder.
void requireListingFolder(const QString& from);

// The value of --min-entries N (or --min-entries=N) at arguments[i]; moves
// i past it. The floor every registry file of the listing must reach in
// place of the usual ones (a small listing of one's own).
int minEntriesOption(const QStringList& arguments, qsizetype& i);

// "FILE:LINE: REASON" (or "FILE: REASON", "FILE:LINE: warning: REASON") on stderr.
void printListingProblem(const ListingProblem& problem);

// "46524 records: MA-L 32530, MA-M 4390, MA-S 5029, IAB 4575; 0 lines skipped"
QString importSummary(const ListingResult& result);

} // namespace zorvane::tools
