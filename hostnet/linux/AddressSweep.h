#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tevra::hostnet {

// Makes the kernel resolve addresses without any privilege: one empty UDP
// datagram to the discard port of each, sent from a thread of its own so the
// caller never waits. The kernel has to find the address's MAC before the
// datagram can leave, so every host that answers ARP shows up in the
// neighbour table, including hosts that ignore broadcast echo requests.
class AddressSweep {
public:
    // One address every 10 ms. An address nobody answers costs up to three ARP
    // requests (the kernel's mcast_solicit), so at most about 300 broadcasts a
    // second, below what arp-scan sends by default; a /24 takes 2.5 s.
    static constexpr std::chrono::milliseconds kSpacing { 10 };
    static constexpr std::uint16_t kDiscardPort = 9;

    AddressSweep() = default;
    AddressSweep(const AddressSweep&) = delete;
    AddressSweep& operator=(const AddressSweep&) = delete;
    // Stops at once: what is still queued is not sent.
    ~AddressSweep();

    // Queues the addresses (network byte order) not queued already and starts
    // sending. The socket is made here, in the caller's network namespace.
    // 0, or -1 with `error` saying why.
    int start(const std::vector<std::uint32_t>& addresses, std::string& error);
    // Whether addresses are still queued or being sent to.
    bool busy();

private:
    void run();
    // The next address, waiting out the spacing; false when stopped.
    bool next(std::uint32_t& address);
    // False when the datagram must be sent again later.
    bool send(std::uint32_t address);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::uint32_t> queue_;
    std::set<std::uint32_t> queued_;
    bool stopping_ = false;
    bool sending_ = false;  // an address taken from the queue, not sent yet
    int socket_ = -1;
    std::thread thread_;
};

}  // namespace tevra::hostnet
