#pragma once
// The files zorvane-db export writes for the programs network people run,
// made from table "oui" (ExportFormats.cpp). Each takes the records in table
// order; a record whose Code is no vendor code (VendorCode.h) is left out of
// the three prefix files, as is a code after its first record (the export
// command puts first the record that lookup answers with, the user's before
// the listing's) and a record without a vendor.

#include <optional>
#include <string>
#include <vector>

namespace zorvane::tools {

// One record of table "oui": its Code, Vendor and Address (CR LF between
// lines), each null when the field is.
struct VendorRow {
    std::optional<std::string> code, vendor, address;
};

// Wireshark's manuf: "00:1A:2B<TAB>Short<TAB>Long name", 28- and 36-bit
// blocks as "20:85:93:B0:00:00/28"; the short name (at most 8 characters,
// no blanks) made from the vendor's name.
std::string wiresharkManuf(const std::vector<VendorRow>& rows, const std::string& from);
// The short name Wireshark shows for a vendor.
std::string wiresharkShortName(const std::string& vendor);
// nmap's nmap-mac-prefixes: "001A2B Vendor", MA-L codes only (nmap 7.93
// reads 24-bit prefixes alone).
std::string nmapPrefixes(const std::vector<VendorRow>& rows, const std::string& from);
// arp-scan's --ouifile: "001A2B<TAB>Vendor", prefixes of 6, 7 and 9 digits.
std::string arpScanOuiFile(const std::vector<VendorRow>& rows, const std::string& from);
// The IEEE's own text, one file per registry, by RegistryFiles' names:
// {"oui.txt", text}, {"mam.txt", ...}, {"oui36.txt", ...}, {"iab.txt", ...}.
std::vector<std::pair<std::string, std::string>> ieeeListing(const std::vector<VendorRow>& rows);

} // namespace zorvane::tools
