// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/linux/LinuxIpHelper.h"

#include "hostnet/NeighbourOrder.h"
#include "hostnet/linux/DetachedProcess.h"
#include "hostnet/linux/DriverName.h"
#include "hostnet/linux/RouteMessages.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netlink/attr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tevra::hostnet {
namespace {

// A dump disturbed this often in a row is given up rather than retried for ever.
constexpr int kDumpAttempts = 3;

bool acceptAnything(nlmsghdr&)
{
    return true;
}

Failure failureOf(int status)
{
    switch (-status) {
    case EPERM:
    case EACCES:
        return Failure::NotPermitted;
    case ENOENT:
        return Failure::NoSuchEntry;
    default:
        return Failure::Other;
    }
}

std::string reasonOf(int status)
{
    // The kernel's word for a missing neighbour is "No such file or directory".
    return status == -ENOENT ? "no such entry in the table" : std::strerror(-status);
}

}  // namespace

std::unique_ptr<IpHelper> makePlatformIpHelper()
{
    return std::make_unique<LinuxIpHelper>();
}

LinuxIpHelper::~LinuxIpHelper() = default;

ActionResult LinuxIpHelper::resultOf(const Answer& answer)
{
    return answer.status == 0 ? ActionResult::done()
                              : ActionResult::failed(answer.reason, failureOf(answer.status));
}

LinuxIpHelper::Answer LinuxIpHelper::exchange(
    const NlMsgPtr& message, const char* what, const NetlinkSocket::MessageHandler& onMessage)
{
    if (!message)
        return { -ENOMEM, std::string(what) + ": out of memory" };
    std::string error;
    if (!socket_)
        socket_ = NetlinkSocket::open(error);
    if (!socket_)
        return { -ENOTCONN, error };
    const int status = socket_->exchange(*message, onMessage);
    if (status < 0) {
        socket_.reset();
        return { status, std::string(what) + ": " + reasonOf(status) };
    }
    return { status, {} };
}

template<typename Header, typename Record>
LinuxIpHelper::Answer LinuxIpHelper::dump(int type, const Header& header, const char* what,
    std::vector<Record>& records, bool (*append)(nlmsghdr&, std::vector<Record>&))
{
    Answer answer;
    for (int attempt = 0; attempt < kDumpAttempts; ++attempt) {
        records.clear();
        const NlMsgPtr message = NetlinkSocket::makeDumpRequest(type, &header, sizeof header);
        answer
            = exchange(message, what, [&records, append](nlmsghdr& reply) { return append(reply, records); });
        if (answer.status != -EAGAIN)
            break;
    }
    return answer;
}

template<typename Header, typename Record>
LinuxIpHelper::Answer LinuxIpHelper::dumpBothFamilies(int type, Header header, unsigned char Header::*family,
    const char* what, std::vector<Record>& records, bool (*append)(nlmsghdr&, std::vector<Record>&))
{
    records.clear();
    std::vector<Record> one;
    for (const unsigned char which :
        { static_cast<unsigned char>(AF_INET), static_cast<unsigned char>(AF_INET6) }) {
        header.*family = which;
        if (Answer answer = dump(type, header, what, one, append); answer.status != 0)
            return answer;
        records.insert(records.end(), one.begin(), one.end());
    }
    return {};
}

ActionResult LinuxIpHelper::open()
{
    if (follower_)
        return ActionResult::done();
    std::string error;
    follower_ = NeighbourFollower::start(error, feedBufferBytes_, feedQueueBytes_);
    if (follower_)
        follower_->safetyNetPeriod = safetyNetPeriod_;
    return follower_ ? ActionResult::done() : ActionResult::failed(error);
}

int LinuxIpHelper::descriptor() const
{
    return follower_ ? follower_->fd() : -1;
}

std::vector<NetTableChange> LinuxIpHelper::take()
{
    return follower_ ? follower_->take() : std::vector<NetTableChange> {};
}

ReadResult<MibIpNetRow> LinuxIpHelper::getIpNetTable()
{
    if (follower_)
        return follower_->table();
    return readNeighbours();
}

