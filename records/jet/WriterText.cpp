#include "records/jet/WriterText.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/ValueText.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdint>
#include <optional>
#include <type_traits>

namespace zorvane::jet {

namespace {

bool isNarrow(char16_t c) { return c != 0 && (c & 0xFF00) == 0; }

// A character can be written in the compressed form when it is narrow, or
// when its low byte is not zero (a zero byte would read as a mode switch).
bool compressible(char16_t c) { return (c & 0x00FF) != 0; }

// Key bytes of the characters that names in a new database use. Letters
// share one code whatever their case.
constexpr std::array<std::uint8_t, 26> LetterKeys = {
    0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B,  // a..j
    0x00, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D,  // k..t (k unknown)
    0x6F, 0x00, 0x00, 0x75, 0x76, 0x00,                          // u..z (v, w, z unknown)
};
constexpr std::array<std::uint8_t, 5> DigitKeys = {0x00, 0x38, 0x3A, 0x3C, 0x3E};  // 0..4

std::uint8_t keyOf(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return LetterKeys[static_cast<std::size_t>(c - u'a')];
    if (c >= u'A' && c <= u'Z')
        return LetterKeys[static_cast<std::size_t>(c - u'A')];
    if (c >= u'0' && c <= u'4')
        return DigitKeys[static_cast<std::size_t>(c - u'0')];
    return 0;
}

} // namespace

void appendEncodedText(const std::u16string& text, bool allowCompression,
                       std::vector<std::uint8_t>& out) {
    // In plain form a text that begins with U+FEFF would begin with the
    // bytes of the compressed form's marker, and every reader would take it
    // for compressed: such a text is always written compressed.
    const bool markerLike = !text.empty() && text.front() == 0xFEFF;
    const bool canCompress =
        (allowCompression || markerLike) && std::all_of(text.begin(), text.end(), compressible);
    if (markerLike && !canCompress)
        throw Error("a text that begins with U+FEFF (a byte-order mark) and holds a character "
                    "whose low byte is zero cannot be stored so that it reads back the same.");
    const std::size_t start = out.size();
    if (canCompress) {
        out.push_back(format::CompressedTextMarker[0]);
        out.push_back(format::CompressedTextMarker[1]);
        bool narrow = true;
        for (const char16_t c : text) {
            const bool wantNarrow = isNarrow(c);
            if (wantNarrow != narrow) {
                out.push_back(0x00);
                narrow = wantNarrow;
            }
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
            if (!narrow)
                out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        // Kept when shorter than the plain form (a marker-like text always).
        if (markerLike || out.size() - start < text.size() * 2)
            return;
        out.resize(start);
    }
    writer::appendUcs2(out, text);
}

bool appendNameIndexKey(const std::u16string& name, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    for (const char16_t c : name) {
        const std::uint8_t key = keyOf(c);
        if (key == 0) {
            out.resize(start);
            return false;
        }
        out.push_back(key);
    }
    out.push_back(writer::IndexTextEnd);
    out.push_back(writer::IndexTextExtraEnd);
    return true;
}

double dateValue(int year, int month, int day, int hour, int minute, int second) {
    const long days = (std::chrono::sys_days{std::chrono::year{year} / month / day} - DateEpoch).count();
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

double dateValueNow(os::FileSystem& sys) {
    std::tm local{};
    sys.now(local);
    return dateValue(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                     local.tm_min, local.tm_sec);
}

namespace {

// The text as ASCII, or nothing when it holds any other character.
std::optional<std::string> ascii(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        if (c == 0 || c > 0x7F)
            return std::nullopt;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

template <typename T>
bool parseWhole(const std::string& s, T& value) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

// "-12.5" as ten-thousandths; at most four decimals.
bool parseCurrency(const std::string& s, std::int64_t& value) {
    const bool negative = !s.empty() && s[0] == '-';
    const std::string body = negative ? s.substr(1) : s;
    const std::size_t dot = body.find('.');
    const std::string whole = body.substr(0, dot);
    std::string decimals = dot == std::string::npos ? std::string() : body.substr(dot + 1);
    if (whole.empty() || decimals.size() > 4 || (dot != std::string::npos && decimals.empty()))
        return false;
    decimals.resize(4, '0');
    std::uint64_t w = 0, d = 0;
    if (!parseWhole(whole, w) || !parseWhole(decimals, d) || w > 922337203685477ull)
        return false;
    const std::uint64_t magnitude = w * 10000 + d;
    if (magnitude > static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1 : 0))
        return false;
    value = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
}

bool parseDateTime(const std::string& s, double& value) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':' ||
        !parseWhole(s.substr(0, 4), y) || !parseWhole(s.substr(5, 2), mo) ||
        !parseWhole(s.substr(8, 2), d) || !parseWhole(s.substr(11, 2), h) ||
        !parseWhole(s.substr(14, 2), mi) || !parseWhole(s.substr(17, 2), se))
        return false;
    if (y < 100 || !(std::chrono::year{y} / mo / d).ok() || h > 23 || mi > 59 || se > 59)
        return false;
    value = dateValue(y, mo, d, h, mi, se);
    return true;
}

// An unsigned integer of `Bytes` bytes, to store a value's bits.
template <std::size_t Bytes>
using Bits = std::conditional_t<Bytes == 1, std::uint8_t,
             std::conditional_t<Bytes == 2, std::uint16_t,
             std::conditional_t<Bytes == 4, std::uint32_t, std::uint64_t>>>;

// Parses `s` with `parse(s, value)` and appends the value's bytes.
template <typename T, typename Parse>
bool appendParsed(const std::string& s, Parse parse, std::vector<std::uint8_t>& out) {
    T value{};
    if (!parse(s, value))
        return false;
    writer::appendLittleEndian(out, std::bit_cast<Bits<sizeof(T)>>(value), sizeof(T));
    return true;
}

// A whole number or a floating-point value, exactly as from_chars reads it.
template <typename T>
bool appendParsed(const std::string& s, std::vector<std::uint8_t>& out) {
    return appendParsed<T>(s, parseWhole<T>, out);
}

// A whole number that fits `size` bytes, signed or not, appended
// little-endian.
bool appendWhole(const std::string& s, std::size_t size, bool isSigned, std::vector<std::uint8_t>& out) {
    const unsigned bits = 8 * static_cast<unsigned>(size);
    std::uint64_t stored = 0;
    if (isSigned) {
        std::int64_t value = 0;
        const std::int64_t high = static_cast<std::int64_t>((std::uint64_t{1} << (bits - 1)) - 1);
        if (!parseWhole(s, value) || value > high || value < -high - 1)
            return false;
        stored = static_cast<std::uint64_t>(value);
    } else {
        const std::uint64_t high = bits == 64 ? UINT64_MAX : (std::uint64_t{1} << bits) - 1;
        if (!parseWhole(s, stored) || stored > high)
            return false;
    }
    writer::appendLittleEndian(out, stored, size);
    return true;
}

} // namespace

bool appendFixedValueBytes(std::uint8_t type, const std::u16string& text,
                           std::vector<std::uint8_t>& out) {
    const std::optional<std::string> s = ascii(text);
    if (!s || s->empty() || (*s)[0] == '+')
        return false;
    const format::TypeFacts facts = format::factsOf(type);
    switch (facts.form) {
    case format::ValueForm::Unsigned:
    case format::ValueForm::Signed:
        return appendWhole(*s, facts.fixedSize, facts.form == format::ValueForm::Signed, out);
    case format::ValueForm::Currency:
        return appendParsed<std::int64_t>(*s, parseCurrency, out);
    case format::ValueForm::Floating:
        return facts.fixedSize == 4 ? appendParsed<float>(*s, out) : appendParsed<double>(*s, out);
    case format::ValueForm::Date:
        return appendParsed<double>(*s, parseDateTime, out);
    default:
        return false;
    }
}

} // namespace zorvane::jet
