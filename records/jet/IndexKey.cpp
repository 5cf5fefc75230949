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
constexpr std::uint8_t SectionEnd = 0x01;
constexpr std::uint8_t KeyEnd = 0x00;
constexpr std::uint8_t PlacedSectionsEnd[3] = {0x01, 0x01, 0x01};
constexpr std::uint8_t PlacedMidfix = 0x06;
constexpr std::size_t MaxTextChars = 255;
// A Binary value's key: its bytes padded with zeros to BinaryKeyChunk, then
// their count; Access's keys show values of BinaryKeyLength bytes only.
constexpr std::size_t BinaryKeyChunk = 8;
constexpr std::size_t BinaryKeyLength = 4;
constexpr std::uint16_t GeneralLocale = 0x0409;

// The codes below are read off Access's keys: one key of U+0001 to U+00FF in
// order (Jackcess's test file testUnicodeCompV2003.mdb, table "Table", index
// "Unicode"), each agreeing with the keys of "AA" + one character + "AA"
// for every character in both orders (Jackcess's testIndexCodes.mdb of 2009,
// tables "Table1" and "Table1_desc").
//
// How a character goes into a key, as Access's keys show it: a code in the
// main run (one or two bytes, letters sharing it whatever their case) with
// its byte in the accent section (Plain when it has no accent), or a code
// among the placed characters after the sections, or nothing known (refused).
struct Code {
    std::uint8_t size = 0;      // main-run bytes; 0: placed (if `placed`) or unknown
    std::uint8_t bytes[2] = {};
    std::uint8_t accent = 0;
    std::uint8_t placed = 0;
    bool expands = false;       // two letters' codes, whose place count no key shows
};
constexpr std::uint8_t Plain = 0x02;  // the accent byte of a character without accent
constexpr std::size_t CodedChars = 0x100;

