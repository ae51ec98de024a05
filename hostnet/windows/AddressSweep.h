#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tevra::hostnet {

// Makes Windows resolve addresses without any privilege: one empty UDP
// datagram to the discard port of each, from a thread of its own so the caller
// never waits. Windows has to find the address's MAC before the datagram can
// leave, so every host that answers ARP shows up in the ARP table.
class AddressSweep {
public:
    // One address every 10 ms, as on Linux: a /24 takes 2.5 s.
    static constexpr DWORD kSpacingMs = 10;
    static constexpr std::uint16_t kDiscardPort = 9;

    AddressSweep() = default;
    AddressSweep(const AddressSweep&) = delete;
    AddressSweep& operator=(const AddressSweep&) = delete;
    // Stops at once: what is not sent yet is not sent.
    ~AddressSweep();

    // Sends to the addresses (network byte order) in the background. A sweep
    // still under way is left to finish and this one is dropped: both cover
    // the adapters' subnets, and two at once would double the pace.
    // 0, or -1 with `error` saying why.
    int start(const std::vector<std::uint32_t>& addresses, std::string& error);
    // Whether the sending thread is still at work.
    bool busy() const { return thread_ != nullptr && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT; }

private:
    static DWORD WINAPI run(LPVOID self);

    std::vector<std::uint32_t> addresses_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    bool winsock_ = false;
};

}  // namespace tevra::hostnet
