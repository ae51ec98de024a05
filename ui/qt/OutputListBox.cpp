// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/OutputListBox.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace tevra {

namespace {

// A sunken edge and a thin border, in pixels. New lines are measured with the
// edge, the lines left after a deletion with the border, so a re-measured list
// may come out a little narrower than it was while lines were only added.
constexpr int kEdgeWidth = 2;
constexpr int kBorderWidth = 1;
constexpr int kFrameWidthsPerLine = 3;
// Room above and below the text of a line.
constexpr int kLinePadding = 1;

}  // namespace

COutputListBox::COutputListBox(QWidget* parent)
    : QAbstractItemView(parent)
{
    setModel(&lines_);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    setTextElideMode(Qt::ElideNone);
    // The extent is in pixels, so the bar must count pixels; the vertical bar counts lines.
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int COutputListBox::AddString(const QString& line)
{
    if (count() == INT_MAX)
        return -1;
    const int width = measure(line);
    const int index = lines_.append(line, width);
    widenTo(width + kFrameWidthsPerLine * kEdgeWidth);
    return index;
}

void COutputListBox::UpdateExtent(const QString& line)
{
    widenTo(measure(line) + kFrameWidthsPerLine * kEdgeWidth);
}

int COutputListBox::DeleteString(int index)
{
    if (index < 0 || index >= count())
        return -1;
    lines_.remove(index);
    widestExtent_ = 0;
    for (int i = 0; i < count(); ++i)
        widestExtent_ = std::max(widestExtent_, measuredWidth(i) + kFrameWidthsPerLine * kBorderWidth);
    applyExtent();
    applyVerticalRange();
    viewport()->update();
    return count();
}

void COutputListBox::clear()
{
    lines_.clear();
    widestExtent_ = 0;
    applyExtent();
    applyVerticalRange();
    viewport()->update();
}

int COutputListBox::measure(const QString& line) const
{
    return fontMetrics().horizontalAdvance(line);
}

// Measuring a line costs microseconds, and every deletion measures all lines
// left, so each line keeps its width until the font changes.
int COutputListBox::measuredWidth(int index)
{
    int width = lines_.width(index);
    if (width == OutputListModel::kUnmeasured) {
        width = measure(lines_.text(index));
        lines_.setWidth(index, width);
    }
    return width;
}

void COutputListBox::widenTo(int width)
{
    if (width <= widestExtent_)
        return;
    widestExtent_ = width;
    applyExtent();
}

void COutputListBox::changeEvent(QEvent* event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    lines_.forgetWidths();
    updateGeometries();
}

int COutputListBox::lineHeight() const
{
    return fontMetrics().height() + 2 * kLinePadding;
}

int COutputListBox::topLine() const
{
    return verticalScrollBar()->value();
}

int COutputListBox::linesInSight() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

int COutputListBox::lineAt(int y) const
{
    return topLine() + y / lineHeight();
}

// A new line only moves the end of the range and, when it comes into sight,
// asks for its own strip to be painted.
void COutputListBox::rowsInserted(const QModelIndex& parent, int first, int last)
{
    QAbstractItemView::rowsInserted(parent, first, last);
    applyVerticalRange();
    if (first <= lineAt(viewport()->height()))
        viewport()->update(visualRect(lines_.index(first)).united(visualRect(lines_.index(last))));
}

void COutputListBox::updateGeometries()
{
    applyVerticalRange();
    applyExtent();
    QAbstractItemView::updateGeometries();
}

void COutputListBox::applyVerticalRange()
{
    QScrollBar* bar = verticalScrollBar();
    // Without whole-line sizing the last line may show only in part, so the
    // range lets it scroll up to the top of the view.
    const int inSight = linesInSight();
    bar->setPageStep(inSight);
    bar->setSingleStep(1);
    bar->setRange(0, std::max(0, count() - inSight));
}

void COutputListBox::applyExtent()
{
    QScrollBar* bar = horizontalScrollBar();
    const int visible = viewport()->width();
    bar->setPageStep(visible);
    bar->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
    bar->setRange(0, std::max(0, widestExtent_ - visible));
}

QRect COutputListBox::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != &lines_)
        return {};
    const int height = lineHeight();
    const int width = std::max(widestExtent_, viewport()->width() + horizontalOffset());
    return QRect(-horizontalOffset(), (index.row() - topLine()) * height, width, height);
}

QModelIndex COutputListBox::indexAt(const QPoint& point) const
{
    if (point.y() < 0)
        return {};
    const int line = lineAt(point.y());
    return line < count() ? lines_.index(line) : QModelIndex();
}

void COutputListBox::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int line = index.row();
    const int inSight = linesInSight();
    QScrollBar* bar = verticalScrollBar();
    switch (hint) {
    case PositionAtTop:
        bar->setValue(line);
        break;
    case PositionAtBottom:
        bar->setValue(line - inSight + 1);
        break;
    case PositionAtCenter:
        bar->setValue(line - inSight / 2);
        break;
    case EnsureVisible:
        if (line < topLine())
            bar->setValue(line);
        else if (line >= topLine() + inSight)
            bar->setValue(line - inSight + 1);
        break;
    }
}

QModelIndex COutputListBox::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    if (count() == 0)
        return {};
    const int current = currentIndex().isValid() ? currentIndex().row() : 0;
    int next = current;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        next = current - 1;
        break;
    case MoveDown:
    case MoveNext:
        next = current + 1;
        break;
    case MovePageUp:
        next = current - linesInSight();
        break;
    case MovePageDown:
        next = current + linesInSight();
        break;
    case MoveHome:
        next = 0;
        break;
    case MoveEnd:
        next = count() - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break;
    }
    return lines_.index(std::clamp(next, 0, count() - 1));
}

int COutputListBox::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int COutputListBox::verticalOffset() const
{
    return topLine() * lineHeight();
}

bool COutputListBox::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void COutputListBox::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    const QRect area = rect.normalized();
    const int first = std::max(0, lineAt(std::max(0, area.top())));
    const int last = std::min(count() - 1, lineAt(std::max(0, area.bottom())));
    if (first > last) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    selectionModel()->select(QItemSelection(lines_.index(first), lines_.index(last)), command);
}

QRegion COutputListBox::visualRegionForSelection(const QItemSelection& selection) const
{
    const int firstInSight = topLine();
    const int lastInSight = lineAt(viewport()->height());
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        const int first = std::max(range.top(), firstInSight);
        const int last = std::min(range.bottom(), lastInSight);
        if (first <= last)
            region += visualRect(lines_.index(first)).united(visualRect(lines_.index(last)));
    }
    return region;
}

void COutputListBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int first = lineAt(std::max(0, area.top()));
    const int last = std::min(count() - 1, lineAt(area.bottom()));
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State base = option.state;
    const QModelIndex current = currentIndex();
    for (int line = first; line <= last; ++line) {
        const QModelIndex index = lines_.index(line);
        option.rect = visualRect(index);
        option.state = base;
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        itemDelegate()->paint(&painter, option, index);
    }
}

}  // namespace tevra
