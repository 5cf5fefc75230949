#include "records/ResultArray.h"
#include "records/RecordSet.h"
#include "records/VendorDatabase.h"

#include <limits>

namespace zorvane::records {

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

VendorFields::VendorFields(RecordSet& Data1)
{
    fields_.reserve(VendorFieldNames.size());
    for (const char* name : VendorFieldNames)
        fields_.push_back(Data1.Fields(QLatin1String(name)));
}

void FillArray(RecordSet& Data1, ResultArray& strVendArray, qint32& intArrayCtr)
{
    FillArray(Data1, VendorFields(Data1), strVendArray, intArrayCtr);
}

void FillArray(RecordSet& Data1, const VendorFields& fields, ResultArray& strVendArray,
               qint32& intArrayCtr)
{
    ResultArray::Row& row = strVendArray.writeRow(intArrayCtr);
    row = ResultArray::Row{};
    // Code and Vendor always; a null reads as empty text.
    row[ResultArray::Code] = fields[0].Value().value_or(QString());
    row[ResultArray::Vendor] = fields[1].Value().value_or(QString());
    // The five further address fields only where they hold text; no compaction.
    for (std::size_t i = 0; i < 5; ++i) {
        std::optional<QString> value = fields[3 + i].Value();
        if (value && !value->isEmpty())
            row[ResultArray::Address1 + i] = std::move(*value);
    }
    row[ResultArray::Address] = fields[2].Value().value_or(QString());
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

} // namespace zorvane::records
