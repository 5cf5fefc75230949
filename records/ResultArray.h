#pragma once
#include "records/RecordSet.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace zorvane::records {

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

// The eight fields of table "oui" in the record set, each found by name once.
class VendorFields {
public:
    explicit VendorFields(RecordSet& Data1);
    const Field& operator[](std::size_t i) const { return fields_[i]; }

private:
    std::vector<Field> fields_;
};

// Copies the current record of `Data1` into row `intArrayCtr` (its fields,
// null taken as empty text, and its record number) and counts the row.
void FillArray(RecordSet& Data1, ResultArray& strVendArray, qint32& intArrayCtr);
// The same, with the fields already found (a search copies many rows).
void FillArray(RecordSet& Data1, const VendorFields& fields, ResultArray& strVendArray,
               qint32& intArrayCtr);

// Sets `intRecordNum` to the record number kept in row `Ctr` (0 for a row
// that holds none).
void GetintRecordNum(const ResultArray& strVendArray, qint32& intRecordNum, qint32 Ctr);

} // namespace zorvane::records
