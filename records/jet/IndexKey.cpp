#include "records/jet/IndexKey.h"

#include "records/jet/Format.h"
#include "records/jet/ValueText.h"
#include "records/jet/WriterLayout.h"

#include <array>
#include <cstring>

namespace zorvane::jet::indexkey {

using namespace format;

namespace {

constexpr std::uint8_t FlagValue = 0x7F;
constexpr std::uint8_t FlagNull = 0x00;
constexpr std::uint8_t TextEnd = 0x01;
constexpr std::uint8_t KeyEnd = 0x00;
constexpr std::uint8_t PlacedSectionsEnd[3] = {0x01, 0x01, 0x01};
constexpr std::uint8_t PlacedMidfix = 0x06;
constexpr std::size_t MaxTextChars = 255;
constexpr std::uint16_t GeneralLocale = 0x0409;

// Codes of the printable ASCII characters in the main run, by ASCII value
// (empty: not in it), as Access's keys show them. Letters share one code
// whatever their case, and no character here adds to the sections between
// the main run and the placed characters.
struct Code {
    std::uint8_t size = 0;
    std::uint8_t bytes[2] = {};
};
constexpr std::array<Code, 128> Codes = [] {
    std::array<Code, 128> c{};
    auto one = [&](char ch, std::uint8_t b) { c[static_cast<std::size_t>(ch)] = {1, {b, 0}}; };
    auto two = [&](char ch, std::uint8_t b) { c[static_cast<std::size_t>(ch)] = {2, {0x2B, b}}; };
    const char* marks = " !\"#$%&(),./:;?@";
    const std::uint8_t markCodes[] = {0x07, 0x09, 0x0A, 0x0C, 0x0E, 0x10, 0x12, 0x14, 0x16,
                                      0x1A, 0x1C, 0x1E, 0x20, 0x22, 0x24, 0x26};
    for (std::size_t i = 0; marks[i]; ++i)
        one(marks[i], markCodes[i]);
    const char* more = "*+<=>[\\]";
    const std::uint8_t moreCodes[] = {0x18, 0x2C, 0x2E, 0x30, 0x32, 0x27, 0x29, 0x2A};
    for (std::size_t i = 0; more[i]; ++i)
        one(more[i], moreCodes[i]);
    const char* paired = "^_`{|}~";  // 0x2B, then the second byte
    const std::uint8_t pairedCodes[] = {0x02, 0x03, 0x07, 0x09, 0x0B, 0x0D, 0x0F};
    for (std::size_t i = 0; paired[i]; ++i)
        two(paired[i], pairedCodes[i]);
    for (int i = 0; i < 10; ++i)
        one(static_cast<char>('0' + i), static_cast<std::uint8_t>(0x36 + 2 * i));
    const std::uint8_t letters[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
                                      0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
    for (int i = 0; i < 26; ++i) {
        one(static_cast<char>('a' + i), letters[i]);
        one(static_cast<char>('A' + i), letters[i]);
    }
    return c;
}();

// Characters left out of the main run and placed after it, with their codes.
std::uint8_t placedCode(char16_t c) { return c == u'-' ? 0x82 : c == u'\'' ? 0x80 : 0; }
// A placed character's place is the count of main-run characters before
// it; Access's keys show places up to this one.
constexpr std::size_t MaxPlacedPosition = 111;

void finish(bool descending, std::size_t from, Bytes& out) {
    if (descending)
        for (std::size_t i = from; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
}

std::string charName(char16_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    std::string name = buf;
    if (c >= 0x20 && c < 0x7F)
        name += std::string(" '") + static_cast<char>(c) + "'";
    return name;
}

} // namespace

void appendNull(bool descending, Bytes& out) {
    out.push_back(FlagNull);
    finish(descending, out.size() - 1, out);
}

std::string appendText(const std::u16string& value, bool descending, Bytes& out) {
    std::u16string text = value.substr(0, MaxTextChars);
    while (!text.empty() && text.back() == u' ')
        text.pop_back();
    const std::size_t from = out.size();
    out.push_back(FlagValue);
    Bytes placed;
    std::size_t place = 0;  // main-run characters so far
    for (const char16_t c : text) {
        if (const std::uint8_t code = placedCode(c)) {
            if (place > MaxPlacedPosition) {
                out.resize(from);
                return "not encodable: the place of " + charName(c) + " after " + std::to_string(place) +
                       " other characters";
            }
            const auto word = static_cast<std::uint16_t>(0x8000 | (7 + 4 * place));
            placed.insert(placed.end(), {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word),
                                         PlacedMidfix, code});
            continue;
        }
        if (c >= Codes.size() || Codes[c].size == 0) {
            out.resize(from);
            return "not encodable: the character " + charName(c);
        }
        out.insert(out.end(), Codes[c].bytes, Codes[c].bytes + Codes[c].size);
        ++place;
    }
    out.push_back(TextEnd);
    if (!placed.empty()) {
        out.insert(out.end(), std::begin(PlacedSectionsEnd), std::end(PlacedSectionsEnd));
        out.insert(out.end(), placed.begin(), placed.end());
    }
    out.push_back(KeyEnd);
    finish(descending, from, out);
    return {};
}

std::string appendFixed(std::uint8_t type, const std::uint8_t* data, std::size_t length, bool descending,
                        Bytes& out) {
    const std::size_t size = fixedSizeOf(type);
    if (type == TypeByte || type == TypeBoolean)
        return "not encodable: no key of a Byte or Yes/No field written by Access has been seen";
    if (size == 0 || type == TypeGuid || type == TypeNumeric)
        return "not encodable: fields of type " + std::to_string(type) + " are not handled";
    if (length < size)
        return "not encodable: the value is cut short";
    const std::size_t from = out.size();
    out.push_back(FlagValue);
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(data[size - 1 - i]);  // most significant byte first
    const bool floating = type == TypeSingle || type == TypeDouble || type == TypeDateTime;
    if (floating && (out[from + 1] & 0x80))
        for (std::size_t i = from + 1; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    else
        out[from + 1] ^= 0x80;
    finish(descending, from, out);
    return {};
}

std::string checkIndex(const TableDef& def, const RealIndexDef& real) {
    for (const std::uint16_t number : real.columns) {
        const int c = def.columnOfNumber(number);
        if (c < 0)
            return "not encodable: it names a field the table lacks";
        const Column& col = def.columns[static_cast<std::size_t>(c)];
        if (col.type == TypeText || col.type == TypeMemo) {
            if (col.sortOrder != GeneralLocale || col.sortVersion != 0)
                return "not encodable: field \"" + col.name + "\" is sorted in another order than Access 2000's "
                       "General order";
            continue;
        }
        Bytes probe;
        const std::uint8_t zero[8] = {};
        if (std::string reason = appendFixed(col.type, zero, sizeof zero, false, probe); !reason.empty())
            return reason + " (field \"" + col.name + "\")";
    }
    return {};
}

std::string rowKey(Table& table, std::size_t row, const RealIndexDef& real, Bytes& out, bool* allNull) {
    const TableDef& def = table.def();
    if (allNull)
        *allNull = true;
    std::u16string text;
    for (std::size_t i = 0; i < real.columns.size(); ++i) {
        const int c = def.columnOfNumber(real.columns[i]);
        if (c < 0)
            return "not encodable: the index names a field the table lacks";
        const auto column = static_cast<std::size_t>(c);
        const Column& col = def.columns[column];
        const bool descending = real.isDescending(i);
        std::string reason;
        if (col.type == TypeText || col.type == TypeMemo) {
            text.clear();
            if (!table.appendText(row, column, text)) {
                appendNull(descending, out);
                continue;
            }
            reason = appendText(text, descending, out);
        } else {
            const ColumnBytes bytes = table.bytes(row, column);
            if (!bytes.hasValue && col.type != TypeBoolean) {
                appendNull(descending, out);
                continue;
            }
            reason = appendFixed(col.type, bytes.data, bytes.length, descending, out);
        }
        if (!reason.empty())
            return reason + " (field \"" + col.name + "\")";
        if (allNull)
            *allNull = false;
    }
    return {};
}

} // namespace zorvane::jet::indexkey
