#pragma once
// Values as the writers store them: text (plain UCS-2 or the compressed form),
// fixed-size values given as text, index keys of names in the "General" sort
// order, and date values. Layout: docs/jet4-format.md, "Data pages and rows"
// and "Date values".

#include "records/os/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

// Appends the stored bytes of `text`. With `allowCompression` the compressed
// form (marker, then one byte per character whose high byte is zero, a zero
// byte switching to and from two-byte characters) is used when it is shorter
// and every character can be written in it; otherwise plain UCS-2. A text
// that begins with U+FEFF is always compressed (its plain form would read as
// compressed); one that cannot be throws Error.
void appendEncodedText(const std::u16string& text, bool allowCompression,
                       std::vector<std::uint8_t>& out);

// Appends the index key of a name in the "General" sort order (letters without
// regard to case, and the digits 1 to 4), closed by the end-of-text bytes.
// Returns false, appending nothing, when the name holds any other character.
bool appendNameIndexKey(const std::u16string& name, std::vector<std::uint8_t>& out);

// Appends the stored bytes of a fixed-size value of `type` (Byte, Integer,
// Long, Currency, Single, Double, Date/Time) given in the canonical text the
// reader produces for it (ValueText.h): "-12", "3.5000", "0.1",
// "2024-02-29 13:05:00". Returns false, appending nothing, when the text is not
// such a value or does not fit the type.
bool appendFixedValueBytes(std::uint8_t type, const std::u16string& text,
                           std::vector<std::uint8_t>& out);

// A calendar date and time as a date value: days since 1899-12-30, the time of
// day as the fraction's magnitude (so 1899-12-29 06:00 is -1.25).
double dateValue(int year, int month, int day, int hour, int minute, int second);
// The current local time as a date value, as `sys` tells it.
double dateValueNow(os::FileSystem& sys);

} // namespace zorvane::jet
