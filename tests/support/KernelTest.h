// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NamespacePair.h"
#include "RequireKernel.h"

#include <gtest/gtest.h>

namespace tevra::test {

// The base of the tests that make network namespaces: skipped without root,
// or failed when TEVRA_REQUIRE_KERNEL_TESTS=1. A fixture's own SetUp calls
// this one first and returns when IsSkipped() or HasFatalFailure().
class KernelTest : public virtual testing::Test {
protected:
    void SetUp() override
    {
        if (NamespacePair::available())
            return;
        if (kernelTestsRequired())
            FAIL() << "the kernel tests make network namespaces and need root (TEVRA_REQUIRE_KERNEL_TESTS=1)";
        GTEST_SKIP() << "the kernel tests make network namespaces and need root";
    }

    bool kernelMissing() const { return IsSkipped() || HasFatalFailure(); }
};

// A kernel test on a namespace pair with IPv6 on both ends.
class Ipv6KernelTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(pair_.ok()) << pair_.error;
        ASSERT_TRUE(pair_.enableIpv6()) << pair_.error;
    }

    NamespacePair pair_;
};

}  // namespace tevra::test
