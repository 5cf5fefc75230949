#pragma once
#include "records/VendorDatabase.h"

#include <QDir>
#include <QString>

#include <optional>
#include <vector>

namespace zorvane::test {

// One record of table "oui": code, vendor name, address and the five further
// address fields; std::nullopt stands for a database null.
inline records::VendorRecord vendorRecord(std::optional<QString> code, std::optional<QString> vendor,
                                          std::optional<QString> address = QString(),
                                          std::optional<QString> address1 = std::nullopt,
                                          std::optional<QString> address2 = std::nullopt)
{
    return {{std::move(code), std::move(vendor), std::move(address), std::move(address1), std::move(address2)}};
}

// Writes "oui.mdb" with `records` (in that order) into `folder`; returns its path.
inline QString writeVendorDatabase(const QString& folder, const std::vector<records::VendorRecord>& records)
{
    const QString path = QDir(folder).filePath(QStringLiteral("oui.mdb"));
    records::createVendorDatabase(path, records, true);
    return path;
}

} // namespace zorvane::test
