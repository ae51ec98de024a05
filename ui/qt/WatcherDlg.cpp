// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/WatcherDlg.h"

#include "engine/Address.h"
#include "engine/MappingCells.h"
#include "engine/Version.h"
#include "ui/core/CommandIds.h"
#include "ui/core/MappingRows.h"
#include "ui/qt/DesktopNotifier.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/QtExportDialogs.h"
#include "ui/qt/Resources.h"
#include "ui/qt/SplashDlg.h"
#include "ui/qt/SystemTrayIcon.h"
#include "ui/qt/WidgetWindowControl.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tevra {

namespace {

// The client area the window opens with: 320 x 188 dialog units.
constexpr QSize kInitialClientSize(480, 305);

}  // namespace

CWatcherDlg::CWatcherDlg(
    std::unique_ptr<hostnet::IpHelper> ipHelper, Clock clock, QWidget* parent, AlertParts alertParts)
    : QDialog(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
            | Qt::WindowCloseButtonHint)
    , appIcon(applicationIcon())
    , menuBar(this)
    , mappingList(this)
    , outputList(this)
    , watcher(std::move(ipHelper), std::move(clock))
    , pause([](int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); })
    , showFailure([this](const QString& text) {
        // Modal, but the timer keeps ticking behind it, as behind every dialog of the window.
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, this);
        box.exec();
    })
{
    setWindowTitle(QStringLiteral("Tevra"));
    setFont(dialogFont());
    menuBar.setFont(QApplication::font());
    setSizeGripEnabled(false);
    createMenu();
    createAlertParts(std::move(alertParts));
    resize(kInitialClientSize.width(),
        menuBar.heightForWidth(kInitialClientSize.width()) + kInitialClientSize.height());
}

void CWatcherDlg::createAlertParts(AlertParts parts)
{
    // Without a notification area, balloons still reach the desktop as notifications.
    if (!parts.tray)
        parts.tray = std::make_unique<SystemTrayIcon>(makeDesktopNotifier());
    if (!parts.dialogs)
        parts.dialogs = std::make_unique<QtExportDialogs>(this);
    presenter = std::make_unique<AlertPresenter>(std::move(parts.tray),
        std::make_unique<WidgetWindowControl>(*this), outputList, appIcon,
        QIcon(QString::fromLatin1(kWarningIconPath)));
    textExport = std::make_unique<TextExport>(std::move(parts.dialogs));
}

int CWatcherDlg::runModal()
{
    OnInitDialog();
    // Centred, as a dialog opens.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // QDialog::exec() would end the run as soon as the window hides behind its
    // tray icon; only finishing the dialog (Exit, Enter, Escape, close) ends it here.
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::exit);
    show();
    return loop.exec();
}

bool CWatcherDlg::OnInitDialog()
{
    controlsBound = true;
    setWindowIcon(appIcon);

    auto splash = std::make_unique<CSplashDlg>();
    splash->showPainted();
    splash->SetText(QString::fromStdString(splashVersionLine()));

    mappingList.insertColumns();
    prepareWatcher();
    createRowImages();
    mappingList.setReportStyle();
    layoutControls();

    pause(kVersionPauseMs);
    splash->SetText(QString::fromLatin1(kWebAddress));
    pause(kAddressPauseMs);
    removeHiddenMenuItems();  // the developer's "TESTbtn", see ui/core/MenuTable.cpp
    splash.reset();

    openChangeFeed();
    refreshTimer.start(kRefreshPeriodMs, this);
    return true;
}

void CWatcherDlg::prepareWatcher()
{
    watcher.clearProgramCache();
    watcher.loadVendorTable();
    watcher.sink.userData = this;
    watcher.sink.callback = DispatchWatchEvent;
}

// Opened before the first read, so that no change made from then on is missed;
// the feed is waited on here, on the window's own thread, so changes are applied
// between ticks and commands, never during them. Without a feed the ticks alone
// keep the window current.
void CWatcherDlg::openChangeFeed()
{
    const int feed = watcher.openChangeFeed();
    if (feed < 0)
        return;
    feedNotifier = std::make_unique<QSocketNotifier>(feed, QSocketNotifier::Read);
    connect(feedNotifier.get(), &QSocketNotifier::activated, this, &CWatcherDlg::followChanges);
}

void CWatcherDlg::followChanges()
{
    updateMappingRows(watcher.followChanges());
}

void CWatcherDlg::createRowImages()
{
    rowImages = { QIcon(QString::fromLatin1(kCheckImagePath)), QIcon(QString::fromLatin1(kCrossImagePath)) };
    mappingList.rows().setRowImages(rowImages);
}

QRect CWatcherDlg::clientRect() const
{
    const int menuHeight = menuBar.heightForWidth(width());
    return QRect(0, menuHeight, width(), std::max(height() - menuHeight, 0));
}

void CWatcherDlg::layoutControls()
{
    if (!controlsBound)
        return;
    const QRect client = clientRect();
    // Each height is truncated on its own, so they may sum to one pixel short.
    const int listHeight = int(std::trunc(client.height() * 0.7));
    const int outputHeight = int(std::trunc(client.height() * 0.3));
    mappingList.setGeometry(client.x(), client.y(), client.width(), listHeight);
    outputList.setGeometry(client.x(), client.y() + listHeight, client.width(), outputHeight);
    mappingList.show();
    outputList.show();
}

void CWatcherDlg::OnSize()
{
    // The menu bar is the frame's part; the two lists fill the rest.
    menuBar.setGeometry(0, 0, width(), menuBar.heightForWidth(width()));
    layoutControls();
}

// Qt reports every step of a drag as a resize of its own, so this one handler
// serves both the dragging and the final size.
void CWatcherDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    OnSize();
}

void CWatcherDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter ends the run like Exit; Escape (the base class) rejects.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CWatcherDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == refreshTimer.timerId())
        OnTimer();
    else
        QDialog::timerEvent(event);
}

void CWatcherDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Losing activation while minimised is what sends the window to the tray.
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange)
        OnActivate(isActiveWindow() && !isMinimized());
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        presenter->windowRestored();
}

void CWatcherDlg::OnTimer()
{
    // A failed read changes nothing, and the list pass below then finds nothing marked.
    watcher.refresh();
    updateMappingList(false);
}

void CWatcherDlg::updateMappingList(bool all)
{
    mappingList.rows().writeRedisplayed(watcher, all);
}

void CWatcherDlg::updateMappingRows(std::vector<hostnet::IpAddress> addresses)
{
    mappingList.rows().writeAddresses(watcher, std::move(addresses));
}

void CWatcherDlg::OnWatchEvent(std::unique_ptr<WatchEvent> event)
{
    // Kept before anything else is done with it.
    events.push_back(std::move(event));
    presenter->present(*events.back());
}

bool CWatcherDlg::ShowBalloon(const QString& text, const QString& title, int timeoutMs, BalloonIcon icon)
{
    return presenter->showBalloon(text, title, timeoutMs, icon);
}

void CWatcherDlg::OnActivate(bool active)
{
    presenter->activationChanged(active);
}

void CWatcherDlg::OnTrayNotify(TrayClick click)
{
    presenter->trayClicked(click);
}

void DispatchWatchEvent(std::unique_ptr<WatchEvent> event, void* userData)
{
    static_cast<CWatcherDlg*>(userData)->OnWatchEvent(std::move(event));
}

}  // namespace tevra