constexpr std::array<Code, CodedChars> Codes = [] {
    std::array<Code, CodedChars> c{};
    auto one = [&](unsigned ch, std::uint8_t b, std::uint8_t accent = Plain) { c[ch] = {1, {b, 0}, accent}; };
    auto two = [&](unsigned ch, std::uint8_t b0, std::uint8_t b1) { c[ch] = {2, {b0, b1}, Plain}; };
    auto placed = [&](unsigned ch, std::uint8_t code) { c[ch] = {0, {}, 0, code}; };
    const char* marks = " !\"#$%&(),./:;?@";
    const std::uint8_t markCodes[] = {0x07, 0x09, 0x0A, 0x0C, 0x0E, 0x10, 0x12, 0x14, 0x16,
                                      0x1A, 0x1C, 0x1E, 0x20, 0x22, 0x24, 0x26};
    for (std::size_t i = 0; marks[i]; ++i)
        one(static_cast<unsigned char>(marks[i]), markCodes[i]);
    const char* more = "*+<=>[\\]";
    const std::uint8_t moreCodes[] = {0x18, 0x2C, 0x2E, 0x30, 0x32, 0x27, 0x29, 0x2A};
    for (std::size_t i = 0; more[i]; ++i)
        one(static_cast<unsigned char>(more[i]), moreCodes[i]);
    const char* paired = "^_`{|}~";  // 0x2B, then the second byte
    const std::uint8_t pairedCodes[] = {0x02, 0x03, 0x07, 0x09, 0x0B, 0x0D, 0x0F};
    for (std::size_t i = 0; paired[i]; ++i)
        two(static_cast<unsigned char>(paired[i]), 0x2B, pairedCodes[i]);
    for (unsigned i = 0; i < 10; ++i)
        one('0' + i, static_cast<std::uint8_t>(0x36 + 2 * i));
    const std::uint8_t letters[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
                                      0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
    for (unsigned i = 0; i < 26; ++i) {
        one('a' + i, letters[i]);
        one('A' + i, letters[i]);
    }
    placed('\'', 0x80);
    placed('-', 0x82);
    // Control characters: tab to carriage return in the main run, the
    // others placed, their codes counting up.
    for (unsigned ch = 0x09; ch <= 0x0D; ++ch)
        two(ch, 0x08, static_cast<std::uint8_t>(0x03 + ch - 0x09));
    for (unsigned ch = 0x01; ch <= 0x08; ++ch)
        placed(ch, static_cast<std::uint8_t>(0x03 + ch - 0x01));
    for (unsigned ch = 0x0E; ch <= 0x1F; ++ch)
        placed(ch, static_cast<std::uint8_t>(0x0B + ch - 0x0E));
    for (unsigned ch = 0x7F; ch <= 0x9F; ++ch)
        placed(ch, static_cast<std::uint8_t>(0x1D + ch - 0x7F));
    placed(0xAD, 0x83);  // soft hyphen
    // U+00A0 to U+00BF: signs (two bytes), or a letter's or digit's code
    // (ordinal indicators with accent byte 0x03).
    const std::uint8_t signs[32][2] = {
        {0x08, 0x02}, {0x2B, 0x10}, {0x34, 0xA6}, {0x34, 0xA7}, {0x34, 0xA8}, {0x34, 0xA9}, {0x2B, 0x11}, {0x34, 0xAA},
        {0x2B, 0x12}, {0x34, 0xAB}, {0, 'a'},     {0x33, 0x05}, {0x34, 0xAC}, {},           {0x34, 0xAD}, {0x2B, 0x13},
        {0x34, 0xAE}, {0x33, 0x04}, {0, '2'},     {0, '3'},     {0x2B, 0x14}, {0x34, 0xAF}, {0x34, 0xB0}, {0x34, 0xB1},
        {0x2B, 0x15}, {0, '1'},     {0, 'o'},     {0x33, 0x07}, {0x37, 0x12}, {0x37, 0x16}, {0x37, 0x1A}, {0x2B, 0x16}};
    for (unsigned i = 0; i < 32; ++i) {
        const unsigned ch = 0xA0 + i;
        if (ch == 0xAD)
            continue;
        if (signs[i][0])
            two(ch, signs[i][0], signs[i][1]);
        else
            one(ch, c[signs[i][1]].bytes[0], signs[i][1] >= 'a' ? 0x03 : Plain);
    }
    // U+00C0 to U+00FF: the base letter's code and the accent's byte (grave
    // 0x0F, acute 0x0E, circumflex 0x12, tilde 0x19, diaeresis 0x13, ring
    // 0x1A, cedilla 0x1C, eth 0x68, stroke 0x21); Æ, Þ and ß take two
    // letters' codes; × and ÷ are signs.
    const char* base = "aaaaaa\0ceeeeiiiidnooooo\0ouuuuy\0\0aaaaaa\0ceeeeiiiidnooooo\0ouuuuy\0y";
    const std::uint8_t accents[32] = {0x0F, 0x0E, 0x12, 0x19, 0x13, 0x1A, Plain, 0x1C, 0x0F, 0x0E, 0x12,
                                      0x13, 0x0F, 0x0E, 0x12, 0x13, 0x68, 0x19, 0x0F, 0x0E, 0x12, 0x19,
                                      0x13, Plain, 0x21, 0x0F, 0x0E, 0x12, 0x13, 0x0E, Plain, Plain};
    for (unsigned i = 0; i < 64; ++i)
        if (base[i])
            one(0xC0 + i, c[static_cast<unsigned char>(base[i])].bytes[0], i == 63 ? 0x13 : accents[i % 32]);
    auto pair = [&](unsigned ch, char a, char b) {
        c[ch] = {2, {c[static_cast<unsigned char>(a)].bytes[0], c[static_cast<unsigned char>(b)].bytes[0]}, Plain, 0, true};
    };
    for (const unsigned offset : {0x00u, 0x20u}) {
        pair(0xC6 + offset, 'a', 'e');
        pair(0xDE + offset, 't', 'h');
    }
    pair(0xDF, 's', 's');
    two(0xD7, 0x33, 0x09);
    two(0xF7, 0x33, 0x0A);
    return c;
}();

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
    Bytes accents, placed;
    std::size_t place = 0;  // main-run characters so far
    bool expanded = false;  // a character of two letters' codes so far
    for (const char16_t c : text) {
        const Code code = c < CodedChars ? Codes[c] : Code{};
        if (code.placed) {
            if (place > MaxPlacedPosition || expanded) {
                out.resize(from);
                return "not encodable: the place of " + charName(c) + " after " + std::to_string(place) +
                       " other characters" + (expanded ? ", one of them of two letters" : "");
            }
            const auto word = static_cast<std::uint16_t>(0x8000 | (7 + 4 * place));
            placed.insert(placed.end(), {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word),
                                         PlacedMidfix, code.placed});
            continue;
        }
        if (code.size == 0) {
            out.resize(from);
            return "not encodable: the character " + charName(c);
        }
        out.insert(out.end(), code.bytes, code.bytes + code.size);
        accents.push_back(code.accent);
        expanded = expanded || code.expands;
        ++place;
    }
    out.push_back(SectionEnd);
    while (!accents.empty() && accents.back() == Plain)
        accents.pop_back();
    out.insert(out.end(), accents.begin(), accents.end());
    if (!placed.empty()) {
        out.insert(out.end(), std::begin(PlacedSectionsEnd), std::end(PlacedSectionsEnd));
        out.insert(out.end(), placed.begin(), placed.end());
    }
    out.push_back(KeyEnd);
    finish(descending, from, out);
    if (descending)
        out.push_back(KeyEnd);
    return {};
}

