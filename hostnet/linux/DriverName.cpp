// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/linux/DriverName.h"

#include <linux/ethtool.h>
#include <linux/netlink.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace tevra::hostnet {
namespace {

// Closes the descriptor it holds.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

}  // namespace

std::string driverName(const std::string& interfaceName)
{
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
        return {};
    // Asked through a socket of this namespace: sysfs may show another one's
    // interfaces. Any socket family carries the ioctl; a netlink one serves
    // where Internet sockets are not allowed (a sandboxed service), as ethtool does.
    FileDescriptor inet(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const FileDescriptor socketFd(
        inet.get() >= 0 ? inet.release() : socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_GENERIC));
    if (socketFd.get() < 0)
        return {};
    ethtool_drvinfo info {};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq request {};
    std::memcpy(request.ifr_name, interfaceName.c_str(), interfaceName.size() + 1);
    request.ifr_data = reinterpret_cast<char*>(&info);
    if (ioctl(socketFd.get(), SIOCETHTOOL, &request) < 0)
        return {};
    return std::string(info.driver, strnlen(info.driver, sizeof info.driver));
}

}  // namespace tevra::hostnet
