// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct nl_msg;
struct nl_sock;
struct nlmsghdr;

namespace tevra::hostnet {

// Owning handles for the libnl objects this layer creates; libnl's headers stay
// in the .cpp files.
struct NlSocketFree {
    void operator()(nl_sock* socket) const;
};
struct NlMsgFree {
    void operator()(nl_msg* message) const;
};
using NlSocketPtr = std::unique_ptr<nl_sock, NlSocketFree>;
using NlMsgPtr = std::unique_ptr<nl_msg, NlMsgFree>;

// A routing netlink socket of the network namespace it was opened in, and the
// one path by which this layer talks to the kernel: requests and their answers,
// and on a subscribed socket the notifications, which may arrive in between.
// Datagrams are read straight into reused buffers and handed out in place: a
// dump of tens of thousands of neighbours then costs no allocation per message.
class NetlinkSocket {
public:
    // Gets each data message of an answer; false rejects the whole answer.
    using MessageHandler = std::function<bool(nlmsghdr&)>;
    // Gets each notification, in the order the kernel sent them.
    using NoticeHandler = std::function<void(nlmsghdr&)>;

    // What a subscribed socket listens to.
    struct Subscription {
        std::vector<unsigned> groups;  // RTNLGRP_*
        // Asked for with SO_RCVBUFFORCE; an unprivileged process gets at most
        // net.core.rmem_max instead.
        int receiveBufferBytes = 0;
    };

    // What reading the queued notifications found.
    struct Drained {
        int error = 0;  // 0, or a negative errno other than ENOBUFS
        bool lost = false;  // the kernel dropped notifications (ENOBUFS) or one did not fit
        std::size_t truncated = 0;  // notifications cut short, counted in `lost`
    };

    // A socket for requests only; null when none can be had, `error` then says why.
    static std::unique_ptr<NetlinkSocket> open(std::string& error);
    // A socket that also receives the notifications of `subscription`.
    static std::unique_ptr<NetlinkSocket> subscribe(const Subscription& subscription, std::string& error);

    // A request of `type` with the fixed header `header` and no attributes.
    static NlMsgPtr makeMessage(int type, int flags, const void* header, std::size_t headerLength);
    // A request for the whole of one table: `header` picks the family.
    static NlMsgPtr makeDumpRequest(int type, const void* header, std::size_t headerLength);

    explicit NetlinkSocket(NlSocketPtr socket);
    ~NetlinkSocket();

    // Becomes readable when notifications or answers arrive.
    int fd() const;

    // Sends `message` and reads its answer to the end: a dump's last part or an
    // acknowledgement. Notifications read meanwhile go to `onNotice` in their
    // place in the stream. Returns 0 or a negative errno: -EAGAIN when the
    // kernel says a dump was disturbed by a change and should be asked again,
    // -ENOBUFS when notifications were lost while the answer came (the answer
    // itself is whole), -ETIMEDOUT when the kernel does not answer.
    int exchange(nl_msg& message, const MessageHandler& onMessage, const NoticeHandler& onNotice = {});

    // Reads the notifications queued now, never waiting for more, in at most
    // `maxCalls` system calls so that a flood cannot hold the caller.
    Drained drainNotices(const NoticeHandler& onNotice, int maxCalls);

private:
    struct Batch;

    // The one place datagrams are read: up to a batch's worth, waiting up to
    // `waitMs` for the first. The count received, or a negative errno.
    int receive(Batch& batch, int waitMs);
    int receiveAnswer(unsigned sequence, const MessageHandler& onMessage, const NoticeHandler& onNotice);

    NlSocketPtr socket_;
    std::unique_ptr<Batch> answers_;
    std::unique_ptr<Batch> notices_;
};

}  // namespace tevra::hostnet
