// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/linux/RouteMessages.h"

#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netlink/attr.h>
#include <netlink/msg.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace tevra::hostnet {
namespace {

struct StateType {
    std::uint16_t state;
    std::uint32_t type;
};

constexpr std::array<StateType, 7> kStateTypes { {
    { NUD_PERMANENT, kNetTypeStatic },
    { NUD_INCOMPLETE, kNetTypeInvalid },
    { NUD_FAILED, kNetTypeInvalid },
    { NUD_REACHABLE, kNetTypeDynamic },
    { NUD_STALE, kNetTypeDynamic },
    { NUD_DELAY, kNetTypeDynamic },
    { NUD_PROBE, kNetTypeDynamic },
} };

template<typename Header> const Header* fixedHeader(nlmsghdr& message)
{
    if (nlmsg_datalen(&message) < static_cast<int>(sizeof(Header)))
        return nullptr;
    return static_cast<const Header*>(nlmsg_data(&message));
}

std::string attributeText(const nlattr* attribute)
{
    if (attribute == nullptr)
        return {};
    const auto* text = static_cast<const char*>(nla_data(attribute));
    return std::string(text, strnlen(text, static_cast<std::size_t>(nla_len(attribute))));
}

bool readAddress(const nlattr* attribute, std::uint32_t& address)
{
    if (attribute == nullptr || nla_len(attribute) != sizeof address)
        return false;
    std::memcpy(&address, nla_data(attribute), sizeof address);
    return true;
}

// An address attribute of `family`; `zone` is given to a link-local IPv6 one.
bool readAddress(const nlattr* attribute, std::uint8_t family, std::uint32_t zone, IpAddress& address)
{
    if (family == AF_INET) {
        std::uint32_t v4 = 0;
        if (!readAddress(attribute, v4))
            return false;
        address = IpAddress::v4(v4);
        return true;
    }
    IpAddress::V6Bytes v6 {};
    if (family != AF_INET6 || attribute == nullptr || nla_len(attribute) != sizeof v6)
        return false;
    std::memcpy(v6.data(), nla_data(attribute), sizeof v6);
    address = IpAddress::v6(v6, zone);
    return true;
}

std::uint32_t prefixMask(unsigned prefixLength)
{
    const std::uint32_t hostOrder
        = prefixLength == 0 ? 0 : ~std::uint32_t { 0 } << (32 - std::min(prefixLength, 32u));
    return htonl(hostOrder);
}

}  // namespace

std::uint32_t neighbourType(std::uint16_t state)
{
    const auto found = std::ranges::find(kStateTypes, state, &StateType::state);
    return found == kStateTypes.end() ? kNetTypeOther : found->type;
}

bool isIpv4NeighbourMessage(const nlmsghdr& message)
{
    if (message.nlmsg_type != RTM_NEWNEIGH && message.nlmsg_type != RTM_DELNEIGH)
        return false;
    // Too short to say is counted as ours: it cannot be told from a broken IPv4 one.
    const auto* neighbour = fixedHeader<ndmsg>(const_cast<nlmsghdr&>(message));
    return neighbour == nullptr || neighbour->ndm_family == AF_INET;
}

std::optional<NeighbourNotice> readNeighbourNotice(nlmsghdr& message)
{
    const auto* neighbour = fixedHeader<ndmsg>(message);
    const bool added = message.nlmsg_type == RTM_NEWNEIGH;
    if ((!added && message.nlmsg_type != RTM_DELNEIGH) || neighbour == nullptr
        || neighbour->ndm_family != AF_INET)
        return std::nullopt;
    std::array<nlattr*, NDA_MAX + 1> attributes {};
    if (nlmsg_parse(&message, sizeof(ndmsg), attributes.data(), NDA_MAX, nullptr) < 0)
        return std::nullopt;
    NeighbourNotice notice;
    notice.interfaceIndex = static_cast<std::uint32_t>(neighbour->ndm_ifindex);
    if (!readAddress(attributes[NDA_DST], neighbour->ndm_family, notice.interfaceIndex, notice.address))
        return std::nullopt;
    // The kernel keeps NOARP and NONE entries for broadcast and multicast
    // destinations; they were never resolved by ARP.
    if (!added || neighbour->ndm_state == NUD_NONE || (neighbour->ndm_state & NUD_NOARP) != 0)
        return notice;
    MibIpNetRow& row = notice.row.emplace();
    row.address = notice.address;
    row.isRouter = (neighbour->ndm_flags & NTF_ROUTER) != 0;
    row.dwIndex = notice.interfaceIndex;
    row.dwType = neighbourType(neighbour->ndm_state);
    if (const nlattr* lladdr = attributes[NDA_LLADDR]) {
        const auto length = static_cast<std::size_t>(nla_len(lladdr));
        row.dwPhysAddrLen = static_cast<std::uint32_t>(length);
        std::memcpy(row.bPhysAddr.data(), nla_data(lladdr), std::min(length, row.bPhysAddr.size()));
    }
    return notice;
}

