// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/AboutDlg.h"

#include "engine/Version.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/Resources.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace tevra {

namespace {

struct AboutLine {
    const char* text;
    QRect where;
};

// The static lines of the box, placed as on the dialog's drawing board.
const AboutLine kAboutLines[] = {
    { "The Tevra developers", dluRect(232, 23, 86, 8) },
    { "https://tevra.example.org", dluRect(232, 33, 75, 8) },
    { "tevra@example.org", dluRect(232, 43, 75, 8) },
    { "Credits:", dluRect(232, 113, 26, 8) },
    { "The IEEE Registration Authority", dluRect(232, 124, 72, 8) },
    { "https://standards.ieee.org/", dluRect(245, 134, 135, 8) },
    { "the OUI vendor list", dluRect(245, 143, 74, 8) },
};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("About Tevra"));
    setFont(dialogFont());
    setFixedSize(dluX(389), dluY(162));

    auto* picture = new QLabel(this);
    picture->setGeometry(dluRect(7, 7, 213, 148));
    picture->setPixmap(QPixmap(QString::fromLatin1(kSplashPicturePath)));
    picture->setScaledContents(true);

    // The version follows "Tevra v" on its line, wherever a wider font ends that text.
    const QLabel* product = addLabel("Tevra v", dluRect(232, 7, 22, 8));
    QRect versionPlace = dluRect(254, 7, 53, 8);
    versionPlace.moveLeft(std::max(versionPlace.left(), product->x() + product->sizeHint().width()));
    addLabel(kVersion, versionPlace);
    for (const AboutLine& line : kAboutLines)
        addLabel(line.text, line.where);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(dluRect(332, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QLabel* CAboutDlg::addLabel(const char* text, QRect where)
{
    auto* label = new QLabel(QString::fromUtf8(text), this);
    // Widen to the label's text so other fonts than the board's are not cut off.
    where.setWidth(std::max(where.width(), label->sizeHint().width()));
    label->setGeometry(where.adjusted(0, 0, 0, dluY(2)));
    return label;
}

}  // namespace tevra
