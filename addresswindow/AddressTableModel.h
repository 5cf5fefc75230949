#pragma once
#include "addresswindow/AddressScan.h"

#include <QAbstractTableModel>
#include <QString>

#include <memory>
#include <vector>

namespace zorvane::addresswindow {

// The Addresses window's table: one row per address found, in text order
// until sorted by a column, narrowed by the filter (text that any column
// holds, letter case aside).
class AddressTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Address, Vendor, Block, Code, Kind, Postal, Line, ColumnCount };

    explicit AddressTableModel(QObject* parent = nullptr);

    // A new scan, answered by `index`; the filter and sort order stay.
    void setScan(std::shared_ptr<const Scan> scan, std::shared_ptr<const addresses::VendorIndex> index);
    const Scan* scan() const { return scan_.get(); }
    void setFilter(const QString& text);
    QString filter() const { return filter_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The text of a cell of shown row `row`.
    QString text(int row, int column) const;
    // Where the address of shown row `row` stands in the scanned text, in
    // UTF-16 units (QString positions): its start and length.
    std::pair<int, int> place(int row) const;
    // Shown rows as tab-separated text, one line each (the table's columns).
    QString tabSeparated(const std::vector<int>& rows) const;
    // Every shown row as CSV (RFC 4180, CR LF) with the columns of
    // `zorvane-db lookup --csv`: input,address,code,vendor,postal,block,flags,kind.
    QByteArray csv() const;

private:
    void rebuild();
    const AddressRow& row(int shown) const { return scan_->rows[shown_[std::size_t(shown)]]; }
    const addresses::Vendor* vendorOf(const AddressRow& r) const;
    bool matches(const AddressRow& r, const std::string& lowerFilter) const;

    std::shared_ptr<const Scan> scan_;
    std::shared_ptr<const addresses::VendorIndex> index_;
    std::vector<std::uint32_t> shown_;  // indexes into scan_->rows
    QString filter_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    // The vendors' texts as QString, made when first shown.
    mutable std::vector<QString> vendorTexts_[4];
    mutable std::vector<QString> kindTexts_;
};

} // namespace zorvane::addresswindow

namespace zorvane::addresswindow {

// The vendor summary beside the table: each vendor found with its count,
// most first until sorted by a column.
class VendorSummaryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Vendor, Count, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setScan(std::shared_ptr<const Scan> scan);
    QString vendor(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    std::shared_ptr<const Scan> scan_;
    std::vector<std::uint32_t> order_;  // indexes into scan_->vendors
};

} // namespace zorvane::addresswindow
