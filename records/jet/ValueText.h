#pragma once
// Every value the engine reads comes out as text (or null). One canonical
// text form per column type (format::TypeTable gives each type its form):
//
//   Text, Memo       the characters as stored (UCS-2 or the compressed form)
//   Byte, Integer,   decimal, with "-" when negative: "0", "-1", "333333333"
//   Long
//   Single, Double   the shortest decimal that reads back as the same value
//                    (std::to_chars): "444.555", "0.1", "1e+20", "-0", "nan", "inf"
//   Currency         fixed point with exactly four decimals: "3.5000", "-0.0001"
//   Date/Time        "YYYY-MM-DD HH:MM:SS", rounded to the nearest second;
//                    a value outside the years 100 to 9999 reads as its number
//   Boolean          "True" or "False"
//   Replication ID   "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex
//   Numeric          plain decimal with exactly `scale` decimals: "12.50", "-1"
//   Binary, OLE and  upper-case hex, two digits per byte, no separators
//   any other type
//
// Text is produced as UTF-16 code units appended to a caller's buffer, so a
// caller that keeps one buffer reads values without allocating.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvane::jet {

// Appends the characters of a stored text value (plain UCS-2 or compressed).
void appendStoredText(const std::uint8_t* data, std::size_t length, std::u16string& out);

// Appends the canonical text of a fixed-size value of `type` (a column type
// code). `scale` applies to Numeric. Returns false when `length` is too short
// for the type.
bool appendFixedValue(std::uint8_t type, const std::uint8_t* data, std::size_t length,
                      std::uint8_t scale, std::u16string& out);

// Day 0 of a date value.
inline constexpr std::chrono::sys_days DateEpoch = std::chrono::year{1899} / 12 / 30;

void appendBoolean(bool value, std::u16string& out);
void appendHex(const std::uint8_t* data, std::size_t length, std::u16string& out);
// Days since 1899-12-30 (fraction: time of day) as "YYYY-MM-DD HH:MM:SS".
void appendDateTime(double days, std::u16string& out);

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string toUtf8(const std::u16string& text);
// UTF-8 to UTF-16 (an invalid sequence becomes U+FFFD).
std::u16string fromUtf8(const std::string& text);

} // namespace zorvane::jet
