#include "lookup/ResultArray.h"
#include "records/RecordSet.h"

#include <limits>

namespace zorvane::lookup {

const QString& ResultArray::at(qint32 row, int column) const
{
    static const QString empty;
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size() || column < 0 || column >= Columns)
        return empty;
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

ResultArray::Row& ResultArray::writeRow(qint32 row)
{
    const auto index = static_cast<std::size_t>(row < 0 ? 0 : row);
    if (index >= rows_.size())
        rows_.resize(index + 1);
    return rows_[index];
}

VendorFields::VendorFields(records::RecordSet& Data1)
{
    fields_.reserve(records::vendor::FieldCount);
    for (const records::vendor::FieldDescription& field : records::vendor::Fields)
        fields_.push_back(Data1.Fields(QLatin1String(field.name.data(), static_cast<qsizetype>(field.name.size()))));
}

void FillArray(records::RecordSet& Data1, ResultArray& strVendArray, qint32& intArrayCtr)
{
    FillArray(Data1, VendorFields(Data1), strVendArray, intArrayCtr);
}

void FillArray(records::RecordSet& Data1, const VendorFields& fields, ResultArray& strVendArray,
               qint32& intArrayCtr)
{
    ResultArray::Row& row = strVendArray.writeRow(intArrayCtr);
    row = ResultArray::Row{};
    for (int column = 0; column < ResultArray::RecordNum; ++column) {
        std::optional<QString> value = fields[ResultArray::ColumnField[static_cast<std::size_t>(column)]].Value();
        // Code, Vendor and Address always, a null as empty text; the five
        // further address fields only where they hold text (no compaction).
        const bool furtherAddress = column >= ResultArray::Address1 && column < ResultArray::Address;
        if (furtherAddress && (!value || value->isEmpty()))
            continue;
        row[static_cast<std::size_t>(column)] = std::move(value).value_or(QString());
    }
    row[ResultArray::RecordNum] = QString::number(Data1.AbsolutePosition());
    ++intArrayCtr;
}

void GetintRecordNum(const ResultArray& strVendArray, qint32& intRecordNum, qint32 Ctr)
{
    // The leading decimal digits of the text; empty text reads as 0.
    const QString& text = strVendArray.at(Ctr, ResultArray::RecordNum);
    qint64 number = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        number = number * 10 + (c.unicode() - '0');
        if (number > std::numeric_limits<qint32>::max()) {
            number = std::numeric_limits<qint32>::max();
            break;
        }
    }
    intRecordNum = static_cast<qint32>(number);
}

} // namespace zorvane::lookup
