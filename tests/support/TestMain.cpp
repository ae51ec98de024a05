// SPDX-License-Identifier: GPL-3.0-or-later
#include "Environment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Alert lines and cell texts show local time; fix the zone so they can be compared.
    // "UTC0": the POSIX form, which Windows' C runtime reads too.
    tevra::test::setTimeZone("UTC0");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
