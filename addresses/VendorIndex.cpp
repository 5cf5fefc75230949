#include "addresses/VendorIndex.h"

#include "records/VendorTable.h"

#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

namespace zorvane::addresses {

namespace {

// White space as Unicode has it: the control characters TAB to CR, NEL, and
// the space, line and paragraph separators.
bool isSpace(char16_t c) {
    return (c >= 9 && c <= 13) || c == 32 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

constexpr std::uint64_t CidTag = 15;  // in place of a code's length

std::string_view blockOf(const Address& code, bool cid) {
    if (cid)
        return "CID";
    if (code.nibbles == 6)
        return "MA-L";
    if (code.nibbles == 7)
        return "MA-M";
    // The Individual Address Blocks lie under two codes of their own.
    const std::uint64_t parent = code.first(6);
    return parent == 0x0050C2 || parent == 0x40D855 ? "IAB" : "MA-S";
}

// A table of the database read by column names.
struct TableReader {
    std::unique_ptr<jet::Table> table;
    std::vector<int> columns;  // by the names asked for; -1: the table has none
    std::u16string buffer;

    TableReader(jet::Database& database, const std::string& name, const std::vector<std::string>& names)
        : table(database.openTable(name)) {
        for (const std::string& n : names)
            columns.push_back(table->columnIndex(n));
    }
    // The value of column `which` (of those asked for) of row `row`; null:
    // none (a null value or no such column).
    const std::u16string* value(std::size_t row, std::size_t which) {
        buffer.clear();
        return columns[which] >= 0 && table->appendText(row, std::size_t(columns[which]), buffer) ? &buffer : nullptr;
    }
    std::string text(std::size_t row, std::size_t which) {
        const std::u16string* v = value(row, which);
        return v ? jet::toUtf8(*v) : std::string();
    }
    // Every asked column of `row` as one key ('\x1F' between, '\x1E' for null).
    std::u16string rowKey(std::size_t row) {
        std::u16string key;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (const std::u16string* v = value(row, i))
                key += *v;
            else
                key += u'\x1E';
            key += u'\x1F';
        }
        return key;
    }
};

std::string postalOf(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        out.append(text, at, i - at) += ", ";
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        at = i + 1;
    }
    return at == 0 ? text : out.append(text, at, std::string::npos);
}

bool hasTable(const jet::Database& database, std::string_view name) {
    return std::any_of(database.tables().begin(), database.tables().end(),
                       [&](const jet::Database::TableEntry& t) { return jet::sameName(t.name, name); });
}

namespace vendor = records::vendor;

// The fields of table "oui" by their place (vendor::Field).
const std::vector<std::string> VendorColumns = [] {
    std::vector<std::string> names;
    for (const vendor::FieldDescription& field : vendor::Fields)
        names.emplace_back(field.name);
    return names;
}();

} // namespace

Address codeDigits(std::u16string_view code) {
    Address d;
    for (const char16_t c : code) {
        if (c == u'-' || c == u':' || c == u'.' || isSpace(c))
            continue;
        const int v = hexValue(c);
        if (v < 0 || d.nibbles == 9)
            return {};
        d.value = d.value << 4 | std::uint64_t(v), ++d.nibbles;
    }
    if (d.nibbles != 6 && d.nibbles != 7 && d.nibbles != 9)
        return {};
    return d;
}

std::uint64_t VendorIndex::key(const Address& address, int length, bool cid) {
    return (cid ? CidTag : std::uint64_t(length)) << 48 | address.first(length);
}

void VendorIndex::keysOf(const Address& address, std::unordered_set<std::uint64_t>& keys) {
    for (const int length : {9, 7, 6})
        if (address.nibbles >= length)
            keys.insert(key(address, length));
    keys.insert(key(address, 6, true));
}

void VendorIndex::reserve(std::size_t count) {
    std::size_t size = 16;
    while (size < 2 * count)
        size *= 2;
    slots_.assign(size, Slot{});
}

std::size_t VendorIndex::slotOf(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    while (slots_[i].key != 0 && slots_[i].key != key)
        i = (i + 1) & mask;
    return i;
}

bool VendorIndex::hasParent(std::uint64_t first6) const {
    if (parents_.empty())
        return false;
    const std::uint64_t key = first6 + 1, mask = parents_.size() - 1;
    for (std::size_t i = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & mask;; i = (i + 1) & mask) {
        if (parents_[i] == key)
            return true;
        if (parents_[i] == 0)
            return false;
    }
}

void VendorIndex::addParent(std::uint64_t first6) {
    if (hasParent(first6))
        return;
    if (2 * (parentCount_ + 1) > parents_.size()) {
        std::size_t size = 64;  // a power of two: probes wrap with a mask
        while (size < 4 * (parentCount_ + 1))
            size *= 2;
        std::vector<std::uint64_t> old(size, 0);
        old.swap(parents_);
        parentCount_ = 0;
        for (const std::uint64_t k : old)
            if (k)
                addParent(k - 1);
    }
    const std::uint64_t key = first6 + 1, mask = parents_.size() - 1;
    std::size_t i = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & mask;
    while (parents_[i] != 0)
        i = (i + 1) & mask;
    parents_[i] = key;
    ++parentCount_;
}

