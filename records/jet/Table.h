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
#include <unordered_map>
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
    // Scans the table's pages once; the rows then stay located. Throws Error,
    // also when a user table's rows are not as many as its definition
    // records (a data page was lost: the sentence names it).
    Table(PageFile& file, TableDef def);

    // The first page the usage map marks that is no data page of the table
    // (a lost or foreign page), or 0 when there is none.
    std::uint32_t strayPage() const;

    // Brings the rows up to date after a write command (or its rollback)
    // that changed or added `changedPages` and nothing else: the definition
    // and usage map are read again, the listed pages and any page new to the
    // map are scanned again, and the rows of every other page stay as they
    // are (their pages keep their buffers). The result is the rows a new
    // scan would find, in the same order. Throws Error, leaving the rows as
    // they were.
    void refresh(const std::vector<std::uint32_t>& changedPages);

    // Index of the row living in `slot` of `page`, or rowCount() when the
    // scan holds no such row.
    std::size_t find(std::uint32_t page, std::uint16_t slot) const;

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
    // Pointer a moved row's home slot keeps -> that home slot's pointer.
    using Homes = std::unordered_map<std::uint32_t, std::uint32_t>;
    using Pointers = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    // Appends the live rows of map page `number` (none unless it is a data
    // page of this table) and the pointers its moved rows left behind.
    void scanPage(std::uint32_t number, std::vector<RowSpan>& rows,
                  std::vector<RowPlace>& places, Pointers& pointers) const;
    // Scans every page of `pages` (the usage map's) afresh.
    void load(std::vector<std::uint32_t> pages);
    static void setHome(RowPlace& place, const Homes& homes);

    PageFile& file_;
    TableDef def_;
    std::string label_;
    std::vector<RowSpan> rows_;
    std::vector<RowPlace> places_;
    // The map's pages, ascending; the rows of pages_[i] are
    // rows_[starts_[i], starts_[i + 1]).
    std::vector<std::uint32_t> pages_;
    std::vector<std::size_t> starts_;
    Homes homes_;
    bool ambiguousHomes_ = false;  // two home slots point at one row
    std::vector<std::uint8_t> scratch_;
};

// ASCII case-insensitive comparison of UTF-8 names.
bool sameName(std::string_view a, std::string_view b);

} // namespace zorvane::jet
