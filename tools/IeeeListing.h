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

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace zorvane::tools {

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

struct ListingEntry {
    Registry registry = Registry::MaL;
    QString code;              // upper-case hex with dashes
    QString vendor;
    QStringList addressLines;  // in order, each trimmed; none for e.g. "Private"
    int line = 0;              // of its (hex) line in the registry's file
};

// Input that was left out (or, for a note, taken with a remark).
struct ListingProblem {
    QString file;
    int line = 0;         // 1-based; 0 when it concerns the whole file
    QString reason;
    int skippedLines = 0; // input lines left out because of it
};

struct ListingResult {
    std::vector<ListingEntry> entries;       // in listing order
    std::vector<ListingProblem> problems;
    std::array<int, 4> perRegistry{};        // entries per registry, by RegistryFiles order
    int skippedLines = 0;
    int filesRead = 0;
};

// Parses the text of one registry file (UTF-8, lines ended by CR LF or LF),
// appending its entries and problems to `result`. `fileName` names it in
// problems.
void parseRegistryText(const QByteArray& text, const RegistryFile& registry,
                       const QString& fileName, ListingResult& result);

// Reads the four registry files from `folder`. A missing or unreadable file is
// a problem of its own (line 0); the others are still read.
ListingResult readListing(const QString& folder);

// Longest text the vendor name and each address line may have.
inline constexpr int ListingFieldMaxChars = 255;

} // namespace zorvane::tools
