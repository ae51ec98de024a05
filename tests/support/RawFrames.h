#pragma once

#include <chrono>
#include <string>

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

}  // namespace tevra::test
