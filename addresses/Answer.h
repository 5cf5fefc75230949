#pragma once
// The columns of an address's answer, in their order, as zorvane-db lookup
// writes them with --csv (the header line) and --json (the members' keys),
// and as the Addresses window saves its rows: the one list of them.
#include "addresses/VendorIndex.h"
#include "records/Csv.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace zorvane::addresses::answer {

enum Column : std::size_t {
    Input,    // the address as written in the item
    Address,  // the address as addressText writes it
    Code,     // the vendor's record: its Code,
    Vendor,   // its Vendor,
    Postal,   // its Address with the lines joined by ", ",
    Block,    // and the block its code comes from
    Flags,    // flagWords
    Kind,     // kindOf
    ColumnCount
};

inline constexpr std::array<std::string_view, ColumnCount> Names = {
    "input", "address", "code", "vendor", "postal", "block", "flags", "kind"};

// The vendor's columns (Code to Block) of `v`.
inline std::array<std::string_view, Block - Code + 1> vendorColumns(const addresses::Vendor& v) {
    return {v.code, v.name, v.postal, v.block};
}

// The CSV header line, CR LF included.
template <typename Bytes>
void appendCsvHeader(Bytes& out) {
    for (std::size_t i = 0; i < ColumnCount; ++i) {
        if (i)
            out += ',';
        out.append(Names[i].data(), static_cast<decltype(out.size())>(Names[i].size()));
    }
    out.append("\r\n", 2);
}

// The vendor's columns as CSV fields, a comma between them; all empty for no
// vendor. An empty field stays bare throughout the answer: there are no nulls
// to tell apart.
template <typename Bytes>
void appendCsvVendor(Bytes& out, const addresses::Vendor* v) {
    if (!v) {
        out.append(",,,", 3);
        return;
    }
    const auto fields = vendorColumns(*v);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        records::appendCsvField(out, fields[i], records::CsvEmptyText::Bare);
    }
}

} // namespace zorvane::addresses::answer