ReadResult<MibIpNetRow> LinuxIpHelper::readNeighbours()
{
    std::vector<MibIpNetRow> rows;
    // The table rarely changes size between reads: one allocation instead of a
    // dozen regrowths at tens of thousands of rows.
    rows.reserve(lastNeighbourCount_ + lastNeighbourCount_ / 8 + 16);
    if (const Answer answer = dumpBothFamilies(RTM_GETNEIGH, ndmsg {}, &ndmsg::ndm_family,
            "reading the neighbour table", rows, appendNeighbourRow);
        answer.status != 0)
        return ReadResult<MibIpNetRow>::failed(answer.reason);
    sortNeighbourRows(rows);
    lastNeighbourCount_ = rows.size();
    return rows;
}

ReadResult<MibIpAddrRow> LinuxIpHelper::getIpAddrTable()
{
    ifaddrmsg request {};
    request.ifa_family = AF_INET;
    std::vector<MibIpAddrRow> rows;
    if (const Answer answer
        = dump(RTM_GETADDR, request, "reading the interface addresses", rows, appendAddressRow);
        answer.status != 0)
        return ReadResult<MibIpAddrRow>::failed(answer.reason);
    return rows;
}

ReadResult<IpAdapterInfo> LinuxIpHelper::getAdaptersInfo()
{
    ifinfomsg request {};
    request.ifi_family = AF_UNSPEC;
    std::vector<LinkRecord> links;
    if (const Answer answer = dump(RTM_GETLINK, request, "reading the network interfaces", links, appendLink);
        answer.status != 0)
        return ReadResult<IpAdapterInfo>::failed(answer.reason);
    std::vector<IpAdapterInfo> adapters;
    adapters.reserve(links.size());
    for (const LinkRecord& link : links) {
        const std::string detail = link.kind.empty() ? driverName(link.name) : link.kind;
        IpAdapterInfo& adapter = adapters.emplace_back();
        adapter.Index = link.index;
        adapter.Description = detail.empty() ? link.name : link.name + " (" + detail + ")";
        adapter.AddressLength = link.macLength;
        adapter.Address = link.mac;
    }
    return adapters;
}

ReadResult<DefaultRouteRow> LinuxIpHelper::getDefaultRoutes()
{
    std::vector<DefaultRouteRow> rows;
    if (const Answer answer = dumpBothFamilies(
            RTM_GETROUTE, rtmsg {}, &rtmsg::rtm_family, "reading the routes", rows, appendDefaultRoute);
        answer.status != 0)
        return ReadResult<DefaultRouteRow>::failed(answer.reason);
    std::ranges::stable_sort(rows, {}, &DefaultRouteRow::metric);
    return rows;
}

std::optional<RouteAnswer> LinuxIpHelper::lookupRoute(const IpAddress& address)
{
    // As `ip route get`: no output interface, which would make the kernel
    // answer with that interface for any address; but a link-local address
    // is one only on its own link, which it names.
    rtmsg request {};
    request.rtm_family = address.isV4() ? AF_INET : AF_INET6;
    request.rtm_dst_len = static_cast<unsigned char>(8 * address.size());
    NlMsgPtr message
        = NetlinkSocket::makeMessage(RTM_GETROUTE, NLM_F_REQUEST | NLM_F_ACK, &request, sizeof request);
    if (message && nla_put(message.get(), RTA_DST, static_cast<int>(address.size()), address.data()) < 0)
        message.reset();
    if (message && address.zone() != 0 && nla_put_u32(message.get(), RTA_OIF, address.zone()) < 0)
        message.reset();
    std::optional<RouteAnswer> found;
    const Answer answer = exchange(message, "looking up a route", [&found](nlmsghdr& reply) {
        found = readRouteAnswer(reply);
        return true;
    });
    return answer.status == 0 ? found : std::nullopt;
}

LinuxIpHelper::Answer LinuxIpHelper::deleteNeighbour(std::uint32_t interfaceIndex, const IpAddress& address)
{
    ndmsg request {};
    request.ndm_family = address.isV4() ? AF_INET : AF_INET6;
    request.ndm_ifindex = static_cast<int>(interfaceIndex);
    NlMsgPtr message
        = NetlinkSocket::makeMessage(RTM_DELNEIGH, NLM_F_REQUEST | NLM_F_ACK, &request, sizeof request);
    if (message && nla_put(message.get(), NDA_DST, static_cast<int>(address.size()), address.data()) < 0)
        message.reset();
    return exchange(message, "deleting a neighbour entry", acceptAnything);
}