void VendorIndex::add(std::uint64_t key, Vendor vendor) {
    const std::uint64_t length = key >> 48;
    if (length == 7 || length == 9)
        addParent((key & 0xFFFFFFFFFFFFull) >> 4 * (length - 6));
    if (slots_.empty() || 2 * (vendors_.size() + 1) > slots_.size()) {
        const std::vector<Slot> old = slots_;
        reserve(std::max<std::size_t>(64, 2 * (vendors_.size() + 1)));
        for (const Slot& slot : old)
            if (slot.key)
                slots_[slotOf(slot.key)] = slot;
    }
    const std::size_t s = slotOf(key);
    if (slots_[s].key == key) {
        vendors_[slots_[s].vendor] = std::move(vendor);
        return;
    }
    slots_[s] = {key, std::uint32_t(vendors_.size())};
    vendors_.push_back(std::move(vendor));
}

const Vendor* VendorIndex::find(const Address& address) const {
    if (vendors_.empty())
        return nullptr;
    const auto probe = [this](std::uint64_t key) -> const Vendor* {
        const std::size_t s = slotOf(key);
        return slots_[s].key == key ? &vendors_[slots_[s].vendor] : nullptr;
    };
    // The longer codes only where some lie under the address's first 6 digits.
    if (address.nibbles >= 7 && hasParent(address.first(6)))
        for (const int length : {9, 7})
            if (address.nibbles >= length)
                if (const Vendor* v = probe(key(address, length)))
                    return v;
    if (const Vendor* v = probe(key(address, 6)))
        return v;
    // An ELI address: its first 24 bits are a company ID.
    if (hasCids_ && address.nibbles >= 6 && (address.octet(0) & 0x0E) == 0x0A)
        return probe(key(address, 6, true));
    return nullptr;
}

VendorIndex VendorIndex::read(const std::string& path, const std::unordered_set<std::uint64_t>* wanted,
                              const jet::Options& options) {
    return jet::readWhileBusy(path, [&] {
        VendorIndex index;
        jet::Database database(path, jet::PageFile::Mode::Read, options);
        TableReader oui(database, vendor::TableName, VendorColumns);
        if (oui.columns[vendor::Code] < 0)
            throw jet::Error(path + ": table \"" + vendor::TableName + "\" has no field \"" +
                             std::string(vendor::nameOf(vendor::Code)) + "\".");
        const std::size_t rows = oui.table->rowCount();
        index.records_ = rows;
        index.reserve(wanted ? std::min(rows, wanted->size()) : rows);

        // The first record of each code; the later ones of a repeated code aside.
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> repeated;  // key -> rows, in order
        std::vector<std::size_t> firstRow;  // by vendor: the row it was read from
        const auto vendorOf = [&](TableReader& from, std::size_t row, const Address& code, bool cid) {
            return Vendor{from.text(row, vendor::Code), from.text(row, vendor::Vendor), postalOf(from.text(row, vendor::Address)),
                          blockOf(code, cid)};
        };
        for (std::size_t row = 0; row < rows; ++row) {
            const std::u16string* codeValue = oui.value(row, vendor::Code);
            const Address code = codeValue ? codeDigits(*codeValue) : Address{};
            if (code.nibbles == 0)
                continue;
            const std::uint64_t k = key(code, code.nibbles);
            if (wanted && !wanted->count(k))
                continue;
            const std::size_t slot = index.slots_.empty() ? 0 : index.slotOf(k);
            if (index.slots_.empty() || index.slots_[slot].key != k) {
                index.add(k, vendorOf(oui, row, code, false));
                firstRow.push_back(row);
            } else {
                std::vector<std::size_t>& rowsOfCode = repeated[k];
                if (rowsOfCode.empty())
                    rowsOfCode.push_back(firstRow[index.slots_[slot].vendor]);
                rowsOfCode.push_back(row);
            }
        }

        // A repeated code: the first record that is not one of the listing's.
        if (!repeated.empty() && hasTable(database, vendor::ListingTableName)) {
            TableReader listing(database, vendor::ListingTableName, VendorColumns);
            std::map<std::u16string, int> imported;  // whole records of the listing, with their counts
            if (listing.columns[vendor::Code] >= 0)
                for (std::size_t row = 0; row < listing.table->rowCount(); ++row) {
                    const std::u16string* codeValue = listing.value(row, vendor::Code);
                    const Address code = codeValue ? codeDigits(*codeValue) : Address{};
                    if (code.nibbles && repeated.count(key(code, code.nibbles)))
                        ++imported[listing.rowKey(row)];
                }
            for (const auto& [k, rowsOfCode] : repeated) {
                for (const std::size_t row : rowsOfCode) {
                    const auto it = imported.find(oui.rowKey(row));
                    if (it != imported.end() && it->second > 0) {
                        --it->second;  // this one is as imported
                        continue;
                    }
                    if (row != rowsOfCode.front())
                        index.add(k, vendorOf(oui, row, codeDigits(*oui.value(row, vendor::Code)), false));
                    break;
                }
            }
        }

        // The company IDs, when the database keeps them.
        if (hasTable(database, vendor::CidTableName)) {
            TableReader cid(database, vendor::CidTableName, VendorColumns);
            index.hasCids_ = cid.columns[vendor::Code] >= 0;
            for (std::size_t row = 0; index.hasCids_ && row < cid.table->rowCount(); ++row) {
                const std::u16string* codeValue = cid.value(row, vendor::Code);
                const Address code = codeValue ? codeDigits(*codeValue) : Address{};
                const std::uint64_t k = key(code, 6, true);
                if (code.nibbles != 6 || (wanted && !wanted->count(k)))
                    continue;
                if (index.slots_[index.slotOf(k)].key != k)
                    index.add(k, vendorOf(cid, row, code, true));
            }
        }
        return index;
    }, options);
}

} // namespace zorvane::addresses
