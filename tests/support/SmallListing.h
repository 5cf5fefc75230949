#pragma once
// A small IEEE listing for tests: an oui.txt of the test's own beside the
// three other registry files with one entry each (a registry file without
// entries is refused). Import and refresh take it with --min-entries 1.
#include "tests/support/EngineReaders.h"

#include <QDir>

namespace zorvane::test {

// An entry of a registry file, and the record it imports as (Code, Vendor,
// Address, Address1 to address5).
struct RegistryEntry {
    QString code, vendor;
    QStringList address;
};
inline Row record(const RegistryEntry& e) {
    Row r = {e.code, e.vendor, e.address.join("\r\n")};
    for (int i = 0; i < 5; ++i)
        r.append(i < e.address.size() ? e.address[i] : QString());
    return r;
}
inline QList<Row> rowsOf(const QList<RegistryEntry>& entries) {
    QList<Row> rows;
    for (const RegistryEntry& e : entries)
        rows << record(e);
    return rows;
}

// The entries as a registry file lists them (6-digit codes), lines ended by
// CR LF, without the column titles at the top.
inline QByteArray registryEntriesText(const QList<RegistryEntry>& entries) {
    QByteArray text;
    for (const RegistryEntry& e : entries) {
        text += (e.code + "   (hex)\t\t" + e.vendor + "\r\n" + QString(e.code).remove('-') + "     (base 16)\t\t" +
                 e.vendor + "\r\n").toUtf8();
        for (const QString& line : e.address)
            text += "\t\t\t\t" + line.toUtf8() + "\r\n";
        text += "\r\n";
    }
    return text;
}

// One entry of each of the other registries, and the records they import as
// (Code, Vendor, Address, Address1 to address5).
inline const QByteArray MamText = "74-1A-E0   (hex)\t\tMam Maker\n900000-9FFFFF     (base 16)\t\tMam Maker\n\t\t\t\tDE\n\n";
inline const QByteArray MasText = "70-B3-D5   (hex)\t\tMas Maker\nF2F000-F2FFFF     (base 16)\t\tMas Maker\n\t\t\t\tRU\n\n";
inline const QByteArray IabText = "00-50-C2   (hex)\t\tIab Maker\n7D5000-7D5FFF     (base 16)\t\tIab Maker\n\t\t\t\tFR\n\n";
inline QList<QStringList> otherRegistryRecords() {
    return {{"74-1A-E0-9", "Mam Maker", "DE", "DE", "", "", "", ""},
            {"70-B3-D5-F2-F", "Mas Maker", "RU", "RU", "", "", "", ""},
            {"00-50-C2-7D-5", "Iab Maker", "FR", "FR", "", "", "", ""}};
}

// Writes mam.txt, oui36.txt and iab.txt into `dir` (made if need be).
inline bool writeOtherRegistries(const QString& dir) {
    QDir().mkpath(dir);
    return writeBytes(dir + "/mam.txt", MamText) && writeBytes(dir + "/oui36.txt", MasText) &&
           writeBytes(dir + "/iab.txt", IabText);
}

// A listing folder: `oui` as oui.txt and the three others.
inline QString writeSmallListing(const QString& dir, const QByteArray& oui) {
    return writeOtherRegistries(dir) && writeBytes(dir + "/oui.txt", oui) ? dir : QString();
}

} // namespace zorvane::test
