#include "ui/MappingListModel.h"

#include <algorithm>
#include <iterator>

namespace tevra {

MappingListModel::MappingListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

MappingListModel::~MappingListModel() = default;

int MappingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int MappingListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kMappingColumnCount;
}

QVariant MappingListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MappingRow& shown = row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(shown.cells[std::size_t(index.column())]);
    case Qt::DecorationRole:
        if (index.column() == 0)
            return rowImages_[shown.alertFree ? 0 : 1];
        return {};
    case Qt::ToolTipRole:
        // These two columns keep their widths, however long their texts are.
        if (index.column() == kVendorColumn || index.column() == kAdapterColumn)
            return QString::fromStdString(shown.cells[std::size_t(index.column())]);
        return {};
    case HostAddressRole:
        return quint32(shown.hostAddress);
    default:
        return {};
    }
}

QVariant MappingListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kMappingColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kMappingHeadings[std::size_t(section)]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

void MappingListModel::setRowImages(const std::array<QIcon, 2>& images)
{
    rowImages_ = images;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), { Qt::DecorationRole });
}

MappingListModel::RowList::const_iterator MappingListModel::lowerBound(std::uint32_t hostAddress) const
{
    return std::lower_bound(rows_.begin(), rows_.end(), hostAddress,
        [](const auto& shown, std::uint32_t key) { return shown->hostAddress < key; });
}

std::optional<int> MappingListModel::findRow(std::uint32_t hostAddress) const
{
    const auto it = lowerBound(hostAddress);
    if (it == rows_.end() || (*it)->hostAddress != hostAddress)
        return std::nullopt;
    return int(it - rows_.begin());
}

void MappingListModel::writeRows(std::vector<MappingRow> rows)
{
    std::vector<MappingRow> added;
    for (MappingRow& written : rows) {
        if (const auto found = findRow(written.hostAddress))
            rewriteRow(*found, std::move(written));
        else
            added.push_back(std::move(written));
    }
    insertNewRows(std::move(added));
}

void MappingListModel::rewriteRow(int index, MappingRow&& written)
{
    MappingRow& shown = *rows_[std::size_t(index)];
    if (shown == written)
        return;
    shown = std::move(written);
    emit dataChanged(this->index(index, 0), this->index(index, kMappingColumnCount - 1));
}

void MappingListModel::insertNewRows(std::vector<MappingRow> added)
{
    std::sort(added.begin(), added.end(),
        [](const MappingRow& a, const MappingRow& b) { return a.hostAddress < b.hostAddress; });
    // Each run of new rows that falls between the same two listed rows goes in
    // with one insertion, so a first fill is a single insertion.
    auto next = added.begin();
    while (next != added.end()) {
        const auto at = lowerBound(next->hostAddress);
        const auto runEnd
            = at == rows_.end() ? added.end() : std::find_if(next, added.end(), [&](const MappingRow& r) {
                  return r.hostAddress > (*at)->hostAddress;
              });
        RowList run;
        run.reserve(std::size_t(runEnd - next));
        for (; next != runEnd; ++next)
            run.push_back(std::make_unique<MappingRow>(std::move(*next)));
        const int first = int(at - rows_.begin());
        beginInsertRows({}, first, first + int(run.size()) - 1);
        rows_.insert(
            rows_.begin() + first, std::make_move_iterator(run.begin()), std::make_move_iterator(run.end()));
        endInsertRows();
    }
}

void MappingListModel::deleteAllRows()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

}  // namespace tevra
