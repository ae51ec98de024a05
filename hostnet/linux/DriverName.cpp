#include "hostnet/linux/DriverName.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

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

private:
    int fd_;
};

}  // namespace

std::string driverName(const std::string& interfaceName)
{
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
        return {};
    // Asked through a socket of this namespace: sysfs may show another one's interfaces.
    const FileDescriptor socketFd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
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
