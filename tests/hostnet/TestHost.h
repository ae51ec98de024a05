// SPDX-License-Identifier: GPL-3.0-or-later
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

// The state's name on `ip neigh`'s command line.
inline const char* nudName(Nud state)
{
    static constexpr const char* kNames[] { "permanent", "reachable", "stale", "incomplete", "failed",
        "noarp" };
    return kNames[static_cast<int>(state)];
}

struct Neighbour {
    std::string address;
    std::string mac;  // "00:0c:29:11:22:33"; empty for none
    Nud state;
};

// How a host's ARP table shows what `ip neigh` leaves unsaid, as the host
// tests describe rows ("<address> <MAC>/<length> type <type> if <index>"). The
// defaults are Linux's, which the fake models.
struct TableShape {
    // MAC, length and type of an incomplete or failed entry.
    std::string unresolved = "-/0 type 2";
    // Rows the platform lists without being asked, in table order after the test's own.
    std::vector<std::string> ownRows;
    // The adapter's description.
    std::string adapter = "veth0 (veth)";
};

// A host whose ARP table a test can fill, seen through an IpHelper. The same
// tests run on the scripted fake and on the real kernel, so the fake the
// engine's tests rely on is held to what the kernel does.
//
// Both hosts look alike: one adapter, index 2, named veth0, address
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
    virtual TableShape shape() const { return {}; }
};

std::unique_ptr<TestHost> makeFakeHost();
// The real table: the kernel's in a namespace of its own on Linux (needs
// root); on Windows a namespace's table through Wine, changed by the harness
// that runs the tests (HarnessProtocol.h).
std::unique_ptr<TestHost> makeKernelHost();
// Why makeKernelHost cannot serve here; empty when it can.
std::string kernelHostUnavailable();

}  // namespace tevra::test
