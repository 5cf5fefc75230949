#include "records/jet/ValueText.h"

#include "records/jet/Format.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace zorvane::jet {

using namespace format;

namespace {

void appendAscii(const char* begin, const char* end, std::u16string& out) {
    for (const char* p = begin; p != end; ++p)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
}

template <typename T>
void appendNumber(T value, std::u16string& out) {
    std::array<char, 64> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    appendAscii(buffer.data(), result.ptr, out);
}

// Appends the digits of an unsigned 128-bit magnitude (hi:lo) in decimal.
void appendMagnitude(std::uint64_t hi, std::uint64_t lo, std::size_t minDigits,
                     std::u16string& out) {
    std::array<char, 48> digits;
    std::size_t count = 0;
    unsigned __int128 value = (static_cast<unsigned __int128>(hi) << 64) | lo;
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    while (count < minDigits)
        digits[count++] = '0';
    for (std::size_t i = count; i > 0; --i)
        out.push_back(static_cast<char16_t>(digits[i - 1]));
}

// Appends `magnitude` (hi:lo) as a decimal with `scale` digits after the point.
void appendScaled(bool negative, std::uint64_t hi, std::uint64_t lo, unsigned scale,
                  std::u16string& out) {
    if (negative)
        out.push_back(u'-');
    appendMagnitude(hi, lo, scale + 1, out);
    if (scale > 0)
        out.insert(out.end() - static_cast<std::ptrdiff_t>(scale), u'.');
}

// The `size` bytes at `data` as an unsigned little-endian number.
std::uint64_t littleEndian(const std::uint8_t* data, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i > 0; --i)
        value = (value << 8) | data[i - 1];
    return value;
}

// The same bytes as a two's complement number (size 1 to 8).
std::int64_t signedLittleEndian(const std::uint8_t* data, std::size_t size) {
    const unsigned unused = 64 - 8 * static_cast<unsigned>(size);
    return static_cast<std::int64_t>(littleEndian(data, size) << unused) >> unused;
}

void appendTwo(int value, std::u16string& out) {
    out.push_back(static_cast<char16_t>(u'0' + value / 10));
    out.push_back(static_cast<char16_t>(u'0' + value % 10));
}

} // namespace

void appendStoredText(const std::uint8_t* data, std::size_t length, std::u16string& out) {
    if (length >= 2 && data[0] == CompressedTextMarker[0] && data[1] == CompressedTextMarker[1]) {
        bool compressed = true;
        for (std::size_t i = 2; i < length;) {
            if (data[i] == 0x00) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.push_back(static_cast<char16_t>(data[i++]));
            } else if (i + 1 < length) {
                out.push_back(static_cast<char16_t>(le16(data + i)));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < length; i += 2)
        out.push_back(static_cast<char16_t>(le16(data + i)));
}

void appendBoolean(bool value, std::u16string& out) { out += value ? u"True" : u"False"; }

void appendHex(const std::uint8_t* data, std::size_t length, std::u16string& out) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 0x0F]);
    }
}

void appendDateTime(double days, std::u16string& out) {
    // Day -657434 is 0100-01-01, day 2958465 is 9999-12-31.
    if (!std::isfinite(days) || days < -657435.0 || days >= 2958466.0) {
        appendNumber(days, out);
        return;
    }
    // The whole part counts days, the fraction's magnitude is the time of day
    // (so -1.25 is 1899-12-29 06:00:00).
    const double whole = std::trunc(days);
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(days - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    const std::chrono::year_month_day date{DateEpoch + std::chrono::days{day}};
    const int year = static_cast<int>(date.year());
    if (year < 100 || year > 9999) {  // rounding carried past the last day
        appendNumber(days, out);
        return;
    }
    appendTwo(year / 100, out);
    appendTwo(year % 100, out);
    const auto month = static_cast<int>(static_cast<unsigned>(date.month()));
    const auto dayOfMonth = static_cast<int>(static_cast<unsigned>(date.day()));
    const auto secondOfDay = static_cast<int>(seconds);
    for (const auto& [separator, value] : {std::pair{u'-', month}, {u'-', dayOfMonth}, {u' ', secondOfDay / 3600},
                                          {u':', secondOfDay / 60 % 60}, {u':', secondOfDay % 60}}) {
        out.push_back(separator);
        appendTwo(value, out);
    }
}

bool appendFixedValue(std::uint8_t type, const std::uint8_t* data, std::size_t length,
                      std::uint8_t scale, std::u16string& out) {
    const TypeFacts facts = factsOf(type);
    const std::size_t size = facts.fixedSize;
    if (length < size)
        return false;
    switch (facts.form) {
    case ValueForm::Unsigned:
        appendNumber(littleEndian(data, size), out);
        return true;
    case ValueForm::Signed:
        appendNumber(signedLittleEndian(data, size), out);
        return true;
    case ValueForm::Currency: {
        const std::int64_t value = signedLittleEndian(data, size);
        const bool negative = value < 0;
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        appendScaled(negative, 0, magnitude, 4, out);
        return true;
    }
    case ValueForm::Floating:
        if (size == 4)
            appendNumber(std::bit_cast<float>(le32(data)), out);
        else
            appendNumber(std::bit_cast<double>(le64(data)), out);
        return true;
    case ValueForm::Date:
        appendDateTime(std::bit_cast<double>(le64(data)), out);
        return true;
    case ValueForm::Guid: {
        static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        out.push_back(u'{');
        for (int i = 0; i < 16; ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10)
                out.push_back(u'-');
            appendHex(data + order[i], 1, out);
        }
        out.push_back(u'}');
        return true;
    }
    case ValueForm::Decimal: {
        // The magnitude's four 32-bit little-endian words, the most
        // significant word first.
        const bool negative = (data[0] & 0x80) != 0;
        const std::uint64_t hi = (static_cast<std::uint64_t>(le32(data + 1)) << 32) | le32(data + 5);
        const std::uint64_t lo = (static_cast<std::uint64_t>(le32(data + 9)) << 32) | le32(data + 13);
        appendScaled(negative && (hi | lo) != 0, hi, lo, scale > 38 ? 38 : scale, out);
        return true;
    }
    case ValueForm::Bytes:
    case ValueForm::Boolean:
    case ValueForm::Text:
        break;
    }
    appendHex(data, length, out);
    return true;
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        // A lead byte (0xC0, 0xE0 or 0xF0 and the top bits), then 6 bits a byte.
        const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out.push_back(static_cast<char>(((0xFF00u >> (more + 1)) & 0xFF) | (c >> (6 * more))));
        for (int k = more - 1; k >= 0; --k)
            out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
    }
    return out;
}

std::u16string fromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < n) {
        const unsigned char b = byteAt(i);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            bool ok = i + len <= n;
            char32_t value = b & (0x7F >> len);
            for (std::size_t k = 1; ok && k < len; ++k) {
                const unsigned char c = byteAt(i + k);
                if ((c & 0xC0) != 0x80)
                    ok = false;
                value = (value << 6) | (c & 0x3F);
            }
            static constexpr char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && value >= minimum[len] && value <= 0x10FFFF &&
                !(value >= 0xD800 && value <= 0xDFFF)) {
                cp = value;
            } else {
                len = 1;
                cp = 0xFFFD;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

} // namespace zorvane::jet
