#pragma once
// Creates a new Access 2000 (Jet 4) database file from nothing: the header
// page, the database-wide usage map, the system catalog (MSysObjects with the
// containers and system tables a new database has, MSysACEs, MSysQueries,
// MSysRelationships) and the given user tables holding the given rows, in the
// given order.

#include "records/jet/Format.h"
#include "records/jet/Options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::jet {

struct NewColumn {
    std::string name;          // UTF-8
    // Text, Memo, Boolean, Byte, Integer, Long, Currency, Single, Double or
    // Date/Time (format::ColumnType).
    std::uint8_t type = format::TypeText;
    std::uint16_t maxChars = 255;  // Text: at most this many characters (1 to 255)
    bool autoNumber = false;       // Long: numbered by the database (AutoNumber)
};

// An index over Long, Text, Byte and Yes/No fields (format::TypeTable's
// createdIndex), kept in one index page (a few hundred rows); a text
// Access's keys have not shown how to encode is refused.
struct NewIndex {
    std::string name;                 // UTF-8
    std::vector<std::size_t> columns; // indexes into NewTable::columns
    bool primaryKey = false;          // unique and required
    bool descending = false;          // every field in descending order
};

struct NewTable {
    std::string name;          // UTF-8; letters and the digits 1 to 4
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
};

// One value: text (possibly empty) or a database null. Values of fields other
// than Text and Memo are given in the text the reader gives back for them
// ("12", "-3.5000", "0.25", "2024-02-29 13:05:00", "True"; ValueText.h).
using NewValue = std::optional<std::u16string>;
using NewRow = std::vector<NewValue>;  // one value per column

// One table of a new database with its rows.
struct NewTableRows {
    const NewTable& table;
    const std::vector<NewRow>& rows;
};

struct CreateOptions {
    bool overwrite = false;  // replace an existing file
    std::u16string password;  // the database password (at most 20 characters); empty: none
    // The database's page map as other writers make it: of the reference
    // kind, or inline starting at this page (the pages before it in use).
    bool referencePageMap = false;
    std::uint32_t pageMapStart = 0;
    // With `overwrite`: the caller holds the file replaced open for writing
    // (its writer lock) until the new one is in place, so no lock is taken
    // here and nobody writes the old file meanwhile.
    bool lockHeld = false;
};

// Writes the database to a temporary file beside `path`, flushes it to disk and
// renames it into place. Throws Error (naming `path`) when the file exists and
// `overwrite` is off, when a value does not fit its column, or when writing
// fails; nothing is left behind then. `engine` is what the file replaced is
// opened with (its lock) and the file system the new one is written through.
void createDatabase(const std::string& path, const std::vector<NewTableRows>& tables,
                    const CreateOptions& options = {}, const Options& engine = {});

} // namespace zorvane::jet
