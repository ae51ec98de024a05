// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ipv6Tables.h"

#include "NamespacePair.h"

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace tevra::test {
namespace {

using Attributes = std::array<const rtattr*, 64>;

std::string addressText(const rtattr* attribute)
{
    if (attribute == nullptr || RTA_PAYLOAD(attribute) != 16)
        return {};
    char text[INET6_ADDRSTRLEN] {};
    inet_ntop(AF_INET6, RTA_DATA(attribute), text, sizeof text);
    return text;
}

std::string macText(const rtattr* attribute)
{
    if (attribute == nullptr || RTA_PAYLOAD(attribute) != 6)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(RTA_DATA(attribute));
    char text[18] {};
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1], bytes[2], bytes[3],
        bytes[4], bytes[5]);
    return text;
}

template<typename Value> std::optional<Value> value(const rtattr* attribute)
{
    if (attribute == nullptr || RTA_PAYLOAD(attribute) < sizeof(Value))
        return std::nullopt;
    Value result {};
    std::memcpy(&result, RTA_DATA(attribute), sizeof result);
    return result;
}

Attributes attributes(const rtattr* first, int length)
{
    Attributes found {};
    for (const rtattr* attribute = first; RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length))
        if (attribute->rta_type < found.size())
            found[attribute->rta_type] = attribute;
    return found;
}

Neighbour6 neighbourOf(const nlmsghdr* header)
{
    const auto* body = static_cast<const ndmsg*>(NLMSG_DATA(header));
    const Attributes found = attributes(
        reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(body) + NLMSG_ALIGN(sizeof *body)),
        int(header->nlmsg_len) - int(NLMSG_LENGTH(sizeof *body)));
    return { addressText(found[NDA_DST]), body->ndm_ifindex, macText(found[NDA_LLADDR]), body->ndm_state,
        body->ndm_flags };
}

Route6 routeOf(const nlmsghdr* header)
{
    const auto* body = static_cast<const rtmsg*>(NLMSG_DATA(header));
    const Attributes found = attributes(RTM_RTA(body), int(RTM_PAYLOAD(header)));
    Route6 route;
    route.destination = found[RTA_DST] != nullptr ? addressText(found[RTA_DST]) : "::";
    route.length = body->rtm_dst_len;
    route.gateway = addressText(found[RTA_GATEWAY]);
    route.interfaceIndex = value<int>(found[RTA_OIF]).value_or(0);
    route.protocol = body->rtm_protocol;
    route.metric = value<std::uint32_t>(found[RTA_PRIORITY]).value_or(0);
    route.routeFlags = body->rtm_flags;
    route.hasRtaExpires = found[RTA_EXPIRES] != nullptr;
    if (const auto cache = value<rta_cacheinfo>(found[RTA_CACHEINFO]))
        route.cacheExpires = cache->rta_expires;
    route.preference = value<std::uint8_t>(found[RTA_PREF]);
    return route;
}

int routeSocket(const std::string& namespaceName, unsigned groups)
{
    const NamespaceEntry entry(namespaceName);
    if (!entry.ok())
        return -1;
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends one dump request and hands each answer to `take`; false on failure.
template<typename Body>
bool dump(const std::string& namespaceName, std::uint16_t type, const Body& body,
    const std::function<void(const nlmsghdr*)>& take)
{
    const int fd = routeSocket(namespaceName, 0);
    if (fd < 0)
        return false;
    struct {
        nlmsghdr header;
        Body body;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body = body;
    bool failed = send(fd, &request, sizeof request, 0) != ssize_t(sizeof request);
    bool done = failed;
    std::vector<char> buffer(64 * 1024);
    while (!done) {
        pollfd ready { fd, POLLIN, 0 };
        const ssize_t length = poll(&ready, 1, 5000) == 1 ? recv(fd, buffer.data(), buffer.size(), 0) : -1;
        if (length <= 0) {
            failed = true;
            break;
        }
        int left = int(length);
        for (auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
                done = true;
                failed = header->nlmsg_type == NLMSG_ERROR;
                break;
            }
            take(header);
        }
    }
    close(fd);
    return !failed;
}

}  // namespace

bool Neighbour6::router() const
{
    return (flags & NTF_ROUTER) != 0;
}

std::optional<std::vector<Neighbour6>> readNeighbours6(const std::string& namespaceName)
{
    std::vector<Neighbour6> neighbours;
    ndmsg body {};
    body.ndm_family = AF_INET6;
    const bool read = dump(namespaceName, RTM_GETNEIGH, body, [&](const nlmsghdr* header) {
        if (header->nlmsg_type == RTM_NEWNEIGH)
            neighbours.push_back(neighbourOf(header));
    });
    return read ? std::optional(neighbours) : std::nullopt;
}

std::optional<std::vector<Route6>> readRoutes6(const std::string& namespaceName)
{
    std::vector<Route6> routes;
    rtmsg body {};
    body.rtm_family = AF_INET6;
    const bool read = dump(namespaceName, RTM_GETROUTE, body, [&](const nlmsghdr* header) {
        const auto* message = static_cast<const rtmsg*>(NLMSG_DATA(header));
        if (header->nlmsg_type == RTM_NEWROUTE && message->rtm_table == RT_TABLE_MAIN)
            routes.push_back(routeOf(header));
    });
    return read ? std::optional(routes) : std::nullopt;
}

std::string neighbourStateText(std::uint16_t state)
{
    static const std::pair<std::uint16_t, const char*> kNames[] = {
        { NUD_INCOMPLETE, "INCOMPLETE" },
        { NUD_REACHABLE, "REACHABLE" },
        { NUD_STALE, "STALE" },
        { NUD_DELAY, "DELAY" },
        { NUD_PROBE, "PROBE" },
        { NUD_FAILED, "FAILED" },
        { NUD_NOARP, "NOARP" },
        { NUD_PERMANENT, "PERMANENT" },
    };
    std::string text;
    for (const auto& [bit, name] : kNames)
        if ((state & bit) != 0)
            text += (text.empty() ? "" : "|") + std::string(name);
    return text.empty() ? "NONE" : text;
}

void pollPause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

NeighbourListener::NeighbourListener(const std::string& namespaceName)
{
    socket_ = routeSocket(namespaceName, RTMGRP_NEIGH);
}

NeighbourListener::~NeighbourListener()
{
    if (socket_ >= 0)
        close(socket_);
}

std::vector<NeighbourEvent> NeighbourListener::collect(std::chrono::milliseconds window)
{
    std::vector<NeighbourEvent> events;
    std::vector<char> buffer(64 * 1024);
    const auto deadline = std::chrono::steady_clock::now() + window;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready { socket_, POLLIN, 0 };
        if (left.count() <= 0 || poll(&ready, 1, int(left.count())) <= 0)
            return events;
        const ssize_t length = recv(socket_, buffer.data(), buffer.size(), 0);
        if (length <= 0)
            return events;
        int remaining = int(length);
        for (auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining)) {
            const auto* body = static_cast<const ndmsg*>(NLMSG_DATA(header));
            if ((header->nlmsg_type == RTM_NEWNEIGH || header->nlmsg_type == RTM_DELNEIGH)
                && body->ndm_family == AF_INET6)
                events.push_back({ header->nlmsg_type, neighbourOf(header) });
        }
    }
}

}  // namespace tevra::test
