// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/OutputListModel.h"

namespace tevra {

OutputListModel::OutputListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int OutputListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant OutputListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return text(index.row());
}

QString OutputListModel::text(int index) const
{
    return QString::fromStdString(lines_[std::size_t(index)].utf8);
}

int OutputListModel::append(const QString& text, int width)
{
    const int index = count();
    beginInsertRows({}, index, index);
    lines_.push_back({ text.toStdString(), width });
    endInsertRows();
    return index;
}

void OutputListModel::remove(int index)
{
    beginRemoveRows({}, index, index);
    lines_.erase(lines_.begin() + index);
    endRemoveRows();
}

void OutputListModel::clear()
{
    beginResetModel();
    lines_.clear();
    endResetModel();
}

void OutputListModel::forgetWidths()
{
    for (Line& line : lines_)
        line.width = kUnmeasured;
}

}  // namespace tevra
