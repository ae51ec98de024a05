// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/linux/NetlinkSocket.h"

#include <linux/netlink.h>
#include <netlink/errno.h>
#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <netlink/socket.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace tevra::hostnet {
namespace {

// Dump parts are at most 32 KiB; twice that leaves room for a large single message.
constexpr std::size_t kAnswerSlotBytes = 64 * 1024;
// Notifications are read many to a system call: under a flood the calls, not
// the few hundred bytes of each notification, are most of the cost.
constexpr unsigned kNoticesPerCall = 32;
constexpr std::size_t kNoticeSlotBytes = 8 * 1024;
// How long the kernel may take with the next part of an answer.
constexpr int kAnswerWaitMs = 5000;

template<typename Visit> void forEachMessage(char* datagram, std::size_t length, Visit&& visit)
{
    int remaining = static_cast<int>(length);
    for (auto* message = reinterpret_cast<nlmsghdr*>(datagram); nlmsg_ok(message, remaining);
         message = nlmsg_next(message, &remaining))
        visit(*message);
}

void setReceiveBuffer(int fd, int size)
{
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool wouldBlock(int status)
{
    return status == -EAGAIN || status == -EWOULDBLOCK;
}

}  // namespace

void NlSocketFree::operator()(nl_sock* socket) const
{
    nl_socket_free(socket);
}

void NlMsgFree::operator()(nl_msg* message) const
{
    nlmsg_free(message);
}

// Room for the datagrams of one receiving call and the headers that describe them.
struct NetlinkSocket::Batch {
    Batch(unsigned slotCount, std::size_t slotBytes)
        : slotBytes(slotBytes)
        , slots(slotCount * slotBytes)
        , parts(slotCount)
        , peers(slotCount)
        , headers(slotCount)
    {
    }

    unsigned size() const { return static_cast<unsigned>(headers.size()); }
    char* datagram(unsigned i) { return &slots[i * slotBytes]; }
    std::size_t length(unsigned i) const { return headers[i].msg_len; }
    bool fromKernel(unsigned i) const { return peers[i].nl_pid == 0; }
    bool truncated(unsigned i) const { return (headers[i].msg_hdr.msg_flags & MSG_TRUNC) != 0; }