bool appendNeighbourRow(nlmsghdr& message, std::vector<MibIpNetRow>& rows)
{
    if (message.nlmsg_type != RTM_NEWNEIGH)
        return false;
    const auto* neighbour = fixedHeader<ndmsg>(message);
    if (neighbour != nullptr && neighbour->ndm_family != AF_INET)
        return true;
    const std::optional<NeighbourNotice> notice = readNeighbourNotice(message);
    if (!notice)
        return false;
    if (notice->row)
        rows.push_back(*notice->row);
    return true;
}

bool appendLink(nlmsghdr& message, std::vector<LinkRecord>& links)
{
    const auto* link = fixedHeader<ifinfomsg>(message);
    if (message.nlmsg_type != RTM_NEWLINK || link == nullptr)
        return false;
    if ((link->ifi_flags & IFF_LOOPBACK) != 0)
        return true;
    std::array<nlattr*, IFLA_MAX + 1> attributes {};
    if (nlmsg_parse(&message, sizeof(ifinfomsg), attributes.data(), IFLA_MAX, nullptr) < 0)
        return false;
    LinkRecord record;
    record.index = static_cast<std::uint32_t>(link->ifi_index);
    record.name = attributeText(attributes[IFLA_IFNAME]);
    if (attributes[IFLA_LINKINFO] != nullptr) {
        std::array<nlattr*, IFLA_INFO_MAX + 1> info {};
        if (nla_parse_nested(info.data(), IFLA_INFO_MAX, attributes[IFLA_LINKINFO], nullptr) == 0)
            record.kind = attributeText(info[IFLA_INFO_KIND]);
    }
    if (const nlattr* mac = attributes[IFLA_ADDRESS]) {
        record.macLength = static_cast<std::uint32_t>(
            std::min<std::size_t>(static_cast<std::size_t>(nla_len(mac)), record.mac.size()));
        std::memcpy(record.mac.data(), nla_data(mac), record.macLength);
    }
    links.push_back(std::move(record));
    return true;
}

bool appendAddressRow(nlmsghdr& message, std::vector<MibIpAddrRow>& rows)
{
    const auto* address = fixedHeader<ifaddrmsg>(message);
    if (message.nlmsg_type != RTM_NEWADDR || address == nullptr)
        return false;
    if (address->ifa_family != AF_INET)
        return true;
    std::array<nlattr*, IFA_MAX + 1> attributes {};
    if (nlmsg_parse(&message, sizeof(ifaddrmsg), attributes.data(), IFA_MAX, nullptr) < 0)
        return false;
    MibIpAddrRow row;
    // IFA_LOCAL is the interface's own address; IFA_ADDRESS is the peer's on
    // point-to-point links and the same address elsewhere.
    const nlattr* local = attributes[IFA_LOCAL] != nullptr ? attributes[IFA_LOCAL] : attributes[IFA_ADDRESS];
    if (!readAddress(local, row.dwAddr))
        return false;
    row.dwIndex = address->ifa_index;
    row.dwMask = prefixMask(address->ifa_prefixlen);
    rows.push_back(row);
    return true;
}

