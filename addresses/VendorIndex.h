#pragma once
// The vendor records of a database by code, for answering addresses: table
// "oui" read once, its codes of 6, 7 and 9 hex digits kept in a hash table,
// and the longest code that begins an address found with three probes.
// Where a code is held more than once, the record the user added or changed
// (one that differs from every unused record of the listing as imported,
// table "ouiListing") wins over the records as imported; otherwise the first
// in table order. A database with table "cid" (the IEEE CID registry, same
// fields) also names ELI addresses by their company ID.

#include "addresses/AddressText.h"
#include "records/jet/Options.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zorvane::addresses {

struct Vendor {
    std::string code;    // the record's Code as stored
    std::string name;    // Vendor
    std::string postal;  // Address, its lines joined by ", "
    std::string_view block;  // "MA-L", "MA-M", "MA-S", "IAB" or "CID"
};

class VendorIndex {
public:
    VendorIndex() = default;

    // Reads the database file `path` (UTF-8) with `options`, anew while
    // another program's commands change it (up to the busy timeout of
    // `options`); throws jet::Error. With `wanted`, only codes whose key() is
    // in it are kept (for a few addresses: only their texts are read).
    static VendorIndex read(const std::string& path, const std::unordered_set<std::uint64_t>* wanted = nullptr,
                            const jet::Options& options = {});

    // The record of the longest code that begins `address` (of a CID for an
    // ELI address that no code of table "oui" begins), or null.
    const Vendor* find(const Address& address) const;

    // The key of the first `length` digits of `address` (6, 7 or 9; a CID's
    // key with cid).
    static std::uint64_t key(const Address& address, int length, bool cid = false);
    // The keys find() may probe for `address`.
    static void keysOf(const Address& address, std::unordered_set<std::uint64_t>& keys);

    const std::vector<Vendor>& vendors() const { return vendors_; }
    // The position of `vendor` (one of vendors()).
    std::size_t indexOf(const Vendor* vendor) const { return std::size_t(vendor - vendors_.data()); }
    // The number of records of table "oui" read (every one, codes or not).
    std::size_t recordCount() const { return records_; }
    bool hasCids() const { return hasCids_; }

    // Builds the hash table over `vendors` (keys in the same order); for
    // read() and for tests.
    void add(std::uint64_t key, Vendor vendor);

private:
    void reserve(std::size_t count);
    std::size_t slotOf(std::uint64_t key) const;

    std::vector<Vendor> vendors_;
    // The hash table: a key (0: an empty slot) beside its vendor, so that a
    // probe reads one cache line.
    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t vendor = 0;  // index into vendors_
    };
    std::vector<Slot> slots_;
    // The first 6 digits of every 7- and 9-digit code (plus one, so never 0),
    // a small open-addressing set: most addresses need one probe of slots_.
    std::vector<std::uint64_t> parents_;
    std::size_t parentCount_ = 0;
    bool hasParent(std::uint64_t first6) const;
    void addParent(std::uint64_t first6);
    std::size_t records_ = 0;
    bool hasCids_ = false;
};

// The digits of a stored Code when it is one of 6, 7 or 9 hex digits between
// any '-', ':', '.' and white space; otherwise count 0.
Address codeDigits(std::u16string_view code);

} // namespace zorvane::addresses
