// The main window's menu, built from one table.
#include "ui/CommandIds.h"
#include "ui/WatcherDlg.h"

#include <QAction>
#include <QMenu>

namespace tevra {

namespace {

using Handler = void (CWatcherDlg::*)();

// One menu item. A null text is a separator; a submenu text puts the item
// one level down; a null handler is an item that does nothing.
struct MenuItem {
    const char* popup;
    const char* submenu;
    const char* text;
    int command;
    Handler handler;
};

constexpr char kDelete[] = "&Delete selected entries";
constexpr char kFlush[] = "Flush &cache";

const MenuItem kMenu[] = {
    { "&File", nullptr, "Save &mapping to file", kCmdSaveMapping, &CWatcherDlg::OnSaveMapping },
    { "&File", nullptr, "Save &output window to file", kCmdSaveOutput, &CWatcherDlg::OnSaveOutput },
    { "&File", nullptr, nullptr, 0, nullptr },
    { "&File", nullptr, "E&xit", kCmdExit, &CWatcherDlg::OnExit },
    { "&Action", kDelete, "from &system cache", kCmdDeleteFromSystemCache,
        &CWatcherDlg::OnDeleteFromSystemCache },
    { "&Action", kDelete, "from &program cache", kCmdDeleteFromProgramCache,
        &CWatcherDlg::OnDeleteFromProgramCache },
    { "&Action", kDelete, "from system and program &cache", kCmdDeleteFromBothCaches,
        &CWatcherDlg::OnDeleteFromBothCaches },
    { "&Action", kFlush, "Flush &system cache", kCmdFlushSystemCache, &CWatcherDlg::OnFlushSystemCache },
    { "&Action", kFlush, "Flush &program cache", kCmdFlushProgramCache, &CWatcherDlg::OnFlushProgramCache },
    { "&Action", kFlush, "Flush system and program cache", kCmdFlushBothCaches,
        &CWatcherDlg::OnFlushBothCaches },
    { "&Action", nullptr, "Clear &output list", kCmdClearOutputList, &CWatcherDlg::OnClearOutputList },
    { "&Action", nullptr, "Discover using broadcast ping", kCmdDiscover, &CWatcherDlg::OnDiscover },
    { "?", nullptr, "About", kCmdAbout, &CWatcherDlg::OnAbout },
    // A developer's test item that the menu's design still carries; built here
    // so the menu matches that design (and command 152 stays taken), and taken
    // out again by OnInitDialog, so no user ever sees it.
    { "?", nullptr, "TESTbtn", kCmdTest, nullptr },
};

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
    for (const MenuItem& item : kMenu) {
        QMenu* menu = menuTitled(menuBar, item.popup);
        if (item.submenu != nullptr)
            menu = menuTitled(*menu, item.submenu);
        if (item.text == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(item.text));
        action->setData(item.command);
        if (item.handler != nullptr)
            connect(
                action, &QAction::triggered, this, [this, handler = item.handler] { (this->*handler)(); });
    }
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
