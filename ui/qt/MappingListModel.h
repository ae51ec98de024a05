// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/MappingRows.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tevra {

// The rows the mapping list shows, in ascending host-order address. The list
// keeps what it last showed and nothing else: a row changes only when it is
// written again, so an entry not marked for redisplay keeps its old texts.
class MappingListModel : public QAbstractTableModel, private MappingRowsObserver {
    Q_OBJECT

public:
    // The row's item data: an IPv4 address as a quint32 in host order; none for IPv6.
    enum Role { HostAddressRole = Qt::UserRole };

    explicit MappingListModel(QObject* parent = nullptr);
    ~MappingListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Image 0 is shown for alert-free rows, image 1 for alerted ones.
    void setRowImages(const std::array<QIcon, 2>& images);

    // One pass: a row whose address is already listed is rewritten (and
    // reported changed only if it differs); every other row is inserted
    // straight at its sorted place, so the list is never seen unsorted.
    void writeRows(std::vector<MappingRow> rows);
    // The rows of the entries marked for redisplay (of all with `all`), or of
    // just these addresses: see MappingRows.
    void writeRedisplayed(const CMappingWatcher& watcher, bool all);
    void writeAddresses(const CMappingWatcher& watcher, std::vector<hostnet::IpAddress> addresses);
    void deleteAllRows();

    const MappingRow& row(int index) const { return rows_.row(index); }
    std::string text(int index, int column) const { return rows_.text(index, column); }
    std::optional<int> findRow(const hostnet::IpAddress& address) const { return rows_.findRow(address); }
    const MappingRows& rows() const { return rows_; }

private:
    void aboutToInsert(int first, int count) override;
    void inserted(int first, int count) override;
    void changed(int index) override;
    void aboutToRemoveAll() override;
    void removedAll() override;

    MappingRows rows_;
    std::array<QIcon, 2> rowImages_;
};

}  // namespace tevra
