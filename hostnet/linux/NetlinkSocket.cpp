#include "hostnet/linux/NetlinkSocket.h"

#include <linux/netlink.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <sys/socket.h>

#include <cerrno>

namespace tevra::hostnet {
namespace {

// Dump parts are at most 32 KiB; twice that leaves room for a large single message.
constexpr std::size_t kReceiveBufferSize = 64 * 1024;

}  // namespace

NetlinkSocket::NetlinkSocket(NlSocketPtr socket)
    : socket_(std::move(socket))
    , buffer_(kReceiveBufferSize)
{
}

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

NlMsgPtr NetlinkSocket::makeMessage(int type, int flags, const void* header, std::size_t headerLength)
{
    NlMsgPtr message(nlmsg_alloc_simple(type, flags));
    // nlmsg_append only copies from the header; its parameter is not const-qualified.
    if (!message || nlmsg_append(message.get(), const_cast<void*>(header), headerLength, NLMSG_ALIGNTO) < 0)
        return nullptr;
    return message;
}

int NetlinkSocket::exchange(nl_msg& message, const MessageHandler& onMessage)
{
    nlmsghdr* const header = nlmsg_hdr(&message);
    header->nlmsg_seq = nl_socket_use_seq(socket_.get());
    header->nlmsg_pid = nl_socket_get_local_port(socket_.get());
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    const int fd = nl_socket_get_fd(socket_.get());
    while (sendto(fd, header, header->nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel)
        < 0)
        if (errno != EINTR)
            return -errno;
    return receiveAnswer(header->nlmsg_seq, onMessage);
}

int NetlinkSocket::receiveAnswer(unsigned sequence, const MessageHandler& onMessage)
{
    const int fd = nl_socket_get_fd(socket_.get());
    const std::uint32_t port = nl_socket_get_local_port(socket_.get());
    bool disturbed = false;
    for (;;) {
        sockaddr_nl peer {};
        iovec part { buffer_.data(), buffer_.size() };
        msghdr received {};
        received.msg_name = &peer;
        received.msg_namelen = sizeof peer;
        received.msg_iov = &part;
        received.msg_iovlen = 1;
        const ssize_t length = recvmsg(fd, &received, 0);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if ((received.msg_flags & MSG_TRUNC) != 0)
            return -EMSGSIZE;
        if (peer.nl_pid != 0)
            continue;  // only the kernel answers requests
        int remaining = static_cast<int>(length);
        for (auto* reply = reinterpret_cast<nlmsghdr*>(buffer_.data()); nlmsg_ok(reply, remaining);
             reply = nlmsg_next(reply, &remaining)) {
            // Parts of an earlier request that was given up are not ours.
            if (reply->nlmsg_seq != sequence || reply->nlmsg_pid != port)
                continue;
            if ((reply->nlmsg_flags & NLM_F_DUMP_INTR) != 0)
                disturbed = true;
            if (reply->nlmsg_type == NLMSG_DONE || reply->nlmsg_type == NLMSG_ERROR) {
                // Both carry the request's status first; 0 is success (an acknowledgement).
                if (nlmsg_datalen(reply) < static_cast<int>(sizeof(int)))
                    return reply->nlmsg_type == NLMSG_DONE && !disturbed ? 0 : -EBADMSG;
                const int status = *static_cast<const int*>(nlmsg_data(reply));
                if (status < 0)
                    return status;
                return disturbed ? -EAGAIN : 0;
            }
            if (!onMessage(*reply))
                return -EBADMSG;
        }
    }
}

}  // namespace tevra::hostnet
