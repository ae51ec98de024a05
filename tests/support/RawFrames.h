// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tevra::test {

// Counts the ICMP echo requests that arrive on one interface of a namespace.
// Listening starts on construction, so nothing sent afterwards is missed.
class EchoRequestCounter {
public:
    EchoRequestCounter(const std::string& namespaceName, const std::string& interfaceName);
    EchoRequestCounter(const EchoRequestCounter&) = delete;
    EchoRequestCounter& operator=(const EchoRequestCounter&) = delete;
    ~EchoRequestCounter();

    bool ok() const { return socket_ >= 0; }
    // The echo requests to `dottedTarget` seen until `window` has passed.
    int count(const std::string& dottedTarget, std::chrono::milliseconds window);

private:
    int socket_ = -1;
};

// Puts one ARP reply on the wire of an interface of a namespace, as a host on
// that wire could: "senderIp is at senderMac", to targetMac/targetIp. MACs are
// written "02:00:00:00:00:01". False when it could not be sent.
bool sendArpReply(const std::string& namespaceName, const std::string& interfaceName,
    const std::string& senderMac, const std::string& senderIp, const std::string& targetMac,
    const std::string& targetIp);

// One sender of ARP requests: what a frame claims to come from.
struct ArpSender {
    std::string mac;  // "02:00:00:00:00:01"
    std::string ip;
};

// Puts one broadcast ARP request per sender on the wire, each asking for
// targetIp: a host that owns targetIp learns every sender as a neighbour.
// False when not all could be sent.
bool sendArpRequests(const std::string& namespaceName, const std::string& interfaceName,
    const std::vector<ArpSender>& senders, const std::string& targetIp);

}  // namespace tevra::test
