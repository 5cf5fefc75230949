#pragma once
// Hardware addresses in text: the usual notations of 48-bit (6-octet) and
// EUI-64 (8-octet) addresses read as whole tokens, prefixes of them (6 to 11
// hex digits) when a token is all there is, and every whole address found in
// a line of other text. No Qt: zorvane-db and the windows share it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::addresses {

// An address or the start of one: `nibbles` hex digits (6 to 12, or 16), the
// first the most significant, in the low bits of `value`.
struct Address {
    std::uint64_t value = 0;
    int nibbles = 0;

    // A whole 48-bit or 64-bit address, not a prefix.
    bool whole() const { return nibbles == 12 || nibbles == 16; }
    // The first `count` nibbles (count <= nibbles) as a number.
    std::uint64_t first(int count) const { return value >> 4 * (nibbles - count); }
    // Octet `index` (0 = first); half an octet at the end of a prefix
    // counts as its high nibble.
    unsigned octet(int index) const;
    bool operator==(const Address&) const = default;
};

// `token` read as one address in any of the usual notations: six (or eight)
// groups of one or two digits split by ':' or '-' ("0:1a:2b:3c:4d:5e"), three
// (four) groups of four split by '.' or '-' ("001a.2b3c.4d5e"), two halves
// split by ':' or '-' ("001a2b:3c4d5e"), or the bare digits. With
// `prefixes`, also the first 6 to 11 digits in one of these notations, where
// a last group of one digit after two-digit groups is half an octet
// ("70-B3-D5-F2-F"). Nothing else: no white space, no other character.
std::optional<Address> readAddress(std::string_view token, bool prefixes);

// An address found in text: where its token lies and what it reads as.
struct Found {
    std::size_t offset = 0;
    std::size_t length = 0;
    Address address;
};

// Appends every whole address in `text`, in order. Tokens are taken on word
// boundaries only: a token is a chain of hex-digit words joined by single
// ':', '-' or '.', and it counts only when the whole chain reads as an
// address; so nothing inside a word ("decade", "Apple_11:22:33"), nor inside
// a longer chain (a UUID, "00:1a:2b:3c:4d:5e:ff", "12:34:56.789", an IPv6
// address with "::") is taken. A label such as "mac:" or "HWaddr " before it,
// and punctuation after it ("...:5e.", "5e;", brackets, quotes) are fine.
void findAddresses(std::string_view text, std::vector<Found>& out);

// One item of input (a command-line argument, a line of standard input, a
// line of pasted text): when the whole item, white space around it aside,
// reads as an address or a prefix, that one; otherwise every whole address
// in it (none: an empty `out`). `out` is cleared first.
void readItem(std::string_view text, std::vector<Found>& out);

// "00:1A:2B:3C:4D:5E" (a prefix: "70:B3:D5:F2:F"); appendAddressText adds it to `out`.
std::string addressText(const Address& address);
void appendAddressText(std::string& out, const Address& address);
// The code form of the first `nibbles` digits: "00-1A-2B", "70-B3-D5-F2-F".
std::string codeText(const Address& address, int nibbles);

} // namespace zorvane::addresses
