#include "ui/OutputListBox.h"

#include <QFontMetrics>
#include <QScrollBar>

#include <algorithm>
#include <memory>

namespace {

// A sunken edge and a thin border, in pixels. New lines are measured with the
// edge, the lines left after a deletion with the border, so a re-measured list
// may come out a little narrower than it was while lines were only added.
constexpr int kEdgeWidth = 2;
constexpr int kBorderWidth = 1;
constexpr int kFrameWidthsPerLine = 3;

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

void COutputListBox::UpdateExtent(const QString& line)
{
    const int width = lineWidth(line, kEdgeWidth);
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
        widestExtent_ = std::max(widestExtent_, lineWidth(item(i)->text(), kBorderWidth));
    applyExtent();
    return count();
}

int COutputListBox::lineWidth(const QString& line, int frameWidth) const
{
    return fontMetrics().horizontalAdvance(line) + kFrameWidthsPerLine * frameWidth;
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
