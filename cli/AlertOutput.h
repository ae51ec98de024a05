// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Alert.h"
#include "cli/IgnoreList.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::cli {

// Somewhere an alert is reported: a stream, the journal, a hook.
class AlertSink {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~AlertSink() = default;
    virtual void deliver(const Alert& alert) = 0;
    // When the sink has something to say without a new alert (a summary of
    // what it held back); none when it has nothing waiting.
    virtual std::optional<TimePoint> dueAt() const { return std::nullopt; }
    // Says what is due by `now`.
    virtual void service(TimePoint /*now*/) { }
};

// How one alert reads as one line.
using AlertFormat = std::string (*)(const Alert& alert);
std::string alertText(const Alert& alert);

// The first write to the output that failed, as an errno value; 0 while
// every write went through. EPIPE means the reader has gone.
struct OutputStatus {
    int error = 0;
};

// Writes the text and flushes it; false, with the reason kept in `status`,
// when not all of it got out. After one failure nothing more is written.
bool writeOutput(std::FILE* stream, std::string_view text, OutputStatus& status);

// Each alert as one line on a stream, flushed at once so that a pipe reader
// sees it without delay.
class StreamSink : public AlertSink {
public:
    StreamSink(std::FILE* stream, AlertFormat format, OutputStatus* status = nullptr);
    void deliver(const Alert& alert) override;

private:
    std::FILE* stream_;
    AlertFormat format_;
    OutputStatus own_;
    OutputStatus& status_;
};

// Every alert that the ignore list lets through, to every sink in turn.
class AlertOutput {
public:
    explicit AlertOutput(IgnoreList ignore = {});
    void add(std::unique_ptr<AlertSink> sink);
    void deliver(const Alert& alert) const;
    // The earliest time a sink has something due, and the saying of it.
    std::optional<AlertSink::TimePoint> dueAt() const;
    void service(AlertSink::TimePoint now) const;

private:
    IgnoreList ignore_;
    std::vector<std::unique_ptr<AlertSink>> sinks_;
};

}  // namespace tevra::cli
