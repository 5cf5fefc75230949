#include "addresses/AddressText.h"

#include <array>

namespace zorvane::addresses {

namespace {

// Character classes by byte: a word character (letters, digits, '_' and
// every byte of a multi-byte UTF-8 character), of those the hex digits, and
// the separators that join the groups of an address.
enum : std::uint8_t { Word = 1, Hex = 2, Separator = 4 };

constexpr std::array<std::uint8_t, 256> classes = [] {
    std::array<std::uint8_t, 256> c{};
    for (int b = 0; b < 256; ++b) {
        if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F'))
            c[b] = Word | Hex;
        else if ((b >= 'g' && b <= 'z') || (b >= 'G' && b <= 'Z') || b == '_' || b >= 0x80)
            c[b] = Word;
    }
    c[':'] = c['-'] = c['.'] = Separator;
    return c;
}();

std::uint8_t classOf(char c) { return classes[static_cast<unsigned char>(c)]; }

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

constexpr int MostGroups = 8;
constexpr std::size_t LongestToken = 8 * 2 + 7;  // eight two-digit groups and their separators

} // namespace

unsigned Address::octet(int index) const {
    const int shift = nibbles - 2 * index - 2;
    return unsigned(shift >= 0 ? value >> 4 * shift : value << 4) & 0xFF;
}

// The most common forms, read without splitting: "00:1a:2b:3c:4d:5e" (or
// with '-'), "001a.2b3c.4d5e" and "001a2b3c4d5e". False: another form, for
// the general reading.
bool readCommon(std::string_view t, Address& a) {
    const auto digits = [&](std::size_t at, std::size_t count) {
        for (std::size_t i = at; i < at + count; ++i) {
            const int v = hexValue(t[i]);
            if (v < 0)
                return false;
            a.value = a.value << 4 | std::uint64_t(v);
        }
        return true;
    };
    a = Address{0, 12};
    if (t.size() == 17 && (t[2] == ':' || t[2] == '-')) {
        for (std::size_t at = 2; at < 17; at += 3)
            if (t[at] != t[2])
                return false;
        for (std::size_t at = 0; at < 17; at += 3)
            if (!digits(at, 2))
                return false;
        return true;
    }
    if (t.size() == 14 && t[4] == '.' && t[9] == '.')
        return digits(0, 4) && digits(5, 4) && digits(10, 4);
    if (t.size() == 12)
        return digits(0, 12);
    return false;
}

std::optional<Address> readAddress(std::string_view token, bool prefixes) {
    if (token.empty() || token.size() > LongestToken)
        return std::nullopt;
    if (Address common; readCommon(token, common))
        return common;
    // The groups between separators; one kind of separator only.
    std::array<std::string_view, MostGroups> groups;
    int count = 0;
    char separator = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= token.size(); ++i) {
        if (i < token.size()) {
            const std::uint8_t c = classOf(token[i]);
            if (c & Hex)
                continue;
            if (!(c & Separator) || (separator && token[i] != separator))
                return std::nullopt;
            separator = token[i];
        }
        if (i == start || count == MostGroups)
            return std::nullopt;  // an empty group, or too many
        groups[count++] = token.substr(start, i - start);
        start = i + 1;
    }

    Address a;
    // Appends a group's digits, with leading zeros up to `width`.
    const auto take = [&a](std::string_view group, std::size_t width) {
        for (std::size_t pad = group.size(); pad < width; ++pad)
            a.value <<= 4, ++a.nibbles;
        for (const char c : group)
            a.value = a.value << 4 | std::uint64_t(hexValue(c)), ++a.nibbles;
    };
    std::size_t longest = 0;
    for (int i = 0; i < count; ++i)
        longest = std::max(longest, groups[i].size());
    const std::string_view last = groups[count - 1];

