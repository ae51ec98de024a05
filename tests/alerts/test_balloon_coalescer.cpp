// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/BalloonCoalescer.h"

#include <gtest/gtest.h>

#include <vector>

namespace tevra::test {
namespace {

TEST(BalloonCoalescer, TheTextIsTheLineAndHowManyMoreWereNotShown)
{
    const QString line = QStringLiteral("7 - 09:15:00: Mapping changed: 192.168.0.1");
    struct Case {
        QString line;
        int more;
        QString want;
    };
    const std::vector<Case> cases {
        { line, 0, line },
        { line, 1, line + "\n(+1 more)" },
        { line, 12345, line + "\n(+12345 more)" },
        // A line too long for the balloon is cut; the count always fits.
        { QString(300, 'a'), 0, QString(255, 'a') },
        { QString(300, 'a'), 12, QString(244, 'a') + "\n(+12 more)" },
    };
    for (const Case& c : cases) {
        const QString text = BalloonCoalescer::balloonText(c.line, c.more);
        EXPECT_EQ(text, c.want) << c.more;
        EXPECT_LE(text.size(), 255) << c.more;
    }
}

}  // namespace
}  // namespace tevra::test
