// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/CommandIds.h"

#include <span>

namespace tevra {

// One item of the main window's menu. A null text is a separator; a submenu
// text puts the item one level down; `hidden` items are built, so that their
// command ids stay taken, and then taken out again.
struct MenuItem {
    const char* popup;
    const char* submenu;
    const char* text;
    int command;
    bool hidden = false;
};

// The main window's menu, top to bottom, in the order both faces build it.
std::span<const MenuItem> mainMenu();

}  // namespace tevra
