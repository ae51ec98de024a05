// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tevra::test {

// Two network namespaces of their own, joined by a veth pair: the "host" one
// where the code under test runs (veth0, 10.66.0.1/24, MAC 02:00:00:00:00:01)
// and a "peer" one (veth1, 10.66.0.2/24, MAC 02:00:00:00:00:02). Every test
// packet stays on that wire. Both are removed on destruction, and pairs left
// behind by a test program that died are removed when the next one is made.
class NamespacePair {
public:
    static constexpr const char* kHostAddress = "10.66.0.1";
    static constexpr const char* kPeerAddress = "10.66.0.2";
    static constexpr const char* kHostMac = "02:00:00:00:00:01";
    static constexpr const char* kPeerMac = "02:00:00:00:00:02";
    // What enableIpv6() gives: link-local addresses made from the MACs, and
    // one global /64 on the wire.
    static constexpr const char* kHostAddress6 = "2001:db8:66::1";
    static constexpr const char* kPeerAddress6 = "2001:db8:66::2";
    static constexpr const char* kHostLinkLocal = "fe80::ff:fe00:1";
    static constexpr const char* kPeerLinkLocal = "fe80::ff:fe00:2";

    // Only root may make namespaces.
    static bool available();

    NamespacePair();
    NamespacePair(const NamespacePair&) = delete;
    NamespacePair& operator=(const NamespacePair&) = delete;
    ~NamespacePair();

    // False when setting up failed; `error` says where.
    bool ok() const { return error.empty(); }
    const std::string& hostName() const { return host_; }
    const std::string& peerName() const { return peer_; }

    // `ip -n <host> ...` and `ip -n <peer> ...`; false when ip fails.
    bool ipInHost(const std::vector<std::string>& arguments) const;
    bool ipInPeer(const std::vector<std::string>& arguments) const;
    // A command line run inside the host namespace with `ip netns exec`.
    std::vector<std::string> execInHost(std::vector<std::string> command) const;

    // Makes both ends IPv6-ready at once: no duplicate address detection (the
    // link-local addresses are usable when this returns), kHostAddress6 and
    // kPeerAddress6 on the wire, and a host that takes router advertisements
    // (forwarding off, addresses and default routes from them) while the peer
    // takes none. The IPv4 side is left as it was. False, with `error`, when
    // a step failed or the addresses did not settle in time.
    bool enableIpv6();
    // A third station in the peer namespace (a macvlan on veth1) with its own
    // MAC and IPv6 address, which answers for itself: an attacker the host
    // can reach. Needs enableIpv6() first. False, with `error`, on failure.
    bool addPeerStation(const std::string& mac, const std::string& address6);

    std::string error;

private:
    // Runs `ip` with each argument list in turn; the first failure goes to `error`.
    bool runSteps(const std::vector<std::vector<std::string>>& steps);

    std::string host_;
    std::string peer_;
};

// Moves the calling thread into a named namespace for its lifetime. Sockets
// made meanwhile stay in that namespace for good; child processes started
// meanwhile are born there.
class NamespaceEntry {
public:
    explicit NamespaceEntry(const std::string& name);
    NamespaceEntry(const NamespaceEntry&) = delete;
    NamespaceEntry& operator=(const NamespaceEntry&) = delete;
    ~NamespaceEntry();

    bool ok() const { return entered_; }

private:
    int previous_ = -1;
    bool entered_ = false;
};

}  // namespace tevra::test
