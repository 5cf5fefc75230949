#include "records/jet/WriterText.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/WriterLayout.h"

#include <array>
#include <chrono>
#include <ctime>

namespace zorvane::jet {

namespace {

bool isNarrow(char16_t c) { return c != 0 && (c & 0xFF00) == 0; }

// A character can be written in the compressed form when it is narrow, or
// when its low byte is not zero (a zero byte would read as a mode switch).
bool compressible(char16_t c) { return (c & 0x00FF) != 0; }

std::size_t compressedSize(const std::u16string& text) {
    std::size_t size = 2;
    bool narrow = true;
    for (const char16_t c : text) {
        const bool wantNarrow = isNarrow(c);
        if (wantNarrow != narrow) {
            ++size;
            narrow = wantNarrow;
        }
        size += narrow ? 1 : 2;
    }
    return size;
}

void appendPlain(const std::u16string& text, std::vector<std::uint8_t>& out) {
    for (const char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
}

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
    bool canCompress = allowCompression || markerLike;
    if (canCompress) {
        for (const char16_t c : text) {
            if (!compressible(c)) {
                canCompress = false;
                break;
            }
        }
    }
    if (markerLike && !canCompress)
        throw Error("a text that begins with U+FEFF (a byte-order mark) and holds a character "
                    "whose low byte is zero cannot be stored so that it reads back the same.");
    if (!canCompress || (!markerLike && compressedSize(text) >= text.size() * 2)) {
        appendPlain(text, out);
        return;
    }
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

double dateValueNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Days from 1899-12-30 to the local calendar date, by the civil-date formula.
    const int y = local.tm_year + 1900 - (local.tm_mon < 2 ? 1 : 0);
    const int m = local.tm_mon + 1;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long daysSinceEpoch = static_cast<long>(era) * 146097 + doe - 719468;  // from 1970-01-01
    const long daysFrom1899 = daysSinceEpoch + 25569;
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return static_cast<double>(daysFrom1899) + seconds / 86400.0;
}

} // namespace zorvane::jet
