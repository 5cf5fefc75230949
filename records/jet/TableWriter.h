#pragma once
// The table layer's write side: adds, rewrites and deletes the rows of one
// user table, keeping the table's row count, the free space of its pages, its
// usage maps (pages used, pages with room; the same for its long values), its
// indexes and the database's page map exact, so that every reader of the
// file sees the change. Layout: docs/jet4-format.md, "Data pages and rows".
//
// Where rows go:
//  - A new row goes after every row of the table: into the room left on the
//    table's last data page, or onto a new page (PageSet.h).
//  - A rewritten row stays in its slot when the page has room for it (memo
//    values move out of the row onto long-value pages first, if that is what
//    it takes). Otherwise it moves to the end, as a new row would, and its
//    old slot keeps a pointer to it: Access finds it through that pointer in
//    its old place; this engine, mdbtools and mdb-reader list it where its
//    data now lives, at the end.
//  - A deleted row's bytes go back to the page, whose other rows close up;
//    the slot stays, flagged deleted, so row pointers to later slots stay
//    valid. Long values of the row are deleted with it. Data pages are never
//    given back to the file (index pages that empty are: IndexWriter.h).
//  - With Placement::AnyRoom (for a writer that does not need its new rows
//    last, such as refresh), a new or moved row goes instead onto the first
//    page of the table with room for it (as Access places rows), in the
//    first slot a deleted row left there: the room deleted and moved rows
//    left, on earlier pages too, is used again, so a table rewritten over
//    and over keeps its size. Only when no page has room does it go to the
//    end. Rows then come in the table's order where they landed, not last.
//
// All changes go into the file's current command (PageFile::begin()); the
// caller commits, or rolls back on an Error. A table the engine cannot keep
// is refused before anything changes (requireWritable), a value its field
// cannot hold before its row changes (checkValue).

#include "records/jet/Table.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::jet {

// One field's value for insert() and update(): text, or null.
struct FieldChange {
    std::size_t column = 0;                // index into TableDef::columns
    std::optional<std::u16string> value;   // std::nullopt: null
};

class TableWriter {
public:
    enum class Placement {
        AtEnd,    // new and moved rows after every row of the table
        AnyRoom,  // on the first page with room (after a given row)
    };

    // Throws Error when this engine cannot write rows of `def` (an index it
    // cannot keep up to date, a field it cannot number). Changes nothing.
    static void requireWritable(PageFile& file, const TableDef& def);
    // Throws Error when `value` cannot be stored in column `column`: a field
    // of a type the writer does not write (it writes Text, Memo and the
    // numbers Byte to Date/Time: format::TypeTable), text longer than the
    // field takes, a number it cannot read (given as ValueText.h writes it).
    static void checkValue(PageFile& file, const TableDef& def, std::size_t column,
                           const std::optional<std::u16string>& value);

    // Writes through the current command of `file`. Calls requireWritable.
    TableWriter(PageFile& file, const TableDef& def);
    ~TableWriter();
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    // How new and moved rows are placed from now on (AtEnd at first).
    void setPlacement(Placement placement);

    // Adds a row after every row of the table (AnyRoom: on the first page
    // with room, after `after` when given, so that rows added in order keep
    // it); fields not given are null (Boolean fields false), an AutoNumber
    // field the next number (one given that is higher moves the counter on).
    // Returns where it lives.
    RowPlace insert(const std::vector<FieldChange>& values, const RowPlace* after = nullptr);
    // Rewrites the row at `place` (as the table scan found it) with `changes`
    // applied; returns where the row lives now.
    RowPlace update(const RowPlace& place, const std::vector<FieldChange>& changes);
    // Deletes the row at `place`.
    void remove(const RowPlace& place);
    // Writes every change into the command; call once, before commit().
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zorvane::jet
