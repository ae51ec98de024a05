// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LocalTime.h"
#include "engine/MappingWatcher.h"
#include "engine/WatchEvent.h"
#include "hostnet/IpHelper.h"
#include "ui/core/StartUp.h"
#include "ui/core/WindowCommands.h"
#include "ui/qt/AlertPresenter.h"
#include "ui/qt/ExportDialogs.h"
#include "ui/qt/MappingListView.h"
#include "ui/qt/OutputListBox.h"
#include "ui/qt/TextExport.h"
#include "ui/qt/TrayIcon.h"

#include <QBasicTimer>
#include <QDialog>
#include <QIcon>
#include <QMenuBar>
#include <QSocketNotifier>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tevra {

// The parts of the window that reach the desktop: the notification-area icon
// and the save dialogs. Left empty, the window takes the real ones; tests
// give recordings instead.
struct AlertParts {
    std::unique_ptr<TrayIcon> tray;
    std::unique_ptr<ExportDialogs> dialogs;
};

// The main window: the mapping list above the output list, the menu, and the
// timer that drives the watcher. Everything runs on the one GUI thread.
class CWatcherDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRefreshPeriodMs = ::tevra::kRefreshPeriodMs;
    static constexpr int kVersionPauseMs = ::tevra::kVersionPauseMs;
    static constexpr int kAddressPauseMs = ::tevra::kAddressPauseMs;

    CWatcherDlg(std::unique_ptr<hostnet::IpHelper> ipHelper, Clock clock = systemClock,
        QWidget* parent = nullptr, AlertParts alertParts = {});

    // Initialises the window (splash, list, engine, timer), then runs it
    // until Exit, Enter, Escape or the close box ends it; hiding in the tray does not.
    int runModal();
    bool OnInitDialog();

    void layoutControls();
    void updateMappingList(bool all);
    // Rewrites the rows of just these addresses (network byte order), as far
    // as they are in the program cache.
    void updateMappingRows(std::vector<hostnet::IpAddress> addresses);
    void OnWatchEvent(std::unique_ptr<WatchEvent> event);
    // The alert presenter does the work of these three.
    bool ShowBalloon(const QString& text, const QString& title, int timeoutMs, BalloonIcon icon);
    void OnActivate(bool active);
    void OnTrayNotify(TrayClick click);

    // Timer and command handlers.
    void OnTimer();
    // The host's change feed has news: applies each change and redraws the rows it touched.
    void followChanges();
    void OnExit();
    void OnFlushSystemCache();
    void OnFlushProgramCache();
    void OnAbout();
    void OnDiscover();
    void OnSaveMapping();
    void OnSaveOutput();
    void OnClearOutputList();
    void OnDeleteFromSystemCache();
    void OnDeleteFromProgramCache();
    void OnDeleteFromBothCaches();
    void OnFlushBothCaches();
    void OnSize();

    bool refreshTimerActive() const { return refreshTimer.isActive(); }
    bool followsChanges() const { return feedNotifier != nullptr; }
    // The client area: the window below its menu bar.
    QRect clientRect() const;

    QIcon appIcon;
    QMenuBar menuBar;
    MappingListView mappingList;
    COutputListBox outputList;
    std::array<QIcon, 2> rowImages;
    // What the shared commands do to this window; declared before the watcher,
    // whose helper may still answer a command, so it goes after.
    std::unique_ptr<CommandFace> commandFace;
    CMappingWatcher watcher;
    // Declared after outputList, which it writes to, so it goes first.
    std::unique_ptr<AlertPresenter> presenter;
    std::unique_ptr<TextExport> textExport;
    // Declared last, so the events go first when the window does.
    std::vector<std::unique_ptr<WatchEvent>> events;
    // The blocking pause of the start-up; tests replace it so they need not wait.
    std::function<void(int milliseconds)> pause;
    // The message box of a command that failed; tests replace it to read the text.
    std::function<void(const QString& text)> showFailure;

protected:
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class CommandTarget;

    void createMenu();
    void removeHiddenMenuItems();
    // Runs one menu command's shared logic on this window.
    void runMenuCommand(int command);
    void createAlertParts(AlertParts parts);
    void prepareWatcher();
    void createRowImages();
    void deleteMenuCommand(int command);
    void openChangeFeed();

    bool controlsBound = false;
    QBasicTimer refreshTimer;
    // Watches the host's change feed on this thread; none where the host has no feed.
    std::unique_ptr<QSocketNotifier> feedNotifier;
};

// The engine's event sink callback; the user data is the window.
void DispatchWatchEvent(std::unique_ptr<WatchEvent> event, void* userData);

}  // namespace tevra
