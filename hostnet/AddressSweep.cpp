// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/AddressSweep.h"

namespace tevra::hostnet {

AddressSweep::AddressSweep(std::unique_ptr<DatagramSender> sender)
    : sender_(std::move(sender))
{
}

AddressSweep::~AddressSweep()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

int AddressSweep::start(const std::vector<std::uint32_t>& addresses, std::string& error)
{
    const std::lock_guard lock(mutex_);
    if (!opened_) {
        error = sender_->open();
        if (!error.empty())
            return -1;
        opened_ = true;
    }
    for (const std::uint32_t address : addresses)
        if (queued_.insert(address).second)
            queue_.push_back(address);
    if (!thread_.joinable())
        thread_ = std::thread(&AddressSweep::run, this);
    wake_.notify_all();
    return 0;
}

bool AddressSweep::busy()
{
    const std::lock_guard lock(mutex_);
    return !queued_.empty();
}

void AddressSweep::run()
{
    std::uint32_t address = 0;
    while (next(address)) {
        const DatagramSender::Sent sent = sender_->send(address);
        const std::lock_guard lock(mutex_);
        if (sent == DatagramSender::Sent::Done)
            queued_.erase(address);
        else
            // The send buffer is full of datagrams still waiting for ARP
            // answers; it drains as those are answered or given up, so this
            // one waits its turn.
            queue_.push_front(address);
    }
}

bool AddressSweep::next(std::uint32_t& address)
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_)
        return false;
    // It stays in `queued_` until it is sent, so that a sweep asked for
    // meanwhile does not ask it again.
    address = queue_.front();
    queue_.pop_front();
    // The pause comes before the send, so two sweeps in a row keep the pace too.
    return !wake_.wait_for(lock, kSpacing, [this] { return stopping_; });
}

}  // namespace tevra::hostnet
