// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu, built from the shared menu table.
#include "ui/core/MenuTable.h"
#include "ui/qt/WatcherDlg.h"

#include <QAction>
#include <QMenu>

namespace tevra {

namespace {

// The menu titled `title` among `parent`'s actions, made if it is not there yet.
template<typename Parent> QMenu* menuTitled(Parent& parent, const char* title)
{
    const QString text = QString::fromLatin1(title);
    for (QAction* action : parent.actions()) {
        if (action->menu() != nullptr && action->text() == text)
            return action->menu();
    }
    return parent.addMenu(text);
}

}  // namespace

void CWatcherDlg::createMenu()
{
    for (const MenuItem& item : mainMenu()) {
        QMenu* menu = menuTitled(menuBar, item.popup);
        if (item.submenu != nullptr)
            menu = menuTitled(*menu, item.submenu);
        if (item.text == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(item.text));
        action->setData(item.command);
        if (!item.hidden)
            connect(action, &QAction::triggered, this,
                [this, command = item.command] { runMenuCommand(command); });
    }
}

void CWatcherDlg::removeHiddenMenuItems()
{
    for (const MenuItem& item : mainMenu())
        if (item.hidden)
            deleteMenuCommand(item.command);
}

void CWatcherDlg::deleteMenuCommand(int command)
{
    for (QMenu* menu : menuBar.findChildren<QMenu*>()) {
        for (QAction* action : menu->actions()) {
            if (action->menu() == nullptr && !action->isSeparator() && action->data().toInt() == command) {
                menu->removeAction(action);
                action->deleteLater();
            }
        }
    }
}

}  // namespace tevra
