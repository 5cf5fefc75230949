#include "records/jet/Row.h"

#include "records/jet/Format.h"
#include "records/jet/ValueText.h"

#include <algorithm>
#include <unordered_set>

namespace zorvane::jet {

using namespace format;

// Bytes of the fixed-size types; other fixed columns use their declared length.
std::size_t fixedValueSize(const Column& column) {
    if (column.type == TypeBoolean)
        return 0;
    return fixedSizeOf(column.type) ? fixedSizeOf(column.type) : column.length;
}

namespace {

[[noreturn]] void damagedRow(PageFile& file, const std::string& what, const char* reason) {
    file.fail(what + " is damaged: " + reason);
}

} // namespace

ColumnBytes locateColumn(PageFile& file, const TableDef& table, const Column& column,
                         const RowSpan& row, const std::string& what) {
    ColumnBytes result;
    const std::uint8_t* r = row.data;
    const std::size_t length = row.length;
    if (length < RowColumnCountSize)
        damagedRow(file, what, "a row is shorter than its column count");
    const std::size_t columnCount = le16(r);
    const std::size_t nullBytes = (columnCount + 7) / 8;
    if (RowColumnCountSize + nullBytes > length)
        damagedRow(file, what, "a row is shorter than its null mask");
    if (column.number >= columnCount)
        return result;  // added after this row was written
    const std::uint8_t* nullMask = r + length - nullBytes;
    result.hasValue = (nullMask[column.number / 8] >> (column.number % 8)) & 1;
    if (column.type == TypeBoolean || !result.hasValue)
        return result;

    std::size_t dataEnd = length - nullBytes;  // end of fixed + variable data
    if (column.fixed()) {
        const std::size_t start = RowColumnCountSize + column.fixedOffset;
        const std::size_t size = fixedValueSize(column);
        if (start + size > dataEnd)
            damagedRow(file, what, "a fixed-length value runs past its row");
        return {.hasValue = true, .data = r + start, .length = size};
    }
    if (!table.hasVarColumns() || dataEnd < RowColumnCountSize + 2)
        damagedRow(file, what, "a row has no variable-length part");
    const std::size_t varCount = le16(r + dataEnd - 2);
    // var table entries, then the end-of-data offset, below the count
    if (RowColumnCountSize + 2 + 2 * (varCount + 1) > dataEnd)
        damagedRow(file, what, "a row's table of variable-length values runs past the row");
    if (column.varIndex >= varCount) {
        result.hasValue = false;  // added after this row was written
        return result;
    }
    const std::uint8_t* top = r + dataEnd - 2;  // the var count
    const std::size_t tableStart = dataEnd - 2 - 2 * (varCount + 1);
    auto entry = [&](std::size_t i) { return static_cast<std::size_t>(le16(top - 2 * (i + 1))); };
    const std::size_t start = entry(column.varIndex);
    const std::size_t end = entry(column.varIndex + 1);  // the next value, or the end of data
    if (start < RowColumnCountSize || start > end || end > tableStart)
        damagedRow(file, what, "a variable-length value lies outside its row");
    return {.hasValue = true, .data = r + start, .length = end - start};
}

ColumnBytes readLongValue(PageFile& file, const std::uint8_t* reference, std::size_t length,
                          std::vector<std::uint8_t>& scratch, const std::string& what) {
    if (length < LongValueHeaderSize)
        damagedRow(file, what, "a memo or OLE value is cut short");
    const std::uint32_t head = le32(reference);
    const std::size_t total = head & LongValueLengthMask;
    if (head & LongValueInline) {
        if (LongValueHeaderSize + total > length)
            damagedRow(file, what, "a memo or OLE value runs past its row");
        return {.hasValue = true, .data = reference + LongValueHeaderSize, .length = total};
    }
    const std::uint32_t pointer = le32(reference + LongValuePointerOffset);
    if (head & LongValueSinglePage) {
        const RowSpan part = rowAtPointer(file, pointer, what);
        if (part.length < total)
            damagedRow(file, what, "a memo or OLE value is shorter than its length");
        return {.hasValue = true, .data = part.data, .length = total};
    }
    // A chain of rows: each begins with the pointer to the next. A row met
    // twice means the chain loops; a value longer than the file cannot be.
    if (total > file.fileSize())
        damagedRow(file, what, "a memo or OLE value is longer than the file");
    scratch.clear();
    std::unordered_set<std::uint32_t> visited;
    std::uint32_t next = pointer;
    while (scratch.size() < total) {
        if (next == 0)
            damagedRow(file, what, "a memo or OLE value ends before its length");
        if (!visited.insert(next).second)
            damagedRow(file, what, "a memo or OLE value's pages form a loop");
        const RowSpan part = rowAtPointer(file, next, what);
        if (part.length <= LongValuePointerOffset)
            damagedRow(file, what, "a memo or OLE value has an empty part");
        next = le32(part.data);
        const std::size_t take =
            std::min(part.length - LongValuePointerOffset, total - scratch.size());
        scratch.insert(scratch.end(), part.data + LongValuePointerOffset,
                       part.data + LongValuePointerOffset + take);
    }
    return {.hasValue = true, .data = scratch.data(), .length = scratch.size()};
}

bool appendColumnText(PageFile& file, const TableDef& table, const Column& column,
                      const RowSpan& row, std::u16string& out,
                      std::vector<std::uint8_t>& scratch, const std::string& what) {
    ColumnBytes bytes = locateColumn(file, table, column, row, what);
    if (column.type == TypeBoolean) {
        appendBoolean(bytes.hasValue, out);
        return true;
    }
    if (!bytes.hasValue)
        return false;
    if (column.type == TypeMemo || column.type == TypeOle)
        bytes = readLongValue(file, bytes.data, bytes.length, scratch, what);
    switch (factsOf(column.type).form) {
    case ValueForm::Text:
        appendStoredText(bytes.data, bytes.length, out);
        return true;
    case ValueForm::Bytes:
        appendHex(bytes.data, bytes.length, out);
        return true;
    default:
        if (!appendFixedValue(column.type, bytes.data, bytes.length, column.scale, out))
            damagedRow(file, what, "a value is shorter than its type");
        return true;
    }
}

} // namespace zorvane::jet
