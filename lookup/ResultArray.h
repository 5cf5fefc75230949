#pragma once
#include "records/RecordSet.h"
#include "records/VendorTable.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace zorvane::lookup {

// The matches of the last search, one row per match in the record set's order.
// Each row holds the record's eight fields and its record number as text.
class ResultArray {
public:
    enum Column {
        Code = 0,
        Vendor = 1,
        Address1 = 2,   // to address5 in columns 2 to 6
        Address = 7,
        RecordNum = 8,
    };
    static constexpr int Columns = 9;
    using Row = std::array<QString, Columns>;
    // The field of table "oui" each column before RecordNum is copied from.
    static constexpr std::array<records::vendor::Field, RecordNum> ColumnField = {
        records::vendor::Code,     records::vendor::Vendor,   records::vendor::Address1,
        records::vendor::Address2, records::vendor::Address3, records::vendor::Address4,
        records::vendor::Address5, records::vendor::Address};

    // Starts afresh for a new search: every row reads as empty again.
    void Recreate() { rows_.clear(); }
    // Rows written since the last Recreate(): every row before this one holds a match.
    qint32 filledRows() const { return static_cast<qint32>(rows_.size()); }
    // The text in `column` of `row`; empty text for a row that holds no match.
    const QString& at(qint32 row, int column) const;
    // Row `row` for writing; the array grows to take it.
    Row& writeRow(qint32 row);

private:
    std::vector<Row> rows_;
};

// The eight fields of table "oui" in the record set, each found by name once
// and kept by its place in the table (records::vendor::Field).
class VendorFields {
public:
    explicit VendorFields(records::RecordSet& Data1);
    const records::Field& operator[](records::vendor::Field field) const { return fields_[field]; }
    records::Field& operator[](records::vendor::Field field) { return fields_[field]; }

private:
    std::vector<records::Field> fields_;
};

// Copies the current record of `Data1` into row `intArrayCtr` (its fields,
// null taken as empty text, and its record number) and counts the row.
void FillArray(records::RecordSet& Data1, ResultArray& strVendArray, qint32& intArrayCtr);
// The same, with the fields already found (a search copies many rows).
void FillArray(records::RecordSet& Data1, const VendorFields& fields, ResultArray& strVendArray,
               qint32& intArrayCtr);

// Sets `intRecordNum` to the record number kept in row `Ctr` (0 for a row
// that holds none).
void GetintRecordNum(const ResultArray& strVendArray, qint32& intRecordNum, qint32 Ctr);

} // namespace zorvane::lookup
