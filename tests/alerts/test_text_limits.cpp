// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/TextLimits.h"

#include <gtest/gtest.h>

#include <vector>

namespace tevra::test {
namespace {

TEST(FitToLimit, CutsOnlyAtCharacterBoundaries)
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString eAcute = QString::fromUtf8("e\xCC\x81");  // e with a combining accent
    struct Case {
        QString text;
        int limit;
        QString want;
    };
    const std::vector<Case> cases {
        { "", 5, "" },
        { "abc", 3, "abc" },
        { "abcd", 3, "abc" },
        { "ab" + smile, 3, "ab" },
        { "ab" + smile, 4, "ab" + smile },
        { "a" + smile + "b", 2, "a" },
        { "ab" + eAcute, 3, "ab" },
        { "ab" + eAcute + "c", 4, "ab" + eAcute },
        { smile, 1, "" },
    };
    for (const Case& c : cases) {
        const QString got = fitToLimit(c.text, c.limit);
        EXPECT_EQ(got, c.want) << c.text.toStdString() << " / " << c.limit;
        EXPECT_LE(got.size(), c.limit);
    }
}

}  // namespace
}  // namespace tevra::test
