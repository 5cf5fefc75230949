#pragma once
// zorvane-db import [--from DIR] [--force] OUT.mdb: a new vendor database built
// from the IEEE listing (default folder /usr/share/ieee-data).

#include "records/VendorDatabase.h"
#include "tools/IeeeListing.h"

#include <QStringList>

#include <vector>

namespace zorvane::tools {

inline constexpr char DefaultListingFolder[] = "/usr/share/ieee-data";

int runImport(const QStringList& arguments);

// One record of table "oui" per entry: Address holds the lines joined by CR LF,
// Address1 to address5 the first five lines (empty text beyond the last).
records::VendorRecord vendorRecordOf(const ListingEntry& entry);

// "46524 records: MA-L 32530, MA-M 4390, MA-S 5029, IAB 4575; 0 lines skipped"
QString importSummary(const ListingResult& result);

} // namespace zorvane::tools
