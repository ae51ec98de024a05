// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StartupMessage.h"

namespace tevra::cli {
namespace {

std::string counted(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string listed(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : ", ") + names[i];
    return text;
}

}  // namespace

std::string startupMessage(const WatchSummary& summary)
{
    const std::string interfaces = summary.interfaces.empty()
        ? std::string("no interface")
        : counted(summary.interfaces.size(), "interface", "interfaces") + ": " + listed(summary.interfaces);
    return "tevra-watch: watching " + counted(summary.entries, "ARP entry", "ARP entries") + " on "
        + interfaces + ".\n"
        + (summary.followsNotifications
                ? "tevra-watch: changes are followed as the kernel announces them, and the whole table is "
                  "compared every "
                    + std::to_string(summary.resyncSeconds) + " s"
                : "tevra-watch: the table is read every " + std::to_string(summary.intervalMs)
                    + " ms, without change notifications")
        + ". Alerts are printed as they come; press Ctrl+C to stop.\n";
}

}  // namespace tevra::cli
