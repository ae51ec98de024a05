// SPDX-License-Identifier: GPL-3.0-or-later
// The sweep's queue and pacing, the part both systems share, with a sender
// that records each datagram instead of sending it and can hold one back:
// what a second sweep during a first one does cannot be timed against real
// sends.
#include "hostnet/AddressSweep.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tevra::hostnet {
namespace {

using namespace std::chrono_literals;

// What the sweep's thread sent, shared with the test, which outlives the sweep.
struct Record {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint32_t> sent;  // each attempt, in order
    std::uint32_t holdAt = 0;  // an address whose send waits for `released`
    bool released = true;
    std::set<std::uint32_t> laterOnce;  // addresses the system has no room for at first
    std::string openError;
    int opens = 0;

    // Waits, bounded, until `count` attempts were made.
    bool waitForAttempts(std::size_t count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return sent.size() >= count; });
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    std::vector<std::uint32_t> attempts()
    {
        const std::lock_guard lock(mutex);
        return sent;
    }
};

class RecordingSender : public AddressSweep::DatagramSender {
public:
    explicit RecordingSender(std::shared_ptr<Record> record)
        : record_(std::move(record))
    {
    }
    std::string open() override
    {
        const std::lock_guard lock(record_->mutex);
        ++record_->opens;
        return record_->openError;
    }
    Sent send(std::uint32_t address) override
    {
        std::unique_lock lock(record_->mutex);
        record_->sent.push_back(address);
        record_->changed.notify_all();
        if (address == record_->holdAt)
            record_->changed.wait_for(lock, 10s, [this] { return record_->released; });
        return record_->laterOnce.erase(address) > 0 ? Sent::Later : Sent::Done;
    }

private:
    std::shared_ptr<Record> record_;
};

class AddressSweepTest : public testing::Test {
protected:
    int start(const std::vector<std::uint32_t>& addresses)
    {
        std::string error;
        const int result = sweep->start(addresses, error);
        EXPECT_EQ(error.empty(), result == 0) << error;
        return result;
    }

    std::shared_ptr<Record> record = std::make_shared<Record>();
    std::unique_ptr<AddressSweep> sweep
        = std::make_unique<AddressSweep>(std::make_unique<RecordingSender>(record));
};

// A second sweep while one runs goes on behind it: what it shares with the
// first, waiting or being sent, keeps its place and is asked once; a sweep
// after the first has ended asks again.
TEST_F(AddressSweepTest, ASecondSweepQueuesBehindTheRunningOneWithoutDuplicates)
{
    record->holdAt = 1;
    record->released = false;
    ASSERT_EQ(start({ 1, 2, 3 }), 0);
    ASSERT_TRUE(record->waitForAttempts(1));  // 1 is being sent, 2 and 3 wait
    ASSERT_EQ(start({ 4, 3, 1, 5, 2 }), 0);
    record->release();
    ASSERT_TRUE(record->waitForAttempts(5));
    EXPECT_EQ(record->attempts(), (std::vector<std::uint32_t> { 1, 2, 3, 4, 5 }));

    ASSERT_EQ(start({ 2, 6 }), 0);
    ASSERT_TRUE(record->waitForAttempts(7));
    sweep.reset();
    EXPECT_EQ(record->attempts(), (std::vector<std::uint32_t> { 1, 2, 3, 4, 5, 2, 6 }));
    EXPECT_EQ(record->opens, 1) << "one socket for every sweep";
}

// A datagram the system has no room for is sent again before the rest.
TEST_F(AddressSweepTest, ADatagramWithoutRoomIsSentAgainFirst)
{
    record->laterOnce = { 2 };
    ASSERT_EQ(start({ 1, 2, 3 }), 0);
    ASSERT_TRUE(record->waitForAttempts(4));
    sweep.reset();
    EXPECT_EQ(record->attempts(), (std::vector<std::uint32_t> { 1, 2, 2, 3 }));
}

// A socket that cannot be made fails the start and sends nothing; the next
// start tries again.
TEST_F(AddressSweepTest, ASocketThatCannotBeMadeFailsTheStart)
{
    record->openError = "sweeping the subnet: no sockets today";
    std::string error;
    EXPECT_EQ(sweep->start({ 1, 2 }, error), -1);
    EXPECT_EQ(error, "sweeping the subnet: no sockets today");

    record->openError.clear();
    ASSERT_EQ(start({ 3 }), 0);
    ASSERT_TRUE(record->waitForAttempts(1));
    sweep.reset();
    EXPECT_EQ(record->attempts(), std::vector<std::uint32_t> { 3 });
    EXPECT_EQ(record->opens, 2);
}

// Destroyed, the sweep stops at once: what is still queued is not sent.
TEST_F(AddressSweepTest, StopsAtOnceWhenDestroyed)
{
    std::vector<std::uint32_t> subnet;
    for (std::uint32_t address = 1; address <= 1000; ++address)
        subnet.push_back(address);
    ASSERT_EQ(start(subnet), 0);
    ASSERT_TRUE(record->waitForAttempts(1));
    sweep.reset();
    const std::size_t sent = record->attempts().size();
    EXPECT_LT(sent, subnet.size());
    // Nothing is sent after the sweep has gone.
    std::this_thread::sleep_for(3 * AddressSweep::kSpacing);
    EXPECT_EQ(record->attempts().size(), sent);
}

}  // namespace
}  // namespace tevra::hostnet
