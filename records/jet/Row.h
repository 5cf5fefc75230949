#pragma once
// The row layer: where each value lies in a row, and the values, including
// memo and OLE values kept on long-value pages. Layout: docs/jet4-format.md,
// "Data pages and rows" and "Long values".

#include "records/jet/Catalog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

// Bytes a fixed-length column takes in the fixed area of a row (0 for a
// Boolean, whose value lives in the null mask).
std::size_t fixedValueSize(const Column& column);

// Where one column's value sits in a row.
struct ColumnBytes {
    bool hasValue = false;   // false: null (or, for Boolean, the value false)
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

// Finds `column` in `row`. A column the row does not hold (added after the
// row was written) reads as null. Throws Error (naming `what`) when the
// row's layout is impossible.
ColumnBytes locateColumn(PageFile& file, const TableDef& table, const Column& column,
                         const RowSpan& row, const std::string& what);

// The bytes of a long value (memo, OLE) from its 12-byte reference. Inline
// and single-page values point into the pages; a value spread over several
// pages is gathered into `scratch`. Throws Error on a broken or cyclic chain.
ColumnBytes readLongValue(PageFile& file, const std::uint8_t* reference, std::size_t length,
                          std::vector<std::uint8_t>& scratch, const std::string& what);

// Appends the canonical text of `column` in `row` to `out` (see ValueText.h).
// Returns false for null, leaving `out` as it was.
bool appendColumnText(PageFile& file, const TableDef& table, const Column& column,
                      const RowSpan& row, std::u16string& out,
                      std::vector<std::uint8_t>& scratch, const std::string& what);

} // namespace zorvane::jet
