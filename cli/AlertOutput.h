#pragma once

#include "cli/Alert.h"
#include "cli/IgnoreList.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tevra::cli {

// Somewhere an alert is reported: a stream, the journal, a hook.
class AlertSink {
public:
    virtual ~AlertSink() = default;
    virtual void deliver(const Alert& alert) = 0;
};

// How one alert reads as one line.
using AlertFormat = std::string (*)(const Alert& alert);
std::string alertText(const Alert& alert);

// Each alert as one line on a stream, flushed at once so that a pipe reader
// sees it without delay.
class StreamSink : public AlertSink {
public:
    StreamSink(std::FILE* stream, AlertFormat format);
    void deliver(const Alert& alert) override;

private:
    std::FILE* stream_;
    AlertFormat format_;
};

// Every alert that the ignore list lets through, to every sink in turn.
class AlertOutput {
public:
    explicit AlertOutput(IgnoreList ignore = {});
    void add(std::unique_ptr<AlertSink> sink);
    void deliver(const Alert& alert) const;

private:
    IgnoreList ignore_;
    std::vector<std::unique_ptr<AlertSink>> sinks_;
};

}  // namespace tevra::cli
