// SPDX-License-Identifier: GPL-3.0-or-later
// The window following the host's change feed between ticks: the feed is a
// descriptor the test owns, the changes are scripted.
#include "WindowFixture.h"

#include <QTest>

#include <sys/eventfd.h>
#include <unistd.h>

#include <map>

namespace tevra::test {
namespace {

// Made before the window, which opens the feed during its initialisation.
struct FeedDescriptor {
    FeedDescriptor()
        : fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
    }
    ~FeedDescriptor() { close(fd); }
    FeedDescriptor(const FeedDescriptor&) = delete;
    FeedDescriptor& operator=(const FeedDescriptor&) = delete;

    std::unique_ptr<hostnet::FakeIpHelper> hostWithFeed() const
    {
        auto fake = hostWithEth0();
        fake->feedHandle = fd;
        return fake;
    }

    const int fd;
};

class WindowFeedTest : private FeedDescriptor, public WindowTest {
public:
    WindowFeedTest()
        : WindowTest(hostWithFeed())
    {
        // By address: a row's number moves when a row is inserted before it.
        QObject::connect(&dlg.mappingList.rows(), &QAbstractItemModel::dataChanged,
            [this](const QModelIndex& first, const QModelIndex& last) {
                for (int row = first.row(); row <= last.row(); ++row)
                    ++rowWrites[rows().text(row, kAddressColumn)];
            });
    }

    // The host reports the changes; the window picks them up from its event loop.
    void feed(std::vector<hostnet::NetTableChange> changes)
    {
        rowWrites.clear();
        host.changes = std::move(changes);
        const std::uint64_t one = 1;
        ASSERT_EQ(write(fd, &one, sizeof one), ssize_t(sizeof one));
        ASSERT_TRUE(QTest::qWaitFor([this] { return host.changes.empty(); }, 5000));
        std::uint64_t drained = 0;
        ASSERT_EQ(read(fd, &drained, sizeof drained), ssize_t(sizeof drained));
    }

    std::vector<std::string> outputTexts() const
    {
        std::vector<std::string> texts;
        for (int line = 0; line < dlg.outputList.count(); ++line) {
            const std::string text = dlg.outputList.text(line).toStdString();
            texts.push_back(text.substr(text.find(" - ") + 3));
        }
        return texts;
    }

    static hostnet::NetTableChange change(const char* dotted, const char* mac)
    {
        return { ip(dotted), arpRow(dotted, mac) };
    }
    static hostnet::NetTableChange removal(const char* dotted) { return { ip(dotted), std::nullopt }; }

    // How often each address's row was reported changed since the last feed().
    std::map<std::string, int> rowWrites;
};

TEST_F(WindowFeedTest, TheWindowWaitsOnTheFeedFromItsStart)
{
    EXPECT_TRUE(dlg.followsChanges());
    CWatcherDlg withoutFeed(hostWithEth0());
    withoutFeed.pause = [](int) {};
    withoutFeed.OnInitDialog();
    EXPECT_FALSE(withoutFeed.followsChanges());
}

TEST_F(WindowFeedTest, AChangeIsReportedAndOnlyItsRowRewrittenWithoutATick)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33"), arpRow("192.168.0.2", "00-0C-29-AA-BB-CC") });
    const int reads = host.calls.netTableReads;
    const std::size_t lines = dlg.outputList.count();

    feed({ change("192.168.0.1", "00-0C-29-44-55-66") });

    EXPECT_EQ(host.calls.netTableReads, reads);
    ASSERT_EQ(std::size_t(dlg.outputList.count()), lines + 1);
    EXPECT_EQ(outputTexts().back(),
        "14:03:09: Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66");
    EXPECT_EQ(cell(0, 1), "00-0C-29-44-55-66");
    EXPECT_FALSE(rows().row(0).alertFree);
    EXPECT_EQ(rowWrites, (std::map<std::string, int> { { "192.168.0.1", 1 } }));
    EXPECT_EQ(cell(1, 1), "00-0C-29-AA-BB-CC");
}

TEST_F(WindowFeedTest, ABurstWritesEachTouchedRowOnceAndReportsEveryChange)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33"), arpRow("192.168.0.3", "00-0C-29-AA-BB-CC"),
        arpRow("192.168.0.5", "00-0C-29-DD-EE-FF") });
    const std::size_t lines = dlg.outputList.count();

    feed({ change("192.168.0.1", "00-0C-29-44-55-66"), change("192.168.0.1", "00-0C-29-11-22-33"),
        removal("192.168.0.5"), change("192.168.0.2", "00-0C-29-77-88-99") });

    const std::vector<std::string> texts = outputTexts();
    ASSERT_EQ(texts.size(), lines + 2);
    EXPECT_EQ(texts[lines],
        "14:03:09: Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66");
    EXPECT_EQ(texts[lines + 1],
        "14:03:09: Mapping changed: 192.168.0.1 changed from 00-0C-29-44-55-66 to 00-0C-29-11-22-33");
    EXPECT_EQ(
        column0(), (std::vector<std::string> { "192.168.0.1", "192.168.0.2", "192.168.0.3", "192.168.0.5" }));
    EXPECT_EQ(cell(1, 1), "00-0C-29-77-88-99");
    EXPECT_EQ(cell(3, 2), "no");
    // Once for two changes, once for leaving the table; the new row was
    // inserted, and the untouched one left alone.
    EXPECT_EQ(rowWrites, (std::map<std::string, int> { { "192.168.0.1", 1 }, { "192.168.0.5", 1 } }));
}

TEST_F(WindowFeedTest, TheNextTickFindsNothingNewAfterTheFeed)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33") });
    feed({ change("192.168.0.1", "00-0C-29-44-55-66") });
    const std::size_t lines = dlg.outputList.count();
    rowWrites.clear();

    tick({ arpRow("192.168.0.1", "00-0C-29-44-55-66") });

    EXPECT_EQ(std::size_t(dlg.outputList.count()), lines);
    EXPECT_TRUE(rowWrites.empty());
}

}  // namespace
}  // namespace tevra::test
