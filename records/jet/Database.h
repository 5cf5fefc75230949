#pragma once
// An open Access 2000 database: its header checked and its catalog
// (MSysObjects) read, from which user tables are opened by name.

#include "records/jet/PageFile.h"
#include "records/jet/Table.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::jet {

class Database {
public:
    // Opens `path` (read-only unless `mode` says otherwise) with `options`
    // (Options.h). Throws Error naming the file and the reason.
    explicit Database(std::string path, PageFile::Mode mode = PageFile::Mode::Read,
                      Options options = {});
    // Reads a database image held in memory (tests, fuzzing).
    Database(std::string name, std::vector<std::uint8_t> image);

    struct TableEntry {
        std::string name;     // UTF-8
        std::uint32_t page;   // its definition page
        bool system = false;  // a system table
    };
    // Every table the catalog lists (with a name), system tables too, in
    // catalog order. Throws Error when the catalog cannot be read.
    static std::vector<TableEntry> catalogTables(Table& catalog);
    static Table openCatalog(PageFile& file);
    // The user tables (no system tables), in catalog order.
    const std::vector<TableEntry>& tables() const { return tables_; }

    // Opens the user table `name` (ASCII letters compared without case).
    // Throws Error when there is none.
    std::unique_ptr<Table> openTable(std::string_view name);

    PageFile& file() { return *file_; }
    const std::string& path() const { return file_->path(); }

private:
    void readCatalog();
    std::unique_ptr<PageFile> file_;
    std::vector<TableEntry> tables_;
};

} // namespace zorvane::jet
