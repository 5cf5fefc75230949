#pragma once
#include "addresses/AddressText.h"

#include <QString>

#include <optional>

namespace zorvane::lookup {

// A term typed into the code box that is a hardware address, or a prefix of
// one, in another notation than the stored code form ("00:1a:2b:3c:4d:5e",
// "001A2B", "001a.2b3c.4d5e", "00-1A-2B-3C-4D-5E"): the address, which a
// search by code runs for as the stored code it could match. A term already
// in the code form ("00-1A-2B", "70-B3-D5-F2-F", "00-1a-2b-3"), and any other
// text, is searched for as typed (none).
std::optional<addresses::Address> addressInCodeBox(const QString& typed);

// The digits of a stored Code (6, 7 or 9 hex digits; otherwise none).
std::optional<addresses::Address> storedCodeDigits(const QString& code);

} // namespace zorvane::lookup