namespace {

// The main table's own routes: policy tables, local and broadcast routes are
// not the path the host takes to other networks.
bool isMainUnicastRoute(const rtmsg& route, nlattr* const* attributes)
{
    std::uint32_t table = route.rtm_table;
    if (attributes[RTA_TABLE] != nullptr && nla_len(attributes[RTA_TABLE]) == sizeof table)
        std::memcpy(&table, nla_data(attributes[RTA_TABLE]), sizeof table);
    return route.rtm_family == AF_INET && route.rtm_type == RTN_UNICAST && table == RT_TABLE_MAIN;
}

IpAddress unspecified(std::uint8_t family)
{
    return family == AF_INET6 ? IpAddress::v6({}) : IpAddress::v4(0);
}

std::uint32_t attributeU32(const nlattr* attribute)
{
    std::uint32_t value = 0;
    if (attribute != nullptr && nla_len(attribute) == sizeof value)
        std::memcpy(&value, nla_data(attribute), sizeof value);
    return value;
}

// A multipath route's next hops, each with its own interface and gateway.
bool appendNextHops(
    const nlattr* multipath, std::uint8_t family, std::uint32_t metric, std::vector<DefaultRouteRow>& rows)
{
    const auto* at = static_cast<const std::uint8_t*>(nla_data(multipath));
    int left = nla_len(multipath);
    while (left >= static_cast<int>(sizeof(rtnexthop))) {
        rtnexthop hop {};
        std::memcpy(&hop, at, sizeof hop);
        if (hop.rtnh_len < sizeof hop || hop.rtnh_len > left)
            return false;
        DefaultRouteRow row;
        row.gateway = unspecified(family);
        row.interfaceIndex = static_cast<std::uint32_t>(hop.rtnh_ifindex);
        row.metric = metric;
        std::array<nlattr*, RTA_MAX + 1> attributes {};
        const auto* nested = reinterpret_cast<const nlattr*>(at + RTNH_ALIGN(sizeof hop));
        const int nestedLength = hop.rtnh_len - static_cast<int>(RTNH_ALIGN(sizeof hop));
        if (nestedLength > 0
            && nla_parse(attributes.data(), RTA_MAX, const_cast<nlattr*>(nested), nestedLength, nullptr) == 0)
            readAddress(attributes[RTA_GATEWAY], family, row.interfaceIndex, row.gateway);
        rows.push_back(row);
        const int step = static_cast<int>(RTNH_ALIGN(hop.rtnh_len));
        at += step;
        left -= step;
    }
    return true;
}

}  // namespace

bool appendDefaultRoute(nlmsghdr& message, std::vector<DefaultRouteRow>& rows)
{
    const auto* route = fixedHeader<rtmsg>(message);
    if (message.nlmsg_type != RTM_NEWROUTE || route == nullptr)
        return false;
    if (route->rtm_family != AF_INET || route->rtm_dst_len != 0)
        return true;
    std::array<nlattr*, RTA_MAX + 1> attributes {};
    if (nlmsg_parse(&message, sizeof(rtmsg), attributes.data(), RTA_MAX, nullptr) < 0)
        return false;
    if (!isMainUnicastRoute(*route, attributes.data()))
        return true;
    const std::uint32_t metric = attributeU32(attributes[RTA_PRIORITY]);
    if (attributes[RTA_MULTIPATH] != nullptr)
        return appendNextHops(attributes[RTA_MULTIPATH], route->rtm_family, metric, rows);
    DefaultRouteRow row;
    row.metric = metric;
    row.interfaceIndex = attributeU32(attributes[RTA_OIF]);
    row.gateway = unspecified(route->rtm_family);
    readAddress(attributes[RTA_GATEWAY], route->rtm_family, row.interfaceIndex, row.gateway);
    rows.push_back(row);
    return true;
}

std::optional<RouteAnswer> readRouteAnswer(nlmsghdr& message)
{
    const auto* route = fixedHeader<rtmsg>(message);
    if (message.nlmsg_type != RTM_NEWROUTE || route == nullptr || route->rtm_family != AF_INET)
        return std::nullopt;
    if (route->rtm_type != RTN_UNICAST && route->rtm_type != RTN_LOCAL && route->rtm_type != RTN_BROADCAST)
        return std::nullopt;
    std::array<nlattr*, RTA_MAX + 1> attributes {};
    if (nlmsg_parse(&message, sizeof(rtmsg), attributes.data(), RTA_MAX, nullptr) < 0)
        return std::nullopt;
    RouteAnswer answer;
    answer.interfaceIndex = attributeU32(attributes[RTA_OIF]);
    answer.gateway = unspecified(route->rtm_family);
    readAddress(attributes[RTA_GATEWAY], route->rtm_family, answer.interfaceIndex, answer.gateway);
    return answer;
}

bool isConfigurationMessage(const nlmsghdr& message)
{
    switch (message.nlmsg_type) {
    case RTM_NEWLINK:
    case RTM_DELLINK:
    case RTM_NEWADDR:
    case RTM_DELADDR:
    case RTM_NEWROUTE:
    case RTM_DELROUTE:
        return true;
    default:
        return false;
    }
}

}  // namespace tevra::hostnet
