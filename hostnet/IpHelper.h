// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpAddress.h"

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tevra::hostnet {

class ChangeFeed;

// Entry types of an ARP row, with the values the platforms use.
enum : std::uint32_t {
    kNetTypeOther = 1,
    kNetTypeInvalid = 2,
    kNetTypeDynamic = 3,
    kNetTypeStatic = 4,
};

// Host-order value of a network-order IPv4 address (ntohl) without an OS
// header or a compiler builtin: the address's bytes in memory order are its
// dotted parts, most significant first, on any host.
constexpr std::uint32_t netToHost(std::uint32_t netOrder)
{
    const auto parts = std::bit_cast<std::array<std::uint8_t, 4>>(netOrder);
    return std::uint32_t { parts[0] } << 24 | std::uint32_t { parts[1] } << 16
        | std::uint32_t { parts[2] } << 8 | std::uint32_t { parts[3] };
}

// One neighbour table row, of the ARP table (IPv4) or the IPv6 neighbour
// cache. Addresses stay in network byte order, as the platform delivers them,
// so keys and texts never depend on the host's endianness.
struct MibIpNetRow {
    std::uint32_t dwIndex = 0;  // interface index
    std::uint32_t dwPhysAddrLen = 0;  // MAC length; a platform may report more than 8
    std::array<std::uint8_t, 8> bPhysAddr {};
    IpAddress address;  // a link-local IPv6 address has the interface as its zone
    std::uint32_t dwType = 0;  // kNetType*
    bool isRouter = false;  // the neighbour said it is a router (IPv6 only)

    friend bool operator==(const MibIpNetRow&, const MibIpNetRow&) = default;
};

// One interface address row.
struct MibIpAddrRow {
    std::uint32_t dwAddr = 0;  // network byte order
    std::uint32_t dwIndex = 0;  // interface index
    std::uint32_t dwMask = 0;  // network byte order
};

// One adapter as the platform names it, with its hardware address.
struct IpAdapterInfo {
    std::uint32_t Index = 0;
    std::string Description;
    std::uint32_t AddressLength = 0;  // 0 when the adapter has none
    std::array<std::uint8_t, 8> Address {};
};

// One default route (destination 0.0.0.0/0 or ::/0): one row per next hop,
// so a multipath route gives a row for each of its gateways.
struct DefaultRouteRow {
    IpAddress gateway;  // unspecified for a route with none (a tunnel)
    std::uint32_t interfaceIndex = 0;
    std::uint32_t metric = 0;

    friend bool operator==(const DefaultRouteRow&, const DefaultRouteRow&) = default;
};

// Where the host would send a packet for one address: the interface, and the
// next hop, or an unspecified one when the address is reached on the link itself.
struct RouteAnswer {
    std::uint32_t interfaceIndex = 0;
    IpAddress gateway;

    friend bool operator==(const RouteAnswer&, const RouteAnswer&) = default;
};

// What a caller can make of a failed action: a refusal for want of rights
// needs an administrator; an entry that is not in the table is already what a
// delete wanted.
enum class Failure : std::uint8_t { None, NotPermitted, NoSuchEntry, Other };

// What an action did: status 0 when it did all it was asked, else -1 with the
// host's words for why and the kind of failure a caller decides by.
struct ActionResult {
    std::int32_t status = 0;
    std::string reason;
    Failure kind = Failure::None;

    static ActionResult done() { return {}; }
    static ActionResult failed(std::string reason, Failure kind = Failure::Other)
    {
        return { -1, std::move(reason), kind };
    }
    bool ok() const { return status == 0; }
};

// A whole read: every row, or no rows and why. A failed read must leave the
// caller's state untouched, so there are no partial tables.
template<typename Row> struct ReadResult {
    std::optional<std::vector<Row>> rows;
    std::string reason;  // why there are no rows; empty when the host cannot tell

    // Implicit, so that a read hands its rows over as they are.
    ReadResult(std::vector<Row> whole)
        : rows(std::move(whole))
    {
    }
    static ReadResult failed(std::string why)
    {
        ReadResult result;
        result.reason = std::move(why);
        return result;
    }

private:
    ReadResult() = default;
};

// The host network operations Tevra needs. Reads give the whole table or no
// rows; actions say what they did; neither leaves anything behind to ask for
// afterwards.
class IpHelper {
public:
    virtual ~IpHelper() = default;

    // The neighbour table, IPv4 then IPv6, sorted by address (ascending dotted
    // order for IPv4), then interface: see NeighbourOrder.h, which every
    // implementation sorts with.
    virtual ReadResult<MibIpNetRow> getIpNetTable() = 0;
    // IPv4 interface addresses in the platform's own order, so that the first row
    // of an interface is the address the platform puts first (its primary one).
    virtual ReadResult<MibIpAddrRow> getIpAddrTable() = 0;
    // The host's network adapters (never the loopback interface).
    virtual ReadResult<IpAdapterInfo> getAdaptersInfo() = 0;
    // The default routes, lowest metric first.
    virtual ReadResult<DefaultRouteRow> getDefaultRoutes()
    {
        return ReadResult<DefaultRouteRow>::failed("this host has no route table");
    }
    // The route the host would choose for `address`, asked without naming an
    // interface (but a link-local address's zone), so that the answer is the
    // routing table's own; sends nothing. None when there is no route or no answer.
    virtual std::optional<RouteAnswer> lookupRoute(const IpAddress& address)
    {
        static_cast<void>(address);
        return std::nullopt;
    }
    // Whether lookupRoute answers at all, so that its none means "no route".
    virtual bool looksUpRoutes() const { return false; }
    // Removes one neighbour entry; only dwIndex and address of the row are read.
    virtual ActionResult deleteIpNetEntry(const MibIpNetRow& row) = 0;
    // Removes the dynamic ARP entries of one interface.
    virtual ActionResult flushIpNetTable(std::uint32_t interfaceIndex) = 0;
    // Removes the dynamic ARP entries of every interface given; a platform
    // that must read the table to flush reads it once for all of them. Done
    // when they are all gone. Else `kept` holds the addresses whose entries
    // are still there because deleting them failed, and is empty when the
    // flush failed before deleting anything or cannot tell which.
    virtual ActionResult flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<IpAddress>& kept)
    {
        kept.clear();
        ActionResult result;
        for (const std::uint32_t index : interfaceIndexes)
            if (ActionResult flushed = flushIpNetTable(index); !flushed.ok())
                result = std::move(flushed);
        return result;
    }
    // Starts one hidden echo request to the dotted address and does not wait for it.
    virtual ActionResult startPing(const std::string& dottedAddress) = 0;
    // Makes the host resolve each address (network byte order) by sending it
    // one datagram that needs no rights, paced so that the link is never
    // flooded. Returns at once and sends in the background; whoever answers
    // shows up in the ARP table. Fails when the sweep cannot be started.
    virtual ActionResult startSweep(const std::vector<std::uint32_t>& addresses)
    {
        static_cast<void>(addresses);
        return ActionResult::failed("this host cannot sweep");
    }
    // Whether a sweep started here still has addresses to send to.
    virtual bool sweeping() { return false; }

    // The host's change feed, which lives as long as the host does; null
    // where the host has none and its callers poll.
    virtual ChangeFeed* changeFeed() = 0;
};

// The implementation for the platform this program was built for.
std::unique_ptr<IpHelper> makePlatformIpHelper();

}  // namespace tevra::hostnet
