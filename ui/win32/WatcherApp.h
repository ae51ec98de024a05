// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tevra::win32 {

// The program: the common controls, then the main window on the host's
// ARP table until it is closed. Always 0, the process's exit status.
int InitInstance();

}  // namespace tevra::win32
