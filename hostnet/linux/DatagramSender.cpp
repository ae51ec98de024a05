// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/AddressSweep.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tevra::hostnet {
namespace {

class UdpSender : public AddressSweep::DatagramSender {
public:
    ~UdpSender() override
    {
        if (socket_ >= 0)
            close(socket_);
    }

    std::string open() override
    {
        socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        return socket_ < 0 ? std::string("sweeping the subnet: ") + std::strerror(errno) : std::string();
    }

    Sent send(std::uint32_t address) override
    {
        sockaddr_in target {};
        target.sin_family = AF_INET;
        target.sin_port = htons(AddressSweep::kDiscardPort);
        target.sin_addr.s_addr = address;
        // Never blocks, so a stop is never held up.
        const ssize_t sent = sendto(socket_, nullptr, 0, MSG_DONTWAIT | MSG_NOSIGNAL,
            reinterpret_cast<const sockaddr*>(&target), sizeof target);
        const bool full = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS);
        return full ? Sent::Later : Sent::Done;
    }

private:
    int socket_ = -1;
};

}  // namespace

std::unique_ptr<AddressSweep::DatagramSender> makeDatagramSender()
{
    return std::make_unique<UdpSender>();
}

}  // namespace tevra::hostnet
