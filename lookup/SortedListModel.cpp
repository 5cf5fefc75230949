#include "lookup/SortedListModel.h"

#include <algorithm>

namespace zorvane::lookup {

namespace {

inline char16_t folded(char16_t c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? char16_t(c + 0x20) : c;
    return QChar::toCaseFolded(c);
}

// Alphabetical order with letter case ignored: characters compared by their
// case-folded codes.
bool before(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* x = a.constData();
    const QChar* y = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t cx = x[i].unicode();
        const char16_t cy = y[i].unicode();
        if (cx == cy)
            continue;
        const char16_t fx = folded(cx);
        const char16_t fy = folded(cy);
        if (fx != fy)
            return fx < fy;
    }
    return a.size() < b.size();
}

} // namespace

int SortedListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant SortedListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return entries_.at(index.row());
}

QString SortedListModel::at(int row) const
{
    return row >= 0 && row < count() ? entries_.at(row) : QString();
}

void SortedListModel::add(const QString& text)
{
    present_.insert(text);
    if (batch_) {
        entries_.append(text);
        return;
    }
    const auto place = std::upper_bound(entries_.cbegin(), entries_.cend(), text, before);
    const int row = static_cast<int>(place - entries_.cbegin());
    beginInsertRows(QModelIndex(), row, row);
    entries_.insert(row, text);
    endInsertRows();
}

void SortedListModel::clear()
{
    beginResetModel();
    entries_.clear();
    present_.clear();
    sortedCount_ = 0;
    endResetModel();
}

void SortedListModel::beginBatch()
{
    if (batch_)
        return;
    batch_ = true;
    sortedCount_ = entries_.size();
}

bool SortedListModel::endBatch()
{
    if (!batch_)
        return false;
    batch_ = false;
    if (sortedCount_ == entries_.size())
        return false;
    beginResetModel();
    const auto middle = entries_.begin() + sortedCount_;
    std::stable_sort(middle, entries_.end(), before);
    std::inplace_merge(entries_.begin(), middle, entries_.end(), before);
    sortedCount_ = entries_.size();
    endResetModel();
    return true;
}

} // namespace zorvane::lookup
