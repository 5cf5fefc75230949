#pragma once
// zorvane-db import [--from DIR] [--force] OUT.mdb: a new vendor database built
// from the IEEE listing (default folder /var/lib/ieee-data), with table "oui"
// and, beside it, the listing as imported (records::ListingTableName).

#include "records/VendorDatabase.h"
#include "tools/IeeeListing.h"

#include <QStringList>

#include <vector>

namespace zorvane::tools {

// Where Debian's update-ieee-data keeps the newest listing (until it first
// runs, its files link to those of the ieee-data package).
inline constexpr char DefaultListingFolder[] = "/var/lib/ieee-data";

int runImport(const QStringList& arguments);

// One record of table "oui" per entry: Address holds the lines joined by CR LF,
// Address1 to address5 the first five lines (empty text beyond the last).
records::VendorRecord vendorRecordOf(const ListingEntry& entry);

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
