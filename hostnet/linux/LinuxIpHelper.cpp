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

}  // namespace

std::unique_ptr<IpHelper> makePlatformIpHelper()
{
    return std::make_unique<LinuxIpHelper>();
}

int LinuxIpHelper::exchange(
    const NlMsgPtr& message, const char* what, const NetlinkSocket::MessageHandler& onMessage)
{
    if (!message) {
        lastError_ = std::string(what) + ": out of memory";
        return -ENOMEM;
    }
    if (!socket_)
        socket_ = NetlinkSocket::open(lastError_);
    if (!socket_)
        return -ENOTCONN;
    const int status = socket_->exchange(*message, onMessage);
    if (status < 0) {
        socket_.reset();
        lastError_ = std::string(what) + ": " + std::strerror(-status);
    }
    return status;
}

template<typename Header, typename Record>
bool LinuxIpHelper::dump(int type, const Header& header, const char* what, std::vector<Record>& records,
    bool (*append)(nlmsghdr&, std::vector<Record>&))
{
    for (int attempt = 0; attempt < kDumpAttempts; ++attempt) {
        records.clear();
        const NlMsgPtr message
            = NetlinkSocket::makeMessage(type, NLM_F_REQUEST | NLM_F_DUMP, &header, sizeof header);
        const int status
            = exchange(message, what, [&records, append](nlmsghdr& reply) { return append(reply, records); });
        if (status != -EAGAIN)
            return status == 0;
    }
    return false;
}

int LinuxIpHelper::openChangeFeed()
{
    if (!follower_)
        follower_ = NeighbourFollower::start(lastError_, feedBufferBytes_);
    return follower_ ? follower_->fd() : -1;
}

std::vector<NetTableChange> LinuxIpHelper::takeChanges()
{
    if (!follower_)
        return {};
    std::vector<NetTableChange> changes = follower_->take();
    if (!follower_->lastError().empty())
        lastError_ = follower_->lastError();
    return changes;
}

std::optional<std::vector<MibIpNetRow>> LinuxIpHelper::getIpNetTable()
{
    if (follower_)
        return follower_->table();
    ndmsg request {};
    request.ndm_family = AF_INET;
    std::vector<MibIpNetRow> rows;
    // The table rarely changes size between reads: one allocation instead of a
    // dozen regrowths at tens of thousands of rows.
    rows.reserve(lastNeighbourCount_ + lastNeighbourCount_ / 8 + 16);
    if (!dump(RTM_GETNEIGH, request, "reading the neighbour table", rows, appendNeighbourRow))
        return std::nullopt;
    sortNeighbourRows(rows);
    lastNeighbourCount_ = rows.size();
    return rows;
}

std::optional<std::vector<MibIpAddrRow>> LinuxIpHelper::getIpAddrTable()
{
    ifaddrmsg request {};
    request.ifa_family = AF_INET;
    std::vector<MibIpAddrRow> rows;
    if (!dump(RTM_GETADDR, request, "reading the interface addresses", rows, appendAddressRow))
        return std::nullopt;
    return rows;
}

std::optional<std::vector<IpAdapterInfo>> LinuxIpHelper::getAdaptersInfo()
{
    ifinfomsg request {};
    request.ifi_family = AF_UNSPEC;
    std::vector<LinkRecord> links;
    if (!dump(RTM_GETLINK, request, "reading the network interfaces", links, appendLink))
        return std::nullopt;
    std::vector<IpAdapterInfo> adapters;
    adapters.reserve(links.size());
    for (const LinkRecord& link : links) {
        const std::string detail = link.kind.empty() ? driverName(link.name) : link.kind;
        adapters.push_back({ link.index, detail.empty() ? link.name : link.name + " (" + detail + ")" });
    }
    return adapters;
}

int LinuxIpHelper::deleteNeighbour(std::uint32_t interfaceIndex, std::uint32_t address)
{
    ndmsg request {};
    request.ndm_family = AF_INET;
    request.ndm_ifindex = static_cast<int>(interfaceIndex);
    NlMsgPtr message
        = NetlinkSocket::makeMessage(RTM_DELNEIGH, NLM_F_REQUEST | NLM_F_ACK, &request, sizeof request);
    if (message && nla_put(message.get(), NDA_DST, sizeof address, &address) < 0)
        message.reset();
    return exchange(message, "deleting a neighbour entry", acceptAnything);
}

std::int32_t LinuxIpHelper::deleteIpNetEntry(const MibIpNetRow& row)
{
    return deleteNeighbour(row.dwIndex, row.dwAddr) == 0 ? 0 : -1;
}

std::int32_t LinuxIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    char name[IF_NAMESIZE];
    if (if_indextoname(interfaceIndex, name) == nullptr) {
        lastError_ = "flushing the neighbour table: no interface " + std::to_string(interfaceIndex);
        return -1;
    }
    const auto table = getIpNetTable();
    if (!table)
        return -1;
    // As `ip neigh flush dev X`: every entry of the interface but the static ones.
    std::int32_t result = 0;
    for (const MibIpNetRow& row : *table) {
        if (row.dwIndex != interfaceIndex || row.dwType == kNetTypeStatic)
            continue;
        const int status = deleteNeighbour(row.dwIndex, row.dwAddr);
        // An entry that expired meanwhile is as good as flushed.
        if (status < 0 && status != -ENOENT)
            result = -1;
    }
    return result;
}

std::int32_t LinuxIpHelper::startPing(const std::string& dottedAddress)
{
    // Only an address goes on the command line, never an option in disguise.
    in_addr parsed {};
    if (inet_pton(AF_INET, dottedAddress.c_str(), &parsed) != 1) {
        lastError_ = "ping: not an IPv4 address: " + dottedAddress;
        return -1;
    }
    return startDetachedProcess({ "ping", "-c", "1", "-b", dottedAddress });
}

}  // namespace tevra::hostnet
