// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QFont>
#include <QRect>

namespace tevra {

// The dialogs are drawn in dialog units of an 8-point shell font, which are
// 1.5 pixels across and 1.625 pixels down at 96 dpi.
constexpr int dluX(int units)
{
    return units * 3 / 2;
}
constexpr int dluY(int units)
{
    return units * 13 / 8;
}
constexpr QRect dluRect(int x, int y, int width, int height)
{
    return QRect(dluX(x), dluY(y), dluX(width), dluY(height));
}

// The dialogs' own font: the application's face at 8 points, the size the
// dialog units and the list's column widths were made for.
inline QFont dialogFont()
{
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

}  // namespace tevra
