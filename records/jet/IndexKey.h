#pragma once
// Index keys as Access 2000 makes them under its "General" sort order (the
// one of Access 2000 to 2003: locale 0x0409, sort version 0). Per column of
// the index: a flag byte (0x7F a value, 0x00 null), then the value's bytes,
// so that keys compare as byte strings; a descending column's bytes, flag
// included, are inverted (0x80 a value, 0xFF null).
//
//   Byte              the byte
//   Yes/No            0x00 Yes, 0xFF No
//   Integer, Long,    most significant byte first, sign bit flipped
//   Currency
//   Single, Double,   most significant byte first; a positive value (sign bit
//   Date/Time         clear) with the sign bit set, a negative one inverted
//   Binary            the bytes, zeros up to 8, then the count of bytes
//   Text, Memo        the first 255 characters, trailing blanks dropped:
//                     the main run, one code per character (one or two
//                     bytes; letters share it whatever their case and
//                     accent; Æ, Þ and ß take two letters' codes), then 0x01;
//                     the accent section, a byte per main-run character
//                     (0x02: no accent) up to the last other one; then, when
//                     a character was placed, 0x01 0x01 0x01 and per placed
//                     character the word 0x8000 | (7 + 4 * place), most
//                     significant byte first, 0x06 and its code; then 0x00
//                     closes the key. Placed characters (hyphen, apostrophe,
//                     soft hyphen, control characters but tab to carriage
//                     return) have no code in the main run; a place is the
//                     count of main-run characters before it. A descending
//                     text's inverted key is followed by 0x00.
//
// Access's own keys confirm every form above (Binary values of 4 bytes only)
// and the codes in IndexKey.cpp: the characters U+0001 to U+00FF, places up
// to 111, Long (both signs), positive Date/Time, Byte and Yes/No in both
// orders, descending Long and text; Integer and Currency follow Long's
// form, Single, Double and negative values Date/Time's. What no key
// confirms and nothing confirmed implies (U+0000 and characters past U+00FF,
// a place past 111 or after a character of two letters' codes, another
// Binary length, another sort order, GUID and Decimal fields) is "not
// encodable" with the reason, so that a writer can refuse before it writes.

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
