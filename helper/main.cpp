// SPDX-License-Identifier: GPL-3.0-or-later
// tevra-arp-helper: the one step of the window that needs an administrator's
// rights (CAP_NET_ADMIN on Linux), run through pkexec, or on Windows with the
// verb "runas", so that the window itself never runs with them.
#include "helper/HelperCommand.h"
#include "hostnet/IpHelper.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int kRefused = 2;
constexpr int kFailed = 1;

int run(const tevra::helper::HelperCommand& command)
{
    const auto ipHelper = tevra::hostnet::makePlatformIpHelper();
    tevra::hostnet::ActionResult result;
    if (command.verb == tevra::helper::HelperCommand::Verb::Delete) {
        tevra::hostnet::MibIpNetRow row;
        row.dwIndex = command.interfaceIndex;
        row.address = command.address;
        result = ipHelper->deleteIpNetEntry(row);
    } else {
        result = ipHelper->flushIpNetTable(command.interfaceIndex);
    }
    if (result.ok())
        return 0;
    std::fprintf(stderr, "tevra-arp-helper: %s\n",
        result.reason.empty() ? "the system refused" : result.reason.c_str());
    return kFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto command = tevra::helper::parseHelperCommand(arguments);
    if (!command) {
        std::fputs("usage: tevra-arp-helper delete ADDRESS IFINDEX\n"
                   "       tevra-arp-helper flush IFINDEX\n",
            stderr);
        return kRefused;
    }
    return run(*command);
}
