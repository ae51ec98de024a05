#pragma once

#include "hostnet/linux/LibnlHandles.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct nlmsghdr;

namespace tevra::hostnet {

// A routing netlink socket of the network namespace it was opened in. Replies
// are read straight from the socket into one reused buffer and handed out in
// place: a dump of tens of thousands of neighbours then costs no allocation per
// message.
class NetlinkSocket {
public:
    // Gets each data message of an answer; false rejects the whole answer.
    using MessageHandler = std::function<bool(nlmsghdr&)>;

    // Null when no socket can be had; `error` then says why.
    static std::unique_ptr<NetlinkSocket> open(std::string& error);

    // A request of `type` with the fixed header `header` and no attributes.
    static NlMsgPtr makeMessage(int type, int flags, const void* header, std::size_t headerLength);

    explicit NetlinkSocket(NlSocketPtr socket);

    // Sends `message` and reads its answer to the end: a dump's last part or an
    // acknowledgement. Returns 0 or a negative errno; -EAGAIN when the kernel
    // says a dump was disturbed by a change and should be asked again.
    int exchange(nl_msg& message, const MessageHandler& onMessage);

private:
    int receiveAnswer(unsigned sequence, const MessageHandler& onMessage);

    NlSocketPtr socket_;
    std::vector<char> buffer_;
};

}  // namespace tevra::hostnet