    if (count == 1) {
        take(last, 0);  // bare digits
    } else if (longest <= 2 && separator != '.') {
        // Octets, a short one missing its leading zero; in a prefix the last
        // group is taken as written (one digit: half an octet).
        const bool whole = count == 6 || count == 8;
        if (!whole && !(prefixes && count >= 3 && count <= 5))
            return std::nullopt;
        for (int i = 0; i < count; ++i)
            take(groups[i], whole || i + 1 < count ? 2 : 0);
    } else if (count == 2 && separator != '.' && (groups[0].size() == 6 || groups[0].size() == 8)) {
        // Two halves: "001a2b:3c4d5e", "001a2bff-fe3c4d5e".
        if (last.size() != groups[0].size() && !(prefixes && groups[0].size() == 6))
            return std::nullopt;
        take(groups[0], 0), take(last, 0);
    } else if (separator != ':') {
        // Groups of four: "001a.2b3c.4d5e", "001a-2b3c-4d5e-6f70".
        for (int i = 0; i + 1 < count; ++i)
            if (groups[i].size() != 4)
                return std::nullopt;
        if (count > 4 || last.size() > 4 || (last.size() != 4 && !prefixes))
            return std::nullopt;
        for (int i = 0; i < count; ++i)
            take(groups[i], 0);
    } else {
        return std::nullopt;
    }
    if (a.nibbles == 12 || a.nibbles == 16 || (prefixes && a.nibbles >= 6 && a.nibbles <= 11))
        return a;
    return std::nullopt;
}

void findAddresses(std::string_view text, std::vector<Found>& out) {
    const std::size_t n = text.size();
    // The end of the word that begins at `at`, and whether it is all hex digits.
    const auto wordEnd = [&](std::size_t at, bool& hex) {
        hex = true;
        for (; at < n; ++at) {
            const std::uint8_t c = classOf(text[at]);
            if (!(c & Word))
                break;
            hex = hex && (c & Hex);
        }
        return at;
    };
    for (std::size_t i = 0; i < n;) {
        if (!(classOf(text[i]) & Word)) {
            ++i;
            continue;
        }
        bool hex = false;
        std::size_t end = wordEnd(i, hex);
        if (!hex) {
            i = end;  // a word such as "lladdr", "Apple_11" or "5g"
            continue;
        }
        // The chain of hex-digit words joined by single separators.
        const std::size_t start = i;
        char separator = 0;
        bool mixed = false;
        int groups = 1;
        while (end + 1 < n && (classOf(text[end]) & Separator) && (classOf(text[end + 1]) & Word)) {
            bool nextHex = false;
            const std::size_t next = wordEnd(end + 1, nextHex);
            if (!nextHex)
                break;
            mixed = mixed || (separator && text[end] != separator);
            separator = text[end];
            end = next;
            ++groups;
        }
        i = end;
        if (mixed || groups > MostGroups)
            continue;
        // A separator before the chain that follows another ("fe80::1a:..."),
        // or one after it that leads on to more ("...:5e:6g", "...5e::1"),
        // makes the chain part of a longer token.
        if (start >= 2 && (classOf(text[start - 1]) & Separator) && (classOf(text[start - 2]) & Separator))
            continue;
        if (end + 1 < n && (classOf(text[end]) & Separator) && (classOf(text[end + 1]) & (Word | Separator)))
            continue;
        if (const auto address = readAddress(text.substr(start, end - start), false))
            out.push_back({start, end - start, *address});
    }
}

void readItem(std::string_view text, std::vector<Found>& out) {
    out.clear();
    const std::string_view space = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return;
    const std::size_t last = text.find_last_not_of(space);
    if (last - first < LongestToken)
        if (const auto whole = readAddress(text.substr(first, last + 1 - first), true)) {
            out.push_back({first, last + 1 - first, *whole});
            return;
        }
    findAddresses(text, out);
}

void appendAddressText(std::string& out, const Address& address) {
    char text[24];
    std::size_t length = 0;
    for (int i = 0; i < address.nibbles; ++i) {
        if (i && i % 2 == 0)
            text[length++] = ':';
        text[length++] = "0123456789ABCDEF"[(address.value >> 4 * (address.nibbles - 1 - i)) & 15];
    }
    out.append(text, length);
}

std::string addressText(const Address& address) {
    std::string out;
    appendAddressText(out, address);
    return out;
}

std::string codeText(const Address& address, int nibbles) {
    std::string out;
    for (int i = 0; i < nibbles; ++i) {
        if (i && i % 2 == 0)
            out += '-';
        out += "0123456789ABCDEF"[(address.value >> 4 * (address.nibbles - 1 - i)) & 15];
    }
    return out;
}

} // namespace zorvane::addresses
