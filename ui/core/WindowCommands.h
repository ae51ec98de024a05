// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tevra {

class CMappingWatcher;

// What the menu commands need of the window they run in; each face (Qt,
// Win32) gives its own, tests a recording.
class CommandFace {
public:
    virtual ~CommandFace() = default;

    // The dotted addresses of the selected rows, top to bottom.
    virtual std::vector<std::string> selectedAddressTexts() const = 0;
    // One message box with `text` (UTF-8, lines split by LF).
    virtual void showFailure(const std::string& text) = 0;
    // Empties the mapping list.
    virtual void clearMappingRows() = 0;
    // Writes the row of every program cache entry.
    virtual void rewriteAllMappingRows() = 0;
    virtual void clearOutputList() = 0;
    virtual void saveMapping() = 0;
    virtual void saveOutput() = 0;
    virtual void showAbout() = 0;
    // Ends the window's run.
    virtual void close() = 0;
};

// Runs one menu command against the engine and the window; false when
// `command` is none of the menu's (the hidden test item among them). A delete
// or flush that the watcher's ElevatingIpHelper hands to tevra-arp-helper ends
// later, from the face's event loop, on this same face and watcher: the face
// must live as long as the watcher.
bool runCommand(int command, CMappingWatcher& watcher, CommandFace& face);

}  // namespace tevra
