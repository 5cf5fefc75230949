#include "records/VendorDatabase.h"

#include "records/jet/CreateDatabase.h"

#include <QFile>

namespace zorvane::records {

namespace {

// Field "Address" holds the address lines joined by line breaks, which may run
// past 255 characters, so it is a memo; every other field is text of up to
// 255 characters (vendor::Fields).
jet::NewTable vendorTable(const char* name) {
    jet::NewTable table;
    table.name = name;
    for (const vendor::FieldDescription& field : vendor::Fields) {
        jet::NewColumn column;
        column.name = field.name;
        column.type = field.memo ? jet::format::TypeMemo : jet::format::TypeText;
        column.maxChars = vendor::TextMaxChars;
        table.columns.push_back(column);
    }
    return table;
}

std::vector<jet::NewRow> rowsOf(const std::vector<VendorRecord>& records) {
    std::vector<jet::NewRow> rows;
    rows.reserve(records.size());
    for (const VendorRecord& record : records) {
        jet::NewRow row;
        row.reserve(record.fields.size());
        for (const std::optional<QString>& field : record.fields) {
            if (field)
                row.emplace_back(std::u16string(reinterpret_cast<const char16_t*>(field->utf16()),
                                                static_cast<std::size_t>(field->size())));
            else
                row.emplace_back(std::nullopt);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

namespace {

void writeVendorDatabase(const QString& path, const std::vector<VendorRecord>& records,
                         const std::vector<VendorRecord>* listing, const std::vector<VendorRecord>* cids,
                         const jet::CreateOptions& options, const jet::Options& engine) {
    const jet::NewTable oui = vendorTable(vendor::TableName), listed = vendorTable(vendor::ListingTableName),
                        cid = vendorTable(vendor::CidTableName);
    const std::vector<jet::NewRow> ouiRows = rowsOf(records);
    std::vector<jet::NewRow> listedRows, cidRows;
    std::vector<jet::NewTableRows> tables{{oui, ouiRows}};
    if (listing == &records) {
        tables.push_back({listed, ouiRows});  // both start out the same
    } else if (listing) {
        listedRows = rowsOf(*listing);
        tables.push_back({listed, listedRows});
    }
    if (cids) {
        cidRows = rowsOf(*cids);
        tables.push_back({cid, cidRows});
    }
    jet::createDatabase(QFile::encodeName(path).toStdString(), tables, options, engine);
}

} // namespace

void createVendorDatabase(const QString& path, const std::vector<VendorRecord>& records,
                          bool overwrite, const QString& password,
                          const std::vector<VendorRecord>* listing, const jet::Options& engine,
                          const std::vector<VendorRecord>* cids) {
    jet::CreateOptions options;
    options.overwrite = overwrite;
    options.password = password.toStdU16String();
    writeVendorDatabase(path, records, listing, cids, options, engine);
}

void replaceHeldVendorDatabase(const QString& path, const std::vector<VendorRecord>& records,
                               const QString& password, const std::vector<VendorRecord>* listing,
                               const jet::Options& engine, const std::vector<VendorRecord>* cids) {
    jet::CreateOptions options;
    options.overwrite = true;
    options.lockHeld = true;
    options.password = password.toStdU16String();
    writeVendorDatabase(path, records, listing, cids, options, engine);
}

} // namespace zorvane::records