    void prepare()
    {
        for (unsigned i = 0; i < size(); ++i) {
            parts[i] = { datagram(i), slotBytes };
            headers[i] = {};
            headers[i].msg_hdr.msg_name = &peers[i];
            headers[i].msg_hdr.msg_namelen = sizeof peers[i];
            headers[i].msg_hdr.msg_iov = &parts[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
    }

    std::size_t slotBytes;
    std::vector<char> slots;
    std::vector<iovec> parts;
    std::vector<sockaddr_nl> peers;
    std::vector<mmsghdr> headers;
};

NetlinkSocket::NetlinkSocket(NlSocketPtr socket)
    : socket_(std::move(socket))
    , answers_(std::make_unique<Batch>(1, kAnswerSlotBytes))
{
}

NetlinkSocket::~NetlinkSocket() = default;

std::unique_ptr<NetlinkSocket> NetlinkSocket::open(std::string& error)
{
    NlSocketPtr socket(nl_socket_alloc());
    if (!socket) {
        error = "out of memory";
        return nullptr;
    }
    if (const int status = nl_connect(socket.get(), NETLINK_ROUTE); status < 0) {
        error = std::string("cannot open a routing netlink socket: ") + nl_geterror(status);
        return nullptr;
    }
    return std::make_unique<NetlinkSocket>(std::move(socket));
}

std::unique_ptr<NetlinkSocket> NetlinkSocket::subscribe(const Subscription& subscription, std::string& error)
{
    std::unique_ptr<NetlinkSocket> socket = open(error);
    if (!socket)
        return nullptr;
    nl_sock* const handle = socket->socket_.get();
    int status = nl_socket_set_nonblocking(handle);
    for (const unsigned group : subscription.groups)
        if (status >= 0)
            status = nl_socket_add_membership(handle, static_cast<int>(group));
    if (status < 0) {
        error = std::string("cannot subscribe to the kernel's notifications: ") + nl_geterror(status);
        return nullptr;
    }
    setReceiveBuffer(socket->fd(), subscription.receiveBufferBytes);
    socket->notices_ = std::make_unique<Batch>(kNoticesPerCall, kNoticeSlotBytes);
    return socket;
}

NlMsgPtr NetlinkSocket::makeDumpRequest(int type, const void* header, std::size_t headerLength)
{
    return makeMessage(type, NLM_F_REQUEST | NLM_F_DUMP, header, headerLength);
}

NlMsgPtr NetlinkSocket::makeMessage(int type, int flags, const void* header, std::size_t headerLength)
{
    NlMsgPtr message(nlmsg_alloc_simple(type, flags));
    // nlmsg_append only copies from the header; its parameter is not const-qualified.
    if (!message || nlmsg_append(message.get(), const_cast<void*>(header), headerLength, NLMSG_ALIGNTO) < 0)
        return nullptr;
    return message;
}

int NetlinkSocket::fd() const
{
    return nl_socket_get_fd(socket_.get());
}

int NetlinkSocket::receive(Batch& batch, int waitMs)
{
    for (;;) {
        batch.prepare();
        const int count = recvmmsg(fd(), batch.headers.data(), batch.size(), MSG_DONTWAIT, nullptr);
        if (count >= 0)
            return count;
        const int status = -errno;
        if (status == -EINTR)
            continue;
        if (!wouldBlock(status) || waitMs <= 0)
            return status;
        pollfd wait { fd(), POLLIN, 0 };
        const int ready = poll(&wait, 1, waitMs);
        if (ready == 0)
            return -ETIMEDOUT;
        if (ready < 0 && errno != EINTR)
            return -errno;
    }
}

int NetlinkSocket::exchange(nl_msg& message, const MessageHandler& onMessage, const NoticeHandler& onNotice)
{
    nlmsghdr* const header = nlmsg_hdr(&message);
    header->nlmsg_seq = nl_socket_use_seq(socket_.get());
    header->nlmsg_pid = nl_socket_get_local_port(socket_.get());
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    while (
        sendto(fd(), header, header->nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel)
        < 0)
        if (errno != EINTR)
            return -errno;
    return receiveAnswer(header->nlmsg_seq, onMessage, onNotice);
}

int NetlinkSocket::receiveAnswer(
    unsigned sequence, const MessageHandler& onMessage, const NoticeHandler& onNotice)
{
    const std::uint32_t port = nl_socket_get_local_port(socket_.get());
    bool disturbed = false;
    bool lost = false;
    for (;;) {
        const int count = receive(*answers_, kAnswerWaitMs);
        if (count == -ENOBUFS) {
            lost = true;  // notifications were dropped; the answer goes on
            continue;
        }
        if (count < 0)
            return count;
        for (unsigned i = 0; i < static_cast<unsigned>(count); ++i) {
            if (!answers_->fromKernel(i))
                continue;  // only the kernel answers requests
            if (answers_->truncated(i))
                return -EMSGSIZE;
            int status = 1;
            forEachMessage(answers_->datagram(i), answers_->length(i), [&](nlmsghdr& reply) {
                if (status != 1)
                    return;
                // Notifications; on a socket that is not subscribed, only parts
                // of an earlier request that was given up.
                if (reply.nlmsg_seq != sequence || reply.nlmsg_pid != port) {
                    if (onNotice)
                        onNotice(reply);
                    return;
                }
                if ((reply.nlmsg_flags & NLM_F_DUMP_INTR) != 0)
                    disturbed = true;
                if (reply.nlmsg_type == NLMSG_DONE || reply.nlmsg_type == NLMSG_ERROR) {
                    // Both carry the request's status first; 0 is success (an acknowledgement).
                    if (nlmsg_datalen(&reply) < static_cast<int>(sizeof(int)))
                        status = reply.nlmsg_type == NLMSG_DONE && !disturbed ? 0 : -EBADMSG;
                    else
                        status = *static_cast<const int*>(nlmsg_data(&reply));
                    return;
                }
                if (!onMessage(reply))
                    status = -EBADMSG;
            });
            if (status < 0)
                return status;
            if (status == 0)
                return disturbed ? -EAGAIN : lost ? -ENOBUFS : 0;
        }
    }
}

NetlinkSocket::Drained NetlinkSocket::drainNotices(const NoticeHandler& onNotice, int maxCalls)
{
    Drained drained;
    if (!notices_)
        return drained;
    for (int call = 0; call < maxCalls; ++call) {
        const int count = receive(*notices_, 0);
        if (wouldBlock(count))
            break;
        if (count == -ENOBUFS) {
            // The kernel dropped notifications; the rest queued is still good.
            drained.lost = true;
            continue;
        }
        if (count < 0) {
            drained.error = count;
            break;
        }
        for (unsigned i = 0; i < static_cast<unsigned>(count); ++i) {
            if (!notices_->fromKernel(i))
                continue;  // only the kernel speaks for its tables
            if (notices_->truncated(i)) {
                drained.lost = true;
                ++drained.truncated;
                continue;
            }
            forEachMessage(notices_->datagram(i), notices_->length(i), onNotice);
        }
        // Fewer than asked for: the queue is empty, or an error waits for the next call.
        if (static_cast<unsigned>(count) < notices_->size())
            break;
    }
    return drained;
}

}  // namespace tevra::hostnet
