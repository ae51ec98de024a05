// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <string>

namespace tevra::test {

// Whether a kernel test that cannot run must fail rather than skip: the
// README's test command sets TEVRA_REQUIRE_KERNEL_TESTS=1, so a run without
// root cannot pass for a run that tested the kernel.
inline bool kernelTestsRequired()
{
    const char* value = std::getenv("TEVRA_REQUIRE_KERNEL_TESTS");
    return value != nullptr && std::string(value) == "1";
}

}  // namespace tevra::test
