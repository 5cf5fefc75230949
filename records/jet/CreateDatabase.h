#pragma once
// Creates a new Access 2000 (Jet 4) database file from nothing: the header
// page, the database-wide usage map, the system catalog (MSysObjects with the
// containers and system tables a new database has, MSysACEs, MSysQueries,
// MSysRelationships) and one user table of text and memo columns holding the
// given rows, in the given order.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::jet {

struct NewColumn {
    std::string name;          // UTF-8
    bool memo = false;         // long text; otherwise text of at most maxChars
    std::uint16_t maxChars = 255;
};

struct NewTable {
    std::string name;          // UTF-8; letters and the digits 1 to 4
    std::vector<NewColumn> columns;
};

// One value: text (possibly empty) or a database null.
using NewValue = std::optional<std::u16string>;
using NewRow = std::vector<NewValue>;  // one value per column

struct CreateOptions {
    bool overwrite = false;  // replace an existing file
    std::u16string password;  // the database password (at most 20 characters); empty: none
};

// Writes the database to a temporary file beside `path`, flushes it to disk and
// renames it into place. Throws Error (naming `path`) when the file exists and
// `overwrite` is off, when a value does not fit its column, or when writing
// fails; nothing is left behind then.
void createDatabase(const std::string& path, const NewTable& table,
                    const std::vector<NewRow>& rows, const CreateOptions& options = {});

// The file as bytes, without touching the disk (for the above and for tests).
std::vector<std::uint8_t> buildDatabaseImage(const std::string& label, const NewTable& table,
                                             const std::vector<NewRow>& rows,
                                             const std::u16string& password = {});

} // namespace zorvane::jet
