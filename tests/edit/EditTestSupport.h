#pragma once
// The editing tests' own pieces: the structure check's findings and vendor
// databases of realistic random records.
#include "records/VendorDatabase.h"
#include "records/jet/PageFile.h"
#include "records/jet/DatabaseCheck.h"
#include "tests/support/EngineReaders.h"
#include "tests/support/VendorDatabaseBuilder.h"

#include <QtTest>

#include <random>

namespace zorvane::test {

inline QStringList checkProblems(const QString& path) {
    QStringList out;
    try {
        jet::PageFile file(QFile::encodeName(path).toStdString());
        for (const std::string& p : jet::checkDatabase(file))
            out << QString::fromStdString(p);
    } catch (const jet::Error& e) {
        out << QString::fromUtf8(e.what());
    }
    return out;
}

// `count` records: random codes, names of one to five words, zero to five
// address lines (Address joins them; the unused fields alternate "" and null).
inline std::vector<records::VendorRecord> makeVendors(int count, std::mt19937& rng) {
    static const char* words[] = {"Acme", "Network", "Systems", "Electronics", "Devices", "Technology",
                                  "Co.,", "Ltd.", "GmbH", "Inc.", "Corporation", "Industrial",
                                  "Shenzhen", "Global", "Micro", "Data"};
    std::uniform_int_distribution<int> byte(0, 255), wordCount(1, 5), word(0, 15), lines(0, 5);
    std::vector<records::VendorRecord> out;
    for (int i = 0; i < count; ++i) {
        records::VendorRecord r;
        QStringList name, address;
        for (int w = wordCount(rng); w > 0; --w)
            name << words[word(rng)];
        const int n = lines(rng);
        for (int l = 0; l < n; ++l)
            address << QString("%1 Line %2 of %3").arg(byte(rng)).arg(l + 1).arg(name.first());
        r.fields[records::vendor::Code] = QString("%1-%2-%3").arg(byte(rng), 2, 16, QChar('0')).arg(byte(rng), 2, 16, QChar('0'))
                          .arg(byte(rng), 2, 16, QChar('0')).toUpper();
        r.fields[records::vendor::Vendor] = name.join(' ');
        r.fields[records::vendor::Address] = address.join('\n');
        for (int l = 0; l < int(records::vendor::FurtherAddressCount); ++l)
            r.fields[records::vendor::Address1 + std::size_t(l)] = l < n ? Value(address[l]) : (l % 2 ? Value(QString()) : Value());
        out.push_back(r);
    }
    return out;
}

inline QString vendorFile(const QString& dir, int count, quint32 seed = 7) {
    std::mt19937 rng(seed);
    return writeVendorDatabase(dir, makeVendors(count, rng));
}

} // namespace zorvane::test
