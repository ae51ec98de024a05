#pragma once

#include <QAbstractItemModel>
#include <QByteArray>

// The bytes of a saved mapping list: headings and cells of columns 0 to 8,
// each followed by a TAB, an empty line after the headings, CR LF line ends,
// UTF-8 without a byte-order mark.
QByteArray mappingFileText(const QAbstractItemModel& model);

// The bytes of a saved output list, one line per row of `lines`: each line
// followed by CR LF; empty for an empty list.
QByteArray outputFileText(const QAbstractItemModel& lines);
