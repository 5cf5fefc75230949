#pragma once
#include "records/VendorTable.h"
#include "records/jet/Options.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace zorvane::records {

// One record of table "oui": its fields by vendor::Field; no value is a
// database null.
struct VendorRecord {
    std::array<std::optional<QString>, vendor::FieldCount> fields;
};

// Writes a new Access 2000 database at `path` holding table "oui" with the
// records in the given order, given `listing`, table "ouiListing"
// (vendor::ListingTableName) with those, and given `cids`, table "cid"
// (vendor::CidTableName) with those. Writes a temporary file beside `path`
// and renames it into place;
// refuses an existing `path` unless `overwrite`. A `password` protects the new
// database as Access does. `engine`: as for jet::createDatabase. Throws
// jet::Error.
void createVendorDatabase(const QString& path, const std::vector<VendorRecord>& records,
                          bool overwrite = false, const QString& password = {},
                          const std::vector<VendorRecord>* listing = nullptr,
                          const jet::Options& engine = {},
                          const std::vector<VendorRecord>* cids = nullptr);

// The same over an existing `path` that the caller holds open for writing
// (its writer lock) until the new file has taken the name, so that no other
// program's change goes into the file replaced.
void replaceHeldVendorDatabase(const QString& path, const std::vector<VendorRecord>& records,
                               const QString& password, const std::vector<VendorRecord>* listing,
                               const jet::Options& engine, const std::vector<VendorRecord>* cids);

} // namespace zorvane::records
