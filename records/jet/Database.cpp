#include "records/jet/Database.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/ValueText.h"

namespace zorvane::jet {

using namespace format;

Database::Database(std::string path, PageFile::Mode mode, Options options)
    : file_(std::make_unique<PageFile>(std::move(path), mode, std::move(options))) {
    readCatalog();
}

Database::Database(std::string name, std::vector<std::uint8_t> image)
    : file_(std::make_unique<PageFile>(std::move(name), std::move(image))) {
    readCatalog();
}

void Database::readCatalog() {
    PageFile::ReadScope scope(*file_);  // one lock and check for the catalog
    checkHeader(*file_);
    Table catalog = openCatalog(*file_);
    if (const std::uint32_t stray = catalog.strayPage())
        file_->fail("the catalog (MSysObjects) is damaged: page " + std::to_string(stray) +
                    ", which its page usage map marks, holds none of its rows");
    for (TableEntry& entry : catalogTables(catalog))
        if (!entry.system)
            tables_.push_back(std::move(entry));
}

Table Database::openCatalog(PageFile& file) {
    return Table(file, readTableDef(file, CatalogTableDefPage, "MSysObjects"));
}

std::vector<Database::TableEntry> Database::catalogTables(Table& catalog) {
    const int id = catalog.columnIndex("Id");
    const int name = catalog.columnIndex("Name");
    const int type = catalog.columnIndex("Type");
    const int flags = catalog.columnIndex("Flags");
    if (id < 0 || name < 0 || type < 0 || flags < 0)
        catalog.file().fail("the catalog (MSysObjects) lacks the fields Id, Name, Type and Flags");
    std::vector<TableEntry> out;
    std::u16string text;
    for (std::size_t row = 0; row < catalog.rowCount(); ++row) {
        const ColumnBytes typeBytes = catalog.bytes(row, static_cast<std::size_t>(type));
        const ColumnBytes idBytes = catalog.bytes(row, static_cast<std::size_t>(id));
        const ColumnBytes flagBytes = catalog.bytes(row, static_cast<std::size_t>(flags));
        text.clear();
        if (!typeBytes.hasValue || typeBytes.length < 2 ||
            static_cast<std::int16_t>(le16(typeBytes.data)) != ObjectTypeTable || !idBytes.hasValue ||
            idBytes.length < 4 || !catalog.appendText(row, static_cast<std::size_t>(name), text))
            continue;
        out.push_back({toUtf8(text), le32(idBytes.data) & 0x00FFFFFFu,
                       flagBytes.hasValue && flagBytes.length >= 4 &&
                           (le32(flagBytes.data) & ObjectFlagsSystemMask) != 0});
    }
    return out;
}

std::unique_ptr<Table> Database::openTable(std::string_view name) {
    for (const TableEntry& entry : tables_) {
        if (!sameName(entry.name, name))
            continue;
        PageFile::ReadScope scope(*file_);  // one lock and check for the table's scan
        return std::make_unique<Table>(*file_, readTableDef(*file_, entry.page, entry.name));
    }
    file_->fail("there is no table \"" + std::string(name) + "\"");
}

} // namespace zorvane::jet
