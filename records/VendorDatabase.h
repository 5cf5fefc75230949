#pragma once
#include "records/jet/Options.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace zorvane::records {

// Table "oui" of the vendor database: eight text fields, spelled exactly so.
inline constexpr std::array<const char*, 8> VendorFieldNames = {
    "Code", "Vendor", "Address", "Address1", "address2", "address3", "address4", "address5"};

// One record: the eight fields in the order above; no value is a database null.
struct VendorRecord {
    std::array<std::optional<QString>, 8> fields;
};

// The listing as last imported or refreshed, kept beside table "oui" with the
// same fields, so that a refresh can tell the user's changes from the
// listing's.
inline constexpr char ListingTableName[] = "ouiListing";

// The IEEE's company IDs (the CID registry), with the fields of table "oui":
// the holders of ELI addresses. It holds the registry as last imported or
// refreshed; nothing else writes it.
inline constexpr char CidTableName[] = "cid";

// Writes a new Access 2000 database at `path` holding table "oui" with the
// records in the given order, given `listing`, table "ouiListing" with
// those, and given `cids`, table "cid" with those. Writes a temporary file
// beside `path` and renames it into place;
// refuses an existing `path` unless `overwrite`. A `password` protects the new
// database as Access does. `engine`: as for jet::createDatabase. Throws
// jet::Error.
void createVendorDatabase(const QString& path, const std::vector<VendorRecord>& records,
                          bool overwrite = false, const QString& password = {},
                          const std::vector<VendorRecord>* listing = nullptr,
                          const jet::Options& engine = {},
                          const std::vector<VendorRecord>* cids = nullptr);

} // namespace zorvane::records
