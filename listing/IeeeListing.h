#pragma once
// The public IEEE listing of vendor-code assignments, as Debian's ieee-data
// package installs it: one text file per registry, each entry a "(hex)" line
// with the organization's name, a "(base 16)" line with the assigned range and
// the name again, then the address lines, and a blank line.
//
//   00-22-72   (hex)           American Micro-Fuel Device Corp.
//   002272     (base 16)       American Micro-Fuel Device Corp.
//                              2181 Buchanan Loop
//                              Ferndale  WA  98248
//                              US
//
// MA-L assignments give 24 bits ("00-22-72"), MA-M ranges 28 bits
// ("74-1A-E0-9"), MA-S and IAB ranges 36 bits ("70-B3-D5-F2-F").

#include "records/VendorDatabase.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace zorvane::listing {

enum class Registry { MaL, MaM, MaS, Iab };

struct RegistryFile {
    Registry registry;
    const char* label;     // "MA-L"
    const char* fileName;  // "oui.txt"
    int codeBits;          // 24, 28 or 36
};

// The four registries in the order they are imported.
inline constexpr std::array<RegistryFile, 4> RegistryFiles = {{
    {Registry::MaL, "MA-L", "oui.txt", 24},
    {Registry::MaM, "MA-M", "mam.txt", 28},
    {Registry::MaS, "MA-S", "oui36.txt", 36},
    {Registry::Iab, "IAB", "iab.txt", 36},
}};

// The IEEE's CID registry (company IDs, the first 24 bits of ELI addresses):
// optional beside the four, its entries in the form of MA-L ones.
inline constexpr RegistryFile CidRegistryFile = {Registry::MaL, "CID", "cid.txt", 24};

struct ListingEntry {
    Registry registry = Registry::MaL;
    QString code;              // upper-case hex with dashes
    QString vendor;
    QStringList addressLines;  // in order, each trimmed; none for e.g. "Private"
    int line = 0;              // of its (hex) line in the registry's file
};

// Input that was left out, or (a warning) taken with a repair.
struct ListingProblem {
    QString file;
    int line = 0;         // 1-based; 0 when it concerns the whole file
    QString reason;
    int skippedLines = 0; // input lines left out because of it
    bool warning = false; // the entry was kept, repaired as the reason says
};

struct ListingResult {
    std::vector<ListingEntry> entries;       // in listing order
    std::vector<ListingProblem> problems;
    std::array<int, 4> perRegistry{};        // entries per registry, by RegistryFiles order
    int skippedLines = 0;
    int filesRead = 0;
    // "FILE: reason" for the first registry file that cannot be the listing
    // (missing, empty, UTF-16, an HTML page, no entries): nothing may be
    // built from the result then.
    QString refused;
};

// Parses the text of one registry file (UTF-8, with or without a byte order
// mark; lines ended by LF, CR LF, CR alone or CR CR LF), appending its
// entries and problems to `result`. `fileName` names it in problems. A text
// that cannot be a registry file at all (empty, UTF-16, an HTML page) or
// that yields no entry sets `result.refused` instead.
void parseRegistryText(const QByteArray& text, const RegistryFile& registry,
                       const QString& fileName, ListingResult& result);

// Reads the four registry files from `folder`. A missing or unreadable file
// sets `refused`; the others are still read.
ListingResult readListing(const QString& folder);
// The same, taking the registries already read (`known`, by RegistryFiles
// order; none: read from the folder) as they are.
ListingResult readListing(const QString& folder, const std::array<const ListingResult*, 4>& known);

// The CID registry file of `folder`: none when the folder has no cid.txt
// (the listing is read as without it); otherwise its entries, or `refused`
// set when it cannot be read or is no registry file.
std::optional<ListingResult> readCidListing(const QString& folder);

// Longest text the vendor name and each address field may have.
inline constexpr int ListingFieldMaxChars = 255;
// `text` cut to ListingFieldMaxChars (never inside a surrogate pair).
QString cutToField(const QString& text);

// The fewest entries a complete registry file of a first import holds, by
// RegistryFiles order: far below what the IEEE lists (over 30,000 MA-L and
// 4,000 of each other), far above what a cut-off or wrong file yields.
inline constexpr std::array<int, 4> ImportEntryFloor = {20000, 2000, 2000, 2000};
// A new listing that replaces one holds at least this share (percent) of
// its entries, registry by registry.
inline constexpr int ReplacingEntryPercent = 90;

// The fewest entries each registry file must yield, and (for the message)
// how many the copy it would replace holds (-1: it replaces none).
struct ListingFloors {
    std::array<int, 4> least = ImportEntryFloor;
    std::array<int, 4> replaced = {-1, -1, -1, -1};
};
// The floors of a listing that replaces one of `entries` per registry: 90% of
// each, at least one.
ListingFloors replacingFloors(const std::array<int, 4>& entries);
// The same floor for every registry (at least 1): a small listing of one's own.
ListingFloors fixedFloors(int least);

// "FILE: reason" for the first registry of `result` (read from `folder`)
// that yields fewer entries than `floors` allow, or an empty string.
QString floorRefusal(const ListingResult& result, const QString& folder, const ListingFloors& floors);

// One record of table "oui" per entry: Address holds the lines joined by CR
// LF, Address1 to address5 the first five lines (cut to their field; empty
// text beyond the last).
records::VendorRecord vendorRecordOf(const ListingEntry& entry);

// The registry a vendor code of table "oui" comes from, by its form: 6, 7
// or 9 digits; of the 9-digit ones, IAB blocks lie in 00-50-C2 and 40-D8-55
// (the IAB registry is closed), the others are MA-S. -1: no listing code.
int registryOfCode(QStringView code);

} // namespace zorvane::listing
