// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/SplashDlg.h"

#include "ui/qt/DialogUnits.h"
#include "ui/qt/Resources.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

namespace tevra {

namespace {
// How long to wait for the window manager to map the splash.
constexpr int kExposeWaitMs = 2000;
}  // namespace

CSplashDlg::CSplashDlg()
    : QDialog(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , picture(this)
    , lineText(this)
{
    setWindowTitle(QStringLiteral("Tevra starting"));
    setFont(dialogFont());
    setFixedSize(dluX(213), dluY(158));
    picture.setGeometry(dluRect(0, 0, 213, 148));
    picture.setPixmap(QPixmap(QString::fromLatin1(kSplashPicturePath)));
    picture.setScaledContents(true);
    lineText.setGeometry(0, dluY(149), dluX(213), height() - dluY(149));
    lineText.setAlignment(Qt::AlignCenter);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CSplashDlg::showPainted()
{
    show();
    // show() only asks for the window. Under a window manager it is mapped
    // later, and whatever is painted before that is lost; the caller is about
    // to block, so wait (briefly) until the window is really exposed.
    const QDeadlineTimer deadline(kExposeWaitMs);
    while (!(windowHandle() && windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    paintNow();
}

void CSplashDlg::SetText(QString text)
{
    lineText.setText(text);
    if (isVisible())
        paintNow();
}

void CSplashDlg::paintNow()
{
    repaint();
    // Hand the painted picture to the display server before the thread sleeps.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tevra
