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

// A kernel test on a namespace pair of its own.
class NamespacePairTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(namespaces.ok()) << namespaces.error;
    }

    NamespacePair namespaces;
};

// A kernel test on a namespace pair with IPv6 on both ends.
class Ipv6KernelTest : public NamespacePairTest {
protected:
    void SetUp() override
    {
        NamespacePairTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(namespaces.enableIpv6()) << namespaces.error;
    }
};

}  // namespace tevra::test
