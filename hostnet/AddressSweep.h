// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tevra::hostnet {

// Makes the host resolve addresses without any privilege: one empty UDP
// datagram to the discard port of each, sent from a thread of its own so the
// caller never waits. The host has to find the address's MAC before the
// datagram can leave, so every host that answers ARP shows up in the
// neighbour table, including hosts that ignore broadcast echo requests.
//
// The pace and the queue are the same on every system; only the datagram
// is sent the system's way (a DatagramSender, linux/ or windows/).
class AddressSweep {
public:
    // One address every 10 ms. An address nobody answers costs up to three ARP
    // requests (Linux's mcast_solicit), so at most about 300 broadcasts a
    // second, below what arp-scan sends by default; a /24 takes 2.5 s.
    static constexpr std::chrono::milliseconds kSpacing { 10 };
    static constexpr std::uint16_t kDiscardPort = 9;

    // How one datagram leaves, the system's own part.
    class DatagramSender {
    public:
        enum class Sent { Done, Later };

        DatagramSender() = default;
        // It owns its socket.
        DatagramSender(const DatagramSender&) = delete;
        DatagramSender& operator=(const DatagramSender&) = delete;
        virtual ~DatagramSender() = default;
        // Readies the socket, in the caller's network namespace where the
        // system has them; empty, or why it cannot.
        virtual std::string open() = 0;
        // One empty datagram to the discard port of `address` (network byte
        // order), never blocking. Later when the system has no room for it
        // now; Done otherwise, also when it failed for good (an address with
        // no route): that address is then just not asked.
        virtual Sent send(std::uint32_t address) = 0;
    };

    explicit AddressSweep(std::unique_ptr<DatagramSender> sender);
    AddressSweep(const AddressSweep&) = delete;
    AddressSweep& operator=(const AddressSweep&) = delete;
    // Stops at once: what is still queued is not sent.
    ~AddressSweep();

    // Queues the addresses (network byte order) and starts sending. A sweep
    // asked for while one runs goes on behind it at the same pace: its
    // addresses join the end of the queue, but for those not sent yet, which
    // keep their place; so two sweeps of one subnet never double the pace or
    // ask an address twice in a row. 0, or -1 with `error` saying why.
    int start(const std::vector<std::uint32_t>& addresses, std::string& error);
    // Whether addresses are still queued or being sent to.
    bool busy();

private:
    void run();
    // The next address, waiting out the spacing; false when stopped.
    bool next(std::uint32_t& address);

    std::unique_ptr<DatagramSender> sender_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::uint32_t> queue_;
    // What is queued or being sent.
    std::set<std::uint32_t> queued_;
    bool opened_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// The sender of the system this program was built for.
std::unique_ptr<AddressSweep::DatagramSender> makeDatagramSender();

}  // namespace tevra::hostnet
