#pragma once
// Vendor codes (the Code field of table "oui") in the form the table keeps
// them: 6, 7 or 9 hex digits in upper case, in pairs split by '-', a last
// odd digit on its own: 00-1A-2B (MA-L), 20-85-93-B (MA-M), 70-B3-D5-F2-F
// (MA-S).

#include <optional>
#include <string>
#include <string_view>

namespace zorvane::tools {

// `text` as a stored vendor code, when it is one in the usual notations of
// hardware addresses: groups of one or two digits split by ':' or '-' (a
// short group before the last one is an octet without its leading zero, a
// last group of one digit half an octet), groups of four split by '.', or
// bare digits; 6, 7 or 9 digits in all.
std::optional<std::string> storedVendorCode(std::string_view text);

// The hex digits of a stored code ("70B3D5F2F"); empty when it is none.
std::string codeDigits(std::string_view code);

} // namespace zorvane::tools
