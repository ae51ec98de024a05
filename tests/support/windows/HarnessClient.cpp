// SPDX-License-Identifier: GPL-3.0-or-later
#include "HarnessClient.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tevra::test {

bool harnessPresent()
{
    const char* harness = std::getenv(kHarnessVariable);
    return harness != nullptr && std::string_view(harness) == "1";
}

std::string askHarness(const std::string& request)
{
    std::printf("%s%s\n", kHarnessRequest, request.c_str());
    std::fflush(stdout);
    char answer[4096];
    if (std::fgets(answer, sizeof answer, stdin) == nullptr)
        return {};
    std::string text(answer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace tevra::test
