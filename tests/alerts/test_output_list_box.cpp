// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/OutputListBox.h"

#include <QApplication>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <vector>

namespace tevra::test {
namespace {

const QString kShort = QStringLiteral("1 - short");
const QString kMedium = QStringLiteral("2 - a line of medium width, longer than the short one");
const QString kLong = QStringLiteral("3 - 09:15:00: Mapping changed: 192.168.0.1 changed from "
                                     "00-0C-29-11-22-33 to 00-0C-29-44-55-66 and more");

class OutputListBoxTest : public ::testing::Test {
protected:
    OutputListBoxTest() { list.resize(160, 120); }

    int rangeEnd() const { return list.horizontalScrollBar()->maximum(); }

    COutputListBox list;
};

TEST_F(OutputListBoxTest, StartsWithNoExtent)
{
    EXPECT_EQ(list.widestExtent(), 0);
    EXPECT_EQ(rangeEnd(), 0);
}

TEST_F(OutputListBoxTest, LinesGoToTheEndInTheOrderAdded)
{
    EXPECT_EQ(list.AddString(kMedium), 0);
    EXPECT_EQ(list.AddString(kShort), 1);
    EXPECT_EQ(list.AddString(kLong), 2);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.text(0), kMedium);
    EXPECT_EQ(list.text(1), kShort);
    EXPECT_EQ(list.text(2), kLong);
}

TEST_F(OutputListBoxTest, OnlyAWiderLineWidensTheExtent)
{
    struct Step {
        QString line;
        bool widens;
    };
    const std::vector<Step> steps {
        { kShort, true },
        { kLong, true },
        { kMedium, false },
        { kShort, false },
        { kLong, false },
    };
    int previous = list.widestExtent();
    for (const Step& step : steps) {
        list.AddString(step.line);
        if (step.widens)
            EXPECT_GT(list.widestExtent(), previous) << step.line.toStdString();
        else
            EXPECT_EQ(list.widestExtent(), previous) << step.line.toStdString();
        previous = list.widestExtent();
    }
}

TEST_F(OutputListBoxTest, TheExtentCoversTheWholeLine)
{
    list.AddString(kLong);
    EXPECT_GT(list.widestExtent(), list.fontMetrics().horizontalAdvance(kLong));
}

TEST_F(OutputListBoxTest, TheScrollBarReachesTheWidestLine)
{
    list.AddString(kLong);
    const int visible = list.viewport()->width();
    ASSERT_GT(list.widestExtent(), visible);
    EXPECT_EQ(rangeEnd(), list.widestExtent() - visible);
}

TEST_F(OutputListBoxTest, ScrollingToTheEndShowsTheEndOfTheWidestLine)
{
    list.AddString(kShort);
    list.AddString(kLong);
    list.show();
    QApplication::processEvents();
    list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
    QApplication::processEvents();

    const QRect line = list.visualRect(list.lines().index(1));
    EXPECT_LT(line.left(), 0);
    EXPECT_LE(line.left() + list.fontMetrics().horizontalAdvance(kLong), list.viewport()->width());
}

TEST_F(OutputListBoxTest, LayingTheListOutAgainKeepsTheExtentAsTheScrollRange)
{
    list.AddString(kLong);
    list.AddString(kShort);
    list.show();
    list.resize(200, 90);
    QApplication::processEvents();

    EXPECT_EQ(rangeEnd(), list.widestExtent() - list.viewport()->width());
}

TEST_F(OutputListBoxTest, DeletingTheWidestLineNarrowsTheExtentToTheRest)
{
    list.AddString(kShort);
    list.AddString(kLong);
    list.AddString(kMedium);
    const int withLong = list.widestExtent();

    EXPECT_EQ(list.DeleteString(1), 2);

    EXPECT_LT(list.widestExtent(), withLong);
    EXPECT_GE(list.widestExtent(), list.fontMetrics().horizontalAdvance(kMedium));
    EXPECT_EQ(rangeEnd(), std::max(0, list.widestExtent() - list.viewport()->width()));
}

TEST_F(OutputListBoxTest, DeletingANarrowerLineKeepsTheWidestLinesWidth)
{
    list.AddString(kShort);
    list.AddString(kLong);
    const int withBoth = list.widestExtent();

    list.DeleteString(0);

    // Re-measured with the thinner border, a little narrower than when it was added.
    EXPECT_LT(list.widestExtent(), withBoth);
    EXPECT_GE(list.widestExtent(), list.fontMetrics().horizontalAdvance(kLong));
}

TEST_F(OutputListBoxTest, ADeletionAfterAFontChangeMeasuresWithTheNewFont)
{
    list.AddString(kShort);
    list.AddString(kLong);
    list.AddString(kMedium);
    list.DeleteString(2);
    const int smallFontExtent = list.widestExtent();
    QFont bigger = list.font();
    bigger.setPointSize(bigger.pointSize() * 2);
    list.setFont(bigger);

    list.DeleteString(0);

    EXPECT_GT(list.widestExtent(), smallFontExtent);
    EXPECT_GE(list.widestExtent(), QFontMetrics(bigger).horizontalAdvance(kLong));
}

TEST_F(OutputListBoxTest, ADeleteOfNoLineChangesNothing)
{
    list.AddString(kShort);
    list.AddString(kLong);
    const int extent = list.widestExtent();
    for (const int index : { -1, 2, 100 }) {
        EXPECT_LT(list.DeleteString(index), 0) << index;
        EXPECT_EQ(list.count(), 2) << index;
        EXPECT_EQ(list.widestExtent(), extent) << index;
    }
}

TEST_F(OutputListBoxTest, DeletingTheLastLineSetsTheExtentToZero)
{
    list.AddString(kLong);
    EXPECT_EQ(list.DeleteString(0), 0);
    EXPECT_EQ(list.widestExtent(), 0);
    EXPECT_EQ(rangeEnd(), 0);
}

TEST_F(OutputListBoxTest, NewLinesDoNotScrollTheList)
{
    list.show();
    for (int i = 0; i < 100; ++i)
        list.AddString(QString::number(i) + " - " + kLong);
    QApplication::processEvents();

    EXPECT_GT(list.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(list.verticalScrollBar()->value(), 0);
    EXPECT_EQ(list.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(list.count(), 100);
}

}  // namespace
}  // namespace tevra::test
