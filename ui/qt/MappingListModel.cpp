// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/MappingListModel.h"

#include <algorithm>
#include <iterator>

namespace tevra {

MappingListModel::MappingListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , rows_(this)
{
}

MappingListModel::~MappingListModel() = default;

int MappingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_.size();
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
        return QString::fromStdString(rows_.text(index.row(), index.column()));
    case Qt::DecorationRole:
        if (index.column() == 0)
            return rowImages_[shown.alertFree ? 0 : 1];
        return {};
    case Qt::ToolTipRole:
        // These two columns keep their widths, however long their texts are.
        if (index.column() == kVendorColumn || index.column() == kAdapterColumn)
            return QString::fromStdString(rows_.text(index.row(), index.column()));
        return {};
    case HostAddressRole:
        if (!shown.address.isV4())
            return {};
        return quint32(netToHost(shown.address.v4Value()));
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
    if (rows_.size() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), { Qt::DecorationRole });
}

void MappingListModel::writeRows(std::vector<MappingRow> rows)
{
    rows_.write(std::move(rows));
}

void MappingListModel::writeRedisplayed(const CMappingWatcher& watcher, bool all)
{
    rows_.writeRedisplayed(watcher, all);
}

void MappingListModel::writeAddresses(
    const CMappingWatcher& watcher, std::vector<hostnet::IpAddress> addresses)
{
    rows_.writeAddresses(watcher, std::move(addresses));
}

void MappingListModel::deleteAllRows()
{
    rows_.removeAll();
}

void MappingListModel::aboutToInsert(int first, int count)
{
    beginInsertRows({}, first, first + count - 1);
}

void MappingListModel::inserted(int, int)
{
    endInsertRows();
}

void MappingListModel::changed(int index)
{
    emit dataChanged(this->index(index, 0), this->index(index, kMappingColumnCount - 1));
}

void MappingListModel::aboutToRemoveAll()
{
    beginResetModel();
}

void MappingListModel::removedAll()
{
    endResetModel();
}

}  // namespace tevra
