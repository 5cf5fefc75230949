#pragma once
// Index keys as Access 2000 makes them under its "General" sort order: the
// form per type, the text key's sections and which of them Access's own keys
// confirm are in docs/jet4-format.md ("Index keys"); the character codes are
// the table in IndexKey.cpp. What no key confirms and nothing confirmed
// implies is "not encodable" with the reason, so that a writer can refuse
// before it writes.

#include "records/jet/Table.h"

#include <functional>
#include <optional>
#include <string>

namespace zorvane::jet::indexkey {

// Appends the key of `text` (a Text or Memo value); returns the reason it
// is not encodable, or "" (then `out` has the key).
std::string appendText(const std::u16string& text, bool descending, Bytes& out);
// Appends the key of a fixed-size value of `type` (its bytes as the row
// holds them); returns the reason, or "".
std::string appendFixed(std::uint8_t type, const std::uint8_t* data, std::size_t length, bool descending,
                        Bytes& out);
// Appends the key of a Yes/No value (held in the null mask, never null).
void appendBoolean(bool value, bool descending, Bytes& out);
// Appends a null's key.
void appendNull(bool descending, Bytes& out);

// Why index `real` of `def` can have no key encoded (a field type or sort
// order not handled), or "".
std::string checkIndex(const TableDef& def, const RealIndexDef& real);

// One field of a record as a key is made from it: for Text and Memo its
// text, for other types its bytes as the row holds them (for Yes/No,
// hasValue is the value). The source returns false for a null.
using KeyFieldSource = std::function<bool(std::size_t column, std::u16string& text, ColumnBytes& bytes)>;

// What appendKey found besides the key.
struct KeyReport {
    int firstNull = -1;   // index into def.columns of the first null key field (-1: none)
    bool allNull = true;  // every key field is null
    int failed = -1;      // the field whose value has no key (the reason returned says why)
};

// The one way from a record to its key in index `real` of `def`: appends
// the key of the record whose fields `field` gives (asked in key order, by
// index into def.columns); returns "" or the reason it is not encodable.
// Used by the reader (rowKey), the table writer (rowIndexKey, IndexWriter.h)
// and the new-file builder (CreateDatabase.cpp).
std::string appendKey(const TableDef& def, const RealIndexDef& real, const KeyFieldSource& field, Bytes& out,
                      KeyReport& report);

// `reason` from appendKey with the field it concerns named, as "REASON
// (field "NAME")".
std::string withField(const TableDef& def, const KeyReport& report, std::string reason);

// The key of row `row` of `table` in index `real`: "" with `out` set, or the
// reason it is not encodable (naming the field). `allNull` tells whether
// every key field is null.
std::string rowKey(Table& table, std::size_t row, const RealIndexDef& real, Bytes& out, bool* allNull = nullptr);

} // namespace zorvane::jet::indexkey
