#pragma once
// The Addresses window's work on a text: every address of every line (lines
// are items as zorvane-db lookup reads them), answered by the vendor index,
// and the counts the window shows. Runs on a worker thread; no Qt.

#include "addresses/AddressText.h"
#include "addresses/VendorIndex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zorvane::addresswindow {

struct AddressRow {
    addresses::Address address;
    std::uint32_t line = 0;    // 1-based
    std::uint32_t offset = 0;  // of the address as written, in the text
    std::uint32_t length = 0;
    std::int32_t vendor = -1;  // into the index's vendors(); -1: none
    std::uint32_t kind = 0;    // into Scan::kinds
    std::uint8_t flags = 0;    // addresses::Flag bits
};

struct Scan {
    std::shared_ptr<const std::string> text;  // UTF-8, what the rows point into
    std::vector<AddressRow> rows;             // in text order
    // The Kind column's texts: the address's own name, else its flag words
    // ("multicast", "local", ...); [0] is "".
    std::vector<std::string> kinds;
    // Vendor names with their counts, most first (then by name).
    std::vector<std::pair<std::string, std::size_t>> vendors;
    std::size_t unknown = 0;  // no vendor and no name of its own, not local
    std::size_t local = 0;    // locally administered
};

Scan scanText(std::shared_ptr<const std::string> text, const addresses::VendorIndex& index);

// "1,000 addresses, 12 vendors, 3 unknown, 2 local"
std::string summaryLine(const Scan& scan);

} // namespace zorvane::addresswindow
