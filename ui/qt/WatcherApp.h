// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tevra {

// The application: runs the main window modally for the whole life of the program.
class CWatcherApp {
public:
    // Runs the program. Returns false: there is nothing left to run afterwards.
    bool InitInstance();
};

}  // namespace tevra
