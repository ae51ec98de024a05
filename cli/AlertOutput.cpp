// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AlertOutput.h"

#include <algorithm>
#include <cerrno>

namespace tevra::cli {

std::string alertText(const Alert& alert)
{
    return alert.line;
}

bool writeOutput(std::FILE* stream, std::string_view text, OutputStatus& status)
{
    if (status.error != 0)
        return false;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0)
        return true;
    // A stream that fails without saying why still failed.
    status.error = errno != 0 ? errno : EIO;
    return false;
}

StreamSink::StreamSink(std::FILE* stream, AlertFormat format, OutputStatus* status)
    : stream_(stream)
    , format_(format)
    , status_(status != nullptr ? *status : own_)
{
}

void StreamSink::deliver(const Alert& alert)
{
    writeOutput(stream_, format_(alert) + '\n', status_);
}

AlertOutput::AlertOutput(IgnoreList ignore)
    : ignore_(std::move(ignore))
{
}

void AlertOutput::add(std::unique_ptr<AlertSink> sink)
{
    sinks_.push_back(std::move(sink));
}

void AlertOutput::deliver(const Alert& alert) const
{
    IgnoreSubject subject { alert.kind, { alert.address }, alert.mac, alert.previousMac };
    for (const auto& other : { alert.secondAddress, alert.gateway })
        if (other)
            subject.addresses.push_back(*other);
    if (ignore_.matches(alert.address, alert.mac, alert.previousMac) || ignore_.matchesKind(subject))
        return;
    for (const auto& sink : sinks_)
        sink->deliver(alert);
}

std::optional<AlertSink::TimePoint> AlertOutput::dueAt() const
{
    std::optional<AlertSink::TimePoint> due;
    for (const auto& sink : sinks_)
        if (const auto at = sink->dueAt())
            due = due ? std::min(*due, *at) : *at;
    return due;
}

void AlertOutput::service(AlertSink::TimePoint now) const
{
    for (const auto& sink : sinks_)
        sink->service(now);
}

}  // namespace tevra::cli