void appendBoolean(bool value, bool descending, Bytes& out) {
    out.insert(out.end(), {FlagValue, static_cast<std::uint8_t>(value ? 0x00 : 0xFF)});
    finish(descending, out.size() - 2, out);
}

std::string appendFixed(std::uint8_t type, const std::uint8_t* data, std::size_t length, bool descending,
                        Bytes& out) {
    const KeyForm form = factsOf(type).key;
    if (form == KeyForm::Binary) {
        if (length != BinaryKeyLength)
            return "not encodable: a Binary value of " + std::to_string(length) + " bytes";
        const std::size_t from = out.size();
        out.push_back(FlagValue);
        out.insert(out.end(), data, data + length);
        out.insert(out.end(), BinaryKeyChunk - length, 0x00);
        out.push_back(static_cast<std::uint8_t>(length));
        finish(descending, from, out);
        return {};
    }
    const std::size_t size = fixedSizeOf(type);
    if (form == KeyForm::Boolean)
        return "not encodable: a Yes/No value is no byte";  // see appendBoolean
    if (size == 0 || form == KeyForm::None || form == KeyForm::Text)
        return "not encodable: fields of type " + std::to_string(type) + " are not handled";
    if (length < size)
        return "not encodable: the value is cut short";
    const std::size_t from = out.size();
    out.push_back(FlagValue);
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(data[size - 1 - i]);  // most significant byte first
    if (form == KeyForm::Floating && (out[from + 1] & 0x80))
        for (std::size_t i = from + 1; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    else if (form != KeyForm::Unsigned)
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
        if (col.type == TypeBoolean || col.type == TypeBinary)
            continue;  // every Yes/No value has its key; a Binary value's length decides
        Bytes probe;
        const std::uint8_t zero[8] = {};
        if (std::string reason = appendFixed(col.type, zero, sizeof zero, false, probe); !reason.empty())
            return reason + " (field \"" + col.name + "\")";
    }
    return {};
}

std::string appendKey(const TableDef& def, const RealIndexDef& real, const KeyFieldSource& field, Bytes& out,
                      KeyReport& report) {
    report = {};
    std::u16string text;
    for (std::size_t i = 0; i < real.columns.size(); ++i) {
        const int c = def.columnOfNumber(real.columns[i]);
        if (c < 0)
            return "not encodable: the index names a field the table lacks";
        const Column& col = def.columns[static_cast<std::size_t>(c)];
        const bool descending = real.isDescending(i);
        const bool isText = col.type == TypeText || col.type == TypeMemo;
        text.clear();
        ColumnBytes bytes;
        if (!field(static_cast<std::size_t>(c), text, bytes)) {
            if (report.firstNull < 0)
                report.firstNull = c;
            appendNull(descending, out);
            continue;
        }
        std::string reason;
        if (col.type == TypeBoolean)
            appendBoolean(bytes.hasValue, descending, out);
        else
            reason = isText ? appendText(text, descending, out)
                            : appendFixed(col.type, bytes.data, bytes.length, descending, out);
        if (!reason.empty()) {
            report.failed = c;
            return reason;
        }
        report.allNull = false;
    }
    return {};
}

std::string rowKey(Table& table, std::size_t row, const RealIndexDef& real, Bytes& out, bool* allNull) {
    const TableDef& def = table.def();
    KeyReport report;
    const std::string reason = appendKey(def, real, [&](std::size_t column, std::u16string& text, ColumnBytes& bytes) {
        const std::uint8_t type = def.columns[column].type;
        if (type == TypeText || type == TypeMemo)
            return table.appendText(row, column, text);
        bytes = table.bytes(row, column);
        return bytes.hasValue || type == TypeBoolean;
    }, out, report);
    if (allNull)
        *allNull = report.allNull;
    return withField(def, report, std::move(reason));
}

std::string withField(const TableDef& def, const KeyReport& report, std::string reason) {
    if (!reason.empty() && report.failed >= 0)
        reason += " (field \"" + def.columns[static_cast<std::size_t>(report.failed)].name + "\")";
    return reason;
}

} // namespace zorvane::jet::indexkey
