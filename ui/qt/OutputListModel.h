// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QString>

#include <deque>
#include <string>

namespace tevra {

// The output list's lines, oldest first, each with the text width it was last
// measured at. Lines are kept as UTF-8 and made into display text only when a
// line is shown or read, so a long alert history stays small; a deque, so that
// appending never moves the lines already there.
class OutputListModel : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int kUnmeasured = -1;

    explicit OutputListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return int(lines_.size()); }
    QString text(int index) const;

    // Appends a line and returns its index.
    int append(const QString& text, int width);
    void remove(int index);
    void clear();

    int width(int index) const { return lines_[std::size_t(index)].width; }
    void setWidth(int index, int width) { lines_[std::size_t(index)].width = width; }
    // After a font change every width is stale.
    void forgetWidths();

private:
    struct Line {
        std::string utf8;
        int width = kUnmeasured;
    };
    std::deque<Line> lines_;
};

}  // namespace tevra
