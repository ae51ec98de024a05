#pragma once

#include <netlink/msg.h>
#include <netlink/socket.h>

#include <memory>

namespace tevra::hostnet {

// Owning handles for the libnl objects this layer creates.
struct NlSocketFree {
    void operator()(nl_sock* socket) const { nl_socket_free(socket); }
};
struct NlMsgFree {
    void operator()(nl_msg* message) const { nlmsg_free(message); }
};

using NlSocketPtr = std::unique_ptr<nl_sock, NlSocketFree>;
using NlMsgPtr = std::unique_ptr<nl_msg, NlMsgFree>;

}  // namespace tevra::hostnet
