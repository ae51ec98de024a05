#include "hostnet/linux/AddressSweep.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tevra::hostnet {

AddressSweep::~AddressSweep()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    if (socket_ >= 0)
        close(socket_);
}

int AddressSweep::start(const std::vector<std::uint32_t>& addresses, std::string& error)
{
    const std::lock_guard lock(mutex_);
    if (socket_ < 0) {
        socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (socket_ < 0) {
            error = std::string("sweeping the subnet: ") + std::strerror(errno);
            return -1;
        }
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
    return sending_ || !queue_.empty();
}

void AddressSweep::run()
{
    std::uint32_t address = 0;
    while (next(address)) {
        const bool sent = send(address);
        const std::lock_guard lock(mutex_);
        sending_ = false;
        // The send buffer is full of datagrams still waiting for ARP answers;
        // it drains as those are answered or given up, so this one waits its turn.
        if (!sent && queued_.insert(address).second)
            queue_.push_front(address);
    }
}

bool AddressSweep::next(std::uint32_t& address)
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_)
        return false;
    address = queue_.front();
    queue_.pop_front();
    queued_.erase(address);
    sending_ = true;
    // The pause comes before the send, so two sweeps in a row keep the pace too.
    return !wake_.wait_for(lock, kSpacing, [this] { return stopping_; });
}

bool AddressSweep::send(std::uint32_t address)
{
    sockaddr_in target {};
    target.sin_family = AF_INET;
    target.sin_port = htons(kDiscardPort);
    target.sin_addr.s_addr = address;
    // Never blocks, so a stop is never held up. Any other failure (an address
    // with no route) is no reason to stop the sweep.
    const ssize_t sent = sendto(socket_, nullptr, 0, MSG_DONTWAIT | MSG_NOSIGNAL,
        reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS);
}

}  // namespace tevra::hostnet
