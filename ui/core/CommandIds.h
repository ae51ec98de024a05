// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tevra {

// Menu command identifiers; each menu item carries its own as the action's data.
enum CommandId : int {
    kCmdExit = 130,
    kCmdFlushSystemCache = 131,
    kCmdFlushProgramCache = 132,
    kCmdAbout = 133,
    kCmdDiscover = 146,
    kCmdSaveMapping = 147,
    kCmdSaveOutput = 148,
    kCmdTest = 152,
    kCmdDeleteFromSystemCache = 154,
    kCmdDeleteFromProgramCache = 155,
    kCmdDeleteFromBothCaches = 156,
    kCmdFlushBothCaches = 158,
    kCmdClearOutputList = 57633,
};

}  // namespace tevra
