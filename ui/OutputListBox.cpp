#include "ui/OutputListBox.h"

#include <QEvent>
#include <QFontMetrics>
#include <QScrollBar>
#include <QVariant>

#include <algorithm>
#include <memory>

namespace tevra {

namespace {

// A sunken edge and a thin border, in pixels. New lines are measured with the
// edge, the lines left after a deletion with the border, so a re-measured list
// may come out a little narrower than it was while lines were only added.
constexpr int kEdgeWidth = 2;
constexpr int kBorderWidth = 1;
constexpr int kFrameWidthsPerLine = 3;
constexpr int kTextWidthRole = Qt::UserRole + 1;

}  // namespace

COutputListBox::COutputListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    // The extent is in pixels, so the bar must count pixels, not items.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int COutputListBox::AddString(const QString& line)
{
    const int index = count();
    addItem(line);
    if (count() != index + 1)
        return -1;
    UpdateExtent(line);
    return index;
}

// Measuring a line costs microseconds, and every deletion measures all lines
// left, so clearing a long list would take minutes. Each line keeps its
// measured text width until the font changes.
int COutputListBox::textWidth(QListWidgetItem& line) const
{
    const QVariant cached = line.data(kTextWidthRole);
    if (cached.isValid())
        return cached.toInt();
    const int width = fontMetrics().horizontalAdvance(line.text());
    line.setData(kTextWidthRole, width);
    return width;
}

void COutputListBox::changeEvent(QEvent* event)
{
    QListWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    for (int i = 0; i < count(); ++i)
        item(i)->setData(kTextWidthRole, QVariant());
}

void COutputListBox::UpdateExtent(const QString& line)
{
    const int width = fontMetrics().horizontalAdvance(line) + kFrameWidthsPerLine * kEdgeWidth;
    if (width <= widestExtent_)
        return;
    widestExtent_ = width;
    applyExtent();
}

int COutputListBox::DeleteString(int index)
{
    if (index < 0 || index >= count())
        return -1;
    // The list hands the removed line over; it ends here.
    const std::unique_ptr<QListWidgetItem> removed(takeItem(index));
    widestExtent_ = 0;
    for (int i = 0; i < count(); ++i)
        widestExtent_ = std::max(widestExtent_, textWidth(*item(i)) + kFrameWidthsPerLine * kBorderWidth);
    applyExtent();
    return count();
}

// The list view works out its own range from the item sizes whenever it lays
// itself out; the extent replaces that, so it is set again after every layout.
void COutputListBox::updateGeometries()
{
    QListWidget::updateGeometries();
    applyExtent();
}

void COutputListBox::applyExtent()
{
    QScrollBar* bar = horizontalScrollBar();
    const int visible = viewport()->width();
    bar->setPageStep(visible);
    bar->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
    bar->setRange(0, std::max(0, widestExtent_ - visible));
}

}  // namespace tevra
