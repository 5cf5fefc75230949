#include "addresswindow/AddressTableModel.h"

#include "addresses/AddressNames.h"

#include <QFontDatabase>

#include <algorithm>
#include <cstring>

namespace zorvane::addresswindow {

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// Whether `text` holds `lowerNeedle` (ASCII letters compared without case).
bool holds(std::string_view text, const std::string& lowerNeedle) {
    if (lowerNeedle.size() > text.size())
        return false;
    const auto same = [](char a, char b) { return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b; };
    return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(), same) != text.end();
}

void appendRaw(QByteArray& out, std::string_view text) { out.append(text.data(), qsizetype(text.size())); }

void appendCsv(QByteArray& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        appendRaw(out, text);
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// The Address column's order: by digits, a prefix before the addresses it begins.
std::pair<std::uint64_t, int> addressKey(const addresses::Address& a) {
    return {a.value << (64 - 4 * a.nibbles), a.nibbles};
}

} // namespace

AddressTableModel::AddressTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void AddressTableModel::setScan(std::shared_ptr<const Scan> scan, std::shared_ptr<const addresses::VendorIndex> index) {
    beginResetModel();
    scan_ = std::move(scan);
    if (index != index_)
        for (auto& texts : vendorTexts_)
            texts.clear();
    index_ = std::move(index);
    kindTexts_.clear();
    if (index_)
        for (auto& texts : vendorTexts_)
            texts.resize(index_->vendors().size());
    if (scan_)
        kindTexts_.resize(scan_->kinds.size());
    rebuild();
    endResetModel();
}

void AddressTableModel::setFilter(const QString& text) {
    if (text == filter_)
        return;
    beginResetModel();
    filter_ = text;
    rebuild();
    endResetModel();
}

const addresses::Vendor* AddressTableModel::vendorOf(const AddressRow& r) const {
    return r.vendor >= 0 && index_ ? &index_->vendors()[std::size_t(r.vendor)] : nullptr;
}

bool AddressTableModel::matches(const AddressRow& r, const std::string& lowerFilter) const {
    if (holds(addresses::addressText(r.address), lowerFilter) || holds(scan_->kinds[r.kind], lowerFilter) ||
        holds(std::to_string(r.line), lowerFilter))
        return true;
    const addresses::Vendor* v = vendorOf(r);
    return v && (holds(v->name, lowerFilter) || holds(v->code, lowerFilter) || holds(v->block, lowerFilter) ||
                 holds(v->postal, lowerFilter));
}

void AddressTableModel::rebuild() {
    shown_.clear();
    if (!scan_)
        return;
    const std::string lowerFilter = lowerAscii(filter_.trimmed().toStdString());
    shown_.reserve(scan_->rows.size());
    for (std::uint32_t i = 0; i < scan_->rows.size(); ++i)
        if (lowerFilter.empty() || matches(scan_->rows[i], lowerFilter))
            shown_.push_back(i);
    if (sortColumn_ < 0)
        return;
    const auto& rows = scan_->rows;
    const auto vendorText = [&](const AddressRow& r, int column) -> std::string_view {
        const addresses::Vendor* v = vendorOf(r);
        if (!v)
            return {};
        switch (column) {
        case Vendor: return v->name;
        case Block: return v->block;
        case Code: return v->code;
        default: return v->postal;
        }
    };
    const int column = sortColumn_;
    const auto less = [&](std::uint32_t x, std::uint32_t y) {
        const AddressRow &a = rows[x], &b = rows[y];
        switch (column) {
        case Address: return addressKey(a.address) < addressKey(b.address);
        case Kind: return scan_->kinds[a.kind] < scan_->kinds[b.kind];
        case Line: return x < y;
        default: return vendorText(a, column) < vendorText(b, column);
        }
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(shown_.begin(), shown_.end(), less);
    else
        std::stable_sort(shown_.begin(), shown_.end(), [&](std::uint32_t x, std::uint32_t y) { return less(y, x); });
}

void AddressTableModel::sort(int column, Qt::SortOrder order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortColumn_ = column;
    sortOrder_ = order;
    const QModelIndexList before = persistentIndexList();
    rebuild();
    // Selections and the current cell do not follow the rows; they are cleared.
    changePersistentIndexList(before, QModelIndexList(before.size()));
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int AddressTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shown_.size());
}

int AddressTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString AddressTableModel::text(int shown, int column) const {
    const AddressRow& r = row(shown);
    if (column == Address)
        return QString::fromLatin1(addresses::addressText(r.address));
    if (column == Line)
        return QString::number(r.line);
    if (column == Kind) {
        QString& k = kindTexts_[r.kind];
        if (k.isNull())
            k = QString::fromStdString(scan_->kinds[r.kind]);
        return k;
    }
    const addresses::Vendor* v = vendorOf(r);
    if (!v)
        return {};
    const int which = column == Vendor ? 0 : column == Block ? 1 : column == Code ? 2 : 3;
    QString& t = vendorTexts_[which][std::size_t(r.vendor)];
    if (t.isNull()) {
        const std::string_view source = which == 0 ? std::string_view(v->name) : which == 1 ? v->block
                                        : which == 2 ? std::string_view(v->code) : std::string_view(v->postal);
        t = QString::fromUtf8(source.data(), qsizetype(source.size()));
        if (t.isNull())
            t = QLatin1String("");
    }
    return t;
}

std::pair<int, int> AddressTableModel::place(int shown) const {
    const AddressRow& r = row(shown);
    const std::string& text = *scan_->text;
    // UTF-8 bytes before it to UTF-16 units: a byte that starts a character
    // counts one, a four-byte character two.
    int at = 0;
    for (std::size_t i = 0; i < r.offset; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        at += (b & 0xC0) != 0x80;
        at += b >= 0xF0;
    }
    return {at, int(r.length)};  // an address is ASCII: one unit a byte
}

QVariant AddressTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole:
        return index.column() == Postal || index.column() == Vendor || index.column() == Kind
                   ? QVariant(text(index.row(), index.column()))
                   : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Line ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case Qt::FontRole:
        return index.column() == Address || index.column() == Code
                   ? QVariant(QFontDatabase::systemFont(QFontDatabase::FixedFont))
                   : QVariant();
    default:
        return {};
    }
}

QVariant AddressTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[] = {"Address", "Vendor", "Block", "Code", "Kind", "Address of the vendor", "Line"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QString();
}

QString AddressTableModel::tabSeparated(const std::vector<int>& rows) const {
    QString out;
    for (const int r : rows) {
        for (int c = 0; c < ColumnCount; ++c) {
            if (c)
                out += QLatin1Char('\t');
            QString cell = text(r, c);
            cell.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            out += cell.remove(QLatin1Char('\r'));
        }
        out += QLatin1Char('\n');
    }
    return out;
}

QByteArray AddressTableModel::csv() const {
    QByteArray out = "input,address,code,vendor,postal,block,flags,kind\r\n";
    for (int shown = 0; shown < rowCount(); ++shown) {
        const AddressRow& r = row(shown);
        appendCsv(out, std::string_view(*scan_->text).substr(r.offset, r.length));
        out += ',';
        appendRaw(out, addresses::addressText(r.address));
        out += ',';
        if (const addresses::Vendor* v = vendorOf(r)) {
            for (const std::string_view field : {std::string_view(v->code), std::string_view(v->name),
                                                 std::string_view(v->postal), v->block}) {
                appendCsv(out, field);
                out += ',';
            }
        } else {
            out += ",,,,";
        }
        appendRaw(out, addresses::flagWords(r.flags));
        out += ',';
        appendCsv(out, addresses::kindOf(r.address));
        out += "\r\n";
    }
    return out;
}

} // namespace zorvane::addresswindow

namespace zorvane::addresswindow {

void VendorSummaryModel::setScan(std::shared_ptr<const Scan> scan) {
    beginResetModel();
    scan_ = std::move(scan);
    order_.resize(scan_ ? scan_->vendors.size() : 0);
    for (std::uint32_t i = 0; i < order_.size(); ++i)
        order_[i] = i;
    endResetModel();
}

QString VendorSummaryModel::vendor(int row) const {
    return QString::fromStdString(scan_->vendors[order_[std::size_t(row)]].first);
}

int VendorSummaryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(order_.size()); }

int VendorSummaryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant VendorSummaryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == Count)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const auto& [name, count] = scan_->vendors[order_[std::size_t(index.row())]];
    return index.column() == Vendor ? QVariant(QString::fromStdString(name)) : QVariant(qulonglong(count));
}

QVariant VendorSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == Vendor ? QStringLiteral("Vendor") : QStringLiteral("Count");
}

void VendorSummaryModel::sort(int column, Qt::SortOrder order) {
    if (!scan_)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const auto& vendors = scan_->vendors;
    // Ascending by name, or by count (ties in the summary's order).
    const auto less = [&](std::uint32_t a, std::uint32_t b) {
        return column == Vendor ? vendors[a].first < vendors[b].first : vendors[a].second < vendors[b].second;
    };
    std::sort(order_.begin(), order_.end());
    if (order == Qt::AscendingOrder)
        std::stable_sort(order_.begin(), order_.end(), less);
    else
        std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) { return less(b, a); });
    const QModelIndexList before = persistentIndexList();
    changePersistentIndexList(before, QModelIndexList(before.size()));
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace zorvane::addresswindow
