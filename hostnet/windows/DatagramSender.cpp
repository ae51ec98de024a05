// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/AddressSweep.h"

#include "hostnet/windows/WindowsText.h"

#include <winsock2.h>

namespace tevra::hostnet {
namespace {

class WinsockSender : public AddressSweep::DatagramSender {
public:
    ~WinsockSender() override
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        if (winsock_)
            WSACleanup();
    }

    std::string open() override
    {
        if (!winsock_) {
            WSADATA data;
            if (const int status = WSAStartup(MAKEWORD(2, 2), &data); status != 0)
                return "starting Winsock: " + systemMessage(DWORD(status));
            winsock_ = true;
        }
        socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (socket_ == INVALID_SOCKET)
            return "making a socket: " + systemMessage(DWORD(WSAGetLastError()));
        // Never blocks, so a stop is never held up.
        u_long nonBlocking = 1;
        ioctlsocket(socket_, FIONBIO, &nonBlocking);
        return {};
    }

    Sent send(std::uint32_t address) override
    {
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(AddressSweep::kDiscardPort);
        to.sin_addr.s_addr = address;
        const char nothing = 0;
        if (sendto(socket_, &nothing, 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to)
            != SOCKET_ERROR)
            return Sent::Done;
        const int error = WSAGetLastError();
        return error == WSAEWOULDBLOCK || error == WSAENOBUFS ? Sent::Later : Sent::Done;
    }

private:
    bool winsock_ = false;
    SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<AddressSweep::DatagramSender> makeDatagramSender()
{
    return std::make_unique<WinsockSender>();
}

}  // namespace tevra::hostnet
