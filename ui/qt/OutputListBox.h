// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/OutputListModel.h"

#include <QAbstractItemView>
#include <QString>

namespace tevra {

// The output list: one line per alert, oldest first, never sorted, trimmed or
// scrolled by the program. Its horizontal scroll range follows the widest line.
//
// Under an attack it may grow by thousands of lines a second to millions, so
// nothing here ever walks all the lines on an append: every line is one line
// high, the vertical range counts lines, only the lines in sight are painted,
// and the paints an append asks for are merged into one per pass of the event
// loop. Only deleting a line measures the rest again.
class COutputListBox : public QAbstractItemView {
    Q_OBJECT

public:
    explicit COutputListBox(QWidget* parent = nullptr);

    // Appends a line; the new line's index, or a negative value when it was not added.
    int AddString(const QString& line);
    // Deletes one line and re-measures the rest; the number of lines left, or a
    // negative value when there is no such line (then nothing changes).
    int DeleteString(int index);
    // Widens the scroll range when `line` is wider than every earlier one.
    void UpdateExtent(const QString& line);

    int count() const { return lines_.count(); }
    QString text(int index) const { return lines_.text(index); }
    // Removes every line at once; the extent goes back to 0.
    void clear();
    const OutputListModel& lines() const { return lines_; }

    // The width last given to the list as its horizontal extent; 0 at construction.
    int widestExtent() const { return widestExtent_; }
    int lineHeight() const;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int first, int last) override;

private:
    int measure(const QString& line) const;
    int measuredWidth(int index);
    void widenTo(int width);
    int topLine() const;
    // Lines that fit whole in the viewport, at least one.
    int linesInSight() const;
    int lineAt(int y) const;
    void applyExtent();
    void applyVerticalRange();

    OutputListModel lines_;
    int widestExtent_ = 0;
};

}  // namespace tevra
