#include "hostnet/windows/AddressSweep.h"

#include "hostnet/windows/WindowsText.h"

#include <winsock2.h>

namespace tevra::hostnet {

AddressSweep::~AddressSweep()
{
    if (thread_ != nullptr) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (stop_ != nullptr)
        CloseHandle(stop_);
    if (winsock_)
        WSACleanup();
}

int AddressSweep::start(const std::vector<std::uint32_t>& addresses, std::string& error)
{
    if (thread_ != nullptr) {
        if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT)
            return 0;
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    if (!winsock_) {
        WSADATA data;
        if (const int status = WSAStartup(MAKEWORD(2, 2), &data); status != 0) {
            error = "starting Winsock: " + systemMessage(DWORD(status));
            return -1;
        }
        winsock_ = true;
    }
    if (stop_ == nullptr && (stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr)) == nullptr) {
        error = "starting the sweep: " + systemMessage(GetLastError());
        return -1;
    }
    addresses_ = addresses;
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    if (thread_ == nullptr) {
        error = "starting the sweep: " + systemMessage(GetLastError());
        return -1;
    }
    return 0;
}

DWORD WINAPI AddressSweep::run(LPVOID self)
{
    const auto& sweep = *static_cast<AddressSweep*>(self);
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET)
        return 1;
    for (const std::uint32_t address : sweep.addresses_) {
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(kDiscardPort);
        to.sin_addr.s_addr = address;
        // A failed send (no route, say) only means that address is not asked.
        const char nothing = 0;
        sendto(socket, &nothing, 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (WaitForSingleObject(sweep.stop_, kSpacingMs) == WAIT_OBJECT_0)
            break;
    }
    closesocket(socket);
    return 0;
}

}  // namespace tevra::hostnet
