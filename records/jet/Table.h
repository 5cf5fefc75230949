#pragma once
// The table layer: a table's rows in storage order (the pages its usage map
// marks, ascending; on each page the rows in slot order), deleted rows
// skipped. A row that grew and moved to another page is read where it now
// lives (its old slot only points there), which is the order in which other
// readers of these files (mdbtools, mdb-reader) list the rows too.

#include "records/jet/Catalog.h"
#include "records/jet/Row.h"

#include <string>
#include <string_view>
#include <vector>

namespace zorvane::jet {

// Where a row of the scan lives. A row that moved keeps its home slot (the
// slot that now holds only a pointer to it); for every other row the home is
// the row's own page and slot.
struct RowPlace {
    std::uint32_t page = 0;
    std::uint16_t slot = 0;
    std::uint32_t homePage = 0;
    std::uint16_t homeSlot = 0;
    bool moved() const { return page != homePage || slot != homeSlot; }
};

class Table {
public:
    // Scans the table's pages once; the rows then stay located. Throws Error.
    Table(PageFile& file, TableDef def);

    const TableDef& def() const { return def_; }
    const std::string& label() const { return label_; }
    PageFile& file() const { return file_; }
    std::size_t rowCount() const { return rows_.size(); }
    const RowSpan& row(std::size_t index) const { return rows_[index]; }
    const RowPlace& place(std::size_t index) const { return places_[index]; }

    // Appends the canonical text of column `column` (an index into
    // def().columns) of row `index`; false for null.
    bool appendText(std::size_t index, std::size_t column, std::u16string& out);
    // The raw bytes of a column (for the catalog's numeric fields).
    ColumnBytes bytes(std::size_t index, std::size_t column) const;
    // Index of the column named `name` (ASCII letters compared without case),
    // or -1.
    int columnIndex(std::string_view name) const;

private:
    PageFile& file_;
    TableDef def_;
    std::string label_;
    std::vector<RowSpan> rows_;
    std::vector<RowPlace> places_;
    std::vector<std::uint8_t> scratch_;
};

// ASCII case-insensitive comparison of UTF-8 names.
bool sameName(std::string_view a, std::string_view b);

} // namespace zorvane::jet
