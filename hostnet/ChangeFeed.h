// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpHelper.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tevra::hostnet {

// One change of the ARP table as a watcher sees it: the row that now speaks for
// an address (its first row in table order, the one a whole read would decide
// by), or none when the address has left the table.
struct NetTableChange {
    IpAddress address;
    std::optional<MibIpNetRow> row;
};

// What a change feed could not follow as it happened, counted since it opened.
struct FeedCounts {
    std::uint64_t overruns = 0;  // times the kernel dropped notifications
    std::uint64_t resyncs = 0;  // whole reads made to recover, or that found the copy wrong
    std::uint64_t unreadable = 0;  // notifications that could not be read, or were cut short

    friend bool operator==(const FeedCounts&, const FeedCounts&) = default;
};

// The changes of the ARP table as the host's kernel announces them, for a
// host that has such announcements (IpHelper::changeFeed); elsewhere callers
// poll with whole reads.
class ChangeFeed {
public:
    virtual ~ChangeFeed() = default;

    // Starts following the table; opening an open feed changes nothing. Once
    // the feed is open, the host's whole reads are served from a copy of the
    // table that moves on only as take hands changes over, so a whole read
    // never runs ahead of the changes not yet taken.
    virtual ActionResult open() = 0;
    // Becomes readable when changes arrive; -1 while the feed is not open, or
    // when there is nothing to wait on and the changes are taken with each
    // whole read.
    virtual int descriptor() const = 0;
    // The changes that arrived since the last call, in the order they were
    // made; never blocks. Changes lost on the way (an overrun) are made up by a
    // whole read whose differences are handed over here as changes.
    virtual std::vector<NetTableChange> take() = 0;
    // Whether the host's adapters, addresses or routes changed (or may have,
    // after lost notifications) since the last call; a feed that does not
    // follow them says true each time, so its callers read them again.
    virtual bool takeConfigurationChanged() { return true; }
    // What the feed could not follow so far.
    virtual FeedCounts counts() const = 0;
};

}  // namespace tevra::hostnet
