// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/TextLimits.h"

#include <QTextBoundaryFinder>

namespace tevra {

QString fitToLimit(const QString& text, int limit)
{
    if (text.size() <= limit)
        return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(limit);
    const qsizetype end = characters.isAtBoundary() ? limit : characters.toPreviousBoundary();
    return text.left(end < 0 ? 0 : end);
}

std::string fitUtf8ByGraphemes(std::string_view text, int limit)
{
    return fitToLimit(QString::fromUtf8(text.data(), qsizetype(text.size())), limit).toStdString();
}

}  // namespace tevra
