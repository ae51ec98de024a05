#include "ui/core/WindowCommands.h"

#include "engine/MappingWatcher.h"
#include "ui/core/CommandIds.h"
#include "ui/core/FailureText.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tevra {
namespace {

// One message box for the failures of the command just run, if any.
void reportFailures(CMappingWatcher& watcher, CommandFace& face, std::string_view what)
{
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    if (!failures.empty())
        face.showFailure(actionFailureText(what, failures));
}

void flushSystemCache(CMappingWatcher& watcher, CommandFace& face)
{
    watcher.flushSystemCache();
    reportFailures(watcher, face, kFlushFailed);
}

void flushProgramCache(CMappingWatcher& watcher, CommandFace& face)
{
    // The list stays empty until the next tick brings the entries back.
    face.clearMappingRows();
    watcher.clearProgramCache();
}

// What the flush could not remove stays listed; the rest comes back with the next tick.
void flushBothCaches(CMappingWatcher& watcher, CommandFace& face)
{
    watcher.flushBothCaches();
    face.clearMappingRows();
    face.rewriteAllMappingRows();
    reportFailures(watcher, face, kFlushFailed);
}

void discover(CMappingWatcher& watcher, CommandFace& face)
{
    watcher.discoverByPing();
    reportFailures(watcher, face, kDiscoverFailed);
}

void deleteFromSystemCache(CMappingWatcher& watcher, CommandFace& face)
{
    for (const std::string& address : face.selectedAddressTexts())
        watcher.deleteFromSystemCache(address);
    reportFailures(watcher, face, kDeleteFailed);
}

void deleteFromProgramCache(CMappingWatcher& watcher, CommandFace& face)
{
    const std::vector<std::string> selected = face.selectedAddressTexts();
    if (selected.empty())
        return;
    for (const std::string& address : selected)
        watcher.removeFromProgramCache(address);
    // Unmarked entries would otherwise stay missing: rebuild from the whole cache.
    face.clearMappingRows();
    face.rewriteAllMappingRows();
}

// An entry whose system delete failed is still in the table, so its history
// stays too: only what left the table leaves the program cache.
void deleteFromBothCaches(CMappingWatcher& watcher, CommandFace& face)
{
    const std::vector<std::string> selected = face.selectedAddressTexts();
    if (selected.empty())
        return;
    for (const std::string& address : selected)
        watcher.deleteFromBothCaches(address);
    face.clearMappingRows();
    face.rewriteAllMappingRows();
    reportFailures(watcher, face, kDeleteFailed);
}

struct Command {
    int id;
    void (*run)(CMappingWatcher&, CommandFace&);
};

constexpr std::array<Command, 12> kCommands { {
    { kCmdSaveMapping, [](CMappingWatcher&, CommandFace& face) { face.saveMapping(); } },
    { kCmdSaveOutput, [](CMappingWatcher&, CommandFace& face) { face.saveOutput(); } },
    { kCmdExit, [](CMappingWatcher&, CommandFace& face) { face.close(); } },
    { kCmdDeleteFromSystemCache, deleteFromSystemCache },
    { kCmdDeleteFromProgramCache, deleteFromProgramCache },
    { kCmdDeleteFromBothCaches, deleteFromBothCaches },
    { kCmdFlushSystemCache, flushSystemCache },
    { kCmdFlushProgramCache, flushProgramCache },
    { kCmdFlushBothCaches, flushBothCaches },
    { kCmdClearOutputList, [](CMappingWatcher&, CommandFace& face) { face.clearOutputList(); } },
    { kCmdDiscover, discover },
    { kCmdAbout, [](CMappingWatcher&, CommandFace& face) { face.showAbout(); } },
} };

}  // namespace

bool runCommand(int command, CMappingWatcher& watcher, CommandFace& face)
{
    const auto found = std::ranges::find(kCommands, command, &Command::id);
    if (found == kCommands.end())
        return false;
    found->run(watcher, face);
    return true;
}

}  // namespace tevra
