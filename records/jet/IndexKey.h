#pragma once
// Index keys as Access 2000 makes them under its "General" sort order (the
// one of Access 2000 to 2003: locale 0x0409, sort version 0). Per column of
// the index: a flag byte (0x7F a value, 0x00 null), then the value's bytes,
// so that keys compare as byte strings; a descending column's bytes, flag
// included, are inverted (0x80 a value, 0xFF null).
//
//   Integer, Long,    most significant byte first, sign bit flipped
//   Currency
//   Single, Double,   most significant byte first; a positive value (sign bit
//   Date/Time         clear) with the sign bit set, a negative one inverted
//   Text, Memo        the first 255 characters, trailing blanks dropped, one
//                     code per character (one or two bytes; letters share it
//                     whatever their case), then 0x01; a hyphen or apostrophe
//                     has no code in that run but goes after it with its
//                     place (the count of main-run characters before it):
//                     0x01 0x01 0x01, then per such character the word
//                     0x8000 | (7 + 4 * place), most significant byte first,
//                     0x06 and its code (hyphen 0x82, apostrophe 0x80); then
//                     0x00 closes the key.
//
// Access's own keys confirm Long (both signs), positive Date/Time, a null
// in a descending field, descending Long, the codes of every printable
// ASCII character in IndexKey.cpp and places up to 111 (an ascending null
// is its inverse); Integer and Currency follow Long's form, Single, Double
// and negative values Date/Time's. What no key confirms and nothing
// confirmed implies (a control or non-ASCII character, whose keys add
// further sections, a place past 111, a Byte or Yes/No field, another sort
// order) is "not encodable" with the reason, so that a writer can refuse
// before it writes.

#include "records/jet/Table.h"

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
// Appends a null's key.
void appendNull(bool descending, Bytes& out);

// Why index `real` of `def` can have no key encoded (a field type or sort
// order not handled), or "".
std::string checkIndex(const TableDef& def, const RealIndexDef& real);

// The key of row `row` of `table` in index `real`: "" with `out` set, or the
// reason it is not encodable. `allNull` tells whether every key field is null.
std::string rowKey(Table& table, std::size_t row, const RealIndexDef& real, Bytes& out, bool* allNull = nullptr);

} // namespace zorvane::jet::indexkey
