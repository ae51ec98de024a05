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

int LinuxIpHelper::exchange(
    const NlMsgPtr& message, const char* what, const NetlinkSocket::MessageHandler& onMessage)
{
    if (!message) {
        lastError_ = std::string(what) + ": out of memory";
        return -ENOMEM;
    }
    if (!socket_)
        socket_ = NetlinkSocket::open(lastError_);
    if (!socket_) {
        lastFailure_ = Failure::Other;
        return -ENOTCONN;
    }
    const int status = socket_->exchange(*message, onMessage);
    if (status < 0) {
        socket_.reset();
        lastError_ = std::string(what) + ": " + reasonOf(status);
        lastFailure_ = failureOf(status);
    }
    return status;
}

std::int32_t LinuxIpHelper::fail(std::string reason, Failure kind)
{
    lastError_ = std::move(reason);
    lastFailure_ = kind;
    return -1;
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
    return readNeighbours();
}

std::optional<std::vector<MibIpNetRow>> LinuxIpHelper::readNeighbours()
{
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

bool LinuxIpHelper::mayChangeNeighbours()
{
    // The kernel checks CAP_NET_ADMIN before it looks at a change, so a delete
    // that names no entry is refused for want of rights, or else for the
    // missing address: the answer without touching the table.
    ndmsg request {};
    request.ndm_family = AF_INET;
    const NlMsgPtr message
        = NetlinkSocket::makeMessage(RTM_DELNEIGH, NLM_F_REQUEST | NLM_F_ACK, &request, sizeof request);
    const std::string error = lastError_;
    const Failure failure = lastFailure_;
    const int status = exchange(message, "flushing the neighbour table", acceptAnything);
    if (failureOf(status) == Failure::NotPermitted)
        return false;
    // Any other answer is the one expected; a broken socket shows in the read that follows.
    lastError_ = error;
    lastFailure_ = failure;
    return true;
}

std::int32_t LinuxIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    char name[IF_NAMESIZE];
    if (if_indextoname(interfaceIndex, name) == nullptr)
        return fail("flushing the neighbour table: no interface " + std::to_string(interfaceIndex));
    std::vector<std::uint32_t> kept;
    return flushIpNetTables({ interfaceIndex }, kept);
}

std::int32_t LinuxIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept)
{
    kept.clear();
    // Without the right to change the table a flush must fail even when there
    // is nothing to delete, rather than pass for having done its job.
    if (!mayChangeNeighbours())
        return -1;
    // One read for all interfaces: a table of 50,000 entries read once per
    // interface held a flush of 400 interfaces for seconds.
    const auto table = readNeighbours();
    if (!table)
        return -1;
    std::vector<std::uint32_t> wanted = interfaceIndexes;
    std::ranges::sort(wanted);
    int firstFailure = 0;
    for (const MibIpNetRow& row : *table) {
        // As `ip neigh flush dev X`: every entry of the interface but the static ones.
        if (row.dwType == kNetTypeStatic || !std::ranges::binary_search(wanted, row.dwIndex))
            continue;
        // Once refused for want of rights, every other delete would be too.
        const int status = failureOf(firstFailure) == Failure::NotPermitted
            ? firstFailure
            : deleteNeighbour(row.dwIndex, row.dwAddr);
        // An entry that expired meanwhile is as good as flushed.
        if (status == 0 || status == -ENOENT)
            continue;
        kept.push_back(row.dwAddr);
        if (firstFailure == 0)
            firstFailure = status;
    }
    if (kept.empty())
        return 0;
    return fail("flushing the neighbour table: " + std::to_string(kept.size())
            + " of its entries are still there: " + reasonOf(firstFailure),
        failureOf(firstFailure));
}

std::int32_t LinuxIpHelper::startPing(const std::string& dottedAddress)
{
    // Only an address goes on the command line, never an option in disguise.
    in_addr parsed {};
    if (inet_pton(AF_INET, dottedAddress.c_str(), &parsed) != 1)
        return fail("ping: not an IPv4 address: " + dottedAddress);
    const std::string ping = findSystemProgram("ping", kSystemProgramFolders);
    if (ping.empty())
        return fail("ping: no ping program in /usr/bin, /bin, /usr/sbin or /sbin");
    std::string error;
    if (startDetachedProcess({ ping, "-c", "1", "-b", dottedAddress }, error) != 0)
        return fail("ping: " + error);
    return 0;
}

std::int32_t LinuxIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    std::string error;
    if (sweep_.start(addresses, error) != 0)
        return fail(error);
    return 0;
}

}  // namespace tevra::hostnet
