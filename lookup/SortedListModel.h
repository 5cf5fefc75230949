#pragma once
#include <QAbstractListModel>
#include <QList>
#include <QSet>
#include <QString>

namespace zorvane::lookup {

// The entries of one result list, kept in alphabetical order with letter case
// ignored; an added entry goes after the entries equal to it. Lookups of a whole
// entry are exact and take constant time.
//
// Between beginBatch() and endBatch() entries are taken in without telling the
// views; endBatch() sorts them in (one sort of the new entries and one merge)
// and resets the views. A search adds tens of thousands of entries this way
// without a cost per entry that grows with the list.
class SortedListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(entries_.size()); }
    bool contains(const QString& text) const { return present_.contains(text); }
    QString at(int row) const;

    void add(const QString& text);
    void clear();

    void beginBatch();
    // True when the batch changed the entries (and the views were reset).
    bool endBatch();

private:
    QList<QString> entries_;
    QSet<QString> present_;
    bool batch_ = false;
    qsizetype sortedCount_ = 0;   // during a batch: entries before this are in order
};

} // namespace zorvane::lookup
