#pragma once

#include "hostnet/IpHelper.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tevra::test {

// Neighbour states a test can give an entry, named as `ip neigh` names them.
enum class Nud { Permanent, Reachable, Stale, Incomplete, Failed, Noarp };

struct Neighbour {
    std::string address;
    std::string mac;  // "00:0c:29:11:22:33"; empty for none
    Nud state;
};

// A host whose ARP table a test can fill, seen through an IpHelper. The same
// tests run on the scripted fake and on the real kernel, so the fake the
// engine's tests rely on is held to what the kernel does.
//
// Both hosts look alike: one adapter, index 2, "veth0 (veth)", address
// 10.66.0.1/24; the kernel one is a network namespace of its own.
class TestHost {
public:
    static constexpr std::uint32_t kInterface = 2;

    virtual ~TestHost() = default;

    // Empty when the host is ready; else what went wrong setting it up.
    virtual std::string setupError() const = 0;
    virtual bool add(const Neighbour& neighbour) = 0;
    // As `ip neigh replace`: the entry afterwards is exactly `neighbour`.
    virtual bool replace(const Neighbour& neighbour) = 0;
    // Another IPv4 address on the adapter, "10.77.0.1/16".
    virtual bool addAddress(const std::string& withPrefix) = 0;
    // The addresses the ARP table holds, as the host's own listing shows them.
    virtual std::vector<std::string> listedAddresses() = 0;
    // The IpHelper of this host, as the program would get it.
    virtual std::unique_ptr<hostnet::IpHelper> makeIpHelper() = 0;
    // Echo requests to `target` sent since the host was made, waiting `window` for more.
    virtual int echoRequests(const std::string& target, std::chrono::milliseconds window) = 0;
};

std::unique_ptr<TestHost> makeFakeHost();
// Needs root; see NamespacePair.
std::unique_ptr<TestHost> makeKernelHost();

}  // namespace tevra::test
