// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/WindowCommands.h"

#include "engine/MappingWatcher.h"
#include "ui/core/CommandIds.h"
#include "ui/core/ElevatingIpHelper.h"
#include "ui/core/FailureText.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

namespace tevra {
namespace {

// What a command does once tevra-arp-helper has done its share.
using AfterHelper = std::function<void(CMappingWatcher&, CommandFace&, const ElevatedOutcome&)>;

bool awaitingHelper(const ActionFailure& failure)
{
    return failure.kind == hostnet::Failure::NotPermitted && failure.reason == kAwaitingConsent;
}

// Hands what the system refused for want of rights to tevra-arp-helper
// without waiting for it; its failures are said when it ends.
void elevate(CMappingWatcher& watcher, CommandFace& face, std::string_view what, AfterHelper after)
{
    auto* elevating = dynamic_cast<ElevatingIpHelper*>(&watcher.ipHelper());
    if (elevating == nullptr || !elevating->hasDeferred())
        return;
    elevating->runDeferred([&watcher, &face, what, after = std::move(after)](const ElevatedOutcome& outcome) {
        if (after)
            after(watcher, face, outcome);
        if (!outcome.failures.empty())
            face.showFailure(actionFailureText(what, outcome.failures));
    });
}

// One message box for the failures of the command just run, if any; what
// waits for the helper is said when the helper ends.
void reportFailures(
    CMappingWatcher& watcher, CommandFace& face, std::string_view what, AfterHelper after = {})
{
    std::vector<ActionFailure> failures = watcher.takeActionFailures();
    std::erase_if(failures, awaitingHelper);
    if (!failures.empty())
        face.showFailure(actionFailureText(what, failures));
    elevate(watcher, face, what, std::move(after));
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
    // Once the helper has flushed, the entries come back with the next ticks.
    reportFailures(
        watcher, face, kFlushFailed, [](CMappingWatcher& w, CommandFace& f, const ElevatedOutcome& o) {
            if (o.failures.empty()) {
                w.clearProgramCache();
                f.clearMappingRows();
            }
        });
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

// What the helper deleted leaves the program cache too.
void forgetDeleted(CMappingWatcher& watcher, CommandFace& face, const ElevatedOutcome& outcome)
{
    if (outcome.doneSubjects.empty())
        return;
    for (const std::string& address : outcome.doneSubjects)
        watcher.removeFromProgramCache(address);
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
    reportFailures(watcher, face, kDeleteFailed, forgetDeleted);
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
