#include "addresswindow/AddressScan.h"

#include "addresses/AddressNames.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace zorvane::addresswindow {

namespace {

std::string grouped(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace

Scan scanText(std::shared_ptr<const std::string> text, const addresses::VendorIndex& index) {
    Scan scan;
    scan.text = text;
    scan.kinds.emplace_back();
    std::unordered_map<std::string, std::uint32_t> kindIds;
    std::vector<std::uint32_t> byVendor(index.vendors().size());
    std::vector<addresses::Found> found;
    const std::string_view all(*text);
    std::uint32_t line = 0;
    for (std::size_t at = 0; at <= all.size();) {
        const std::size_t end = std::min(all.find('\n', at), all.size());
        ++line;
        addresses::readItem(all.substr(at, end - at), found);
        for (const addresses::Found& f : found) {
            AddressRow row;
            row.address = f.address;
            row.line = line;
            row.offset = std::uint32_t(at + f.offset);
            row.length = std::uint32_t(f.length);
            row.flags = std::uint8_t(addresses::flagsOf(f.address));
            const std::string name = addresses::kindOf(f.address);
            const std::string kind = name.empty() ? std::string(addresses::flagWords(row.flags)) : name;
            if (!kind.empty()) {
                const auto [it, isNew] = kindIds.try_emplace(kind, std::uint32_t(scan.kinds.size()));
                if (isNew)
                    scan.kinds.push_back(kind);
                row.kind = it->second;
            }
            if (const addresses::Vendor* v = index.find(f.address)) {
                row.vendor = std::int32_t(index.indexOf(v));
                ++byVendor[std::size_t(row.vendor)];
            } else if (!(row.flags & addresses::Local) && name.empty()) {
                ++scan.unknown;
            }
            if (row.flags & addresses::Local)
                ++scan.local;
            scan.rows.push_back(row);
        }
        at = end + 1;
    }
    // By name: a vendor holds many codes.
    std::unordered_map<std::string_view, std::size_t> counts;
    for (std::size_t i = 0; i < byVendor.size(); ++i)
        if (byVendor[i])
            counts[index.vendors()[i].name] += byVendor[i];
    scan.vendors.reserve(counts.size());
    for (const auto& [name, count] : counts)
        scan.vendors.emplace_back(std::string(name), count);
    std::sort(scan.vendors.begin(), scan.vendors.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    return scan;
}

std::string summaryLine(const Scan& scan) {
    const std::size_t n = scan.rows.size();
    return grouped(n) + (n == 1 ? " address, " : " addresses, ") + grouped(scan.vendors.size()) +
           (scan.vendors.size() == 1 ? " vendor, " : " vendors, ") + grouped(scan.unknown) + " unknown, " +
           grouped(scan.local) + " local";
}

} // namespace zorvane::addresswindow