ActionResult LinuxIpHelper::deleteIpNetEntry(const MibIpNetRow& row)
{
    return resultOf(deleteNeighbour(row.dwIndex, row.address));
}

ActionResult LinuxIpHelper::mayChangeNeighbours()
{
    // The kernel checks CAP_NET_ADMIN before it looks at a change, so a delete
    // that names no entry is refused for want of rights, or else for the
    // missing address: the answer without touching the table.
    ndmsg request {};
    request.ndm_family = AF_INET;
    const NlMsgPtr message
        = NetlinkSocket::makeMessage(RTM_DELNEIGH, NLM_F_REQUEST | NLM_F_ACK, &request, sizeof request);
    const Answer answer = exchange(message, "flushing the neighbour table", acceptAnything);
    if (failureOf(answer.status) == Failure::NotPermitted)
        return resultOf(answer);
    // Any other answer is the one expected; a broken socket shows in the read that follows.
    return ActionResult::done();
}

ActionResult LinuxIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    char name[IF_NAMESIZE];
    if (if_indextoname(interfaceIndex, name) == nullptr)
        return ActionResult::failed(
            "flushing the neighbour table: no interface " + std::to_string(interfaceIndex));
    std::vector<IpAddress> kept;
    return flushIpNetTables({ interfaceIndex }, kept);
}

ActionResult LinuxIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<IpAddress>& kept)
{
    kept.clear();
    // Without the right to change the table a flush must fail even when there
    // is nothing to delete, rather than pass for having done its job.
    if (ActionResult allowed = mayChangeNeighbours(); !allowed.ok())
        return allowed;
    // One read for all interfaces: a table of 50,000 entries read once per
    // interface held a flush of 400 interfaces for seconds.
    const ReadResult<MibIpNetRow> table = readNeighbours();
    if (!table.rows)
        return ActionResult::failed(table.reason);
    std::vector<std::uint32_t> wanted = interfaceIndexes;
    std::ranges::sort(wanted);
    int firstFailure = 0;
    for (const MibIpNetRow& row : *table.rows) {
        // As `ip neigh flush dev X`: every entry of the interface but the static ones.
        if (row.dwType == kNetTypeStatic || !std::ranges::binary_search(wanted, row.dwIndex))
            continue;
        // Once refused for want of rights, every other delete would be too.
        const int status = failureOf(firstFailure) == Failure::NotPermitted
            ? firstFailure
            : deleteNeighbour(row.dwIndex, row.address).status;
        // An entry that expired meanwhile is as good as flushed.
        if (status == 0 || status == -ENOENT)
            continue;
        kept.push_back(row.address);
        if (firstFailure == 0)
            firstFailure = status;
    }
    if (kept.empty())
        return ActionResult::done();
    return ActionResult::failed("flushing the neighbour table: " + std::to_string(kept.size())
            + " of its entries are still there: " + reasonOf(firstFailure),
        failureOf(firstFailure));
}

ActionResult LinuxIpHelper::startPing(const std::string& dottedAddress)
{
    // Only an address goes on the command line, never an option in disguise.
    in_addr parsed {};
    if (inet_pton(AF_INET, dottedAddress.c_str(), &parsed) != 1)
        return ActionResult::failed("ping: not an IPv4 address: " + dottedAddress);
    const std::string ping = findSystemProgram("ping", kSystemProgramFolders);
    if (ping.empty())
        return ActionResult::failed("ping: no ping program in /usr/bin, /bin, /usr/sbin or /sbin");
    std::string error;
    if (startDetachedProcess({ ping, "-c", "1", "-b", dottedAddress }, error) != 0)
        return ActionResult::failed("ping: " + error);
    return ActionResult::done();
}

ActionResult LinuxIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    std::string error;
    if (sweep_.start(addresses, error) != 0)
        return ActionResult::failed(error);
    return ActionResult::done();
}

}  // namespace tevra::hostnet
